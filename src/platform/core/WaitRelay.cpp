#include "WaitRelay.h"

namespace rt {

void WaitRelay::set(DbWaitObserver *observer)
{
    m_observer = observer;
    m_thread = std::this_thread::get_id();
    m_telling.store(false);
}

bool WaitRelay::stillWaiting(int waitedMs)
{
    if (!m_observer || !onOwnThread())
        return false;
    m_telling.store(true);
    return m_observer->stillWaiting(waitedMs);
}

void WaitRelay::waitEnded()
{
    if (!m_observer || !onOwnThread())
        return;
    m_telling.store(false);
    m_observer->waitEnded();
}

} // namespace rt
