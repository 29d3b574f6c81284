#include "TestRegister.h"

#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/CategoryTable.h"
#include "model/deletion/BatchRun.h"
#include "model/deletion/HouseholdScope.h"
#include "model/deletion/PurgeDates.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/core/Cursor.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/SqliteConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using model::HistoryMaintenance;

namespace {

const model::Category &category(const char *tab)
{
    const model::Category *c = HistoryMaintenance::categoryByName(QString::fromUtf8(tab));
    EXPECT_NE(c, nullptr) << tab;
    return *c;
}

// The demo register, the same rows each time it is made (seed and "today" fixed).
class HistoryMaintenanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        ASSERT_TRUE(dir.isValid());
        makeDemo();
    }

    void makeDemo()
    {
        sqlca.disconnect();
        photosqlca.disconnect();
        for (const char *file : {"register.db", "history.db"})
            QFile::remove(QDir(dir.path()).filePath(QString::fromLatin1(file)));
        host::DemoOptions demo;
        demo.households = 30;
        demo.seed = 7;
        demo.referenceDate = QDate(2025, 6, 30);
        QString error;
        ASSERT_EQ(TestRegister::createDemo(dir.path(), demo, error), 0) << error.toStdString();
        ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
    }

    long long scalar(const QString &sql, const QList<rt::Value> &params = {})
    {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        EXPECT_EQ(photosqlca.selectInto(sql, params, n), 0) << photosqlca.SQLErrText().toStdString() << "\n" << sql.toStdString();
        photosqlca.rollback();
        return n[0].longValue();
    }
    long long rows(const QString &table) { return scalar(QStringLiteral("SELECT count(*) FROM %1").arg(rt::sqlIdentifier(table))); }

    QSet<qint64> hisids(const QString &table, const QString &where = QString())
    {
        QSet<qint64> out;
        rt::Cursor c(photosqlca, QStringLiteral("SELECT hisid FROM %1 h %2").arg(rt::sqlIdentifier(table), where));
        EXPECT_EQ(c.open(), 0) << photosqlca.SQLErrText().toStdString();
        QList<rt::Value> row{rt::Value::null(rt::ValueType::Long)};
        while (c.fetch(row) == 0)
            out.insert(row[0].longValue());
        c.close();
        photosqlca.rollback();
        return out;
    }

    void insert(const QString &table, const QList<std::pair<QString, rt::Value>> &columns)
    {
        QStringList names, marks;
        QList<rt::Value> values;
        for (const auto &[name, value] : columns) {
            names << rt::sqlIdentifier(name);
            marks << QStringLiteral("?");
            values << value;
        }
        ASSERT_EQ(photosqlca.execute(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(rt::sqlIdentifier(table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                                     values),
                  0)
            << photosqlca.SQLErrText().toStdString();
        ASSERT_EQ(photosqlca.commit(), 0);
    }

    QTemporaryDir dir;
    rt::Transaction sqlca{QStringLiteral("sqlca")};
    rt::Transaction photosqlca{QStringLiteral("photosqlca")};
};

struct PurgeCase
{
    const char *category;
    QDate before;
    int keepLast;
};

// The dry run counts what the real run then deletes, table by table, for the plain purge, the
// purge keeping the newest, and the dedupe; the rows gone are exactly those counted.
// MNT-02, MNT-14, MNT-15, MNT-19
TEST_F(HistoryMaintenanceTest, DryRunCountsExactlyWhatTheRunDeletes)
{
    const QList<PurgeCase> cases{{"个人信息", QDate(2024, 1, 1), 0},
                                 {"户籍信息", QDate(2025, 1, 1), 2},
                                 {"个人其他信息", QDate(2030, 1, 1), 1},
                                 {"老年人信息", QDate(2023, 6, 1), 0}};
    HistoryMaintenance m(sqlca, photosqlca);
    for (const PurgeCase &c : cases) {
        SCOPED_TRACE(c.category);
        const model::Category &cat = category(c.category);
        const long long before = rows(cat.historyTable);
        HistoryMaintenance::RunResult dry, real;
        HistoryMaintenance::RunOptions options;
        options.dryRun = true;
        options.chunkRows = 5;
        const HistoryMaintenance::PurgePolicy policy{c.before, c.keepLast, false};
        // Rows saved later lie among those deleted (hisids are not in SaveTime order): a chunk
        // taken as a range of hisids must leave them.
        const QString later = QStringLiteral("SELECT count(*) FROM %1 WHERE SaveTime >= ?").arg(cat.historyTable);
        const rt::Value cut{rt::DateTime(c.before)};
        const long long savedLater = scalar(later, {cut});
        ASSERT_EQ(m.purge(cat, policy, options, dry), 0) << dry.error.toStdString();
        EXPECT_EQ(rows(cat.historyTable), before);
        options.dryRun = false;
        ASSERT_EQ(m.purge(cat, policy, options, real), 0) << real.error.toStdString();
        ASSERT_EQ(dry.deleted.size(), 1);
        ASSERT_EQ(real.deleted.size(), 1);
        EXPECT_GT(dry.deleted[0].rows, 0);
        EXPECT_EQ(real.deleted[0].rows, dry.deleted[0].rows);
        EXPECT_EQ(rows(cat.historyTable), before - dry.deleted[0].rows);
        EXPECT_EQ(scalar(later, {cut}), savedLater);
        if (c.keepLast == 0) {
            EXPECT_EQ(rows(cat.historyTable), savedLater);
        }
    }
    for (const model::Category &cat : model::CategoryTable::all()) {
        SCOPED_TRACE(cat.tabText.toStdString());
        const long long before = rows(cat.historyTable);
        HistoryMaintenance::RunResult dry, real;
        HistoryMaintenance::RunOptions options;
        options.dryRun = true;
        ASSERT_EQ(m.dedupe(cat, options, dry), 0) << dry.error.toStdString();
        options.dryRun = false;
        ASSERT_EQ(m.dedupe(cat, options, real), 0) << real.error.toStdString();
        EXPECT_EQ(real.deleted[0].rows, dry.deleted[0].rows);
        EXPECT_EQ(rows(cat.historyTable), before - dry.deleted[0].rows);
    }
}

// MNT-01, MNT-02
TEST_F(HistoryMaintenanceTest, KeepLastKeepsExactlyTheNewestOfEachRecord)
{
    HistoryMaintenance m(sqlca, photosqlca);
    const model::Category &cat = category("个人信息");
    const QString perRecord = QStringLiteral("SELECT %1 FROM (SELECT count(*) AS n FROM th_ge_personinfo GROUP BY PersonNo) g");
    const long long records = scalar(perRecord.arg(QStringLiteral("count(*)")));
    const long long expected = scalar(perRecord.arg(QStringLiteral("sum(CASE WHEN n < 2 THEN n ELSE 2 END)")));
    // The two newest of each record, told apart by hisid where saved at the same moment.
    const QSet<qint64> newest = hisids(cat.historyTable, QStringLiteral("WHERE (SELECT count(*) FROM th_ge_personinfo o WHERE o.PersonNo = h.PersonNo "
                                                                         "AND (o.SaveTime > h.SaveTime OR (o.SaveTime = h.SaveTime AND o.hisid > h.hisid))) < 2"));
    ASSERT_GT(scalar(perRecord.arg(QStringLiteral("max(n)"))), 2) << "the demo should hold records with more snapshots";
    HistoryMaintenance::RunResult result;
    ASSERT_EQ(m.purge(cat, {QDate(2100, 1, 1), 2, false}, {}, result), 0) << result.error.toStdString();
    EXPECT_EQ(rows(cat.historyTable), expected);
    EXPECT_EQ(scalar(perRecord.arg(QStringLiteral("count(*)"))), records);
    EXPECT_EQ(scalar(perRecord.arg(QStringLiteral("max(n)"))), 2);
    EXPECT_EQ(hisids(cat.historyTable), newest);
}

// A record's snapshots, oldest first, each differing from the one before (or not) as named.
// MNT-03, MNT-19
TEST_F(HistoryMaintenanceTest, DedupeKeepsTheOldestOfEachRunAndEveryDifference)
{
    struct Snapshot
    {
        const char *saveTime;
        rt::Value hostname;
        const char *issave;
        bool stays;
    };
    const rt::Value nullText = rt::Value::null(rt::ValueType::String);
    const QList<Snapshot> snapshots{
        {"2020-01-01 08:00:00", "王五", "1", true},
        {"2020-02-01 08:00:00", "王五", "1", false}, // equal to the one before
        {"2020-03-01 08:00:00", "王五", "1", false}, // and again
        {"2020-04-01 08:00:00", "王五", "2", true},  // issave differs
        {"2020-05-01 08:00:00", "王六", "2", true},  // one column differs
        {"2020-06-01 08:00:00", nullText, "2", true},
        {"2020-07-01 08:00:00", nullText, "2", false}, // null equals null
        {"2020-08-01 08:00:00", "", "2", true},        // an empty text is not a null
        {"2020-09-01 08:00:00", "王五", "1", true},    // equal to the first, not to the one before
    };
    for (const Snapshot &s : snapshots)
        insert(QStringLiteral("th_ge_rpr"), {{QStringLiteral("RprNo"), QStringLiteral("DUP0000000001")},
                                             {QStringLiteral("hostname"), s.hostname},
                                             {QStringLiteral("issave"), s.issave},
                                             {QStringLiteral("SaveTime"), s.saveTime}});
    const QString mine = QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'DUP0000000001'");
    HistoryMaintenance m(sqlca, photosqlca);
    HistoryMaintenance::RunResult result;
    HistoryMaintenance::RunOptions options;
    options.dryRun = true;
    ASSERT_EQ(m.dedupe(category("户籍信息"), options, result), 0) << result.error.toStdString();
    const long long demoDuplicates = result.deleted[0].rows - 3;
    options.dryRun = false;
    ASSERT_EQ(m.dedupe(category("户籍信息"), options, result), 0) << result.error.toStdString();
    EXPECT_EQ(result.deleted[0].rows, demoDuplicates + 3);
    EXPECT_EQ(scalar(mine), 6);
    for (const Snapshot &s : snapshots)
        EXPECT_EQ(scalar(mine + QStringLiteral(" AND SaveTime = ?"), {rt::Value(QString::fromLatin1(s.saveTime))}), s.stays ? 1 : 0)
            << s.saveTime;
}

// Between finding the rows and deleting a chunk another operator may change the record: a
// duplicate whose older twin has gone since is the state's only copy now and stays, and a
// snapshot beyond the newest N stays when the newer ones it was counted behind have gone. A
// snapshot without its record's key belongs to no record and is neither.
// MNT-15, MNT-16
TEST_F(HistoryMaintenanceTest, AChunkDeletesOnlyWhatStillHoldsWhenItsTurnComes)
{
    for (const char *saveTime : {"2020-01-01 08:00:00", "2020-02-01 08:00:00", "2020-03-01 08:00:00"})
        insert(QStringLiteral("th_ge_rpr"), {{QStringLiteral("RprNo"), QStringLiteral("RACE000000001")},
                                             {QStringLiteral("hostname"), QString::fromUtf8("赵六")},
                                             {QStringLiteral("SaveTime"), QString::fromLatin1(saveTime)}});
    for (const char *saveTime : {"2020-01-01 08:00:00", "2020-02-01 08:00:00"})
        insert(QStringLiteral("th_ge_rpr"), {{QStringLiteral("RprNo"), rt::Value::null(rt::ValueType::String)},
                                             {QStringLiteral("hostname"), QString::fromUtf8("无户号")},
                                             {QStringLiteral("SaveTime"), QString::fromLatin1(saveTime)}});
    const QString mine = QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'RACE000000001'");
    const QString keyless = QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo IS NULL");
    const model::Category &households = category("户籍信息");
    HistoryMaintenance m(sqlca, photosqlca);
    auto meanwhile = [&](const char *saveTime) {
        return [&, saveTime](const HistoryMaintenance::ChunkProgress &p) {
            if (p.chunk == 0) {
                EXPECT_EQ(photosqlca.execute(QStringLiteral("DELETE FROM th_ge_rpr WHERE RprNo = 'RACE000000001' AND SaveTime = ?"),
                                             {rt::Value(QString::fromLatin1(saveTime))}),
                          0);
                EXPECT_EQ(photosqlca.commit(), 0);
            }
            return true;
        };
    };
    // Dedupe found the second and third; the first goes before they are deleted.
    HistoryMaintenance::RunOptions options;
    options.progress = meanwhile("2020-01-01 08:00:00");
    HistoryMaintenance::RunResult result;
    ASSERT_EQ(m.dedupe(households, options, result), 0) << result.error.toStdString();
    EXPECT_EQ(scalar(mine), 1) << "the second stays as the state's copy; the third was the second's twin";
    EXPECT_EQ(scalar(mine + QStringLiteral(" AND SaveTime = '2020-02-01 08:00:00'")), 1);
    EXPECT_EQ(scalar(keyless), 2);

    // Keep the newest one: the second and a new fourth. Keep-last finds the second; the fourth
    // goes first, so the second is the newest again and stays.
    insert(QStringLiteral("th_ge_rpr"), {{QStringLiteral("RprNo"), QStringLiteral("RACE000000001")},
                                         {QStringLiteral("hostname"), QString::fromUtf8("赵七")},
                                         {QStringLiteral("SaveTime"), QStringLiteral("2020-04-01 08:00:00")}});
    options.progress = meanwhile("2020-04-01 08:00:00");
    ASSERT_EQ(m.purge(households, {QDate(2021, 1, 1), 1, false}, options, result), 0) << result.error.toStdString();
    EXPECT_EQ(scalar(mine), 1);
    EXPECT_EQ(scalar(mine + QStringLiteral(" AND SaveTime = '2020-02-01 08:00:00'")), 1);
    EXPECT_EQ(scalar(keyless), 2) << "keep-last never ranks a snapshot without its key";
}

// Stopped after its first chunk and run again, a run leaves exactly the rows an uninterrupted
// run leaves; each chunk wrote one journal entry naming the run.
// MNT-04
TEST_F(HistoryMaintenanceTest, InterruptedRunResumedEndsLikeAnUninterruptedOne)
{
    struct Case
    {
        const char *action;
        std::function<int(HistoryMaintenance &, const HistoryMaintenance::RunOptions &, HistoryMaintenance::RunResult &)> run;
    };
    const model::Category &cat = category("个人信息");
    const QList<Case> cases{
        {"批量删除", [&cat](HistoryMaintenance &m, const HistoryMaintenance::RunOptions &o, HistoryMaintenance::RunResult &r) {
             return m.purge(cat, {QDate(2025, 1, 1), 1, false}, o, r);
         }},
        {"去重", [&cat](HistoryMaintenance &m, const HistoryMaintenance::RunOptions &o, HistoryMaintenance::RunResult &r) {
             return m.dedupe(cat, o, r);
         }}};
    // Runs of equal snapshots for two people, interleaved, so that chunks cut through runs.
    auto duplicates = [this] {
        for (int i = 0; i < 12; ++i)
            insert(QStringLiteral("th_ge_personinfo"), {{QStringLiteral("PersonNo"), QStringLiteral("DUP%1").arg(i % 2)},
                                                        {QStringLiteral("personname"), i < 6 ? "甲" : "乙"},
                                                        {QStringLiteral("issave"), "1"},
                                                        {QStringLiteral("SaveTime"), QStringLiteral("2021-01-%1 08:00:00").arg(i + 10)}});
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.action);
        makeDemo();
        duplicates();
        HistoryMaintenance whole(sqlca, photosqlca);
        HistoryMaintenance::RunResult result;
        ASSERT_EQ(c.run(whole, {}, result), 0) << result.error.toStdString();
        const long long wanted = result.deleted[0].rows;
        const QSet<qint64> uninterrupted = hisids(cat.historyTable);
        ASSERT_GT(wanted, 6);

        makeDemo();
        duplicates();
        HistoryMaintenance m(sqlca, photosqlca);
        HistoryMaintenance::RunOptions options;
        options.chunkRows = 3;
        options.runId = QStringLiteral("run-first");
        QList<int> told;
        options.progress = [&told](const HistoryMaintenance::ChunkProgress &p) {
            told << p.chunk;
            return p.chunk < 1;
        };
        HistoryMaintenance::RunResult first;
        ASSERT_EQ(c.run(m, options, first), 0) << first.error.toStdString();
        EXPECT_TRUE(first.interrupted);
        EXPECT_EQ(first.chunks, 1);
        EXPECT_EQ(first.deleted[0].rows, 3);
        EXPECT_EQ(told, (QList<int>{0, 1}));

        options.runId = QStringLiteral("run-second");
        options.progress = nullptr;
        HistoryMaintenance::RunResult second;
        ASSERT_EQ(c.run(m, options, second), 0) << second.error.toStdString();
        EXPECT_FALSE(second.interrupted);
        EXPECT_EQ(second.deleted[0].rows, wanted - 3);
        EXPECT_EQ(second.chunks, int((wanted - 3 + 2) / 3));
        EXPECT_EQ(hisids(cat.historyTable), uninterrupted);

        const QString entries
            = QStringLiteral("SELECT count(*) FROM hm_journal WHERE action = ? AND category = ? AND outcome = ? AND detail LIKE ?");
        const QString action = QString::fromUtf8(c.action), done = QString::fromUtf8("成功");
        EXPECT_EQ(scalar(entries, {action, cat.tabText, done, QStringLiteral("%run-first%")}), 1);
        EXPECT_EQ(scalar(entries, {action, cat.tabText, done, QStringLiteral("%run-second%")}), second.chunks);
    }
}

