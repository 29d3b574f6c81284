// The unattended maintenance's figures, on one backend, on copies of a register (the register
// itself stays as it is):
//
// dedupe: finding the duplicate snapshots of 个人信息 (HistoryMaintenance::dedupe as a dry run,
// which counts with the very select the real run deletes by) ÷ one pass of a window-function
// select over the same table (each row's predecessor of the same record, counted): the least
// any way of finding them must read. The fastest of three each.
//
// purge_chunked: HistoryMaintenance::purge of 个人信息 with the default chunk (each chunk its own
// transaction and journal entry) ÷ one bare DELETE of the same rows and its COMMIT, each on a
// copy of its own of the same register. The rows: those saved before the day after the
// 1,000,000th oldest snapshot's, or after the middle one's when the table holds fewer than two
// million.
//
// reader_wait_purge: the longest a grid's page read waits while that purge runs: the person
// history read as an as-needed grid reads it (pages of 1,000 rows by key, round and round) on a
// connection of its own, as another program on the same register would. Absolute. The same
// reader runs during the bare DELETE too, so both deletions compete with it alike, and what it
// waited there is printed beside.
//
//   hm_bench_maintain --files DIR        (DIR holds register.db and history.db)
//   hm_bench_maintain --pg CONNINFO      (its database is copied with CREATE DATABASE … TEMPLATE,
//                                         so nobody else may be connected to it)
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point a)
{
    return std::chrono::duration<double>(Clock::now() - a).count();
}

// Copies of the register, and how a connection pair reaches one. On the files, copies of both
// files in a temporary folder; on the server, databases of the same cluster made from the
// register's database as a template, dropped again at the end.
struct Copies
{
    bool server = false;
    QString folder;              // files: the register's folder
    QByteArray conninfo, source; // server: the register's connection string and database
    QTemporaryDir dir;
    QList<QByteArray> made;

    ~Copies() { dropAll(); }
    const char *name() const { return server ? "server" : "files"; }

    // Runs one statement on a database of the cluster other than the register's (the copied
    // database may have no other session, this one included); the error text, empty on success.
    QByteArray admin(const QByteArray &sql) const
    {
        const QByteArray maintenance = source == "postgres" ? "template1" : "postgres";
        PGconn *c = PQconnectdb((conninfo + " dbname=" + maintenance).constData());
        QByteArray error;
        PQsetNoticeProcessor(c, [](void *, const char *) {}, nullptr); // "does not exist, skipping"
        if (PQstatus(c) != CONNECTION_OK) {
            error = PQerrorMessage(c);
        } else {
            PGresult *r = PQexec(c, sql.constData());
            if (PQresultStatus(r) != PGRES_COMMAND_OK)
                error = PQresultErrorMessage(r);
            PQclear(r);
        }
        PQfinish(c);
        return error;
    }

    bool make(const QString &copy, QString &error)
    {
        if (!server) {
            const QString to = QDir(dir.path()).filePath(copy);
            QDir().mkpath(to);
            for (const QString &file : {host::RegisterDatabases::liveFileName(), host::RegisterDatabases::historyFileName()}) {
                if (!QFile::copy(QDir(folder).filePath(file), QDir(to).filePath(file))) {
                    error = QStringLiteral("cannot copy %1 of %2").arg(file, folder);
                    return false;
                }
            }
            return true;
        }
        if (source.isEmpty()) {
            PGconn *c = PQconnectdb(conninfo.constData());
            if (PQstatus(c) != CONNECTION_OK) {
                error = QString::fromUtf8(PQerrorMessage(c));
                PQfinish(c);
                return false;
            }
            source = PQdb(c);
            PQfinish(c);
        }
        const QByteArray db = "hm_bench_" + copy.toUtf8();
        admin("DROP DATABASE IF EXISTS \"" + db + "\"");
        const QByteArray failed = admin("CREATE DATABASE \"" + db + "\" TEMPLATE \"" + source + "\"");
        if (!failed.isEmpty()) {
            error = QString::fromUtf8(failed);
            return false;
        }
        made << db;
        return true;
    }

