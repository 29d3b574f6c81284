// open_large: a category click to the first painted rows of 个人信息 on a large register, against
// the same on a register of 10,000 history rows. A history grid reads its first rows and shows
// them; the rest is read as it is scrolled to, so opening must not grow with the register.
// open_memory: the heap the open took (an absolute figure, goal 64 MB), and after reading the
// person grid to its last row, the heap it then holds against the payload of its rows (goal 2).
// page_depth: a page of 1,000 rows read by key near the end of the person history ÷ the first
// page; beside it the same for LIMIT … OFFSET, the mechanism not chosen.
//
//   hm_bench_open --files LARGE_DIR SMALL_DIR      (register.db and history.db in each)
//   hm_bench_open --pg LARGE_CONNINFO SMALL_CONNINFO
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "host/ui/Globals.h"
#include "host/ui/HostWindows.h"
#include "host/ui/uo_button.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwPager.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/DwGridView.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/Windows.h"
#include "shell/HistoryModule.h"
#include "shell/w_histmanage.h"

#include "PaintWatch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <cstdio>
#include <malloc.h>

namespace {

std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// What the rows hold: text bytes, 8 for any other value that is not null.
double payloadOf(const rt::DataStore &ds)
{
    double bytes = 0;
    const rt::DwDefinition &def = ds.definition();
    for (long r = 1; r <= ds.RowCount(); ++r) {
        for (int c = 0; c < def.columnCount(); ++c) {
            const rt::Value v = ds.GetItem(r, c + 1);
            if (v.isNull())
                continue;
            bytes += v.type() == rt::ValueType::String ? double(v.string().toUtf8().size()) : 8.0;
        }
    }
    return bytes;
}

struct Opened
{
    double seconds = 0;
    double heapMb = 0;        // taken by the open
    double fullHeapBytes = 0; // held once the person grid is read to its end
    double payloadBytes = 0;
    long rows = 0, total = 0;
};

bool connectTo(bool server, const QString &where, QString &error)
{
    host::Globals &g = host::g();
    g.sqlca.disconnect();
    g.photosqlca.disconnect();
    if (server)
        return host::RegisterDatabases::connectServer(where, g.sqlca, g.photosqlca, error) == 0;
    const QDir dir(where);
    return host::RegisterDatabases::connect(dir.filePath(QStringLiteral("register.db")), dir.filePath(QStringLiteral("history.db")),
                                            g.sqlca, g.photosqlca, error)
           == 0;
}

bool openOnce(bool server, const QString &where, bool readToTheEnd, Opened &out, QString &error)
{
    if (!connectTo(server, where, error))
        return false;
    auto *frame = new hm::w_histmanage;
    rt::ui::Windows::Open(frame);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    malloc_trim(0);
    const std::size_t before = heapInUse();
    QElapsedTimer timer;
    timer.start();
    frame->categoryButton(QStringLiteral("p_personinfo"))->click();
    rt::ui::DataWindowControl *grid = nullptr;
    if (rt::ui::PbWindow *sheet = frame->GetActiveSheet())
        rt::ui::LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
    if (!grid || !grid->gridView()) {
        error = QStringLiteral("the person grid did not open");
        return false;
    }
    PaintWatch watch;
    grid->gridView()->viewport()->installEventFilter(&watch);
    while (!watch.painted)
        QApplication::processEvents();
    out.seconds = double(timer.nsecsElapsed()) / 1e9;
    out.heapMb = double(heapInUse() - std::min(before, heapInUse())) / (1024.0 * 1024.0);
    out.total = long(grid->waitForTotal());
    if (readToTheEnd) {
        // As Ctrl+End pressed until the last row: every page read into the grid.
        const std::size_t held = heapInUse();
        if (grid->RetrieveAll() < 0) {
            error = grid->lastError() + grid->dataStore().lastError();
            return false;
        }
        // The view then shows the last row: every row is the model's and the view's.
        grid->ScrollToRow(grid->RowCount());
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        malloc_trim(0);
        out.rows = grid->RowCount();
        out.fullHeapBytes = double(heapInUse() - std::min(held, heapInUse())) + out.heapMb * 1024 * 1024;
        out.payloadBytes = payloadOf(grid->dataStore());
    }
    rt::ui::Windows::Close(frame);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return true;
}

// Reads a select to its end; the seconds it took, the fastest of three.
double readSeconds(rt::Transaction &t, const QString &sql, const QList<rt::Value> &binds)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        auto stmt = t.prepare(sql);
        if (!stmt)
            return -1;
        for (int i = 0; i < binds.size(); ++i)
            stmt->bind(i, binds[i]);
        long rows = 0;
        while (stmt->step() == rt::DbStep::Row)
            ++rows;
        stmt->reset();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

void figure(const char *name, double ratio, double goal, const QString &detail)
{
    std::printf("%s: ratio=%.2f goal=%.1f  %s\n", name, ratio, goal, detail.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || (args[1] != QLatin1String("--files") && args[1] != QLatin1String("--pg"))) {
        std::fprintf(stderr, "usage: hm_bench_open --files LARGE_DIR SMALL_DIR | --pg LARGE SMALL\n");
        return 64;
    }
    const bool server = args[1] == QLatin1String("--pg");
    static rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error) || !hm::HistoryModule::registerObjects(library, error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    rt::DwLibrary::setDefaultLibrary(&library);
    host::HostWindows::registerWindows();
    hm::HistoryModule::registerWindows();

    // Small and large in turns, three times each: the fastest open of each counts (the first
    // opens of a file pay for the page cache).
    Opened small, large, best[2];
    best[0].seconds = best[1].seconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        for (int which = 0; which < 2; ++which) {
            Opened o;
            if (!openOnce(server, args[2 + (which == 0 ? 1 : 0)], false, o, error)) {
                std::fprintf(stderr, "%s\n", error.toUtf8().constData());
                return 1;
            }
            if (o.seconds < best[which].seconds)
                best[which] = o;
        }
    }
    small = best[0];
    large = best[1];
    const char *backend = server ? "server" : "files";
    figure("open_large", large.seconds / small.seconds, 2.0,
           QStringLiteral("(%1) %2 ms ÷ %3 ms, person history %4 rows ÷ %5 rows")
               .arg(QString::fromLatin1(backend))
               .arg(large.seconds * 1000, 0, 'f', 1)
               .arg(small.seconds * 1000, 0, 'f', 1)
               .arg(large.total)
               .arg(small.total));
    Opened full;
    if (!openOnce(server, args[2], true, full, error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    figure("open_memory", large.heapMb / 64.0, 1.0,
           QStringLiteral("(%1) heap taken by the open %2 MB, limit 64 MB").arg(QString::fromLatin1(backend)).arg(large.heapMb, 0, 'f', 1));
    figure("open_memory_end", full.fullHeapBytes / std::max(1.0, full.payloadBytes), 2.0,
           QStringLiteral("(%1) read to the last row: heap %2 MB ÷ payload %3 MB, %4 rows")
               .arg(QString::fromLatin1(backend))
               .arg(full.fullHeapBytes / 1048576.0, 0, 'f', 1)
               .arg(full.payloadBytes / 1048576.0, 0, 'f', 1)
               .arg(full.rows));
    // Pages by key against pages by offset, at the start and near the end of the table.
    if (!connectTo(server, args[2], error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    rt::Transaction &t = host::g().photosqlca;
    const QString select = library.find(QStringLiteral("dh_ge_personinfo"), error)->select();
    QList<rt::Value> last{rt::Value::null(rt::ValueType::Long)};
    t.selectInto(QStringLiteral("SELECT max(hisid) FROM th_ge_personinfo"), {}, last);
    const QList<rt::DwPager::Key> keys{{QStringLiteral("hisid"), false, true, QString()}};
    QList<rt::Value> binds;
    const double firstKey = readSeconds(t, rt::DwPager::pageSelect(select, keys, nullptr, 1000, binds), binds);
    const QList<rt::Value> after{rt::Value(qint64(last[0].longValue() - 2000))};
    const QString deepSql = rt::DwPager::pageSelect(select, keys, &after, 1000, binds);
    const double deepKey = readSeconds(t, deepSql, binds);
    const double firstOffset = readSeconds(t, select + QStringLiteral(" ORDER BY hisid LIMIT 1000 OFFSET 0"), {});
    const double deepOffset
        = readSeconds(t, select + QStringLiteral(" ORDER BY hisid LIMIT 1000 OFFSET %1").arg(std::max<long>(0, full.rows - 2000)), {});
    figure("page_depth", deepKey / firstKey, 2.0,
           QStringLiteral("(%1) by key: last pages %2 ms ÷ first %3 ms; by offset: %4 ms ÷ %5 ms (%6)")
               .arg(QString::fromLatin1(backend))
               .arg(deepKey * 1000, 0, 'f', 2)
               .arg(firstKey * 1000, 0, 'f', 2)
               .arg(deepOffset * 1000, 0, 'f', 2)
               .arg(firstOffset * 1000, 0, 'f', 2)
               .arg(deepOffset / firstOffset, 0, 'f', 1));
    return 0;
}
