#include "AsideWait.h"

#include <QApplication>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace rt::ui {

namespace {

constexpr const char *WaitWindowProperty = "rt_waitWindow";

} // namespace

AsideWait::AsideWait(Options options) : m_options(std::move(options))
{
}

AsideWait::~AsideWait() = default;

QEventLoop::ProcessEventsFlags AsideWait::letThrough()
{
    const QWidget *modal = QApplication::activeModalWidget();
    const bool waitWindow = modal && (modal->inherits("QProgressDialog") || modal->property(WaitWindowProperty).toBool());
    return waitWindow ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
}

void AsideWait::deliverPending()
{
    QCoreApplication::processEvents(letThrough());
}

void AsideWait::markWaitWindow(QWidget *window)
{
    window->setProperty(WaitWindowProperty, true);
}

bool AsideWait::run(const std::function<void()> &work)
{
    return wait(QtConcurrent::run(work));
}

bool AsideWait::wait(const QFuture<void> &running)
{
    m_waited.start();
    if (m_options.dialog)
        m_focused = QApplication::focusWidget();
    if (m_options.waitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursor = true;
    }
    QFutureWatcher<void> watcher;
    watcher.setFuture(running);
    while (!watcher.isFinished()) {
        QEventLoop pause;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &pause, &QEventLoop::quit);
        QTimer::singleShot(TickMs, &pause, &QEventLoop::quit);
        if (watcher.isFinished())
            break;
        pause.exec(letThrough());
        if (watcher.isFinished())
            break;
        tick();
    }
    if (m_cursor)
        QApplication::restoreOverrideCursor();
    m_cursor = false;
    m_progress.reset();
    for (auto c = m_lifted.crbegin(); c != m_lifted.crend(); ++c)
        QApplication::setOverrideCursor(*c);
    m_lifted.clear();
    // The dialog took the activation with it; without a window manager to give it back (or with
    // one that gives it elsewhere) the keys would reach no window.
    if (m_focused && m_focused->isVisible() && m_focused->isEnabled()) {
        if (m_shown)
            m_focused->window()->activateWindow();
        m_focused->setFocus(Qt::OtherFocusReason);
    }
    return !m_stopped;
}

void AsideWait::tick()
{
    if (!m_asked && m_options.look && !m_options.look())
        askStop();
    if (m_options.dialog && !m_dialogGone) {
        if (!m_progress && m_waited.elapsed() >= m_options.dialog->progressAfterMs)
            showDialog();
        if (m_progress)
            updateDialog();
    }
    if (m_stopped && m_options.whileStopping)
        m_options.whileStopping();
}

bool AsideWait::canStop() const
{
    if (!m_options.stop || m_asked)
        return false;
    return !m_options.dialog || !m_options.dialog->stoppable || m_options.dialog->stoppable();
}

void AsideWait::askStop()
{
    if (m_asked || !m_options.stop)
        return;
    m_asked = true;
    if (m_options.stop())
        m_stopped = true;
    else
        m_refused = true;
}

void AsideWait::liftCursors()
{
    // This wait's own is the topmost (whatever ran in a tick has popped what it pushed); the
    // rest are the caller's, put back after the wait.
    while (const QCursor *c = QApplication::overrideCursor()) {
        if (m_cursor)
            m_cursor = false;
        else
            m_lifted << *c;
        QApplication::restoreOverrideCursor();
    }
}

void AsideWait::showDialog()
{
    const Dialog &d = *m_options.dialog;
    m_button = canStop();
    QWidget *parent = d.parent ? d.parent : QApplication::activeWindow();
    m_progress = std::make_unique<QProgressDialog>(d.label ? d.label() : QString(), m_button ? d.stopText : QString(), 0, 100,
                                                   parent);
    m_progress->setObjectName(d.objectName);
    m_progress->setWindowTitle(d.title);
    m_progress->setWindowModality(Qt::ApplicationModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    liftCursors();
    // The button (Esc, closing) is passed on as it is pressed, not at the next tick.
    QObject::connect(m_progress.get(), &QProgressDialog::canceled, m_progress.get(), [this] {
        if (canStop())
            askStop();
    });
    m_progress->show();
    m_shown = true;
}

void AsideWait::updateDialog()
{
    const Dialog &d = *m_options.dialog;
    // The button, Esc and closing all hide the dialog: it is up again at once, saying what the
    // work does now, until the work has ended.
    if (!m_progress->isVisible() && canStop())
        askStop();
    if (m_stopped && d.stoppingLabel.isEmpty()) {
        m_progress.reset();
        m_dialogGone = true;
        return;
    }
    if (!m_progress->isVisible())
        m_progress->show();
    const bool button = canStop();
    if (button != m_button) {
        m_progress->setCancelButtonText(button ? d.stopText : QString());
        m_button = button;
    }
    if (m_stopped) {
        if (m_progress->labelText() != d.stoppingLabel) {
            m_progress->setRange(0, 0);
            m_progress->setLabelText(d.stoppingLabel);
        }
        return;
    }
    const int percent = d.percent ? d.percent() : -1;
    if (percent < 0) {
        m_progress->setRange(0, 0);
    } else {
        m_progress->setRange(0, 100);
        m_progress->setValue(std::clamp(percent, 0, 100));
    }
    const QString label = d.label ? d.label() : QString();
    if (m_progress->labelText() != label)
        m_progress->setLabelText(label);
}

} // namespace rt::ui
