#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace hm {

// Waits, on the window's thread, for one piece of 历史统计's database work that runs on another
// thread, keeping the windows painted meanwhile.
//
// Until the progress dialog shows (after progressAfterMs) the operator's input waits, so that
// nothing can start a second piece of work on a connection at work, and a wait cursor shows;
// from then on the dialog (objectName "stats_progress", application-modal) is all the operator
// can reach, and its 停止 — Esc and closing the dialog too — is passed on once through `stop`.
// The dialog then stays up, without 停止, saying `stoppingLabel` until the work has wound down,
// and `whileStopping` is called at every tick (about 50 ms) after, for a cancel that has to be
// sent again (a statement that began after the first one).
//
// The label and the percentage are asked at every tick, on this thread: the work tells how far
// it is through atomics of its own, never by touching a widget from its thread.
class StatsRun
{
public:
    static constexpr int ProgressAfterMs = 500;

    struct Face
    {
        QString title;                   // the progress dialog's
        std::function<QString()> label;  // what is being done now
        std::function<int()> percent;    // 0..100, or -1 when it cannot be said
        QString stoppingLabel;           // after 停止
    };

    StatsRun(QWidget *parent, Face face, int progressAfterMs = ProgressAfterMs);

    // Runs `work` on another thread and returns once it has ended; true unless 停止 was pressed.
    bool run(const std::function<void()> &work, const std::function<void()> &stop,
             const std::function<void()> &whileStopping = {});

    bool stopped() const { return m_stopped; }
    // Whether the progress dialog was shown.
    bool shown() const { return m_shown; }

private:
    QWidget *m_parent;
    Face m_face;
    int m_after;
    bool m_stopped = false;
    bool m_shown = false;
};

} // namespace hm
