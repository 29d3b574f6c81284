#pragma once

#include "DbBackend.h"
#include "ProcedureArgs.h"
#include "Value.h"
#include "WaitRelay.h"

#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace rt {

class Transaction;

// A failure to inject into a transaction, for tests of what the program does when the database
// fails at a given step. The chosen operation does not run and reports the error code and text
// given, as the engine would: a failed COMMIT leaves the transaction open, as SQLite does when
// it cannot commit.
struct InjectedFault
{
    enum class On { Statement, Commit };
    On on = On::Statement;
    // Which one fails, 1-based, counted from when the fault is armed.
    int nth = 1;
    // Statements only: count only statements whose text contains this (any case); empty = all.
    // A procedure call counts as "EXECUTE <name>", a DataWindow's retrieve by its select.
    QString sqlContains;
    int code = 13; // SQLite's SQLITE_FULL
    QString text = QStringLiteral("database or disk is full");
};

// A stored procedure registered with a transaction. It runs inside the caller's transaction
// through the transaction's own embedded SQL and returns 0 on success or -1 with errorText
// set; the caller commits or rolls back.
using Procedure = std::function<int(Transaction &trans, const ProcedureArgs &args, QString &errorText)>;

// A transaction object: one connection to the database and the result of the last operation.
//
// Manual commit: the first statement that writes (DML, a procedure, EXECUTE IMMEDIATE of a
// writing statement) after connect, COMMIT or ROLLBACK opens a transaction, and only Commit or
// Rollback ends it. Reads outside a write transaction hold no snapshot.
//
// After every operation SQLCode() is 0 (success), 100 (no row: SELECT INTO without a row, a
// fetch past the last row, a DELETE/UPDATE/INSERT that changed nothing) or -1 (error, with
// SQLErrText() and SQLDBCode()). Values are always bound, never spliced into the SQL text.
class Transaction
{
public:
    explicit Transaction(QString name = QStringLiteral("sqlca"));
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Connection properties, read by connect().
    QString DBMS = QStringLiteral("SQLite"); // or "PostgreSQL"
    QString Database;                       // the database file; for PostgreSQL a libpq connection string
    QString AttachDatabase;                 // optional second file (its tables answer unqualified names)
    QString AttachSchema = QStringLiteral("hist");
    bool AutoCreate = false;                // create missing files (set-up only)
    int BusyTimeoutMs = 3000;               // how long a write waits for another connection's lock
    int StatementTimeoutMs = 120000;        // a server: how long a statement may run; its answer is
                                            // awaited that long and a margin, then given up
    QString SearchPath;                     // PostgreSQL: the schemas unqualified names resolve in
    // PostgreSQL: the operator's password, when the server asks for one and no ~/.pgpass answers.
    // Kept apart from Database, which may be shown; kept at all because a lost connection is
    // opened again with it (libpq holds it for the connection's life anyway).
    QByteArray Password;

    const QString &name() const { return m_name; }
    // The connection properties of another transaction object, for a second connection to the
    // same database (a count off the user-interface thread).
    void copySettingsFrom(const Transaction &other);

    int connect();
    // Ends the connection; an open transaction is rolled back, never committed.
    int disconnect();
    bool isConnected() const;

    long SQLCode() const { return m_sqlCode; }
    const QString &SQLErrText() const { return m_sqlErrText; }
    long SQLDBCode() const { return m_sqlDbCode; }
    std::int64_t SQLNRows() const { return m_sqlNRows; }
    // After a failure (-1): whether it was another connection's lock (or a deadlock with it),
    // so that the operator can be told to try again. Reset by the next result.
    bool lockConflict() const { return m_sqlCode == -1 && m_lockConflict; }
    // The connection to the server broke (the server restarted, the network went): what was
    // open is ended by the server, and the next operation connects again (once a change the
    // break cut short has been rolled back). Reported as saved is nothing whose COMMIT did not
    // answer. A cursor or statement held across that reconnection belongs to the old
    // connection: keep them within one operation, as the module does.
    bool connectionLost() const;
    // The server process of the connection, also of one that broke (until a new one is open);
    // 0 on the files or unconnected.
    int backendPid() const { return m_connection ? m_connection->backendPid() : 0; }
    // Stops the statement this transaction runs on another thread (that statement then fails).
    void cancel();
    // While a long change runs on another thread with this transaction, the thread that lent it
    // must not use it; readers that would run by themselves (a grid reading its next page as it
    // is painted) ask first and wait.
    // Also lent, in that sense, while a statement of the thread that set the wait observer waits
    // and the observer is told (its window repaints the others).
    void setLent(bool lent) { m_lent.store(lent); }
    bool lent() const { return m_lent.load() || m_waitRelay.telling(); }
    // Who is told while a statement waits for the server (not owned; null: nobody): only on the
    // thread that sets it, never on a thread this transaction is lent to. It may cancel the
    // statement, which then fails with cancelled() true. Kept across connect and reconnection;
    // the observer must outlive this transaction or be unset first.
    void setWaitObserver(DbWaitObserver *observer);
    // After a failure (-1): the operator cancelled the statement while it waited.
    bool cancelled() const { return m_sqlCode == -1 && m_cancelled; }

