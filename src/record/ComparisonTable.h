#pragma once

#include "record/RecordComparison.h"

#include <QTableWidget>

namespace hm {

// A history row beside the live record, one line per field (字段, 历史记录, 当前记录, 差异); each
// field that differs is tinted and marked "≠", so the mark does not rest on colour alone.
class ComparisonTable : public QTableWidget
{
    Q_OBJECT
public:
    explicit ComparisonTable(QWidget *parent = nullptr);

    // Fills the table; without a live record the 当前记录 column stays empty.
    void fill(const QList<RecordComparison::Field> &fields, bool liveFound);
    // The line telling what the table shows: the legend, "当前无此记录", or the failed read.
    static QString statusText(bool liveFound, const QString &readError);
};

} // namespace hm
