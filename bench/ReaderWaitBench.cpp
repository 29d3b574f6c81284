// reader_wait: the longest time a grid's page read waits while another connection deletes
// about 100,000 person history rows as the batch dialog does (the purge engine by the dialog's
// date rule, in chunks of 10,000 rows each committed with its journal entry), on a copy of the
// register's history file with the program's own settings (a rollback journal, whose writer
// shuts readers out only while it writes its pages into the file at COMMIT, or earlier when its
// changed pages no longer fit in memory). Beside it, the same rows deleted in one transaction
// (the statement, the journal entry, the COMMIT), as the batch deleted them before, on a copy of
// its own. The grid reads the person history page by page (1,000 rows, by key), as a grid
// scrolled by an operator does, round and round.
//
// two_file_commit: what a recovery's commit across the two files costs with that journal, beside
// WAL (where each file commits on its own, and a fault between them leaves half a recovery).
//
//   hm_bench_reader_wait HISTORY.db     (works on a copy; the file stays as it is)
#include "host/HostDwLibrary.h"
#include "host/JournalSchema.h"
#include "model/CategoryTable.h"
#include "model/deletion/PurgeDates.h"
#include "model/journal/Journal.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <atomic>
#include <functional>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Read
{
    Clock::time_point start;
    double seconds;
    bool failed;
};

