#include "record/ComparisonTable.h"

#include <QHeaderView>

namespace hm {

ComparisonTable::ComparisonTable(QWidget *parent) : QTableWidget(0, 4, parent)
{
    setHorizontalHeaderLabels(
        {QString::fromUtf8("字段"), QString::fromUtf8("历史记录"), QString::fromUtf8("当前记录"), QString::fromUtf8("差异")});
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setStretchLastSection(true);
}

void ComparisonTable::fill(const QList<RecordComparison::Field> &fields, bool liveFound)
{
    setRowCount(int(fields.size()));
    for (int r = 0; r < fields.size(); ++r) {
        const RecordComparison::Field &f = fields[r];
        const QStringList cells{f.caption, f.history, liveFound ? f.live : QString(), f.differs ? QString::fromUtf8("≠") : QString()};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (f.differs)
                item->setBackground(QColor(255, 228, 181)); // a warm tint, with the ≠ beside it
            setItem(r, c, item);
        }
    }
}

QString ComparisonTable::statusText(bool liveFound, const QString &readError)
{
    if (!readError.isEmpty())
        return QString::fromUtf8("读取现有记录失败：") + readError;
    return liveFound ? QString::fromUtf8("有差异的字段标为“≠”。") : QString::fromUtf8("当前无此记录");
}

} // namespace hm