// A chunk failing in its DELETE or its COMMIT: the chunks before it stay done and journalled,
// that one is told as not done and journalled as failed, and the rows left say the same.
// MNT-05
TEST_F(HistoryMaintenanceTest, AFailedChunkLeavesTheChunksBeforeItDone)
{
    const model::Category &cat = category("个人信息");
    const HistoryMaintenance::PurgePolicy policy{QDate(2025, 1, 1), 0, false};
    const QList<rt::InjectedFault> faults{{rt::InjectedFault::On::Statement, 2, QStringLiteral("DELETE FROM"), 13, QStringLiteral("disk is full")},
                                      {rt::InjectedFault::On::Commit, 2, QString(), 13, QStringLiteral("disk is full")}};
    for (const rt::InjectedFault &fault : faults) {
        makeDemo();
        HistoryMaintenance m(sqlca, photosqlca);
        const long long before = rows(cat.historyTable);
        HistoryMaintenance::RunOptions options;
        options.chunkRows = 3;
        options.runId = QStringLiteral("run-failing");
        photosqlca.injectFault(fault);
        HistoryMaintenance::RunResult result;
        EXPECT_EQ(m.purge(cat, policy, options, result), -1);
        photosqlca.clearInjectedFaults();
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(result.chunks, 1);
        EXPECT_EQ(result.deleted[0].rows, 3);
        EXPECT_EQ(rows(cat.historyTable), before - 3);
        const QString entries = QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ? AND detail LIKE '%run-failing%'");
        EXPECT_EQ(scalar(entries, {QString::fromUtf8("成功")}), 1);
        EXPECT_EQ(scalar(entries, {QString::fromUtf8("失败")}), 1);
    }
}

