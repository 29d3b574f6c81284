#include "AsideWait.h"

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace rt::ui {

void AsideWait::run(const std::function<void()> &work, const std::function<void()> &look)
{
    QFutureWatcher<void> watcher;
    watcher.setFuture(QtConcurrent::run(work));
    while (!watcher.isFinished()) {
        QEventLoop pause;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &pause, &QEventLoop::quit);
        QTimer::singleShot(50, &pause, &QEventLoop::quit);
        if (watcher.isFinished())
            break;
        const QWidget *modal = QApplication::activeModalWidget();
        pause.exec(modal && modal->inherits("QProgressDialog") ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (watcher.isFinished())
            break;
        look();
    }
}

} // namespace rt::ui
