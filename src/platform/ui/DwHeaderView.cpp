#include "DwHeaderView.h"

#include "DwObjectPainter.h"
#include "platform/dw/DataStore.h"

#include <QPainter>

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
    painter->restore();
}

} // namespace rt::ui
