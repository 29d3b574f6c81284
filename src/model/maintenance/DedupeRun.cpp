#include "model/maintenance/DedupeRun.h"

#include "model/Category.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/core/Transaction.h"

namespace model {

DedupeRun::DedupeRun(rt::Transaction &live, rt::Transaction &history, Work work)
    : m_live(live), m_history(history), m_work(std::move(work))
{
}

void DedupeRun::stop()
{
    // The stop is set before the select is looked at, and the engine's progress clears the
    // select before it reads the stop: either the progress sees the stop and no chunk begins,
    // or this sees no select and cancels nothing. A cancel never reaches a chunk.
    m_stop.store(true);
    if (m_selecting.load())
        m_history.cancel();
}

DedupeRun::Outcome DedupeRun::run()
{
    model::HistoryMaintenance engine(m_live, m_history);
    long long before = 0;
    for (int i = 0; i < m_work.categories.size(); ++i) {
        const model::Category *category = m_work.categories[i];
        m_category.store(i);
        m_selecting.store(true);
        if (m_stop.load())
            return Outcome::Stopped;
        model::HistoryMaintenance::RunOptions options;
        options.chunkRows = m_work.chunkRows;
        options.optionsText = m_work.optionsText;
        const long long confirmed = i < m_work.confirmed.size() ? m_work.confirmed[i] : -1;
        options.progress = [&, i, confirmed](const model::HistoryMaintenance::ChunkProgress &p) {
            m_selecting.store(false);
            if (p.chunk == 0 && confirmed >= 0 && p.total > confirmed) {
                m_change = Change{i, confirmed, p.total};
                return false;
            }
            m_deleted.store(before + p.deletedSoFar);
            if (p.chunk > 0 && m_work.afterChunk)
                m_work.afterChunk(before + p.deletedSoFar);
            return !m_stop.load();
        };
        model::HistoryMaintenance::RunResult result;
        const int rc = engine.dedupe(*category, options, result);
        const bool selectCancelled = m_selecting.exchange(false) && m_stop.load();
        for (const auto &t : result.deleted)
            before += t.rows;
        m_deleted.store(before);
        if (rc != 0 && selectCancelled)
            return Outcome::Stopped; // the select was cancelled: nothing of this category deleted
        if (rc != 0) {
            m_failure = QString::fromUtf8("%1：%2").arg(category->tabText, result.error);
            return Outcome::Failed;
        }
        if (result.interrupted)
            return m_change.category == i ? Outcome::Changed : Outcome::Stopped;
    }
    // A stop that came with the last chunk of all found nothing left to stop.
    return Outcome::Done;
}

} // namespace model