    // SELECT … INTO: exactly one row. The values arrive converted to the types of the entries
    // already in `into` (further columns keep their natural type). No row: 100, into unchanged;
    // several rows: -1, into unchanged.
    int selectInto(const QString &sql, const QList<Value> &params, QList<Value> &into);
    // One DELETE, UPDATE or INSERT (or any single statement) with bound values.
    int execute(const QString &sql, const QList<Value> &params = {});
    // Many rows into a table at once, in the write transaction (opened when none is): the
    // database's fastest way (a server's COPY), else an INSERT a row. 0 or -1.
    int bulkInsert(const QString &table, const QStringList &columns, const QList<QList<Value>> &rows);
    // EXECUTE IMMEDIATE: the statements of a text, one after the other, nothing bound.
    int executeImmediate(const QString &sql);
    // Runs a registered procedure inside the current transaction. A failing procedure leaves
    // none of its own changes behind (it runs under a savepoint), whatever the caller does next.
    int executeProcedure(const QString &procedure, const ProcedureArgs &args);
    int commit();
    int rollback();
    bool inTransaction() const;

    // Test hooks. Each armed fault fires once; several may be armed at a time.
    void injectFault(const InjectedFault &fault);
    void clearInjectedFaults() { m_faults.clear(); }
    int injectedFaultsPending() const { return int(m_faults.size()); }
    // What the last fault that fired failed: the statement's text, or "COMMIT".
    const QString &lastInjectedFault() const { return m_lastFault; }
    // Statements and commits that passed the fault hook since connect (to choose an nth).
    int statementsRun() const { return m_statementsRun; }
    int commitsRun() const { return m_commitsRun; }
    // For the runtime's other layers (cursors, DataWindows) before they run a statement: true,
    // with SQLCode -1 and the fault's error set, when this statement is to fail.
    bool injectedFault(const QString &sql) { return fire(InjectedFault::On::Statement, sql); }

    void registerProcedure(const QString &name, Procedure procedure);
    bool hasProcedure(const QString &name) const;

    // For the runtime's other layers (cursors, DataWindows): prepares one statement, or null
    // with SQLCode -1 and the error set.
    std::unique_ptr<DbStatement> prepare(const QString &sql);
    // Opens a write transaction unless one is open; false (SQLCode -1) when it cannot.
    bool beginWrite();
    void setResult(long sqlCode, std::int64_t rows = 0);
    void setError(const DbError &error);
    void setError(long dbCode, const QString &text);
    DbConnection *connection() const { return m_connection.get(); }

private:
    // Opens a connection with the properties; false with the error set.
    bool open();
    // Connects again when the connection broke; false (with the error set) when it cannot.
    bool restoreConnection();
    // The read that just failed may run again on a new connection: it found the connection
    // lost (not cancelled, not unanswered) and no transaction was open before it (idle).
    bool mayReadAgain(bool idle) const;
    // Nothing is open on the connection: no transaction the module began, none on the server.
    bool idle() const;
    int selectIntoOnce(const QString &sql, const QList<Value> &params, QList<Value> &into);
    DbStatement *cached(const QString &sql);
    bool bindAll(DbStatement &stmt, const QList<Value> &params);
    // The cached statement bound to the values, a write transaction begun if it writes; null
    // (with the error set) when a fault is injected or it cannot be prepared, bound or begun.
    DbStatement *ready(const QString &sql, const QList<Value> &params);
    int runWriting(DbStatement &stmt, bool dml);
    static bool isDml(const QString &sql);
    bool fire(InjectedFault::On on, const QString &sql);
    // COMMIT or ROLLBACK, unless no transaction is open (autocommit); 0, or -1 with the error set.
    int endTransaction(const QString &statement);
    // Runs a procedure's body under a savepoint: a body that fails (false, with its text) leaves
    // nothing of its own changes behind.
    int underSavepoint(const QString &procedure, const std::function<bool(QString &errorText)> &body);

    struct ArmedFault
    {
        InjectedFault fault;
        int seen = 0;
    };
    std::vector<ArmedFault> m_faults;
    QString m_lastFault;
    int m_statementsRun = 0;
    int m_commitsRun = 0;

    QString m_name;
    std::unique_ptr<DbConnection> m_connection;
    QHash<QString, std::shared_ptr<DbStatement>> m_cache;
    QHash<QString, Procedure> m_procedures;

    long m_sqlCode = 0;
    QString m_sqlErrText;
    long m_sqlDbCode = 0;
    bool m_lockConflict = false;
    bool m_cancelled = false;
    bool m_readAgain = false; // the last failure was a lost connection a read may run again after
    int m_readsAgain = 0;     // reads run again on a new connection, so that one runs again once
    WaitRelay m_waitRelay;
    bool m_writeOpen = false; // a write transaction was begun and not yet ended
    std::atomic<bool> m_lent{false};
    std::int64_t m_sqlNRows = 0;
};

} // namespace rt
