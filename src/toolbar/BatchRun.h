#pragma once

#include "host/Journal.h"
#include "platform/core/Value.h"

#include <QList>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

namespace rt {
class Transaction;
}

namespace hm {

// One batch deletion's work on the history connection, made to run off the window's thread:
// the counts its journal entry needs, then the household procedure or the plain statement — the
// statement in chunks of rows, so that the window can say how far it has come and a cancel lands
// between two chunks (or stops the chunk running) — then the entry and the COMMIT, all in one
// transaction. Nothing here opens a dialog or touches a window; the window thread reads done()
// and asks stop() meanwhile, and nothing else may use the connection until run() returns.
//
// Outcomes: Done (saved); NothingFound (nothing matched; the transaction ended); More (more rows
// match than the operator confirmed; the transaction is still open, to be rolled back and asked
// about again); Cancelled (the operator stopped it; still open, to be rolled back); Failed (a
// statement, the entry or the COMMIT failed; still open or ended, as the failure left it, to be
// settled by reading the register).
class BatchRun
{
public:
    struct Work
    {
        QString table;              // the history table of the grid
        bool household = false;     // proc_DelRprScope for the households and their persons
        int flag = 1;               // the procedure's @pi_flag: 1 all, 2 up to start, 3 a range
        rt::Value start, end;       // its dates (null where the flag needs none)
        QString where;              // the statement's condition: " where …" or ""
        QList<std::pair<QString, QString>> counts; // the procedure's tables and their count selects
        long confirmed = 0;         // rows the operator agreed to delete
        long chunkRows = 50000;
        // Called on the working thread after each chunk with the rows deleted so far; false stops
        // the deletion (as stop() does). For callers that watch without a window (tests).
        std::function<bool(long long deleted)> afterChunk;
    };
    enum class Outcome { Done, NothingFound, More, Cancelled, Failed };

    BatchRun(rt::Transaction &history, Work work, host::Journal::Entry entry);

    Outcome run();

    // For the window's thread while run() works.
    long long done() const { return m_done.load(); } // rows deleted so far; -1 when not told (the procedure)
    bool committing() const { return m_state.load() == Committing; }
    // Stops the deletion unless its COMMIT has begun (then it is saved or fails as it would).
    void stop();

    // After run().
    const host::Journal::Entry &entry() const { return m_entry; }
    long long deleted() const { return m_deleted; }
    long long found() const { return m_found; } // what a More run found
    const QString &why() const { return m_why; }

private:
    Outcome fail(const QString &why);
    Outcome deleteByProcedure();
    Outcome deleteByStatement();

    rt::Transaction &m_t;
    Work m_work;
    host::Journal::Entry m_entry;
    std::atomic<long long> m_done{0};
    bool stopped() const;

    enum State { Working, Stopping, Committing };
    std::atomic<int> m_state{Working};
    long long m_deleted = 0;
    long long m_found = 0;
    QString m_why;
};

} // namespace hm
