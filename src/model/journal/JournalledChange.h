#pragma once

#include "model/journal/Journal.h"
#include "model/journal/ChangeOutcome.h"

#include <QString>

namespace rt {
class Transaction;
}

namespace model {

// The one way the module changes the register. A change is one transaction on one connection
// carrying its own journal entry, with the entry's token:
//  - the steps write on transaction();
//  - commit() appends the entry last and commits;
//  - on any failed step or COMMIT (fail(), or commit() failing, or an answer lost with the
//    connection), the change is settled by its token before anything is told: the transaction
//    is rolled back (on a lost connection the server's process is waited for or ended), and the
//    register is read for the entry — found: Saved, the change holds after all; not found:
//    NotSaved, and one 失败 entry goes in a transaction of its own; unreadable: Unknown, and no
//    entry is written.
// The outcome is a typed value (ChangeOutcome); nothing here opens a dialog.
//
// One object is one change: once committed or settled it is ended and a second commit() or
// fail() returns the same outcome. A change dropped unended rolls back and writes nothing (a
// step that returned early, or a change that found nothing to do, see abandon()).
// Thread: whichever thread runs the steps, one at a time; the connection is the change's
// until it has ended.
class JournalledChange
{
public:
    // entry: the change's action, category, key, counts and detail (the counts may be set as
    // the steps learn them, through entry()).
    JournalledChange(rt::Transaction &t, model::Journal::Entry entry);
    ~JournalledChange();
    JournalledChange(const JournalledChange &) = delete;
    JournalledChange &operator=(const JournalledChange &) = delete;

    rt::Transaction &transaction() const { return m_t; }
    model::Journal::Entry &entry() { return m_entry; }
    const model::Journal::Entry &entry() const { return m_entry; }

    // Opens the change's transaction so that counts read next and the change made after them see
    // the same rows (Journal::beginCounted). 0, or -1 with the transaction's error: then call
    // fail() like after any failed step.
    int beginCounted();
    // Appends the entry and commits; a failure of either is settled as fail() says, `fallback`
    // the journal's reason where the database gave none.
    const ChangeOutcome &commit(const QString &fallback = QString());
    // A step failed: rolls back and settles. The journal's reason is the database's when the
    // failed statement left one, else `fallback`. Call before anything else touches the failed
    // transaction, so that its error and hint are still there.
    const ChangeOutcome &fail(const QString &fallback = QString());
    // The change was stopped before its COMMIT: rolled back and settled like a failure, the
    // journal's reason being `reason` ("操作员取消") whatever the interrupted statement said.
    const ChangeOutcome &stop(const QString &reason);
    // Nothing was changed (the change found nothing to do): the transaction ends, nothing is
    // journalled.
    void abandon();

    bool ended() const { return m_ended; }
    const ChangeOutcome &outcome() const { return m_outcome; }

private:
    const ChangeOutcome &settle(const QString &why);

    rt::Transaction &m_t;
    model::Journal::Entry m_entry;
    ChangeOutcome m_outcome;
    bool m_ended = false;
};

} // namespace model
