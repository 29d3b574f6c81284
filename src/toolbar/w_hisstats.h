#pragma once

#include "host/ui/w_response.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/ui/AsideWait.h"

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace host {
class DateField;
}

namespace model {
class StatsRead;
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
// the operator confirms their number (否 the default), each chunk journalled by the engine. The
// outcome is told as it was, and the figures are read again. Esc closes the window.
//
// The database work runs on another thread while this one keeps the windows painted
// (rt::ui::AsideWait): the figures and the preview on a connection of the window's own
// (StatsRead), 去除重复快照 on the history connection, lent to it meanwhile (DedupeRun). After
// half a second a progress dialog says what is being done, with 停止: a stopped read shows
// nothing of what it read (the figures before it stay, or none; a stopped preview empties
// 预计删除), a stopped 去除重复快照 ends after the chunk being deleted. While the work runs only
// the progress dialog takes input; a second piece of work is refused, and a close is held until
// the work has ended (then the window closes, after what was done has been told).
class w_hisstats : public host::w_response
{
    Q_OBJECT
public:
    enum Col { Name, Rows, Duplicates, Oldest, Newest, Preview };
    enum Age { Years, Months, Days, Date };

    explicit w_hisstats(QWidget *parent = nullptr);
    ~w_hisstats() override;

    // How the window goes about its work; tests change them.
    struct Options
    {
        int progressAfterMs = rt::ui::AsideWait::ProgressAfterMs;
        long chunkRows = 10000; // 去除重复快照's chunk (one transaction, one journal entry)
        // On the working thread as a read (the figures, the preview) begins.
        std::function<void()> beforeRead;
        // On the working thread after each chunk 去除重复快照 has committed (rows deleted so far).
        std::function<void(long long)> afterChunk;
    };
    Options options;

    QTableWidget *categories = nullptr;
    HistoryYearChart *chart = nullptr;
    QLabel *st_size = nullptr, *st_status = nullptr;
    QComboBox *ddlb_age = nullptr;
    QSpinBox *em_age = nullptr, *em_keeplast = nullptr;
    host::DateField *de_before = nullptr;
    QPushButton *cb_preview = nullptr, *cb_dedupe = nullptr, *cb_refresh = nullptr, *cb_close = nullptr;

    // Reads the figures again; 0, or -1 with the failure (or 统计已停止。) in the status line.
    int refresh();
    // Counts what the policy typed would delete, per category, into 预计删除, filled only once
    // every category is counted; 0, -1 (a policy refused is told in a box; a failed or stopped
    // count in the status line, 预计删除 left empty).
    int preview();
    // 去除重复快照 for the line chosen; the rows deleted (also when stopped), 0 when the operator
    // said 否 or there was nothing, -1 on a failure (what was done before it stays done and is
    // told).
    long long dedupe();
    // Work of the window runs (refresh, preview or 去除重复快照 are then refused: -1, 0).
    bool working() const { return m_working; }
    // The date the policy deletes before (invalid when the typed date is not one).
    QDate policyDate() const;
    const model::HistoryMaintenance::Stats &stats() const { return m_stats; }

protected:
    void onOpen() override;
    int onCloseQuery() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Runs work aside with the window marked working; true unless stopped. The progress dialog
    // ("stats_progress", with 停止) says what face gives: its title, label, percent and stopping
    // label.
    bool runAside(rt::ui::AsideWait::Dialog face, const std::function<void()> &work,
                  const std::function<void()> &stop, const std::function<void()> &whileStopping = {});
    // A close asked for while the work ran is carried out now; true when the window closed.
    bool closeIfAsked();
    void showFigures();
    void clearPreview();
    void showChart();
    // The categories of the line chosen: one, or all of them on 合计.
    QList<const model::Category *> chosen() const;

    model::HistoryMaintenance::Stats m_stats;
    std::unique_ptr<model::StatsRead> m_read;
    bool m_working = false;
    bool m_closeAsked = false;
    bool m_stale = false; // the figures shown predate a 去除重复快照 that deleted rows
};

} // namespace hm
