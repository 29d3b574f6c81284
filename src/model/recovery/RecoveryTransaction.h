#pragma once

#include "model/journal/Journal.h"
#include "model/journal/JournalledChange.h"

#include "platform/core/Value.h"

#include <QString>
#include <QStringList>

namespace rt {
class Transaction;
} // namespace rt

namespace model {

// One recovery as one transaction on sqlca, which reaches both the live register and the
// history (on the files through the attached history file, whose commit together with the live
// file is atomic in SQLite's rollback-journal mode; on the server through the schemas of one
// database): the record's own move, its dependants' moves, the copies of replaced live states
// and the journal's entry are committed together, or none of them is.
//
// The steps write through sqlca() and report here what they moved; the first step that fails
// calls fail(), which settles the change (JournalledChange: rolled back, the register read for
// the entry, the failure journalled) and keeps the text to tell. Nothing here opens a dialog: the
// caller tells failureText() or notes().
class RecoveryTransaction
{
public:
    // sqlca: the connection that reaches both the live register and the history, the
    // recovery's for its whole life. entry: the recovery's action, category, key and detail; the
    // counts are gathered as rows move.
    RecoveryTransaction(rt::Transaction &sqlca, model::Journal::Entry entry);
    // Rolls back what was neither committed nor failed (a step that returned early).
    ~RecoveryTransaction();
    RecoveryTransaction(const RecoveryTransaction &) = delete;
    RecoveryTransaction &operator=(const RecoveryTransaction &) = delete;

    rt::Transaction &sqlca() const;

    // A failed step as the operator reads it, a line each: the message (with the hint of another
    // operator's lock or a lost connection when `failed` is the transaction that failed), the
    // database's reason (else `own`, a DataStore's), the context. Made before the failed
    // transaction is rolled back (the rollback clears its error).
    static QString failureText(const QString &message, const rt::Transaction *failed, const QString &context = QString(),
                               const QString &own = QString());

    // Deletes exactly the history row `hisid` of `historyTable` and counts it. False after fail()
    // when the statement failed (failure, the lock hint, the reason and context, a line each), or
    // when the row is no longer there (another operator deleted it), since a row that left
    // history is not recovered.
    // principal: the row the operator chose (historyRowGone() is only about that row).
    bool takeFromHistory(const QString &historyTable, const rt::Value &hisid, const QString &failure,
                         const QString &context = QString(), bool principal = false);
    // A step wrote something (a live row): a later failure then says that it was all undone.
    void wrote() { m_wrote = true; }
    // Counts rows that a step deleted from a history table by other means.
    void moved(const QString &historyTable, long long rows);
    // A live record replaced (its earlier state kept as a history row).
    void replaced() { ++m_replaced; }
    // A line of the entry's detail (a person brought back into the live register, say).
    void addDetail(const QString &text);
    // Something to tell the operator once the recovery has committed (persons kept in history).
    void addNote(const QString &text) { m_notes << text; }

    // Ends the recovery as failed: rolls back, reads from the register that nothing of the
    // recovery is there (Journal::settle), writes the failure entry and keeps `text` for the
    // operator, with a line saying that everything was undone once something had been written.
    // When the register cannot be read, the text says that the outcome is not known and no
    // entry is written. Call before anything else touches the failed transaction, so its error
    // is still there. Returns false, for the caller's return. A second call keeps the first
    // failure.
    bool fail(const QString &text);
    // Appends the entry with the counts gathered and commits. A COMMIT that fails, or whose
    // answer is lost, is settled by reading the register: the recovery holds when its entry is
    // there (true), else it failed as fail() says (false).
    bool commit();

    bool failed() const { return m_failed; }
    bool committed() const { return m_committed; }
    // After a failure: whether the register could not be read to settle it.
    bool outcomeUnknown() const { return m_unknown; }
    bool historyRowGone() const { return m_historyRowGone; }
    const QString &failureText() const { return m_failureText; }
    const QStringList &notes() const { return m_notes; }
    const model::Journal::Entry &entry() const { return m_change.entry(); }
    // After the commit, what moved and where, in a line ("已恢复 老年人信息 P8：老年人信息 1 条从历史信息
    // 移入现有信息，替换现有记录 1 条（原来的记录另存为历史记录）").
    QString summary() const;

private:
    JournalledChange m_change;
    int m_replaced = 0;
    bool m_wrote = false;
    bool m_failed = false;
    bool m_committed = false;
    bool m_historyRowGone = false;
    bool m_unknown = false;
    QString m_failureText;
    QStringList m_notes;
};

} // namespace model
