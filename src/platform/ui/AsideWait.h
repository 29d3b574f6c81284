#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFuture>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QProgressDialog;
class QWidget;

namespace rt::ui {

// The one wait of the windows' thread for work that runs on another thread: the windows stay
// painted, the operator's input waits (or reaches the wait's progress dialog alone), and a stop
// is passed on. Every such wait of the program is one of these: 历史统计's (w_hisstats), the
// batch deletion's, the print preview's and the print's reads (ReadAside), the print's count
// (DwTotalCounter::waitPainted), the connection to the server as the program starts, under its
// connecting window (ServerLogin).
//
// How it waits. The work runs on the global thread pool (run), or is a future already running
// (wait). The call returns as soon as it has ended; until then this thread pauses TickMs at a
// time in an event loop of its own and then ticks: `look`, the dialog's label and percent,
// `whileStopping`, all of them on this thread. The work tells how far it is through atomics of
// its own, never by touching a widget from its thread. A wait cursor shows (waitCursor) until
// the dialog does. After progressAfterMs the dialog (when asked for) shows, application-modal,
// over `parent`, with the caller's objectName, title, label and percent (busy when there is
// none) and a stop button with the caller's caption; Esc and closing the dialog are the button.
// While it is up no wait cursor shows, the caller's neither (the button takes a pointer): they
// are all lifted and the caller's put back once the wait has ended. The operator then goes on
// from the control that had the focus when the wait began, its window activated again.
//
// Stopping. A stop is asked once — the button, Esc, closing the dialog, or `look` answering
// false — and passed on through `stop` at once: the work may end before the next tick, and a
// stop asked is a stop whatever the work did meanwhile. `stop` answers whether it was taken;
// false says it came too late (the work is past the point where it can stop: a COMMIT begun),
// and the dialog goes on with `label`, without its button, the work ending as it would. While
// `stoppable` answers false the dialog has no button and Esc or closing asks nothing (the dialog
// is up again at the next tick). A stop taken makes stopped() and run()'s answer false; the
// dialog stays up without its button saying stoppingLabel until the work has wound down (or,
// without one, goes at once), and `whileStopping` is called at every tick after, for a cancel
// that has to be sent again (a statement that began after the first). Without `stop` the work
// cannot be stopped: no button, nothing asked.
//
// What runs during the wait (letThrough):
// - Delivered: paints and the window system's other events that are not input (exposures,
//   resizes, activation), timers, posted events and queued signals (the watchers of other
//   futures), socket notifiers. A repaint, a timer's slot or a queued signal of anything may
//   therefore run inside the wait.
// - Held while no wait window is the active modal window: the operator's input (keys, mouse,
//   wheel, touch, and a close asked from the window manager). Held, not dropped: it reaches
//   whatever window is active after the wait. That keeps a second command from starting a second
//   piece of work on a connection at work.
// - Once a wait window is the active modal window (this wait's progress dialog, any other
//   QProgressDialog, a window marked with markWaitWindow such as the server's busy window)
//   everything is delivered: modality confines the operator's input to that window, which takes
//   the keys rather than leave them for after the work, where an Esc would close a window or a
//   box unread.
// - Held until the wait ends: deferred deletions posted before it (Qt runs them at the loop
//   level they were posted from).
// A window the program itself closes during the wait (a timer's slot, a test) is closed: a window
// whose work runs holds its own close until the work has ended (w_hisstats does).
//
// The caller's part:
// - `work`, the callbacks and all they reach must outlive the call; it returns only once the
//   work has ended, after a stop too.
// - The work's connection is the work's alone while it runs: nothing that may run during the wait
//   (a grid repainted that reads its next page, a timer) may use it from this thread. Either the
//   work has a connection of its own (ReadAside, StatsRead, DwTotalCounter), or its connection is
//   lent to it (Transaction::setLent), which makes a grid's read wait. Only a cancel
//   (Transaction::cancel, made for it) may reach that connection from here: `stop`'s business.
// - The callbacks run between two paints: they must not block.
// - One wait per object.
//
// A wait inside a wait: anything delivered during a wait may begin another (a repaint reading a
// page aside, a timer's read). The inner one runs to its end first; the outer one's ticks pause
// meanwhile (its dialog stays as it was, and its button is still passed on at once), then it goes
// on. Every wait lets input through only while a wait window is the active modal window. The
// server's busy window, told of a statement's wait by the transaction's own loop on this thread,
// cannot run its work aside (the statement runs on this thread); it delivers the events of that
// same policy at each of that loop's ticks (deliverPending).
//
// Not on it: DataWindowControl's retrieve progress. That read runs on this thread on the grid's
// own DataStore, which the grid's model and views read as they paint; on another thread every
// paint during the read would race the rows being appended. It repaints from the read's progress
// callback instead, the operator's input held.
class AsideWait
{
public:
    static constexpr int TickMs = 50;
    static constexpr int ProgressAfterMs = 500;

    // The progress dialog. The first four are what a window says of its work; the rest how the
    // dialog is made.
    struct Dialog
    {
        QString title{};
        std::function<QString()> label{};  // what is being done now, asked at every tick
        std::function<int()> percent{};    // 0..100, or -1 when it cannot be said; none: busy
        QString stoppingLabel{};           // after a stop taken; none: the dialog goes at the stop
        QString stopText = QString::fromUtf8("取消");
        QString objectName{};
        std::function<bool()> stoppable{}; // asked at every tick; none: until a stop is asked
        QWidget *parent = nullptr;         // none: the window active as the dialog shows
        int progressAfterMs = ProgressAfterMs;
    };

    struct Options
    {
        std::optional<Dialog> dialog{};        // none: the caller shows the wait, or nothing does
        bool waitCursor = true;
        std::function<bool()> look{};          // at every tick until a stop is asked; false asks one
        std::function<bool()> stop{};          // passes the stop on; false: too late, refused
        std::function<void()> whileStopping{}; // at every tick once a stop was taken
    };

    explicit AsideWait(Options options);
    ~AsideWait();
    AsideWait(const AsideWait &) = delete;
    AsideWait &operator=(const AsideWait &) = delete;

    // Runs work on the global thread pool and returns once it has ended; true unless a stop was
    // taken.
    bool run(const std::function<void()> &work);
    // The same for work already running.
    bool wait(const QFuture<void> &running);

    bool stopped() const { return m_stopped; }
    // Whether the progress dialog was shown.
    bool shown() const { return m_shown; }

    // The events a wait lets through now: all of them while a wait window is the active modal
    // window, else all but the operator's input.
    static QEventLoop::ProcessEventsFlags letThrough();
    // Delivers the events pending that letThrough() admits, without waiting: for a wait whose
    // loop is not this one's.
    static void deliverPending();
    // Makes window a wait window for letThrough() (a QProgressDialog is one already).
    static void markWaitWindow(QWidget *window);

private:
    void tick();
    void askStop();
    bool canStop() const;
    void showDialog();
    void updateDialog();
    void liftCursors();

    Options m_options;
    QElapsedTimer m_waited;
    QPointer<QWidget> m_focused;
    std::unique_ptr<QProgressDialog> m_progress;
    bool m_dialogGone = false;
    bool m_button = false;
    bool m_cursor = false;        // this wait's own cursor is on
    QList<QCursor> m_lifted;      // the caller's, topmost first, while the dialog is up
    bool m_asked = false;
    bool m_stopped = false;
    bool m_refused = false;
    bool m_shown = false;
};

} // namespace rt::ui
