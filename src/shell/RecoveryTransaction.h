#pragma once

#include "host/Journal.h"

#include "platform/core/Value.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace rt {
class Transaction;
} // namespace rt
namespace model {
struct Category;
}

namespace hm {

// One recovery as one transaction on sqlca, which reaches both the live register and the
// history (on the files through the attached history file, on the server through the schemas of
// one database): the record's own move, its dependants' moves, the copies of replaced live
// states and the journal's entry are committed together, or none of them is.
//
// The steps write through sqlca() and report here what they moved; the first step that fails
// calls fail(), which rolls everything back, writes the failure's journal entry and keeps the
// text to tell. Nothing here opens a dialog: the caller tells failureText() or notes().
class RecoveryTransaction
{
public:
    // entry: the recovery's action, category, key and detail; the counts are gathered as rows move.
    explicit RecoveryTransaction(host::Journal::Entry entry);
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

    // The live records the recovery will replace, each by its category and key.
    struct Replaced
    {
        const model::Category *category = nullptr;
        QString key;
    };
    // Before anything else: the present state of each live record to be replaced is written to
    // history as a copy (SaveTime now, issave "4") and committed on photosqlca, so that it is
    // kept even should the recovery's own commit, which on the files writes the live file first
    // and the history file after it, be cut short between the two. The replacement then checks
    // that the record it holds is still in that state (savedState). A failed recovery takes the
    // copies back out. False after fail() when they cannot be written.
    bool saveStates(const QList<Replaced> &records);
    // The copies saveStates() wrote into a history table (their hisids).
    QList<rt::Value> copiesIn(const QString &historyTable) const;
    // The state saved for the record (its live columns in the table's order); null when none was.
    const QList<rt::Value> *savedState(const model::Category &category, const QString &key) const;

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

    // Ends the recovery as failed: rolls back, writes the failure entry (unless the connection
    // was lost, when the outcome cannot be known) and keeps `text` for the operator, with a line
    // saying that everything was undone once something had been written. Call before anything
    // else touches the failed transaction, so its error is still there. Returns false, for the
    // caller's return. A second call keeps the first failure.
    bool fail(const QString &text);
    // Appends the entry with the counts gathered and commits. False after fail() when that did
    // not hold.
    bool commit();

    bool failed() const { return m_failed; }
    bool committed() const { return m_committed; }
    bool historyRowGone() const { return m_historyRowGone; }
    const QString &failureText() const { return m_failureText; }
    const QStringList &notes() const { return m_notes; }
    const host::Journal::Entry &entry() const { return m_entry; }

private:
    // Takes the copies of saveStates() back out of history (after a failure: they would only
    // repeat what the live register holds). A copy that cannot be taken out stays.
    void withdrawCopies();

    host::Journal::Entry m_entry;
    struct SavedState
    {
        QString historyTable;
        rt::Value hisid;
        QList<rt::Value> values;
    };
    QHash<QString, SavedState> m_saved; // by category stem and key
    int m_replaced = 0;
    bool m_wrote = false;
    bool m_failed = false;
    bool m_committed = false;
    bool m_historyRowGone = false;
    QString m_failureText;
    QStringList m_notes;
};

} // namespace hm
