#include "DwGridView.h"

#include "DataWindowControl.h"
#include "DwHeaderView.h"
#include "DwTableModel.h"
#include "FontMap.h"
#include "Units.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace rt::ui {

DwGridView::DwGridView(DataWindowControl *control, DwTableModel *model)
    : QTableView(control), m_control(control), m_model(model)
{
    setHorizontalHeader(new DwHeaderView(control->dataStore(), this));
    setModel(model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Row highlighting is the DataWindow's own (SelectRow), not the view's selection.
    setSelectionMode(QAbstractItemView::NoSelection);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        const rt::DwDefinition &def = m_control->dataStore().definition();
        if (section >= 0 && section < def.columnCount())
            Q_EMIT m_control->captionClicked(def.column(section).name());
    });
    applyDefinition();
}

void DwGridView::applyDefinition()
{
    const rt::DwDefinition &def = m_control->dataStore().definition();
    // The grid's text font is its columns' font (they share one in every object here).
    if (def.columnCount() > 0) {
        const rt::DwObjectDef &first = def.column(0);
        const QString face = first.prop(QStringLiteral("font.face"));
        setFont(FontMap::font(face.isEmpty() ? QString::fromUtf8("宋体") : face, first.intProp(QStringLiteral("font.height"), -9)));
    }
    const int rowHeight = def.prop(QStringLiteral("detail.height")).toInt();
    verticalHeader()->setDefaultSectionSize(std::max(16, Units::toPixelsY(rowHeight > 0 ? rowHeight : 76)));
    const int headerHeight = def.prop(QStringLiteral("header.height")).toInt();
    horizontalHeader()->setFixedHeight(std::max(18, Units::toPixelsY(headerHeight > 0 ? headerHeight : 88)));
    for (int c = 0; c < def.columnCount(); ++c) {
        const rt::DwObjectDef &col = def.column(c);
        setColumnHidden(c, col.intProp(QStringLiteral("visible"), 1) == 0);
        const int width = col.intProp(QStringLiteral("width"), 300);
        setColumnWidth(c, std::max(8, Units::toPixelsX(width)));
    }
    // Columns stand in the order of their x, as the object (or the display customisation) puts them.
    const QList<int> order = def.displayOrder();
    for (int visual = 0; visual < order.size(); ++visual) {
        const int from = horizontalHeader()->visualIndex(order[visual]);
        if (from != visual)
            horizontalHeader()->moveSection(from, visual);
    }
    setEnabled(true);
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

void DwGridView::showCurrentRow(long row)
{
    m_model->ensureShown(row);
    if (row < 1 || row > m_model->rowCount())
        return;
    int column = currentIndex().isValid() ? currentIndex().column() : -1;
    if (column < 0 || isColumnHidden(column)) {
        for (int c = 0; c < m_model->columnCount(); ++c) {
            if (!isColumnHidden(c)) {
                column = c;
                break;
            }
        }
    }
    const QModelIndex i = m_model->index(int(row - 1), std::max(0, column));
    setCurrentIndex(i);
    scrollTo(i);
}

void DwGridView::hit(const QPoint &pos, long &row, int &column) const
{
    const QModelIndex i = indexAt(pos);
    row = i.isValid() ? i.row() + 1 : 0;
    column = i.isValid() ? i.column() + 1 : 0;
}

void DwGridView::notify(QMouseEvent *event, bool onHeader, bool doubleClick)
{
    const rt::DwDefinition &def = m_control->dataStore().definition();
    const QPoint pos = event->position().toPoint();
    long row = 0;
    int column = 0;
    QString dwo;
    if (onHeader) {
        const int section = horizontalHeader()->logicalIndexAt(pos);
        if (section >= 0 && section < def.columnCount()) {
            const QString caption = def.column(section).name() + QStringLiteral("_t");
            if (def.object(caption))
                dwo = def.object(caption)->name();
        }
    } else {
        hit(pos, row, column);
        if (column > 0)
            dwo = def.column(column - 1).name();
    }
    // The clicked column is a column of the detail band only: a header caption is not one.
    m_control->setClickedColumn(onHeader ? 0 : column);
    const QWidget *origin = onHeader ? horizontalHeader()->viewport() : viewport();
    const QPoint inControl = origin->mapTo(m_control, pos);
    const int x = Units::fromPixelsX(inControl.x()), y = Units::fromPixelsY(inControl.y());
    if (doubleClick) {
        Q_EMIT m_control->doubleclicked(x, y, row, dwo);
        return;
    }
    if (event->button() == Qt::RightButton) {
        Q_EMIT m_control->rbuttondown(x, y, row, dwo);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        if (row > 0)
            m_control->SetRow(row);
        Q_EMIT m_control->clicked(x, y, row, dwo);
    }
}

void DwGridView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    notify(event, false, false);
}

void DwGridView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    long row = 0;
    int column = 0;
    hit(pos, row, column);
    const QPoint inControl = viewport()->mapTo(m_control, pos);
    const rt::DwDefinition &def = m_control->dataStore().definition();
    Q_EMIT m_control->lbuttonUp(Units::fromPixelsX(inControl.x()), Units::fromPixelsY(inControl.y()), row,
                                column > 0 ? def.column(column - 1).name() : QString());
}

void DwGridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    notify(event, false, true);
}

void DwGridView::keyPressEvent(QKeyEvent *event)
{
    Q_EMIT m_control->keyDown(event->key(), event->modifiers());
    const long rows = m_control->RowCount();
    const long current = m_control->GetRow();
    const long page = std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
    long target = current;
    switch (event->key()) {
    case Qt::Key_Up: target = current - 1; break;
    case Qt::Key_Down: target = current + 1; break;
    case Qt::Key_PageUp: target = current - page; break;
    case Qt::Key_PageDown: target = current + page; break;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier)
            target = 1;
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier)
            target = rows;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: QTableView::keyPressEvent(event); return;
    default: return;
    }
    if (rows > 0 && target != current)
        m_control->SetRow(std::clamp<long>(target, 1, rows));
}

bool DwGridView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            notify(static_cast<QMouseEvent *>(event), true, false);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            notify(static_cast<QMouseEvent *>(event), true, true);
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace rt::ui