// Space is given back only after a run that took more than a tenth of a table, and the words
// say how.
// MNT-08
TEST_F(HistoryMaintenanceTest, CompactAfterMoreThanATenth)
{
    HistoryMaintenance m(sqlca, photosqlca);
    HistoryMaintenance::RunResult result;
    ASSERT_EQ(m.compact({{{QStringLiteral("th_ge_personinfo"), 10}, 100}}, result), 0) << result.error.toStdString();
    EXPECT_FALSE(result.compacted);
    EXPECT_FALSE(result.compactText.isEmpty());
    ASSERT_EQ(m.compact({{{QStringLiteral("th_ge_personinfo"), 11}, 100}}, result), 0) << result.error.toStdString();
    EXPECT_TRUE(result.compacted) << result.compactText.toStdString();
    EXPECT_TRUE(result.compactText.contains(TestRegister::onServer() ? QStringLiteral("VACUUM (ANALYZE)") : QStringLiteral("VACUUM")))
        << result.compactText.toStdString();
    // The register still answers afterwards.
    EXPECT_GT(rows(QStringLiteral("th_ge_personinfo")), 0);
}

// 户籍信息 with its persons goes through the household procedure: the counts read beforehand
// are the rows it took, table by table.
// MNT-06
TEST_F(HistoryMaintenanceTest, HouseholdsWithPersonsDeleteWhatTheyCounted)
{
    HistoryMaintenance m(sqlca, photosqlca);
    const model::Category &cat = category("户籍信息");
    const HistoryMaintenance::PurgePolicy policy{QDate(2024, 1, 1), 0, true};
    QMap<QString, long long> before;
    for (const host::TableDef &t : host::SchemaCatalogue::tables())
        before[t.historyTable] = rows(t.historyTable);
    HistoryMaintenance::RunOptions options;
    options.dryRun = true;
    HistoryMaintenance::RunResult dry, real;
    ASSERT_EQ(m.purge(cat, policy, options, dry), 0) << dry.error.toStdString();
    options.dryRun = false;
    ASSERT_EQ(m.purge(cat, policy, options, real), 0) << real.error.toStdString();
    ASSERT_EQ(real.deleted.size(), dry.deleted.size());
    long long persons = 0;
    for (int i = 0; i < dry.deleted.size(); ++i) {
        const QString table = dry.deleted[i].table;
        EXPECT_EQ(real.deleted[i].rows, dry.deleted[i].rows) << table.toStdString();
        EXPECT_EQ(rows(table), before[table] - dry.deleted[i].rows) << table.toStdString();
        if (table == QLatin1String("th_ge_personinfo"))
            persons = dry.deleted[i].rows;
    }
    EXPECT_GT(persons, 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE SaveTime < '2024-01-01 00:00:00'")), 0);
    EXPECT_EQ(real.chunks, 1);
    HistoryMaintenance::RunResult refused;
    EXPECT_EQ(m.purge(cat, {QDate(2024, 1, 1), 2, true}, {}, refused), -1);
    EXPECT_FALSE(refused.error.isEmpty());
}

// MNT-07
TEST_F(HistoryMaintenanceTest, StatsAgreeWithDirectCounts)
{
    HistoryMaintenance m(sqlca, photosqlca);
    HistoryMaintenance::Stats stats;
    QString error;
    ASSERT_EQ(m.stats(stats, error), 0) << error.toStdString();
    ASSERT_EQ(stats.categories.size(), model::CategoryTable::all().size());
    EXPECT_GT(stats.historyBytes, 0);
    for (const HistoryMaintenance::CategoryStats &s : stats.categories) {
        const QString table = s.category->historyTable;
        SCOPED_TRACE(table.toStdString());
        EXPECT_EQ(s.rows, rows(table));
        long long sum = 0;
        for (auto it = s.rowsPerYear.cbegin(); it != s.rowsPerYear.cend(); ++it) {
            sum += it.value();
            EXPECT_EQ(it.value(), scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE SaveTime >= ? AND SaveTime < ?").arg(table),
                                         {QStringLiteral("%1-01-01").arg(it.key()), QStringLiteral("%1-01-01").arg(it.key() + 1)}));
        }
        EXPECT_EQ(sum, s.rows);
        if (s.rows > 0) {
            ASSERT_TRUE(s.oldest && s.newest);
            EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE SaveTime < ?").arg(table),
                             {s.oldest->toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))}),
                      0);
            EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE SaveTime > ?").arg(table),
                             {s.newest->addSecs(1).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))}),
                      0);
        }
        HistoryMaintenance::RunResult dry;
        HistoryMaintenance::RunOptions options;
        options.dryRun = true;
        ASSERT_EQ(m.dedupe(*s.category, options, dry), 0);
        EXPECT_EQ(s.duplicates, dry.deleted[0].rows);
    }
}

} // namespace

