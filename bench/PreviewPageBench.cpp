// preview_last_page: the print preview's last page of a grid of 1,000,000 person history rows
// sorted by 姓名 (a text column), read and painted as the preview does (rt::DwPageRows reads it
// from the end of the order, rt::ui::DwPrintRenderer paints it on the preview's paper) ÷ its
// first page: the grid's first rows read in the same order, the pages laid out and the first one
// painted. Both read the order once; the last page must not cost more for the rows before it.
//
//   hm_bench_preview --files HISTORY_DB [--rows N]   (a copy of the file is grown to N rows)
//   hm_bench_preview --pg CONNINFO [--rows N]        (a register of its own: it is grown to N rows)
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwDefinition.h"
#include "platform/dw/DwLibrary.h"
#include "platform/dw/DwPageRows.h"
#include "platform/ui/DwPrintRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

long countRows(rt::Transaction &t)
{
    auto stmt = t.prepare(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"));
    if (!stmt || stmt->step() != rt::DbStep::Row)
        return -1;
    const long n = long(stmt->columnInt64(0));
    stmt->reset();
    return n;
}

// The person history copied onto itself until it has rows rows.
bool grow(rt::Transaction &t, const rt::DwDefinition &def, long rows)
{
    QStringList columns;
    for (int c = 0; c < def.columnCount(); ++c) {
        if (def.column(c).name().compare(QLatin1String("hisid"), Qt::CaseInsensitive) != 0)
            columns << def.column(c).name();
    }
    for (long n = countRows(t); n >= 0 && n < rows; n = countRows(t)) {
        const QString copy = QStringLiteral("INSERT INTO th_ge_personinfo (%1) SELECT %1 FROM th_ge_personinfo LIMIT %2")
                                 .arg(columns.join(QLatin1Char(',')))
                                 .arg(std::min(n, rows - n));
        if (t.execute(copy) != 0 || t.commit() != 0) {
            std::fprintf(stderr, "hm_bench_preview: %s\n", qPrintable(t.SQLErrText()));
            return false;
        }
    }
    return countRows(t) >= rows;
}

struct Timing
{
    double first = 1e100, last = 1e100;
    long total = 0;
    int pages = 0;
};

Timing measure(rt::Transaction &t, const rt::DwLibrary &library)
{
    Timing timing;
    const QPageLayout paper = rt::ui::DwPrintRenderer::defaultPageLayout();
    timing.total = countRows(t); // the grid's counter has counted it before the preview opens
    for (int round = 0; round < 3; ++round) {
        rt::DataStore grid;
        grid.SetDataObject(QStringLiteral("dh_ge_personinfo"), &library);
        grid.SetTransObject(&t);
        grid.setRetrievePortion(1000);
        grid.SetSort(QStringLiteral("personname A"));
        QElapsedTimer clock;
        clock.start();
        // The first page: the grid's first rows in the order, the pages laid out, page 1 painted.
        if (grid.Retrieve() < 0) {
            std::fprintf(stderr, "hm_bench_preview: %s\n", qPrintable(grid.lastError()));
            return {};
        }
        rt::ui::DwPrintRenderer renderer(grid, QString::fromUtf8("个人信息"));
        rt::DwPageRows rows(grid, timing.total);
        renderer.setRows(&rows);
        renderer.layout(paper);
        QString error;
        const auto [firstOfFirst, lastOfFirst] = renderer.rowsOf(0);
        rows.hold(firstOfFirst, lastOfFirst, error);
        QImage image = renderer.sheet(0, paper, 96);
        timing.first = std::min(timing.first, double(clock.nsecsElapsed()) / 1e9);
        // 末页: its rows read from the end of the order, then painted.
        const int last = renderer.pageCount() - 1;
        clock.restart();
        const auto [firstOfLast, lastOfLast] = renderer.rowsOf(last);
        if (!rows.hold(firstOfLast, lastOfLast, error)) {
            std::fprintf(stderr, "hm_bench_preview: %s\n", qPrintable(error));
            return {};
        }
        image = renderer.sheet(last, paper, 96);
        timing.last = std::min(timing.last, double(clock.nsecsElapsed()) / 1e9);
        timing.pages = renderer.pageCount();
    }
    return timing;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    long rows = 1000000;
    const int rowsAt = int(args.indexOf(QStringLiteral("--rows")));
    if (rowsAt > 0 && rowsAt + 1 < args.size())
        rows = args[rowsAt + 1].toLong();
    if (args.size() < 3 || (args[1] != QLatin1String("--files") && args[1] != QLatin1String("--pg"))) {
        std::fprintf(stderr, "usage: hm_bench_preview --files HISTORY_DB | --pg CONNINFO [--rows N]\n");
        return 2;
    }
    rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_preview: %s\n", qPrintable(error));
        return 1;
    }
    const bool server = args[1] == QLatin1String("--pg");
    rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
    QTemporaryDir dir;
    if (server) {
        if (host::RegisterDatabases::connectServer(args[2], sqlca, photosqlca, error) != 0) {
            std::fprintf(stderr, "hm_bench_preview: %s\n", qPrintable(error));
            return 1;
        }
    } else {
        // A copy: the bench's register stays as it was made.
        const QString copy = dir.filePath(QStringLiteral("history.db"));
        if (!QFile::copy(args[2], copy)) {
            std::fprintf(stderr, "hm_bench_preview: cannot copy %s\n", qPrintable(args[2]));
            return 1;
        }
        photosqlca.Database = copy;
        if (photosqlca.connect() != 0) {
            std::fprintf(stderr, "hm_bench_preview: %s\n", qPrintable(photosqlca.SQLErrText()));
            return 1;
        }
    }
    rt::DataStore shape;
    shape.SetDataObject(QStringLiteral("dh_ge_personinfo"), &library);
    if (!grow(photosqlca, shape.definition(), rows))
        return 1;
    const Timing t = measure(photosqlca, library);
    if (t.pages == 0)
        return 1;
    std::printf("grid: th_ge_personinfo sorted by personname, %ld rows, %d pages (%s)\n", t.total, t.pages,
                server ? "server" : "files");
    std::printf("preview_last_page (%s): ratio=%.2f goal=2.0  last=%.4g s  first=%.4g s\n", server ? "server" : "files",
                t.last / t.first, t.last, t.first);
    return 0;
}
