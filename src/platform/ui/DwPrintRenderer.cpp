#include "DwPrintRenderer.h"

#include "DwObjectPainter.h"
#include "DwValueFormat.h"
#include "FontMap.h"
#include "Units.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwStoreRows.h"

#include <QGuiApplication>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPalette>

namespace rt::ui {

DwPrintRenderer::DwPrintRenderer(const rt::DataStore &store, QString title)
    : m_ds(store), m_ownRows(std::make_unique<rt::DwStoreRows>(store)), m_rows(m_ownRows.get()), m_title(std::move(title))
{
}

DwPrintRenderer::~DwPrintRenderer() = default;

void DwPrintRenderer::setRows(rt::DwRowSource *rows)
{
    m_rows = rows ? rows : m_ownRows.get();
}

QPageLayout DwPrintRenderer::defaultPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

void DwPrintRenderer::layout(const QPageLayout &paper)
{
    // Points to layout pixels, rounded down alike for every device.
    const QRectF area = paper.paintRect(QPageLayout::Point);
    layout(QSize(int(area.width() * LayoutDpi / 72.0), int(area.height() * LayoutDpi / 72.0)));
}

void DwPrintRenderer::layout(const QSize &area)
{
    m_page = area;
    m_pages.clear();
    m_columns.clear();
    const rt::DwDefinition &def = m_ds.definition();
    m_titleHeight = 40;
    m_footerHeight = 28;
    const int detail = def.prop(QStringLiteral("detail.height")).toInt();
    const int header = def.prop(QStringLiteral("header.height")).toInt();
    m_rowHeight = std::max(1, Units::toPixelsY(detail > 0 ? detail : 76));
    m_headerHeight = Units::toPixelsY(header > 0 ? header : 88);
    const long rows = def.style == rt::DwStyle::Grid && m_rows->rowCount() >= 0 ? m_rows->rowCount() : m_ds.RowCount();

    if (def.style != rt::DwStyle::Grid) {
        if (m_currentRowOnly) {
            const long r = m_ds.GetRow() > 0 ? m_ds.GetRow() : 1;
            m_pages.append({r, r, 0, -1});
        } else {
            for (long r = 1; r <= std::max<long>(rows, 1); ++r)
                m_pages.append({r, r, 0, -1});
        }
        return;
    }
    for (const int c : def.displayOrder()) {
        if (def.column(c).intProp(QStringLiteral("visible"), 1) != 0)
            m_columns << c;
    }
    // Columns that fit across one page, then the next group, and so on.
    QList<std::pair<int, int>> groups;
    const int usable = std::max(1, m_page.width());
    int start = 0, width = 0;
    for (int i = 0; i < m_columns.size(); ++i) {
        const int w = Units::toPixelsX(def.column(m_columns[i]).intProp(QStringLiteral("width"), 300));
        if (i > start && width + w > usable) {
            groups.append({start, i - 1});
            start = i;
            width = 0;
        }
        width += w;
    }
    if (!m_columns.isEmpty())
        groups.append({start, int(m_columns.size()) - 1});
    const int bodyHeight = m_page.height() - m_titleHeight - m_headerHeight - m_footerHeight;
    const long perPage = std::max<long>(1, bodyHeight / m_rowHeight);
    for (long first = 1; first <= std::max<long>(rows, 1); first += perPage) {
        for (const auto &g : groups)
            m_pages.append({first, std::min(rows, first + perPage - 1), g.first, g.second});
        if (groups.isEmpty())
            m_pages.append({first, std::min(rows, first + perPage - 1), 0, -1});
    }
}

std::pair<long, long> DwPrintRenderer::rowsOf(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= m_pages.size())
        return {1, 0};
    return {m_pages[pageIndex].firstRow, m_pages[pageIndex].lastRow};
}

QFont DwPrintRenderer::font(const QString &face, int points, bool bold) const
{
    QFont f = FontMap::font(face, points, bold);
    f.setPointSizeF(f.pointSizeF() * m_fontScale);
    return f;
}

void DwPrintRenderer::paintFooter(QPainter &p, int number) const
{
    p.setPen(Qt::black);
    p.setFont(font(QString::fromUtf8("宋体"), 9));
    const QRect footer(0, m_page.height() - m_footerHeight, m_page.width(), m_footerHeight);
    p.drawText(footer, Qt::AlignCenter, QString::fromUtf8("第 %1 页，共 %2 页").arg(number).arg(pageCount()));
}

