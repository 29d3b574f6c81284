#pragma once

#include "model/deletion/PurgeDates.h"
#include "model/maintenance/HistoryMaintenance.h"

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

namespace rt {
class Transaction;
}

namespace model {

struct Category;

// One batch deletion (批量删除) made to run off the window's thread: the purge engine's
// deletion by the dialog's dates (HistoryMaintenance::purgeDates) on the history connection —
// in chunks, each its own transaction and journal entry, or for households with their persons
// the household procedure in one. Nothing here opens a dialog or touches a window; the window's
// thread reads done() and asks stop() meanwhile, and nothing else may use the connection until
// run() returns.
//
// stop() lands after the chunk in progress: the chunks before stay deleted and journalled,
// nothing after is begun. While the rows are still being looked for (the select before the
// first chunk) it cancels that select, and nothing is deleted. The household procedure is one
// transaction: a stop cancels it and undoes it all (journalled as the operator's cancel),
// unless its COMMIT has begun — then it is saved or fails as it would.
//
// Outcomes: Done (all deleted); NothingFound (nothing matched); More (more rows match than the
// operator confirmed: nothing deleted, to be asked about again); Stopped (the operator's stop:
// result() says what was deleted before it); Failed (result().error, with result().failure the
// register's word on the chunk that failed; the chunks before it stay deleted).
class BatchRun
{
public:
    struct Work
    {
        const Category *category = nullptr;
        PurgeDates dates = PurgeDates::all();
        bool household = false;   // proc_DelRprScope for the households and their persons
        QString what;             // the journal's detail (the request's kind and dates)
        long confirmed = 0;       // rows the operator agreed to delete
        long chunkRows = 10000;
        // Called on the working thread after each committed chunk with the rows deleted so far;
        // false stops the deletion (as stop() does). For callers that watch without a window.
        std::function<bool(long long deleted)> afterChunk;
    };
    enum class Outcome { Done, NothingFound, More, Stopped, Failed };

    BatchRun(rt::Transaction &live, rt::Transaction &history, Work work);

    Outcome run();

    // For the window's thread while run() works.
    long long done() const { return m_done.load(); } // rows deleted so far; -1 when not told (the procedure)
    bool committing() const { return m_state.load() == Committing; }
    // See above; refused once the procedure's COMMIT has begun.
    void stop();

    // After run().
    const HistoryMaintenance::RunResult &result() const { return m_result; }
    long long deleted() const;

private:
    enum State { Working, Stopping, Committing };

    rt::Transaction &m_live;
    rt::Transaction &m_history;
    Work m_work;
    HistoryMaintenance::RunResult m_result;
    std::atomic<long long> m_done{0};
    std::atomic<int> m_state{Working};
    // A statement that a stop may cancel is at work: the select, the counts, the procedure.
    // Cleared under m_cancelling, so that no cancel sent by a stop can reach what comes after
    // (a chunk, the settling of a failure, the COMMIT).
    bool m_cancellable = true;
    std::mutex m_cancelling;
    void noMoreCancels();
};

} // namespace model
