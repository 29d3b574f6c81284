#pragma once

#include <QList>
#include <QString>
#include <atomic>
#include <functional>

namespace rt {
class Transaction;
}
namespace model {
struct Category;
}

namespace model {

// 去除重复快照's deletions, made to run off the window's thread: the engine's dedupe on the history
// connection, category by category, each chunk one transaction with its own journal entry (the
// engine's). Nothing here opens a dialog or touches a window; the window's thread reads
// deleted() and category() and asks stop() meanwhile, and nothing else may use the history
// connection until run() returns (the caller lends it).
//
// stop() lands between two chunks: the chunk being deleted is committed with its entry, and the
// run ends after it. While a category's duplicates are still being looked for — the select
// before its first chunk, seconds on a large table — stop() cancels that select, and nothing of
// that category is deleted. stop() may be called again and again (a select that began after the
// first cancel is cancelled by the next); it never cancels a chunk.
//
// Outcomes: Done (every category's duplicates deleted); Stopped (whole chunks done, the rest
// left); Failed (failure() says which category and why; the chunks before it stay done).
class DedupeRun
{
public:
    struct Work
    {
        QList<const model::Category *> categories;
        long chunkRows = 10000;
        QString optionsText; // for the journal's detail
        // Called on the working thread after each committed chunk with the rows deleted so
        // far, before the run looks whether it is to stop (tests hold the run there).
        std::function<void(long long deleted)> afterChunk;
        // By category, the duplicates the operator confirmed (-1: no limit). A category whose
        // search finds more (saved since the figures were read) is not begun: Changed.
        QList<long long> confirmed;
    };
    // Changed: a category found more duplicates than were confirmed; changed() says which and
    // how many, nothing of it is deleted and the run ends there (the categories before it stay done).
    enum class Outcome { Done, Stopped, Failed, Changed };
    struct Change
    {
        int category = -1;         // index in the work's categories
        long long confirmed = 0, found = 0;
    };

    DedupeRun(rt::Transaction &live, rt::Transaction &history, Work work);

    Outcome run();

    // For the window's thread while run() works.
    long long deleted() const { return m_deleted.load(); }
    int category() const { return m_category.load(); } // index in the work's categories; -1 before
    bool selecting() const { return m_selecting.load(); } // the category's duplicates are being looked for
    void stop();

    // After run().
    const QString &failure() const { return m_failure; }
    const Change &changed() const { return m_change; }

private:
    rt::Transaction &m_live;
    rt::Transaction &m_history;
    Work m_work;
    std::atomic<long long> m_deleted{0};
    std::atomic<int> m_category{-1};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_selecting{false}; // the category's select runs: no chunk begun yet
    QString m_failure;
    Change m_change;
};

} // namespace model