    bool connect(const QString &copy, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error) const
    {
        if (server) {
            // A later keyword of a connection string overrides an earlier one.
            const QString to = QString::fromUtf8(conninfo) + QStringLiteral(" dbname=hm_bench_") + copy;
            return host::RegisterDatabases::connectServer(to, sqlca, photosqlca, error) == 0;
        }
        const QDir at(QDir(dir.path()).filePath(copy));
        return host::RegisterDatabases::connect(at.filePath(host::RegisterDatabases::liveFileName()),
                                                at.filePath(host::RegisterDatabases::historyFileName()), sqlca, photosqlca, error)
               == 0;
    }

    // On the server, a checkpoint before each timed deletion: the first change of a page after a
    // checkpoint writes the whole page to the WAL, so a deletion that a checkpoint happened to
    // interrupt would pay that for most of its pages and the other not. Both start right after
    // one instead. Without the right to (a role neither superuser nor pg_checkpoint) it is left
    // out, said once.
    void settle() const
    {
        static bool told = false;
        if (!server)
            return;
        const QByteArray failed = admin("CHECKPOINT");
        if (!failed.isEmpty() && !told) {
            told = true;
            std::fprintf(stderr, "hm_bench_maintain: no checkpoint before the deletions (%s)\n", failed.trimmed().constData());
        }
    }

    void dropAll()
    {
        for (const QByteArray &db : made)
            admin("DROP DATABASE IF EXISTS \"" + db + "\"");
        made.clear();
    }
};

// A grid reading the person history page by page on a connection of its own while `work` runs;
// the longest page read that overlapped it (a failed read counts as endless).
struct ReaderWait
{
    double longest = 0;     // seconds
    double usual = 0;       // the longest before the work started
    long pages = 0, failed = 0;
    bool connected = false;
};

