#include "PgWait.h"

#include "DbBackend.h"

#include <algorithm>
#include <poll.h>

namespace rt {

namespace {

// The margin after the statement timeout: the server stops the statement itself at its timeout
// and needs a moment to say so.
int marginFor(int timeoutMs)
{
    return std::min(10000, timeoutMs);
}

} // namespace

int PgWait::givenUpAfterMs() const
{
    return m_timeoutMs + marginFor(m_timeoutMs) + CancelGraceMs;
}

void PgWait::start()
{
    const Clock::time_point now = Clock::now();
    m_bounded = m_timeoutMs > 0;
    m_deadline = now + std::chrono::milliseconds(m_timeoutMs + marginFor(m_timeoutMs));
    m_cancelSent = false;
    m_byOperator = false;
    m_shownFrom = m_lastTold = now;
    m_told = false;
}

void PgWait::progressed()
{
    if (m_told && m_observer)
        m_observer->waitEnded();
    m_told = false;
    m_shownFrom = m_lastTold = Clock::now();
}

void PgWait::finish()
{
    if (m_told && m_observer)
        m_observer->waitEnded();
    m_told = false;
}

void PgWait::cancelNow(Clock::time_point now)
{
    m_cancel();
    m_cancelSent = true;
    m_bounded = true;
    m_deadline = now + std::chrono::milliseconds(CancelGraceMs);
}

bool PgWait::once(int socket)
{
    Clock::time_point now = Clock::now();
    if (m_bounded && now >= m_deadline) {
        if (m_cancelSent)
            return false; // not even the cancel was answered: the server is there but does not work
        cancelNow(now);
    }
    // With nobody to tell, a wait only needs to wake for its deadline.
    long long waitMs = m_observer ? TickMs : 1000;
    if (m_bounded)
        waitMs = std::clamp<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - now).count(), 0,
                                       waitMs);
    pollfd fd{socket, POLLIN, 0};
    ::poll(&fd, 1, int(waitMs));
    if (!m_observer)
        return true;
    now = Clock::now();
    // Rows arriving fast wake the poll at once: the observer is told at its pace, not theirs.
    if (now - m_lastTold < std::chrono::milliseconds(TickMs * 2 / 3))
        return true;
    m_lastTold = now;
    m_told = true;
    m_telling = true;
    const bool cancel = m_observer->stillWaiting(int(std::chrono::duration_cast<std::chrono::milliseconds>(now - m_shownFrom).count()));
    m_telling = false;
    if (cancel && !m_cancelSent) {
        m_byOperator = true;
        cancelNow(Clock::now());
    }
    return true;
}

} // namespace rt
