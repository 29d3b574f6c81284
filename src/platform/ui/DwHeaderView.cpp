#include "DwHeaderView.h"

#include "DwObjectPainter.h"
#include "platform/dw/DataStore.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>

namespace rt::ui {

DwHeaderView::DwHeaderView(const rt::DataStore &store, QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent), m_ds(store)
{
    setSectionsClickable(true);
    setHighlightSections(false);
}

void DwHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    const rt::DwDefinition &def = m_ds.definition();
    if (logicalIndex < 0 || logicalIndex >= def.columnCount())
        return;
    const QString name = def.column(logicalIndex).name();
    const rt::DwObjectDef *caption = def.object(name + QStringLiteral("_t"));
    painter->save();
    // The area behind a transparent caption is the grid's own background.
    painter->fillRect(rect, palette().color(QPalette::Base));
    if (caption && caption->intProp(QStringLiteral("visible"), 1) != 0)
        DwObjectPainter::drawTextBox(*painter, rect, caption->prop(QStringLiteral("text")), *caption, palette());
    else if (!caption)
        painter->drawText(rect, Qt::AlignCenter, name);
    // The column the rows are sorted by first: a small triangle at the caption's right end,
    // pointing up when ascending.
    const QString first = m_ds.GetSort().section(QLatin1Char(','), 0, 0).simplified();
    if (!first.isEmpty() && first.section(QLatin1Char(' '), 0, 0).compare(name, Qt::CaseInsensitive) == 0) {
        const bool descending = first.section(QLatin1Char(' '), 1, 1).compare(QLatin1String("D"), Qt::CaseInsensitive) == 0;
        const int side = std::max(4, rect.height() / 4);
        const QPointF c(rect.right() - side - 2, rect.center().y());
        const QPolygonF mark = descending ? QPolygonF({c + QPointF(-side / 2.0, -side / 3.0), c + QPointF(side / 2.0, -side / 3.0),
                                                       c + QPointF(0, side / 3.0)})
                                          : QPolygonF({c + QPointF(-side / 2.0, side / 3.0), c + QPointF(side / 2.0, side / 3.0),
                                                       c + QPointF(0, -side / 3.0)});
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::Mid));
        painter->drawPolygon(mark);
    }
    painter->restore();
}

} // namespace rt::ui
