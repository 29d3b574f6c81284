#pragma once

#include <QString>
#include <cstdint>

class QAction;
class QMenu;
class QPoint;

namespace rt::ui {

class PbWindow;

enum class MsgIcon { None, Information, StopSign, Exclamation, Question };
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel };

// Everything that asks or tells the operator goes through this service: message boxes, the
// colour chooser, help and Yield. The application installs the Qt dialogs; tests install a
// scripted service that answers from a queue and records every box.
class OperatorDialogs
{
public:
    virtual ~OperatorDialogs() = default;

    // The pressed button's number, 1 for the first.
    virtual int messageBox(const QString &title, const QString &text, MsgIcon icon, MsgButtons buttons,
                           int defaultButton) = 0;
    // 1 when a colour was chosen (color receives it as a colour long), 0 when cancelled.
    virtual int chooseColor(long &color) = 0;
    // 1 when the help could be shown, -1 otherwise.
    virtual int showHelp(const QString &file, const QString &keyword) = 0;
    // Processes pending events; true when there were any.
    virtual bool yield() = 0;
    // A response window has opened and is about to run modally.
    virtual void responseWindowOpened(PbWindow *window) = 0;
    // A run-time error of the program (a missing function or window): told to the operator.
    virtual void runtimeError(const QString &text) = 0;
    // Pops up a menu at a screen position; the chosen action, or null. Qt's menu has triggered
    // the chosen action by the time it answers; a scripted one may not have.
    virtual QAction *popupMenu(QMenu &menu, const QPoint &globalPosition) = 0;
    // Pops up the menu and runs the chosen action exactly once, whoever answers; the chosen
    // action, or null.
    static QAction *runMenu(QMenu &menu, const QPoint &globalPosition);

    static OperatorDialogs &instance();
    // Installs a service (not owned); null restores the Qt dialogs.
    static void install(OperatorDialogs *service);
};

// The runtime's functions over the service.
int MessageBox(const QString &title, const QString &text, MsgIcon icon = MsgIcon::Information,
               MsgButtons buttons = MsgButtons::OK, int defaultButton = 1);
int ChooseColor(long &color);
int ShowHelp(const QString &file, const QString &keyword);
bool Yield();

} // namespace rt::ui