// What one commit across both files costs: many small transactions as a recovery makes them (a
// row into the live file, a row out of the history file and the journal's entry), on two files
// in the journal mode given, with the program's durability. Seconds for all of them.
double twoFileCommits(const QString &folder, const char *journalMode, int transactions)
{
    const QByteArray live = QDir(folder).filePath(QStringLiteral("%1-live.db").arg(QLatin1String(journalMode))).toUtf8();
    const QByteArray history = QDir(folder).filePath(QStringLiteral("%1-history.db").arg(QLatin1String(journalMode))).toUtf8();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(live.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const QByteArray setup = "ATTACH '" + history + "' AS hist; PRAGMA main.journal_mode=" + journalMode + "; PRAGMA hist.journal_mode="
                             + journalMode
                             + "; PRAGMA main.synchronous=FULL; PRAGMA hist.synchronous=FULL;"
                               "CREATE TABLE main.live (k INTEGER PRIMARY KEY, v TEXT);"
                               "CREATE TABLE hist.snap (k INTEGER PRIMARY KEY, v TEXT);"
                               "CREATE TABLE hist.journal (id INTEGER PRIMARY KEY, what TEXT);"
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
                               "INSERT INTO hist.snap SELECT i, printf('snapshot %d', i) FROM n;";
    sqlite3_exec(db, setup.constData(), nullptr, nullptr, nullptr);
    const auto a = Clock::now();
    for (int i = 1; i <= transactions; ++i) {
        const QByteArray one = QStringLiteral("BEGIN; INSERT INTO main.live VALUES (%1, 'recovered'); DELETE FROM hist.snap WHERE k = %1; "
                                              "INSERT INTO hist.journal (what) VALUES ('恢复'); COMMIT;")
                                   .arg(i)
                                   .toUtf8();
        sqlite3_exec(db, one.constData(), nullptr, nullptr, nullptr);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - a).count();
    sqlite3_close(db);
    return seconds;
}

struct Measured
{
    long long deleted = 0, total = 0;
    double seconds = 0, longest = 0, usual = 0;
    long during = 0, failed = 0;
};

// Copies `source` into `folder` under `name`, reads it as a grid does on one connection while
// `deleteRows` deletes on another (the rows deleted, -1 on failure), and says how long the reads
// waited. 0, or 1 with the reason printed.
int measure(const QString &source, const QString &folder, const QString &name, Measured &out,
            const std::function<long long(rt::Transaction &)> &deleteRows)
{
    const QString path = QDir(folder).filePath(name + QStringLiteral(".db"));
    if (!QFile::copy(source, path)) {
        std::fprintf(stderr, "hm_bench_reader_wait: cannot copy %s\n", qPrintable(source));
        return 1;
    }
    // The deleting connection, as photosqlca is made (the journal table as opening makes it).
    rt::Transaction writer(QStringLiteral("photosqlca"));
    writer.Database = path;
    if (writer.connect() != 0 || writer.executeImmediate(host::JournalSchema::createFilesSql()) == -1 || writer.commit() != 0) {
        std::fprintf(stderr, "hm_bench_reader_wait: %s\n", qPrintable(writer.SQLErrText()));
        return 1;
    }
    QList<rt::Value> total{rt::Value::null(rt::ValueType::Long)};
    if (writer.selectInto(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"), {}, total) != 0) {
        std::fprintf(stderr, "hm_bench_reader_wait: %s\n", qPrintable(writer.SQLErrText()));
        return 1;
    }
    writer.rollback();
    out.total = total[0].longValue();

    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<Read> reads;
    std::thread reader([&] {
        rt::Transaction grid(QStringLiteral("grid"));
        grid.Database = path;
        if (grid.connect() != 0)
            return;
        rt::DataStore ds;
        ds.SetDataObject(QStringLiteral("dh_ge_personinfo"));
        ds.SetTransObject(&grid);
        ds.setRetrievePortion(1000);
        bool fresh = true;
        while (!stop.load()) {
            const auto a = Clock::now();
            long got = 0;
            if (fresh || !ds.canRetrieveMore()) {
                got = ds.Retrieve();
                fresh = false;
            } else {
                got = ds.RetrieveMore(1000);
                ds.dropRows(); // a grid scrolled on keeps what it shows, not all it read
            }
            const double seconds = std::chrono::duration<double>(Clock::now() - a).count();
            std::lock_guard<std::mutex> lock(mutex);
            reads.push_back({a, seconds, got < 0});
        }
    });

    // Let the reader settle, then delete.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto deleteStart = Clock::now();
    out.deleted = deleteRows(writer);
    const bool saved = out.deleted >= 0;
    const auto end = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.store(true);
    reader.join();
    if (!saved) {
        std::fprintf(stderr, "hm_bench_reader_wait: the deletion failed: %s; no figure\n", qPrintable(writer.SQLErrText()));
        return 1;
    }

    double longest = 0, usual = 0;
    long during = 0, failed = 0;
    for (const Read &r : reads) {
        const auto finish = r.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(r.seconds));
        if (finish < deleteStart) {
            usual = std::max(usual, r.seconds);
            continue;
        }
        if (r.start > end)
            continue;
        ++during;
        failed += r.failed ? 1 : 0;
        longest = std::max(longest, r.seconds);
    }
    out.seconds = std::chrono::duration<double>(end - deleteStart).count();
    out.longest = longest;
    out.usual = usual;
    out.during = during;
    out.failed = failed;
    writer.disconnect();
    QFile::remove(path); // a copy of a large register is gigabytes
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hm_bench_reader_wait HISTORY.db\n");
        return 2;
    }
    QTemporaryDir dir;
    rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_reader_wait: %s\n", qPrintable(error));
        return 1;
    }
    rt::DwLibrary::setDefaultLibrary(&library);

    QList<rt::Value> cutDay{rt::Value::null(rt::ValueType::String)};
    {
        rt::Transaction probe(QStringLiteral("photosqlca"));
        probe.Database = QString::fromLocal8Bit(argv[1]);
        QList<rt::Value> total{rt::Value::null(rt::ValueType::Long)};
        if (probe.connect() != 0 || probe.selectInto(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"), {}, total) != 0
            || total[0].longValue() < 200000
            || probe.selectInto(QStringLiteral("SELECT substr(SaveTime, 1, 10) FROM th_ge_personinfo ORDER BY SaveTime LIMIT 1 OFFSET 99999"),
                                {}, cutDay)
                   != 0) {
            std::fprintf(stderr, "hm_bench_reader_wait: the person history needs 200,000 rows or more (%s)\n",
                         qPrintable(probe.SQLErrText()));
            return 1;
        }
    }
    // The batch's own rule: every row saved up to the 00:00:00 of the day after the 100,000th's.
    const QDate day = QDate::fromString(cutDay[0].string(), Qt::ISODate).addDays(1);
    const model::Category *persons = model::CategoryTable::byHistoryTable(QStringLiteral("th_ge_personinfo"));
    Measured chunked, whole;
    const int rc1 = measure(QString::fromLocal8Bit(argv[1]), dir.path(), QStringLiteral("chunked"), chunked, [&](rt::Transaction &writer) {
        model::HistoryMaintenance engine(writer, writer);
        model::HistoryMaintenance::RunResult ran;
        const int rc = engine.purgeDates(*persons, model::PurgeDates::upTo(day), false, QString(), {}, ran);
        return rc == 0 ? ran.deleted.value(0).rows : -1;
    });
    const int rc2 = measure(QString::fromLocal8Bit(argv[1]), dir.path(), QStringLiteral("whole"), whole, [&](rt::Transaction &writer) {
        const QList<rt::Value> cut = model::PurgeDates::upTo(day).values();
        if (writer.execute(QStringLiteral("delete from th_ge_personinfo where savetime <= ?"), cut) == -1)
            return -1LL;
        const long long deleted = writer.SQLNRows();
        model::Journal::Entry entry{QString::fromUtf8("批量删除"), QString::fromUtf8("个人信息"), QString(),
                                    {{QStringLiteral("th_ge_personinfo"), deleted}}, QString::fromUtf8("成功"), QString()};
        return model::Journal::append(writer, entry) == 0 && writer.commit() == 0 ? deleted : -1LL;
    });
    if (rc1 != 0 || rc2 != 0)
        return 1;
    std::printf("deleted %lld of %lld person history rows (saved up to %s 00:00:00) in %.2f s in chunks, %.2f s in one transaction; "
                "%ld pages read meanwhile (%ld failed), %ld during the one transaction (%ld failed)\n",
                chunked.deleted, chunked.total, qPrintable(day.toString(Qt::ISODate)), chunked.seconds, whole.seconds, chunked.during,
                chunked.failed, whole.during, whole.failed);
    std::printf("reader_wait: longest=%.3f s goal=1.0 s  (in one transaction: %.3f s; a page read before the deletion: at most %.4f s)\n",
                chunked.failed > 0 ? 1e9 : chunked.longest, whole.failed > 0 ? 1e9 : whole.longest, chunked.usual);

    const int commits = 200;
    const double rollback = twoFileCommits(dir.path(), "DELETE", commits), wal = twoFileCommits(dir.path(), "WAL", commits);
    std::printf("two_file_commit: ratio=%.2f  %d recoveries' commits across both files: rollback journal %.3f s (%.2f ms each), "
                "WAL %.3f s (%.2f ms each)\n",
                rollback / wal, commits, rollback, 1000 * rollback / commits, wal, 1000 * wal / commits);
    return 0;
}