void DwPrintRenderer::paintGridPage(QPainter &p, const Page &page, int number) const
{
    const rt::DwDefinition &def = m_ds.definition();
    const QPalette pal = QGuiApplication::palette();
    p.setPen(Qt::black);
    p.setFont(font(QString::fromUtf8("宋体"), 14, true));
    p.drawText(QRect(0, 0, m_page.width(), m_titleHeight), Qt::AlignCenter, m_title);
    int x = 0;
    const int headerTop = m_titleHeight;
    QString error;
    if (!m_rows->hold(page.firstRow, page.lastRow, error))
        m_rowsError = error;
    const long lastRow = std::min(page.lastRow, m_rows->lastHeld());
    for (int i = page.firstColumn; i <= page.lastColumn; ++i) {
        const rt::DwObjectDef &col = def.column(m_columns[i]);
        const int w = Units::toPixelsX(col.intProp(QStringLiteral("width"), 300));
        const QRect head(x, headerTop, w, m_headerHeight);
        if (const rt::DwObjectDef *caption = def.object(col.name() + QStringLiteral("_t")))
            DwObjectPainter::drawTextBox(p, head, caption->prop(QStringLiteral("text")), *caption, pal, m_fontScale);
        else
            p.drawText(head, Qt::AlignCenter, col.name());
        p.setPen(Qt::black);
        p.drawRect(head.adjusted(0, 0, -1, -1));
        const QString face = col.prop(QStringLiteral("font.face"));
        const QFont cellFont = font(face.isEmpty() ? QString::fromUtf8("宋体") : face, 9);
        int y = headerTop + m_headerHeight;
        for (long r = page.firstRow; r <= lastRow; ++r) {
            const QRect cell(x, y, w, m_rowHeight);
            p.setPen(QColor(0xC0, 0xC0, 0xC0));
            p.drawRect(cell.adjusted(0, 0, -1, -1));
            p.setPen(Qt::black);
            p.setFont(cellFont);
            p.drawText(cell.adjusted(3, 0, -3, 0), int(DwObjectPainter::alignmentOf(col)),
                       DwValueFormat::display(m_rows->item(r, m_columns[i] + 1), col));
            y += m_rowHeight;
        }
        x += w;
    }
    paintFooter(p, number);
}

void DwPrintRenderer::paintFormPage(QPainter &p, const Page &page, int number) const
{
    const rt::DwDefinition &def = m_ds.definition();
    const QPalette pal = QGuiApplication::palette();
    p.setPen(Qt::black);
    p.setFont(font(QString::fromUtf8("宋体"), 14, true));
    p.drawText(QRect(0, 0, m_page.width(), m_titleHeight), Qt::AlignCenter, m_title);
    p.save();
    p.translate(0, m_titleHeight);
    for (const rt::DwObjectDef &o : def.objects()) {
        if (o.intProp(QStringLiteral("visible"), 1) == 0)
            continue;
        const QRect box = DwObjectPainter::boxOf(o);
        switch (o.kind()) {
        case rt::DwObjectKind::Text:
            DwObjectPainter::drawTextBox(p, box, o.prop(QStringLiteral("text")), o, pal, m_fontScale);
            break;
        case rt::DwObjectKind::Column:
            DwObjectPainter::drawTextBox(p, box, DwValueFormat::display(m_ds.GetItem(page.firstRow, def.findColumn(o.name()) + 1), o),
                                         o, pal, m_fontScale);
            break;
        case rt::DwObjectKind::Bitmap: DwObjectPainter::drawPicture(p, box, o); break;
        case rt::DwObjectKind::Line: DwObjectPainter::drawLine(p, o, pal); break;
        default: break;
        }
    }
    p.restore();
    paintFooter(p, number);
}

void DwPrintRenderer::paintPage(QPainter &painter, int index) const
{
    m_rowsError.clear();
    if (index < 0 || index >= m_pages.size())
        return;
    // Layout pixels to the device's; a point size is taken at the device's own resolution, so
    // under that scale it is scaled back.
    const QPaintDevice *device = painter.device();
    const double dpiX = device ? device->logicalDpiX() : LayoutDpi, dpiY = device ? device->logicalDpiY() : LayoutDpi;
    painter.save();
    painter.scale(dpiX / LayoutDpi, dpiY / LayoutDpi);
    m_fontScale = LayoutDpi / dpiY;
    if (m_ds.definition().style == rt::DwStyle::Grid)
        paintGridPage(painter, m_pages[index], index + 1);
    else
        paintFormPage(painter, m_pages[index], index + 1);
    painter.restore();
}

QImage DwPrintRenderer::sheet(int index, const QPageLayout &paper, int dpi) const
{
    QImage image(paper.fullRectPixels(dpi).size(), QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter p(&image);
    p.translate(paper.paintRectPixels(dpi).topLeft());
    paintPage(p, index);
    return image;
}

bool DwPrintRenderer::render(QPagedPaintDevice &device, QString &errorText, const std::function<bool(int, int)> &progress)
{
    layout(device.pageLayout());
    m_rowsError.clear();
    QPainter painter;
    if (!painter.begin(&device)) {
        errorText = QStringLiteral("cannot start printing");
        return false;
    }
    for (int i = 0; i < pageCount(); ++i) {
        if (progress && !progress(i, pageCount())) {
            painter.end();
            errorText = QStringLiteral("cancelled");
            return false;
        }
        if (i > 0 && !device.newPage()) {
            errorText = QStringLiteral("cannot start page %1").arg(i + 1);
            return false;
        }
        paintPage(painter, i);
        if (!m_rowsError.isEmpty()) {
            painter.end();
            errorText = m_rowsError;
            return false;
        }
    }
    painter.end();
    return true;
}

} // namespace rt::ui
