#include "TestRegister.h"

#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/CategoryTable.h"
#include "model/HistoryMaintenance.h"
#include "platform/core/Cursor.h"
#include "platform/core/SqlQuote.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

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
        if (c.keepLast == 0)
            EXPECT_EQ(rows(cat.historyTable), savedLater);
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

// Stopped after its first chunk and run again, a run leaves exactly the rows an uninterrupted
// run leaves; each chunk wrote one journal entry naming the run.
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
