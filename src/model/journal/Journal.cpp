#include "model/journal/Journal.h"

#include "platform/core/DateTime.h"
#include "platform/core/Transaction.h"
#include "platform/core/Value.h"

#include <QStringList>
#include <chrono>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace model {

QString Journal::loginName()
{
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("?") : user;
}

QString Journal::countsText(const Counts &counts)
{
    QStringList parts;
    for (const auto &[table, rows] : counts)
        parts << QStringLiteral("%1 %2").arg(table).arg(rows);
    return parts.join(QString::fromUtf8("，"));
}

int Journal::append(rt::Transaction &t, const Entry &entry)
{
    // On the server the entry's number, time, operator (the login role) and transaction are
    // stamped by the server's own function, the only way an operator can add one; on the files,
    // this computer's clock and login.
    const bool server = t.DBMS.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
    QList<rt::Value> values;
    QString sql;
    if (server) {
        sql = QStringLiteral("SELECT history.hm_journal_add(?, ?, ?, ?, ?, ?, ?, ?)");
    } else {
        sql = QStringLiteral("INSERT INTO hm_journal (at, operator, login, action, category, reckey, counts, outcome, detail, "
                             "token) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        values << rt::Value(rt::DateTime::currentDateTime()) << rt::Value(loginName());
    }
    values << rt::Value(loginName()) << rt::Value(entry.action) << rt::Value(entry.category) << rt::Value(entry.key)
           << rt::Value(countsText(entry.counts)) << rt::Value(entry.outcome) << rt::Value(entry.detail)
           << rt::Value(entry.token);
    if (server) {
        // A select that writes: the transaction is opened for writing first, as an INSERT
        // would open it.
        if (!t.beginWrite())
            return -1;
        QList<rt::Value> id{rt::Value::null(rt::ValueType::Long)};
        return t.selectInto(sql, values, id) == 0 ? 0 : -1;
    }
    return t.execute(sql, values) == -1 ? -1 : 0;
}

int Journal::appendFailure(rt::Transaction &t, Entry entry, const QString &why)
{
    entry.outcome = QString::fromUtf8("失败");
    entry.detail = entry.detail.isEmpty() ? why : entry.detail + QString::fromUtf8("；") + why;
    entry.counts.clear();
    entry.token = QUuid::createUuid().toString(QUuid::WithoutBraces); // an entry of its own
    if (append(t, entry) != 0 || t.commit() != 0) {
        t.rollback();
        return -1;
    }
    return 0;
}

Journal::Outcome Journal::settle(rt::Transaction &t, const Entry &entry, QString &error)
{
    // A broken connection says nothing of the server process behind it: that process may have
    // the COMMIT and still be committing it (a slow disk, a synchronous standby), so that the
    // entry is not there yet when a new connection looks, and lands after the operator was told
    // "not saved"; or, after a real network loss, it may never hear of the break and sit idle in
    // its transaction for hours, holding the record's row locks. Its number is taken now, while
    // the broken connection is still the transaction's.
    const int backend = t.connectionLost() ? t.backendPid() : 0;
    // Whatever failed, the transaction ends first: on the files a rollback leaves both files as
    // they were before it began (or, after a failed COMMIT, as SQLite's journals restore them);
    // on a server whose connection broke, the server ends it, and the reads below connect again.
    t.rollback();
    // Only once that process is gone is its transaction settled either way, and the entry's
    // presence the answer.
    if (backend != 0 && !awaitEnded(t, backend, error))
        return Outcome::Unknown;
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    if (t.selectInto(QStringLiteral("SELECT count(*) FROM hm_journal WHERE token = ?"), {rt::Value(entry.token)}, n) != 0) {
        error = t.SQLErrText();
        return Outcome::Unknown;
    }
    return n[0].longValue() > 0 ? Outcome::Saved : Outcome::NotSaved;
}

bool Journal::awaitEnded(rt::Transaction &t, int backend, QString &error)
{
    using Clock = std::chrono::steady_clock;
    // A COMMIT at work is given time to finish: ending its process in the middle would undo a
    // change that was about to hold, for no gain. A process not at work is ended: idle in its
    // transaction for more than a moment, it never got the COMMIT and holds the change's locks
    // until it hears of the break; idle after it, it is only yet to notice. One still at work after the wait
    // is ended too. Ending a process settles its transaction (a commit already written stays,
    // anything else is rolled back) and frees its locks; the entry read afterwards tells which.
    constexpr auto commitGrace = std::chrono::seconds(5);
    constexpr auto endGrace = std::chrono::seconds(5);
    // A process idle in its transaction for less than this since its last statement may not yet
    // have read a COMMIT that reached its socket before the break (a busy server schedules it a
    // moment later): it is given that moment before it is ended.
    constexpr double idleGraceSeconds = 1.0;
    constexpr auto pollEvery = std::chrono::milliseconds(100);
    const rt::Value pid(backend);
    Clock::time_point deadline = Clock::now() + commitGrace;
    bool endAsked = false;
    for (;;) {
        // Each read runs in a transaction of its own (none is open here), so each sees the
        // server's activity as it is now. No row: the process has ended (its number, should the
        // system have given it to this very connection already, is not this one's to end). The
        // state shows null only for another role's sessions, which this one is not.
        QList<rt::Value> state{rt::Value::null(rt::ValueType::String), rt::Value::null(rt::ValueType::Number)};
        const int rc = t.selectInto(QStringLiteral("SELECT coalesce(state, ''), "
                                                   "coalesce(extract(epoch FROM clock_timestamp() - state_change), 0) "
                                                   "FROM pg_stat_activity WHERE pid = ? AND pid <> pg_backend_pid()"),
                                    {pid}, state);
        if (rc == 100)
            return true;
        if (rc != 0) {
            error = QStringLiteral("the register cannot be read to find out whether the change was saved: %1").arg(t.SQLErrText());
            return false;
        }
        const bool atWork = state[0].string() == QLatin1String("active");
        const bool mayYetCommit = state[0].string().startsWith(QLatin1String("idle in transaction"))
                                  && !state[1].isNull() && state[1].number() < idleGraceSeconds;
        if (!endAsked && ((!atWork && !mayYetCommit) || Clock::now() >= deadline)) {
            endAsked = true;
            deadline = Clock::now() + endGrace;
            // An operator may end its own role's sessions (the lost one ran as the same role).
            // Where a server refuses even that, what is left is to wait for the process to end
            // by itself: the failure is not an answer.
            QList<rt::Value> ended{rt::Value::null(rt::ValueType::Boolean)};
            t.selectInto(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid}, ended);
            continue;
        }
        if (endAsked && Clock::now() >= deadline) {
            error = QStringLiteral("the server process %1 of the lost connection is still there (%2) and could not be ended; "
                                   "until it ends, whether the change was saved is not settled")
                        .arg(backend)
                        .arg(state[0].string());
            return false;
        }
        std::this_thread::sleep_for(pollEvery);
    }
}

int Journal::beginCounted(rt::Transaction &t)
{
    // The isolation level can only be set before the transaction's first statement.
    if (t.inTransaction()) {
        t.setError(-1, QStringLiteral("a transaction is already open: its rows cannot be counted as the change will see them"));
        return -1;
    }
    if (!t.beginWrite())
        return -1;
    if (t.DBMS.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0
        && t.executeImmediate(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ")) != 0)
        return -1;
    return 0;
}

Journal::Counts Journal::count(rt::Transaction &t, const QList<std::pair<QString, QString>> &tableAndSelect,
                               const rt::Value &key, QString &error)
{
    Counts out;
    for (const auto &[table, select] : tableAndSelect) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (t.selectInto(select, {key}, n) == -1) {
            error = t.SQLErrText();
            return {};
        }
        if (n[0].longValue() > 0)
            out << std::pair<QString, long long>(table, n[0].longValue());
    }
    return out;
}

} // namespace model
