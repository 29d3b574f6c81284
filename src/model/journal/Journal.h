#pragma once

#include <QList>
#include <QString>
#include <QUuid>
#include <utility>

namespace rt {
class Transaction;
class Value;
} // namespace rt

namespace model {

// The maintenance journal (操作记录; its table: host::JournalSchema): one entry for every change the module makes to history, in
// the history database's table hm_journal. An entry goes into the transaction of the change it
// records, so that a change whose entry cannot be written does not happen. Entries are only
// ever appended: the module never changes or deletes one. On the server the operator role may
// only read them and add one through history.hm_journal_add, which stamps the entry with the
// login (session_user) and the transaction's id: the audit trail (history.hm_audit) carries the
// same id for every statement of that transaction.
class Journal
{
public:
    using Counts = QList<std::pair<QString, long long>>; // history table, rows

    struct Entry
    {
        QString action;   // "删除", "删除户", "删除人员", "批量删除", "恢复"
        QString category; // the category's tab text
        QString key;      // the record's key ("" for a batch)
        Counts counts;
        QString outcome;  // "成功" or "失败"
        QString detail;   // the batch's mode and dates, a failure's reason
        // The entry's own mark: after a COMMIT whose outcome is not known, finding the entry by
        // it tells whether the change was saved.
        QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    };

    // What the register holds after a change failed somewhere: the change was saved (its entry
    // is there), not saved (its entry is not), or that could not be read.
    enum class Outcome { Saved, NotSaved, Unknown };

    // Appends the entry in t's present transaction (opening one); 0, or -1 with t's error.
    static int append(rt::Transaction &t, const Entry &entry);
    // A failed change's entry, in a transaction of its own after the change was rolled back;
    // when even that cannot be written, nothing more can be done (0 or -1).
    static int appendFailure(rt::Transaction &t, Entry entry, const QString &why);
    // After a statement, a COMMIT or the answer to a COMMIT failed in the change whose entry is
    // `entry` (appended in the change's own transaction): ends whatever is still open on t
    // (connecting again when the connection was lost) and reads from the register whether the
    // entry, and so the change, is there. Unknown, with the reason in `error`, when the register
    // cannot be read now. Nothing is ever told as saved or as undone without this answer.
    static Outcome settle(rt::Transaction &t, const Entry &entry, QString &error);
    // Opens t's write transaction so that counts read next and the change made after them see
    // the same rows, for a change (a procedure) that cannot report its own counts: on the server
    // at REPEATABLE READ, where a concurrent change to those rows fails the change as a conflict;
    // on the files the transaction's read snapshot, which a write cannot take past another's
    // commit (busy). 0, or -1 with t's error.
    static int beginCounted(rt::Transaction &t);
    // The rows that each of these statements counts ("SELECT count(*) …", the key bound).
    static Counts count(rt::Transaction &t, const QList<std::pair<QString, QString>> &tableAndSelect,
                        const rt::Value &key, QString &error);
    // "th_ge_rpr 1，th_ge_personinfo 3"
    static QString countsText(const Counts &counts);
    // The operator's login name on this computer.
    static QString loginName();

private:
    // After the connection served by server process `backend` broke: waits, on t's new
    // connection, until that process has ended (ending it when it is not at work). False, with
    // the reason, when that cannot be seen.
    static bool awaitEnded(rt::Transaction &t, int backend, QString &error);
};

} // namespace model
