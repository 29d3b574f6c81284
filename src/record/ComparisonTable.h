#pragma once

#include "record/RecordComparison.h"

#include <QTableWidget>

namespace rt {
class DataStore;
}

namespace hm {

// A history row beside the live record, one line per field (字段, 历史记录, 当前记录, 差异); each
// field that differs is tinted and marked "≠", so the mark does not rest on colour alone.
// Whatever the window's width, every column is in view: 字段 and 差异 take what their text needs,
// the two values share the rest and wrap onto as many lines as they need (each value whole as
// its tip too), so nothing is scrolled to sideways or cut.
class ComparisonTable : public QTableWidget
{
    Q_OBJECT
public:
    explicit ComparisonTable(QWidget *parent = nullptr);

    // Fills the table; without a live record the 当前记录 column stays empty.
    void fill(const QList<RecordComparison::Field> &fields, bool liveFound);
    // Brings the first field that differs into view, at the top when the fields below it allow
    // (call once the window is laid out); nothing moves when no field differs.
    void scrollToFirstDifference();
    // The line telling what the table shows: the legend, "当前无此记录", or the failed read.
    static QString statusText(bool liveFound, const QString &readError);
    // "历史记录的保存时间：2024-05-01 09:15:30" for row `row` of a history grid or form, as stored
    // (to the second, and its fraction when it has one); "" when the object has no SaveTime.
    static QString savedText(const rt::DataStore &history, long row);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Shares the viewport's width among the columns and fits each row's height to its lines.
    void fit();
    int m_firstDifference = -1;
    bool m_fitting = false;
};

} // namespace hm
