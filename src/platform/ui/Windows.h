#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace rt::ui {

class MdiFrame;
class PbWindow;

// The runtime's window functions. Windows passed in are owned by the runtime from then on.
class Windows
{
public:
    // Shows a window and runs its open event. A response window runs modally: the call returns
    // when it has closed, and Message.StringParm holds its answer (empty when it was closed
    // without one, e.g. with the title bar's close box).
    static int Open(PbWindow *window);
    static int OpenWithParm(PbWindow *window, const QString &parm);
    static int OpenWithParm(PbWindow *window, QObject *parm);
    // Opens a window class by name (see registerClass); a missing class is a run-time error
    // told to the operator, and the result is -1.
    static int OpenByName(const QString &className, const QString &parm, QObject *objectParm = nullptr);
    static int OpenSheet(PbWindow *sheet, MdiFrame *frame, bool frameless = false, bool maximized = false);
    static int Close(PbWindow *window);
    static int CloseWithReturn(PbWindow *window, const QString &answer);

    using Factory = std::function<PbWindow *()>;
    // Makes a window class known by name, for OpenByName.
    static void registerClass(const QString &className, Factory factory);
    static void unregisterClass(const QString &className);
    static bool isRegistered(const QString &className);
    // A new window of a registered class, not yet open; null when the class is unknown.
    static PbWindow *createByName(const QString &className);

private:
    static int runModal(PbWindow *window);
};

} // namespace rt::ui
