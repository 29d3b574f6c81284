#pragma once

#include "platform/core/DbBackend.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;

namespace rt {
class Transaction;
}

namespace host {

// What the operator sees while a statement on the server goes unanswered: after ShowAfterMs,
// "正在等待服务器答复…", the seconds waited and 取消 (Esc, Enter on it, or closing the window),
// which has the statement cancelled; the window hides when the answer comes.
//
// It is the wait observer of the transactions it watches, and the engine calls it on this
// thread only (rt::Transaction::setWaitObserver), from the statement's own wait: the statement
// runs on this thread, so this wait cannot be rt::ui::AsideWait's, which runs work aside. It
// keeps that wait's policy, though: shown, it is application-modal, a wait window
// (AsideWait::markWaitWindow), and at every tick delivers the events pending that the wait lets
// through (AsideWait::deliverPending), so the windows behind repaint while the operator's input
// reaches this window alone: no second statement can be started from a window. Before it
// shows, nothing is processed (a short statement stays as it was: input waits).
// A wait that begins while it processes the events of another one (a repaint that reads on the
// other transaction) is waited untold: it does not process events itself, nor hide the window.
class BusyWindow final : public QDialog, public rt::DbWaitObserver
{
    Q_OBJECT
public:
    static constexpr int ShowAfterMs = 1000;

    explicit BusyWindow(QWidget *parent = nullptr);
    // Unsets itself from every transaction it watches.
    ~BusyWindow() override;

    // Becomes the wait observer of t, which must outlive it or be unwatched by its destruction.
    // When the application is about to quit it unwatches them all: the transactions, globals,
    // end their sessions after the windows are gone.
    void watch(rt::Transaction &t);
    void unwatchAll();

    bool stillWaiting(int waitedMs) override;
    void waitEnded() override;

    // The operator asked to cancel the wait shown (until the next wait).
    bool cancelAsked() const { return m_cancelAsked; }

protected:
    // Esc and closing the window cancel; the window stays until the wait has ended.
    void reject() override;

private:
    void cancel();
    void showWait();

    QLabel *m_text = nullptr;
    QLabel *m_seconds = nullptr;
    QPushButton *m_cancel = nullptr;
    bool m_cancelAsked = false;
    int m_processing = 0; // depth of the event processing this window runs
    QList<rt::Transaction *> m_watched;
};

} // namespace host