// The history file is rewritten only when nobody else has it open: another process that merely
// has the register open, idle, as an operator's program has, keeps it as it is (a VACUUM would
// make that program's next save wait for minutes and fail); once that program has closed the
// register, the space is given back.
// MNT-08
TEST_F(HistoryMaintenanceTest, CompactRewritesTheFileOnlyWhenNobodyElseHasItOpen)
{
    if (TestRegister::onServer())
        GTEST_SKIP() << "the files only";
    const QString history = photosqlca.Database;
    const long long deleted = rows(QStringLiteral("th_ge_personinfo"));
    ASSERT_GT(deleted, 0);
    ASSERT_EQ(photosqlca.executeImmediate(QStringLiteral("DELETE FROM th_ge_personinfo")), 0) << photosqlca.SQLErrText().toStdString();
    ASSERT_EQ(photosqlca.commit(), 0);
    ASSERT_GT(scalar(QStringLiteral("PRAGMA freelist_count")), 0);
    const qint64 size = QFileInfo(history).size();

    // An operator's program: the register open as the program opens it (history attached), idle.
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    rt::DbOpenOptions operatorsOpen;
    operatorsOpen.path = sqlca.Database;
    operatorsOpen.attachPath = sqlca.AttachDatabase;
    operatorsOpen.attachSchema = sqlca.AttachSchema;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(toChild[1]);
        rt::SqliteConnection register_;
        rt::DbError error;
        const char opened = register_.open(operatorsOpen, error) ? 'y' : 'n';
        char until = 0;
        if (::write(fromChild[1], &opened, 1) == 1)
            while (::read(toChild[0], &until, 1) > 0) {
            }
        ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    pollfd answer{fromChild[0], POLLIN, 0};
    char opened = 0;
    ASSERT_EQ(::poll(&answer, 1, 10000), 1);
    ASSERT_EQ(::read(fromChild[0], &opened, 1), 1);
    EXPECT_EQ(opened, 'y');

    HistoryMaintenance m(sqlca, photosqlca);
    const QList<std::pair<HistoryMaintenance::TableCount, long long>> tables{{{QStringLiteral("th_ge_personinfo"), deleted}, deleted}};
    HistoryMaintenance::RunResult result;
    ASSERT_EQ(m.compact(tables, result), 0) << result.error.toStdString();
    EXPECT_FALSE(result.compacted);
    EXPECT_EQ(result.compactText, QString::fromUtf8("历史信息库文件正被其他程序打开，未整理空间。再运行同样的命令不会整理（要删的记录已经删掉）：空间在下一次删除较多记录、且无人打开文件时整理，或在所有人关闭本程序后手工整理（见管理员指南）。"));
    EXPECT_EQ(QFileInfo(history).size(), size);

    ::close(toChild[1]);
    ::waitpid(child, nullptr, 0);
    ::close(fromChild[0]);
    ASSERT_EQ(m.compact(tables, result), 0) << result.error.toStdString();
    EXPECT_TRUE(result.compacted) << result.compactText.toStdString();
    EXPECT_EQ(result.compactText, QString::fromUtf8("已对历史信息库文件执行 VACUUM，释放的空间已交还。"));
    EXPECT_LT(QFileInfo(history).size(), size);
    EXPECT_EQ(rows(QStringLiteral("th_ge_personinfo")), 0);
}

