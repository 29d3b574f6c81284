#include "record/ComparisonTable.h"

#include "platform/dw/DataStore.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QStyle>

namespace hm {

namespace {

enum Column { Caption, History, Live, Mark, Columns };

} // namespace

ComparisonTable::ComparisonTable(QWidget *parent) : QTableWidget(0, Columns, parent)
{
    setHorizontalHeaderLabels(
        {QString::fromUtf8("字段"), QString::fromUtf8("历史记录"), QString::fromUtf8("当前记录"), QString::fromUtf8("差异")});
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The widths are shared out by fit(), on every resize: a section the operator drags would be
    // undone at once, so none can be dragged.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(false);
    setWordWrap(true);
    setTextElideMode(Qt::ElideNone);
    // Rows of several lines scroll smoothly rather than a whole row at a time.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void ComparisonTable::fill(const QList<RecordComparison::Field> &fields, bool liveFound)
{
    setRowCount(int(fields.size()));
    m_firstDifference = -1;
    for (int r = 0; r < fields.size(); ++r) {
        const RecordComparison::Field &f = fields[r];
        const QStringList cells{f.caption, f.history, liveFound ? f.live : QString(), f.differs ? QString::fromUtf8("≠") : QString()};
        for (int c = 0; c < Columns; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (f.differs)
                item->setBackground(QColor(255, 228, 181)); // a warm tint, with the ≠ beside it
            if (c == History || c == Live)
                item->setToolTip(cells[c]);
            if (c == Mark)
                item->setTextAlignment(Qt::AlignCenter);
            setItem(r, c, item);
        }
        if (f.differs && m_firstDifference < 0)
            m_firstDifference = r;
    }
    fit();
}

void ComparisonTable::scrollToFirstDifference()
{
    if (m_firstDifference < 0)
        return;
    fit();
    // The scroll range follows the rows' heights only once the view has taken them in.
    updateGeometries();
    scrollToItem(item(m_firstDifference, Caption), QAbstractItemView::PositionAtTop);
}

void ComparisonTable::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    fit();
}

void ComparisonTable::fit()
{
    // A row growing may bring the scroll bar in, which narrows the viewport and fits again.
    if (m_fitting)
        return;
    const QScopedValueRollback<bool> once(m_fitting, true);
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
    const QFontMetrics metrics(font());
    // 字段 and 差异 as wide as their longest text or caption, on one line.
    const auto natural = [&](int column) {
        int width = horizontalHeader()->sectionSizeHint(column);
        for (int r = 0; r < rowCount(); ++r) {
            if (const QTableWidgetItem *i = item(r, column))
                width = std::max(width, metrics.horizontalAdvance(i->text()) + margin);
        }
        return width;
    };
    const int caption = natural(Caption), mark = natural(Mark);
    const int least = std::max(horizontalHeader()->sectionSizeHint(History), horizontalHeader()->sectionSizeHint(Live));
    const int rest = std::max(2 * least, viewport()->width() - caption - mark);
    horizontalHeader()->resizeSection(Caption, caption);
    horizontalHeader()->resizeSection(History, rest / 2);
    horizontalHeader()->resizeSection(Live, rest - rest / 2);
    horizontalHeader()->resizeSection(Mark, mark);
    resizeRowsToContents();
}

QString ComparisonTable::statusText(bool liveFound, const QString &readError)
{
    if (!readError.isEmpty())
        return QString::fromUtf8("读取现有记录失败：") + readError;
    return liveFound ? QString::fromUtf8("有差异的字段标为“≠”。") : QString::fromUtf8("当前无此记录");
}

QString ComparisonTable::savedText(const rt::DataStore &history, long row)
{
    const int column = history.definition().findColumn(QStringLiteral("SaveTime"));
    if (column < 0 || row < 1 || row > history.RowCount())
        return QString();
    const rt::Value saved = history.GetItem(row, column + 1);
    return QString::fromUtf8("历史记录的保存时间：") + (saved.isNull() ? QString::fromUtf8("（空）") : saved.toText());
}

} // namespace hm
