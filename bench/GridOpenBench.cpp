// grid_open: the time from the end of a retrieve to the first painted frame of a grid over
// 1,000,000 rows, against the same for 1,000 rows. Opening must not grow with the table.
// preview_first_page: the print preview's work before its first page shows (the page layout and
// the painting of that page) for the same grids; it must not grow with the table either.
//
//   hm_bench_ui [--shot FILE]    (runs offscreen; --shot saves the million-row grid as a PNG)
#include "host/HostDwLibrary.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/DwGridView.h"
#include "platform/ui/DwPrintRenderer.h"

#include "PaintWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

// Rows of the person history table's shape, straight into the buffer.
void load(rt::DataStore &ds, long rows)
{
    rt::RowStore &store = ds.store();
    rt::SlotList &primary = ds.buffer(rt::DwBuffer::Primary);
    const QStringList names{QString::fromUtf8("王伟"), QString::fromUtf8("李娜"), QString::fromUtf8("张敏"),
                            QString::fromUtf8("欧阳明月")};
    for (long i = 0; i < rows; ++i) {
        const auto s = store.newRow();
        store.setStatus(s, rt::DwItemStatus::NotModified);
        store.putInt(s, 0, i + 1);
        const QByteArray no = QStringLiteral("32010200%1").arg(i, 8, 10, QLatin1Char('0')).toUtf8();
        store.putText(s, 1, std::string_view(no.constData(), std::size_t(no.size())));
        store.putText(s, 2, std::string_view(no.constData(), 14));
        const QByteArray name = names[int(i % names.size())].toUtf8();
        store.putText(s, 3, std::string_view(name.constData(), std::size_t(name.size())));
        store.putInt(s, 14, (2460000 + i % 1000) * rt::Time::MicrosPerDay + (i % 86400) * 1000000LL);
        primary.append(s);
    }
}

double openSeconds(const rt::DwLibrary &library, long rows, const QString &shot)
{
    rt::ui::DataWindowControl dw;
    dw.dataStore().SetDataObject(QStringLiteral("dh_ge_personinfo"), &library);
    dw.resize(1200, 700);
    dw.show();
    QApplication::processEvents();
    load(dw.dataStore(), rows);
    PaintWatch watch;
    dw.gridView()->viewport()->installEventFilter(&watch);
    QElapsedTimer timer;
    timer.start();
    dw.dataStore().bulkLoad([](rt::RowStore &, rt::SlotList &) {}); // the end of the retrieve
    while (!watch.painted)
        QApplication::processEvents();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!shot.isEmpty())
        dw.grab().save(shot, "PNG");
    return seconds;
}

// As the preview opens: pages laid out for the preview's paper (landscape A4), the first one
// painted at screen resolution.
double previewSeconds(const rt::DwLibrary &library, long rows)
{
    rt::DataStore ds;
    ds.SetDataObject(QStringLiteral("dh_ge_personinfo"), &library);
    load(ds, rows);
    QElapsedTimer timer;
    timer.start();
    rt::ui::DwPrintRenderer renderer(ds, QStringLiteral("个人信息"));
    const QPageLayout paper = rt::ui::DwPrintRenderer::defaultPageLayout();
    renderer.layout(paper);
    const QImage image = renderer.sheet(0, paper, 96);
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString shot;
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--shot"))
        shot = QString::fromLocal8Bit(argv[2]);
    rt::DwLibrary library;
    QString error;
    if (!host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_ui: %s\n", qPrintable(error));
        return 1;
    }
    double small = 1e100, large = 1e100;
    for (int round = 0; round < 3; ++round) {
        small = std::min(small, openSeconds(library, 1000, QString()));
        large = std::min(large, openSeconds(library, qEnvironmentVariableIntValue("HM_ROWS") > 0 ? qEnvironmentVariableIntValue("HM_ROWS") : 1000000, round == 0 ? shot : QString()));
    }
    std::printf("grid_open: ratio=%.2f goal=2.0  engine=%.4g s (1,000,000 rows)  limit=%.4g s (1,000 rows)\n", large / small,
                large, small);
    const long rows = qEnvironmentVariableIntValue("HM_ROWS") > 0 ? qEnvironmentVariableIntValue("HM_ROWS") : 1000000;
    double previewSmall = 1e100, previewLarge = 1e100;
    for (int round = 0; round < 3; ++round) {
        previewSmall = std::min(previewSmall, previewSeconds(library, 1000));
        previewLarge = std::min(previewLarge, previewSeconds(library, rows));
    }
    std::printf("preview_first_page: ratio=%.2f goal=2.0  engine=%.4g s (%ld rows)  limit=%.4g s (1,000 rows)\n",
                previewLarge / previewSmall, previewLarge, rows, previewSmall);
    return 0;
}
