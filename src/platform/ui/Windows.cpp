#include "Windows.h"

#include "MdiFrame.h"
#include "Message.h"
#include "OperatorDialogs.h"
#include "PbWindow.h"

#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <memory>

namespace rt::ui {

namespace {

QHash<QString, Windows::Factory> &registry()
{
    static QHash<QString, Windows::Factory> classes;
    return classes;
}

} // namespace

int Windows::runModal(PbWindow *window)
{
    // The answer is taken when the window closes (it is deleted soon after); a window closed
    // without CloseWithReturn answers the empty string.
    QPointer<PbWindow> guard(window);
    auto answer = std::make_shared<QString>();
    QObject::connect(window, &PbWindow::closed, window,
                     [answer, window]() { *answer = window->hasReturn() ? window->returnValue() : QString(); });
    window->show();
    window->runOpen();
    if (guard && !guard->isClosed())
        OperatorDialogs::instance().responseWindowOpened(window);
    if (guard && !guard->isClosed()) {
        QEventLoop loop;
        QObject::connect(window, &PbWindow::closed, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
    Message::instance().StringParm = *answer;
    return 1;
}

int Windows::Open(PbWindow *window)
{
    if (!window)
        return -1;
    if (window->kind() == PbWindow::Kind::Response) {
        Message::instance().StringParm.clear();
        return runModal(window);
    }
    window->show();
    window->runOpen();
    return 1;
}

int Windows::OpenWithParm(PbWindow *window, const QString &parm)
{
    if (!window)
        return -1;
    Message::instance().StringParm = parm;
    if (window->kind() == PbWindow::Kind::Response)
        return runModal(window);
    window->show();
    window->runOpen();
    return 1;
}

int Windows::OpenWithParm(PbWindow *window, QObject *parm)
{
    Message::instance().PowerObjectParm = parm;
    return OpenWithParm(window, QString());
}

int Windows::OpenByName(const QString &className, const QString &parm, QObject *objectParm)
{
    const auto it = registry().constFind(className.toLower());
    if (it == registry().constEnd()) {
        OperatorDialogs::instance().runtimeError(QString::fromUtf8("无法打开窗口：找不到窗口 %1").arg(className));
        return -1;
    }
    PbWindow *window = (*it)();
    if (objectParm) {
        Message::instance().PowerObjectParm = objectParm;
    }
    return OpenWithParm(window, parm);
}

int Windows::OpenSheet(PbWindow *sheet, MdiFrame *frame, bool frameless, bool maximized)
{
    if (!sheet || !frame || frame->isClosed())
        return -1;
    frame->openSheet(sheet, frameless, maximized);
    return 1;
}

int Windows::Close(PbWindow *window)
{
    return window && !window->isClosed() ? window->Close() : -1;
}

int Windows::CloseWithReturn(PbWindow *window, const QString &answer)
{
    return window && !window->isClosed() ? window->CloseWithReturn(answer) : -1;
}

void Windows::registerClass(const QString &className, Factory factory)
{
    registry().insert(className.toLower(), std::move(factory));
}

void Windows::unregisterClass(const QString &className)
{
    registry().remove(className.toLower());
}

PbWindow *Windows::createByName(const QString &className)
{
    const auto it = registry().constFind(className.toLower());
    return it == registry().constEnd() ? nullptr : (*it)();
}

bool Windows::isRegistered(const QString &className)
{
    return registry().contains(className.toLower());
}

} // namespace rt::ui
