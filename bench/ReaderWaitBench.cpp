// reader_wait: the longest time a grid's page read waits while another connection deletes
// 100,000 history rows in one batch (the statement, the journal entry, the COMMIT), on a copy of
// the register's history file with the program's own settings (a rollback journal, whose
// writer shuts readers out only while it writes its pages into the file at COMMIT, or earlier
// when its changed pages no longer fit in memory). The grid reads the person history page by
// page (1,000 rows, by key), as a grid scrolled by an operator does, round and round.
//
// two_file_commit: what a recovery's commit across the two files costs with that journal, beside
// WAL (where each file commits on its own, and a fault between them leaves half a recovery).
//
//   hm_bench_reader_wait HISTORY.db     (works on a copy; the file stays as it is)
#include "host/HostDwLibrary.h"
#include "host/JournalSchema.h"
#include "model/journal/Journal.h"
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hm_bench_reader_wait HISTORY.db\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("history.db"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), path)) {
        std::fprintf(stderr, "hm_bench_reader_wait: cannot copy %s\n", argv[1]);
        return 1;
    }
    rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_reader_wait: %s\n", qPrintable(error));
        return 1;
    }
    rt::DwLibrary::setDefaultLibrary(&library);

    // The deleting connection, as photosqlca is made (the journal table as opening makes it).
    rt::Transaction writer(QStringLiteral("photosqlca"));
    writer.Database = path;
    if (writer.connect() != 0 || writer.executeImmediate(host::JournalSchema::createFilesSql()) == -1 || writer.commit() != 0) {
        std::fprintf(stderr, "hm_bench_reader_wait: %s\n", qPrintable(writer.SQLErrText()));
        return 1;
    }
    // The batch's own predicate: every row saved up to the moment of the 100,000th.
    QList<rt::Value> cut{rt::Value::null(rt::ValueType::String)}, total{rt::Value::null(rt::ValueType::Long)};
    if (writer.selectInto(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"), {}, total) != 0 || total[0].longValue() < 200000
        || writer.selectInto(QStringLiteral("SELECT SaveTime FROM th_ge_personinfo ORDER BY SaveTime LIMIT 1 OFFSET 99999"), {}, cut)
               != 0) {
        std::fprintf(stderr, "hm_bench_reader_wait: the person history needs 200,000 rows or more (%s)\n",
                     qPrintable(writer.SQLErrText()));
        return 1;
    }

    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<Read> reads;
    long pagesRead = 0;
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
            ++pagesRead;
        }
    });

    // Let the reader settle, then delete.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto deleteStart = Clock::now();
    const int rc = writer.executeImmediate(QStringLiteral("delete from th_ge_personinfo where savetime <= ") + rt::sqlQuote(cut[0].string()));
    const std::int64_t deleted = writer.SQLNRows();
    model::Journal::Entry entry{QString::fromUtf8("批量删除"), QString::fromUtf8("个人信息"), QString(), {{QStringLiteral("th_ge_personinfo"), deleted}},
                               QString::fromUtf8("成功"), QString()};
    const auto commitStart = Clock::now();
    const bool saved = rc == 0 && model::Journal::append(writer, entry) == 0 && writer.commit() == 0;
    const auto end = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.store(true);
    reader.join();
    if (!saved) {
        std::fprintf(stderr, "hm_bench_reader_wait: the deletion failed: %s; no figure\n", qPrintable(writer.SQLErrText()));
        return 1;
    }

    double longest = 0, usual = 0;
    long during = 0, failed = 0, before = 0;
    for (const Read &r : reads) {
        const auto finish = r.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(r.seconds));
        if (finish < deleteStart) {
            usual = std::max(usual, r.seconds);
            ++before;
            continue;
        }
        if (r.start > end)
            continue;
        ++during;
        failed += r.failed ? 1 : 0;
        longest = std::max(longest, r.seconds);
    }
    const double deleting = std::chrono::duration<double>(commitStart - deleteStart).count();
    const double committing = std::chrono::duration<double>(end - commitStart).count();
    std::printf("deleted %lld of %lld person history rows in %.2f s, COMMIT %.2f s; %ld pages read meanwhile (%ld failed), "
                "%ld before\n",
                static_cast<long long>(deleted), static_cast<long long>(total[0].longValue()), deleting, committing, during, failed,
                before);
    std::printf("reader_wait: longest=%.3f s goal=1.0 s  (a page read before the deletion: at most %.4f s)\n", failed > 0 ? 1e9 : longest,
                usual);
    writer.disconnect();

    const int commits = 200;
    const double rollback = twoFileCommits(dir.path(), "DELETE", commits), wal = twoFileCommits(dir.path(), "WAL", commits);
    std::printf("two_file_commit: ratio=%.2f  %d recoveries' commits across both files: rollback journal %.3f s (%.2f ms each), "
                "WAL %.3f s (%.2f ms each)\n",
                rollback / wal, commits, rollback, 1000 * rollback / commits, wal, 1000 * wal / commits);
    return 0;
}
