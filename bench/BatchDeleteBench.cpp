// batch_delete: the batch delete dialog's whole 确定 path — the range's rows found, deleted in
// chunks of 10,000 each committed with its journal entry, and the prune of a grid holding the
// whole table — against the bare DELETE statement and its one commit on a copy of the same data,
// in the same run. Half of the largest history table is deleted.
//
//   hm_bench_batch HISTORY.db     (runs offscreen; works on two copies, the file stays as it is)
#include "host/HostDwLibrary.h"
#include "host/HostProcedures.h"
#include "host/JournalSchema.h"
#include "host/ui/Globals.h"
#include "platform/core/Functions.h"
#include "platform/core/SqliteConnection.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/OperatorDialogs.h"
#include "toolbar/BatchDeletion.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The operator is not asked anything here; boxes are only counted.
class SilentOperator : public rt::ui::OperatorDialogs
{
public:
    QString last;
    int messageBox(const QString &, const QString &text, rt::ui::MsgIcon, rt::ui::MsgButtons, int) override
    {
        last = text;
        return 1;
    }
    int chooseColor(long &) override { return 0; }
    int showHelp(const QString &, const QString &) override { return -1; }
    bool yield() override { return false; }
    void responseWindowOpened(rt::ui::PbWindow *) override {}
    void runtimeError(const QString &text) override { last = text; }
    QAction *popupMenu(QMenu &, const QPoint &) override { return nullptr; }
};

// The bare statement on a copy, in the journal mode given, with the program's durability.
double bareDelete(const QString &path, const QByteArray &sql, const char *journalMode)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const QByteArray pragmas = QByteArray("PRAGMA journal_mode=") + journalMode + "; PRAGMA synchronous=FULL; PRAGMA cache_spill="
                               + QByteArray::number(rt::SqliteConnection::SpillPages);
    sqlite3_exec(db, pragmas.constData(), nullptr, nullptr, nullptr);
    const auto a = Clock::now();
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK)
        std::fprintf(stderr, "bare delete: %s\n", error);
    const double t = std::chrono::duration<double>(Clock::now() - a).count();
    std::printf("bare delete removed %d rows\n", sqlite3_changes(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hm_bench_batch HISTORY.db\n");
        return 2;
    }
    SilentOperator silent;
    rt::ui::OperatorDialogs::install(&silent);
    QTemporaryDir dir;
    const QString bare = QDir(dir.path()).filePath(QStringLiteral("bare.db"));
    const QString path = QDir(dir.path()).filePath(QStringLiteral("path.db"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), bare) || !QFile::copy(QString::fromLocal8Bit(argv[1]), path)) {
        std::fprintf(stderr, "hm_bench_batch: cannot copy %s\n", argv[1]);
        return 1;
    }
    rt::Transaction &photosqlca = host::g().photosqlca;
    photosqlca.Database = path;
    if (photosqlca.connect() != 0) {
        std::fprintf(stderr, "hm_bench_batch: %s\n", qPrintable(photosqlca.SQLErrText()));
        return 1;
    }
    host::HostProcedures::registerHistoryProcedures(photosqlca);
    // A register made before the journal gets it, as opening it in the program would.
    if (photosqlca.executeImmediate(host::JournalSchema::createFilesSql()) == -1 || photosqlca.commit() != 0) {
        std::fprintf(stderr, "hm_bench_batch: %s\n", qPrintable(photosqlca.SQLErrText()));
        return 1;
    }
    rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_batch: %s\n", qPrintable(error));
        return 1;
    }
    rt::DwLibrary::setDefaultLibrary(&library);

    // The person history: the largest table of the demo register.
    rt::ui::DataWindowControl grid;
    grid.resize(1200, 800);
    grid.SetDataObject(QStringLiteral("dh_ge_personinfo"));
    grid.SetTransObject(&photosqlca);
    grid.show();
    const long rows = grid.Retrieve();
    grid.SelectRow(1, true); // the grid page highlights its current row
    QApplication::processEvents();
    // From the first saving day to the median one: about half of the rows.
    std::vector<std::int64_t> days;
    for (long r = 1; r <= rows; ++r)
        days.push_back(grid.GetItemDateTime(r, "SaveTime").dateTime().date().toJulianDay());
    std::sort(days.begin(), days.end());
    const QDate from = QDate::fromJulianDay(days.front()), to = QDate::fromJulianDay(days[days.size() / 2]);
    std::printf("table: th_ge_personinfo, %ld rows; range %s to %s\n", rows, qPrintable(from.toString(Qt::ISODate)),
                qPrintable(to.toString(Qt::ISODate)));

    const QByteArray sql = QStringLiteral("delete from th_ge_personinfo where savetime <= '%1 00:00:00' and savetime >= "
                                          "'%2 00:00:00'")
                               .arg(to.toString(Qt::ISODate), from.toString(Qt::ISODate))
                               .toUtf8();
    const double limit = bareDelete(bare, sql, "DELETE");
    // What the rollback journal (one commit across both register files) costs a deletion, beside
    // the same statement in WAL mode, as the files were kept before.
    const QString wal = QDir(dir.path()).filePath(QStringLiteral("wal.db"));
    QFile::copy(QString::fromLocal8Bit(argv[1]), wal);
    const double walLimit = bareDelete(wal, sql, "WAL");
    QFile::remove(wal);

    hm::BatchRequest request;
    request.byRange = true;
    request.start = from;
    request.end = to;
    request.startText = from.toString(Qt::ISODate);
    request.endText = to.toString(Qt::ISODate);
    // Counted before 确定, as the dialog's count line has it when the operator clicks.
    QString refusal, countError;
    const QList<std::pair<QString, long>> counted
        = hm::BatchDeletion::runCounts(photosqlca, hm::BatchDeletion::countQueries(&grid, request, refusal), countError);
    const auto a = Clock::now();
    const QString status = hm::BatchDeletion::execute(&grid, request, &counted);
    QApplication::processEvents(); // the grid shows its new rows
    const double engine = std::chrono::duration<double>(Clock::now() - a).count();
    std::printf("path: %s %s; grid keeps %ld rows\n", qPrintable(silent.last), qPrintable(status), grid.RowCount());
    // A path that failed measured nothing worth a ratio.
    if (grid.RowCount() >= rows) {
        std::fprintf(stderr, "hm_bench_batch: the deletion failed; no figure\n");
        return 1;
    }
    std::printf("batch_delete: ratio=%.2f goal=1.5  engine=%.4g s  limit=%.4g s\n", engine / limit, engine, limit);
    std::printf("journal_cost: ratio=%.2f  bare delete with the rollback journal %.4g s, in WAL mode %.4g s\n", limit / walLimit, limit,
                walLimit);
    photosqlca.disconnect();
    rt::ui::OperatorDialogs::install(nullptr);
    return 0;
}