// The batch dialog and the command line purge through one engine with their own date rules:
// the dialog's kinds take the day's 00:00:00 itself, its range both ends' 00:00:00, the command
// line only what was saved before the day began; the household procedure's predicate takes the
// same rows as each rule.
// BAT-10
TEST_F(HistoryMaintenanceTest, TheDialogsAndTheCommandLinesDatesTakeTheirOwnRowsThroughOneEngine)
{
    HistoryMaintenance m(sqlca, photosqlca);
    const QDate day(2024, 5, 1);
    for (const char *table : {"th_sv_elderinfo", "th_ge_rpr"}) {
        const QString t = rt::sqlIdentifier(QString::fromLatin1(table));
        ASSERT_NE(photosqlca.execute(QStringLiteral("UPDATE %1 SET SaveTime = ?").arg(t), {rt::Value(rt::DateTime(QDate(2030, 1, 1)))}), -1);
        ASSERT_EQ(photosqlca.commit(), 0) << photosqlca.SQLErrText().toStdString();
        const QList<qint64> ids = hisids(QString::fromLatin1(table)).values();
        ASSERT_GE(ids.size(), 3);
        const QList<rt::DateTime> times{rt::DateTime(day.addDays(-1), rt::Time(23, 59, 59)), rt::DateTime(day),
                                        rt::DateTime(day, rt::Time(0, 0, 1))};
        for (int i = 0; i < 3; ++i)
            ASSERT_NE(photosqlca.execute(QStringLiteral("UPDATE %1 SET SaveTime = ? WHERE hisid = ?").arg(t),
                                         {rt::Value(times[i]), rt::Value(std::int64_t(ids[i]))}),
                      -1);
        ASSERT_EQ(photosqlca.commit(), 0) << photosqlca.SQLErrText().toStdString();
    }
    struct Rule
    {
        model::PurgeDates dates;
        long long rows;
    };
    const QList<Rule> rules{{model::PurgeDates::before(day), 1}, {model::PurgeDates::upTo(day), 2},
                            {model::PurgeDates::between(day, day), 1}, {model::PurgeDates::between(day.addDays(-1), day), 2}};
    HistoryMaintenance::RunOptions dry;
    dry.dryRun = true;
    for (const Rule &r : rules) {
        SCOPED_TRACE(r.dates.words().toStdString());
        HistoryMaintenance::RunResult counted;
        ASSERT_EQ(m.purgeDates(category("老年人信息"), r.dates, false, QString(), dry, counted), 0) << counted.error.toStdString();
        EXPECT_EQ(counted.deleted.value(0).rows, r.rows);
        // The procedure's own predicate, as the household scope counts it.
        const model::HouseholdScope::Table households = model::HouseholdScope::of(photosqlca, r.dates).value(0);
        ASSERT_EQ(households.table, QStringLiteral("th_ge_rpr"));
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        ASSERT_EQ(photosqlca.selectInto(households.countSql(photosqlca), households.params, n), 0) << photosqlca.SQLErrText().toStdString();
        photosqlca.rollback();
        EXPECT_EQ(n[0].longValue(), r.rows);
    }
    // Run for real, the command line's rule leaves the row of 00:00:00 that the dialog's takes.
    HistoryMaintenance::RunResult ran;
    ASSERT_EQ(m.purge(category("老年人信息"), {day, 0, false}, {}, ran), 0) << ran.error.toStdString();
    EXPECT_EQ(ran.deleted.value(0).rows, 1);
    ASSERT_EQ(m.purgeDates(category("老年人信息"), model::PurgeDates::upTo(day), false, QString(), {}, ran), 0) << ran.error.toStdString();
    EXPECT_EQ(ran.deleted.value(0).rows, 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE action = ? AND outcome = ?"),
                     {QString::fromUtf8("批量删除"), QString::fromUtf8("成功")}),
              2);
}

