#pragma once

#include "host/ui/w_response.h"
#include "model/HistoryMaintenance.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace host {
class DateField;
}

namespace hm {

class HistoryYearChart;

// 历史统计: where the register's history is, before anyone deletes it. A line per category with
// its history rows, its duplicate snapshots (equal to the one before them), its oldest and newest
// SaveTime, and what the policy typed below would delete (预计删除), then a line 合计 for them
// all; the chart shows the chosen line's rows per year of SaveTime; under it the history's size.
//
// The policy: snapshots older than N years, months or days (before 00:00 of the day that many
// before today), or before a date, keeping the newest N of each record; 预计删除 counts with the
// very selects a purge deletes by (a dry run: nothing is deleted here).
//
// 去除重复快照 removes the duplicates of the chosen category (of every category on 合计) after
// the operator confirms their number (否 the default), each chunk journalled by the engine; a run
// that lasts more than half a second shows its progress and can be stopped between chunks. The
// outcome is told as it was, and the figures are read again. Esc closes the window.
class w_hisstats : public host::w_response
{
    Q_OBJECT
public:
    enum Col { Name, Rows, Duplicates, Oldest, Newest, Preview };
    enum Age { Years, Months, Days, Date };

    explicit w_hisstats(QWidget *parent = nullptr);

    QTableWidget *categories = nullptr;
    HistoryYearChart *chart = nullptr;
    QLabel *st_size = nullptr, *st_status = nullptr;
    QComboBox *ddlb_age = nullptr;
    QSpinBox *em_age = nullptr, *em_keeplast = nullptr;
    host::DateField *de_before = nullptr;
    QPushButton *cb_preview = nullptr, *cb_dedupe = nullptr, *cb_refresh = nullptr, *cb_close = nullptr;

    // Reads the figures again; 0, or -1 with the failure in the status line.
    int refresh();
    // Counts what the policy typed would delete, per category, into 预计删除; 0, -1 (a policy
    // refused is told in a box; a failed count in the status line).
    int preview();
    // 去除重复快照 for the line chosen; the rows deleted, 0 when the operator said 否 or there
    // was nothing, -1 on a failure (what was done before it stays done and is told).
    long long dedupe();
    // The date the policy deletes before (invalid when the typed date is not one).
    QDate policyDate() const;
    const model::HistoryMaintenance::Stats &stats() const { return m_stats; }

protected:
    void onOpen() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showChart();
    // The categories of the line chosen: one, or all of them on 合计.
    QList<const model::Category *> chosen() const;

    model::HistoryMaintenance::Stats m_stats;
};

} // namespace hm
