#pragma once

#include "host/ui/w_response.h"

#include <QPointer>

class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace rt::ui {
class DataWindowControl;
}

namespace hm {

class TimelineView;

// 历史轨迹: every state of the record a history row belongs to, newest first, with what changed
// between them. Opened with a history grid or record form whose current row is that row. A
// person's timeline has a tab for each related category; a household's a tab of its members'
// snapshots. 恢复此版本 recovers the chosen snapshot of the record's own category by the same
// path as 恢复数据 (its questions included), after this window (and the record window it was
// opened from) has closed.
class w_histimeline : public host::w_response
{
    Q_OBJECT
public:
    explicit w_histimeline(QWidget *parent = nullptr);

    QLabel *st_record = nullptr;
    QTabWidget *tab_1 = nullptr;
    QPushButton *cb_recover = nullptr, *cb_close = nullptr;
    // The tab of the record's own category, and those of related categories (by tab text).
    TimelineView *mainView() const { return m_main; }
    TimelineView *view(const QString &tabText) const;
    QTableWidget *members() const { return m_members; }

protected:
    void onOpen() override;

private:
    void recoverChosen();
    void addMembers(const QString &householdKey);

    QPointer<rt::ui::DataWindowControl> m_dw;
    TimelineView *m_main = nullptr;
    QTableWidget *m_members = nullptr;
};

} // namespace hm
