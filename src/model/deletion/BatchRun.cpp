#include "model/deletion/BatchRun.h"

#include "platform/core/Transaction.h"

namespace model {

BatchRun::BatchRun(rt::Transaction &live, rt::Transaction &history, Work work)
    : m_live(live), m_history(history), m_work(std::move(work))
{
}

void BatchRun::stop()
{
    // One exchange of one state decides: either the stop comes first, and the procedure never
    // reaches its COMMIT, or the COMMIT has begun and the stop is refused.
    int working = Working;
    if (!m_state.compare_exchange_strong(working, Stopping))
        return;
    // The select or the procedure is cut short; a chunk never is, nor the settling of a
    // failure (the flag is cleared before either, under the same lock). The cancel is sent with
    // the lock held: the work does not go on to what no cancel may reach until it has been.
    std::lock_guard<std::mutex> lock(m_cancelling);
    if (m_cancellable)
        m_history.cancel();
}

void BatchRun::noMoreCancels()
{
    std::lock_guard<std::mutex> lock(m_cancelling);
    m_cancellable = false;
}

long long BatchRun::deleted() const
{
    long long sum = 0;
    for (const HistoryMaintenance::TableCount &c : m_result.deleted)
        sum += c.rows;
    return sum;
}

BatchRun::Outcome BatchRun::run()
{
    HistoryMaintenance engine(m_live, m_history);
    HistoryMaintenance::RunOptions options;
    options.chunkRows = m_work.chunkRows;
    options.confirmed = m_work.confirmed;
    if (m_work.household)
        m_done.store(-1); // the procedure does not say how far it is
    options.progress = [this](const HistoryMaintenance::ChunkProgress &p) {
        if (m_work.household)
            return m_state.load() != Stopping;
        noMoreCancels();
        m_done.store(p.deletedSoFar);
        if (p.chunk > 0 && m_work.afterChunk && !m_work.afterChunk(p.deletedSoFar))
            stop();
        return m_state.load() != Stopping;
    };
    options.stopped = [this] {
        noMoreCancels(); // what follows settles the failure
        return m_state.load() == Stopping;
    };
    options.beforeCommit = [this] {
        noMoreCancels();
        int working = Working;
        return m_state.compare_exchange_strong(working, Committing);
    };
    const int rc = engine.purgeDates(*m_work.category, m_work.dates, m_work.household, m_work.what, options, m_result);
    if (m_result.changed)
        return Outcome::More;
    if (rc != 0)
        return !m_result.failure && m_state.load() == Stopping ? Outcome::Stopped : Outcome::Failed;
    if (m_result.interrupted)
        return Outcome::Stopped;
    if (m_result.chunks == 0)
        return Outcome::NothingFound;
    return Outcome::Done;
}

} // namespace model
