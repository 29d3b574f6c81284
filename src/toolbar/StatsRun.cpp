#include "toolbar/StatsRun.h"

#include "platform/ui/AsideWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <algorithm>
#include <memory>

namespace hm {

StatsRun::StatsRun(QWidget *parent, Face face, int progressAfterMs)
    : m_parent(parent), m_face(std::move(face)), m_after(progressAfterMs)
{
}

bool StatsRun::run(const std::function<void()> &work, const std::function<void()> &stop,
                   const std::function<void()> &whileStopping)
{
    // The operator goes on from the control that started the work, once the dialog is gone.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    QElapsedTimer waited;
    waited.start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool cursor = true;
    std::unique_ptr<QProgressDialog> progress;
    // Once the dialog is up, modal, it takes all the operator's input (another Esc while
    // stopping only cancels it again, which asks nothing more), rather than keys kept for after
    // the work that would close the window or a box unread.
    rt::ui::AsideWait::run(work, [&] {
        if (!progress && waited.elapsed() >= m_after) {
            progress = std::make_unique<QProgressDialog>(m_face.label(), QString::fromUtf8("停止"), 0, 100, m_parent);
            progress->setObjectName(QStringLiteral("stats_progress"));
            progress->setWindowTitle(m_face.title);
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            QApplication::restoreOverrideCursor(); // the dialog says it is busy; 停止 takes a pointer
            cursor = false;
            // 停止 is passed on as it is pressed: the work may end before the next look, and a
            // stop asked for is a stop, whatever the work did meanwhile.
            QObject::connect(progress.get(), &QProgressDialog::canceled, progress.get(), [this, &stop] {
                if (!m_stopped) {
                    m_stopped = true;
                    stop();
                }
            });
            progress->show();
            m_shown = true;
        }
        if (progress) {
            // 停止, Esc or the title bar's close all cancel the dialog, which hides it: it is up
            // again at once, saying that the work is stopping, until the work has ended.
            if (!m_stopped && (progress->wasCanceled() || !progress->isVisible())) {
                m_stopped = true;
                stop();
            }
            if (!progress->isVisible())
                progress->show();
            if (m_stopped) {
                if (progress->labelText() != m_face.stoppingLabel) {
                    progress->setCancelButtonText(QString());
                    progress->setRange(0, 0);
                    progress->setLabelText(m_face.stoppingLabel);
                }
            } else {
                const int percent = m_face.percent ? m_face.percent() : -1;
                if (percent < 0) {
                    progress->setRange(0, 0);
                } else {
                    progress->setRange(0, 100);
                    progress->setValue(std::clamp(percent, 0, 99));
                }
                const QString label = m_face.label();
                if (progress->labelText() != label)
                    progress->setLabelText(label);
            }
        }
        if (m_stopped && whileStopping)
            whileStopping();
    });
    if (cursor)
        QApplication::restoreOverrideCursor();
    progress.reset();
    // The dialog took the activation with it; without a window manager to give it back (or
    // with one that gives it elsewhere) the keys would reach no window.
    if (focused && focused->isVisible() && focused->isEnabled()) {
        if (m_shown)
            focused->window()->activateWindow();
        focused->setFocus(Qt::OtherFocusReason);
    }
    return !m_stopped;
}

} // namespace hm