ReaderWait readWhile(const Copies &copies, const QString &copy, const std::function<void()> &work)
{
    struct Read
    {
        Clock::time_point start, end;
        bool failed;
    };
    std::atomic<bool> stop{false}, ready{false};
    std::mutex mutex;
    std::vector<Read> reads;
    ReaderWait out;
    std::thread reader([&] {
        rt::Transaction sqlca(QStringLiteral("grid_sqlca")), photosqlca(QStringLiteral("grid_photosqlca"));
        QString error;
        if (!copies.connect(copy, sqlca, photosqlca, error)) {
            std::fprintf(stderr, "hm_bench_maintain: the reader cannot connect: %s\n", qPrintable(error));
            ready.store(true);
            return;
        }
        out.connected = true;
        rt::DataStore ds;
        ds.SetDataObject(QStringLiteral("dh_ge_personinfo"));
        ds.SetTransObject(&photosqlca);
        ds.setRetrievePortion(1000);
        bool fresh = true;
        while (!stop.load()) {
            const auto a = Clock::now();
            long got;
            if (fresh || !ds.canRetrieveMore()) {
                got = ds.Retrieve();
                fresh = false;
            } else {
                got = ds.RetrieveMore(1000);
                ds.dropRows(); // a grid scrolled on keeps what it shows, not all it read
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                reads.push_back({a, Clock::now(), got < 0});
            }
            ready.store(true);
        }
    });
    while (!ready.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the reader settles
    const auto start = Clock::now();
    work();
    const auto end = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.store(true);
    reader.join();
    for (const Read &r : reads) {
        const double seconds = std::chrono::duration<double>(r.end - r.start).count();
        if (r.end < start) {
            out.usual = std::max(out.usual, seconds);
        } else if (r.start <= end) {
            ++out.pages;
            out.failed += r.failed ? 1 : 0;
            out.longest = std::max(out.longest, seconds);
        }
    }
    if (out.failed > 0 || !out.connected)
        out.longest = 1e9;
    return out;
}

long long countOf(rt::Transaction &t, const QString &sql, const QList<rt::Value> &params = {})
{
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    const long long rows = t.selectInto(sql, params, n) == 0 ? n[0].longValue() : -1;
    if (t.inTransaction())
        t.rollback();
    return rows;
}

void figure(const char *name, double value, double goal, const QString &text)
{
    std::printf("%s: %s=%.2f goal=%.1f%s  %s\n", name, goal < 1 ? "longest" : "ratio", value, goal, goal < 1 ? " s" : "",
                text.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args[1] != QLatin1String("--files") && args[1] != QLatin1String("--pg"))) {
        std::fprintf(stderr, "usage: hm_bench_maintain --files DIR | --pg CONNINFO\n");
        return 2;
    }
    Copies copies;
    copies.server = args[1] == QLatin1String("--pg");
    copies.folder = args[2];
    copies.conninfo = args[2].toUtf8();
    rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_maintain: %s\n", qPrintable(error));
        return 1;
    }
    rt::DwLibrary::setDefaultLibrary(&library);
    const model::Category *persons = model::HistoryMaintenance::categoryByName(QString::fromUtf8("个人信息"));
    const host::TableDef *def = persons ? host::SchemaCatalogue::byTable(persons->historyTable) : nullptr;
    if (!def) {
        std::fprintf(stderr, "hm_bench_maintain: no category 个人信息\n");
        return 1;
    }
    if (!copies.make(QStringLiteral("engine"), error) || !copies.make(QStringLiteral("bare"), error)) {
        std::fprintf(stderr, "hm_bench_maintain: %s\n", qPrintable(error));
        return 1;
    }
    const char *where = copies.name();

    // dedupe, on the engine's copy before anything is deleted from it.
    rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
    if (!copies.connect(QStringLiteral("engine"), sqlca, photosqlca, error)) {
        std::fprintf(stderr, "hm_bench_maintain: %s\n", qPrintable(error));
        return 1;
    }
    model::HistoryMaintenance maintenance(sqlca, photosqlca);
    const QString table = def->historyTable.toLower();
    QStringList keys{def->keyColumn.toLower()};
    if (def->hasOrderNo() && def->keyColumn.compare(QLatin1String("orderno"), Qt::CaseInsensitive) != 0)
        keys << QStringLiteral("orderno");
    const QString window = QStringLiteral("SELECT count(*) FROM (SELECT hisid, lag(hisid) OVER (PARTITION BY %1 ORDER BY savetime, hisid) "
                                          "AS p FROM %2) w WHERE p IS NOT NULL")
                               .arg(keys.join(QStringLiteral(", ")), table);
    const long long total = countOf(photosqlca, QStringLiteral("SELECT count(*) FROM %1").arg(table));
    double engine = 1e100, limit = 1e100;
    long long duplicates = -1, followers = -1;
    for (int round = 0; round < 3; ++round) {
        auto a = Clock::now();
        model::HistoryMaintenance::RunOptions dry;
        dry.dryRun = true;
        model::HistoryMaintenance::RunResult found;
        if (maintenance.dedupe(*persons, dry, found) != 0) {
            std::fprintf(stderr, "hm_bench_maintain: dedupe failed: %s\n", qPrintable(found.error));
            return 1;
        }
        engine = std::min(engine, since(a));
        duplicates = found.deleted.isEmpty() ? 0 : found.deleted[0].rows;
        a = Clock::now();
        followers = countOf(photosqlca, window);
        limit = std::min(limit, since(a));
    }
    figure("dedupe", engine / limit, 2.0,
           QStringLiteral("(%1) dry run %2 s (%3 duplicates) ÷ window select %4 s (%5 rows with a predecessor), %6 rows")
               .arg(QString::fromLatin1(where))
               .arg(engine, 0, 'f', 3)
               .arg(duplicates)
               .arg(limit, 0, 'f', 3)
               .arg(followers)
               .arg(total));

    // The purge's date: the day after the snapshot at the wanted depth.
    const long long wanted = std::min<long long>(1000000, total / 2);
    QList<rt::Value> at{rt::Value::null(rt::ValueType::DateTime)};
    if (wanted < 1
        || photosqlca.selectInto(QStringLiteral("SELECT savetime FROM %1 ORDER BY savetime LIMIT 1 OFFSET %2").arg(table).arg(wanted - 1), {},
                                 at)
               != 0) {
        std::fprintf(stderr, "hm_bench_maintain: the person history is empty (%s)\n", qPrintable(photosqlca.SQLErrText()));
        return 1;
    }
    if (photosqlca.inTransaction())
        photosqlca.rollback();
    model::HistoryMaintenance::PurgePolicy policy;
    policy.before = at[0].dateTime().date().addDays(1);
    const rt::Value midnight{rt::DateTime(policy.before)};
    const long long purgeRows = countOf(photosqlca, QStringLiteral("SELECT count(*) FROM %1 WHERE savetime < ?").arg(table), {midnight});

    // What finding the rows costs of the purge (its dry run), printed beside to tell the parts apart.
    model::HistoryMaintenance::RunOptions dryPurge;
    dryPurge.dryRun = true;
    model::HistoryMaintenance::RunResult counted;
    auto finding = Clock::now();
    maintenance.purge(*persons, policy, dryPurge, counted);
    const double findSeconds = since(finding);

    model::HistoryMaintenance::RunResult purged;
    double chunked = 0;
    int rc = 0;
    copies.settle();
    const ReaderWait duringPurge = readWhile(copies, QStringLiteral("engine"), [&] {
        const auto a = Clock::now();
        rc = maintenance.purge(*persons, policy, model::HistoryMaintenance::RunOptions(), purged);
        chunked = since(a);
    });
    if (rc != 0) {
        std::fprintf(stderr, "hm_bench_maintain: the purge failed: %s\n", qPrintable(purged.error));
        return 1;
    }
    photosqlca.disconnect();
    sqlca.disconnect();

    rt::Transaction bareLive(QStringLiteral("sqlca")), bareHistory(QStringLiteral("photosqlca"));
    if (!copies.connect(QStringLiteral("bare"), bareLive, bareHistory, error)) {
        std::fprintf(stderr, "hm_bench_maintain: %s\n", qPrintable(error));
        return 1;
    }
    double bare = 0;
    long long bareRows = 0;
    bool bareOk = false;
    copies.settle();
    const ReaderWait duringBare = readWhile(copies, QStringLiteral("bare"), [&] {
        const auto a = Clock::now();
        bareOk = bareHistory.execute(QStringLiteral("DELETE FROM %1 WHERE savetime < ?").arg(table), {midnight}) != -1;
        bareRows = bareHistory.SQLNRows();
        bareOk = bareOk && bareHistory.commit() == 0;
        bare = since(a);
    });
    if (!bareOk) {
        std::fprintf(stderr, "hm_bench_maintain: the bare DELETE failed: %s\n", qPrintable(bareHistory.SQLErrText()));
        return 1;
    }
    const long long purgedRows = purged.deleted.isEmpty() ? 0 : purged.deleted[0].rows;
    figure("purge_chunked", chunked / bare, 1.5,
           QStringLiteral("(%1) purge before %2 in %3 chunks %4 s (%5 rows; its dry run %10 s) ÷ bare DELETE %6 s (%7 rows); %8 found "
                          "beforehand, of %9")
               .arg(QString::fromLatin1(where), policy.before.toString(Qt::ISODate))
               .arg(purged.chunks)
               .arg(chunked, 0, 'f', 2)
               .arg(purgedRows)
               .arg(bare, 0, 'f', 2)
               .arg(bareRows)
               .arg(purgeRows)
               .arg(total)
               .arg(findSeconds, 0, 'f', 2));
    figure("reader_wait_purge", duringPurge.longest, 0.5,
           QStringLiteral("(%1) %2 pages read during the purge (%3 failed); an ordinary page read %4 s; during the bare DELETE the "
                          "longest %5 s (%6 pages, %7 failed)")
               .arg(QString::fromLatin1(where))
               .arg(duringPurge.pages)
               .arg(duringPurge.failed)
               .arg(duringPurge.usual, 0, 'f', 4)
               .arg(duringBare.longest, 0, 'f', 3)
               .arg(duringBare.pages)
               .arg(duringBare.failed));
    bareHistory.disconnect();
    bareLive.disconnect();
    return purgedRows == bareRows ? 0 : 1;
}
