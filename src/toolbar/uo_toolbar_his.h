#pragma once

#include "platform/ui/DataWindowControl.h"

#include <QKeySequence>
#include <QList>

class QAction;

namespace rt::ui {
class PbWindow;
}

namespace hm {

// The command toolbar of the history maintenance window: a DataWindow control showing the
// drawing d_toolright_his (3337 × 176 units, no border). A button is a picture "p_<word>" with
// its caption "t_<word>"; is_object names the tracked button (in its "p_" form, "" for none).
// Hovering frames the button raised, pressing frames it sunken, and releasing over the tracked
// button runs its command on the window that holds the toolbar.
class uo_toolbar_his : public rt::ui::DataWindowControl
{
    Q_OBJECT
public:
    explicit uo_toolbar_his(QWidget *parent = nullptr);
    QString is_object;

    Q_INVOKABLE void clicked_event(int xpos, int ypos, long row, const QString &dwo);
    Q_INVOKABLE void ue_dwnmousemove(int xpos, int ypos, long row, const QString &dwo);
    Q_INVOKABLE void ue_dwnlbuttonup(int xpos, int ypos, long row, const QString &dwo);
    Q_INVOKABLE void uf_setenabled(const QString &as_object, bool ab_enabled);

    // The commands of the strip, each with its key.
    struct Command
    {
        QString button; // "p_query"
        QString caption; // "查询"
        QKeySequence key;
    };
    static const QList<Command> &commands();
    // The commands as actions with their keys, for the window that holds the toolbar to make
    // them work wherever the focus is in it (the frame adds them to itself).
    const QList<QAction *> &commandActions() const { return m_actions; }
    // Runs a button's command as a release over it would (a disabled button runs nothing).
    Q_INVOKABLE void runCommand(const QString &button);
    // The list of commands with their keys, at a point of the screen (the right mouse button on
    // the toolbar or the category strip).
    void popCommands(const QPoint &globalPosition);

    // The button key of a drawing object: "p_" + the name from its third character for "p_…"
    // and "t_…" objects, "" for any other.
    static QString buttonKey(const QString &objectName);
    // The Modify expression that escapes the quotes of a select's condition for a quoted
    // property value (quotes from the first "where" on become ~').
    static QString escapeCondition(const QString &sql);

private:
    enum class Look { Hover, Pressed };
    void drawFrame(const QString &button, Look look);
    void hideFrame();
    void retrieveWithSheetSql(rt::ui::DataWindowControl *grid, const QString &sql);
    rt::ui::PbWindow *mainWindow() const;
    QList<QAction *> m_actions;
};

} // namespace hm
