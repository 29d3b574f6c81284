#pragma once

#include "DbBackend.h"

#include <atomic>
#include <thread>

namespace rt {

// Passes a connection's waits for the server on to an observer, on the thread that set it and
// on no other: a transaction lent to a worker thread (a batch deletion, which shows its own
// progress) waits there untold, and no window is ever touched from that thread. While the
// observer is told, the relay counts as telling, so that a reader that would start by itself
// from inside the observer (a grid repainting under a busy window) waits instead.
class WaitRelay final : public DbWaitObserver
{
public:
    // The observer (not owned; null: none), bound to the calling thread.
    void set(DbWaitObserver *observer);
    bool active() const { return m_observer != nullptr; }
    bool telling() const { return m_telling.load(); }

    bool stillWaiting(int waitedMs) override;
    void waitEnded() override;

private:
    bool onOwnThread() const { return std::this_thread::get_id() == m_thread; }

    DbWaitObserver *m_observer = nullptr;
    std::thread::id m_thread;
    std::atomic<bool> m_telling{false};
};

} // namespace rt
