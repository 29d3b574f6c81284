#pragma once

#include "record/RecordTimeline.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace hm {

// One record's timeline as a table: a line per state, newest first (状态, 保存时间, 保存标志, then
// the fields), each field that changed against the next newer state tinted and marked "≠" (the
// mark does not rest on colour alone). Fields that never change are folded away unless 显示全部项
// is ticked. Under the table, the changes of the chosen state in words.
class TimelineView : public QWidget
{
    Q_OBJECT
public:
    explicit TimelineView(QWidget *parent = nullptr);

    void setTimeline(const RecordTimeline &timeline);
    const RecordTimeline &timeline() const { return m_timeline; }
    // The state chosen (0-based, newest first), -1 for none; choosing one shows its changes.
    int currentState() const;
    void setCurrentState(int state);
    // The chosen state's history key, null for the live record or none.
    rt::Value currentHisid() const;
    bool isFieldShown(int field) const;

    QTableWidget *table = nullptr;
    QCheckBox *cbx_all = nullptr;
    QPlainTextEdit *changes = nullptr;
    QLabel *st_status = nullptr;

Q_SIGNALS:
    void currentStateChanged(int state);

private:
    void fold();
    void showChanges();

    RecordTimeline m_timeline;
};

} // namespace hm