// 批量删除's work without its window, on the demo register: more rows than the operator
// confirmed deletes nothing and says how many there are; a stop lands after the chunk in
// progress, the chunks before it saved each with its entry and the rest untouched; let through,
// the rest goes.
// BAT-10
TEST_F(HistoryMaintenanceTest, TheBatchStopsAfterTheChunkAndNeverDeletesMoreThanWasConfirmed)
{
    const model::Category &elders = category("老年人信息");
    const long long all = rows(elders.historyTable);
    ASSERT_GT(all, 6);
    model::BatchRun::Work work;
    work.category = &elders;
    work.what = QString::fromUtf8("按类型：删除所有记录；全部记录");
    work.chunkRows = 2;
    work.confirmed = long(all - 1);
    model::BatchRun more(sqlca, photosqlca, work);
    EXPECT_EQ(more.run(), model::BatchRun::Outcome::More);
    EXPECT_EQ(more.result().found, all);
    EXPECT_EQ(rows(elders.historyTable), all);

    work.confirmed = long(all);
    work.afterChunk = [](long long deleted) { return deleted < 4; };
    model::BatchRun stopped(sqlca, photosqlca, work);
    EXPECT_EQ(stopped.run(), model::BatchRun::Outcome::Stopped);
    EXPECT_EQ(stopped.deleted(), 4);
    EXPECT_EQ(stopped.result().chunks, 2);
    EXPECT_EQ(rows(elders.historyTable), all - 4);
    EXPECT_EQ(hisids(elders.historyTable, QStringLiteral("WHERE h.hisid <= %1").arg(stopped.result().lastHisid)).size(), 0)
        << "every row up to the last chunk's is gone";
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE action = ? AND outcome = ?"),
                     {QString::fromUtf8("批量删除"), QString::fromUtf8("成功")}),
              2);

    work.afterChunk = nullptr;
    model::BatchRun rest(sqlca, photosqlca, work);
    EXPECT_EQ(rest.run(), model::BatchRun::Outcome::Done);
    EXPECT_EQ(rest.deleted(), all - 4);
    EXPECT_EQ(rows(elders.historyTable), 0);
    model::BatchRun none(sqlca, photosqlca, work);
    EXPECT_EQ(none.run(), model::BatchRun::Outcome::NothingFound);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ?"), {QString::fromUtf8("失败")}), 0);
}
