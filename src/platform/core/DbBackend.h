#pragma once

#include "Value.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string_view>

namespace rt {

// The database engine behind a transaction object. Nothing of a particular engine shows here;
// SqliteConnection implements it, a server backend can follow.

struct DbError
{
    int code = 0;         // the engine's own (extended) error code; 0 = none
    QString text;         // the engine's message, made readable
    bool lockConflict = false; // another connection holds what was wanted (a lock, a deadlock)
    bool connectionLost = false; // the connection to the server broke (the server restarted …)
    bool cancelled = false;      // the operator cancelled the statement while it waited (DbWaitObserver)
    bool unanswered = false;     // the server did not answer in time, not even a cancel: it is there
                                 // but does not work, and a new connection would wait as long
};

// Told while a statement waits for the server's answer, on the thread that runs it, so that a
// window can show the wait and offer to cancel it. The engine itself never opens a window.
class DbWaitObserver
{
public:
    virtual ~DbWaitObserver() = default;
    // Called every 50–100 ms while one request to the server waits for its answer, with the
    // milliseconds waited since it was sent (for the rows of a long read, since the last row
    // came). True asks for the statement to be cancelled: the connection sends the server a
    // cancel, the statement then fails with the server's cancel error (DbError::cancelled), and
    // a server that does not answer even that within two seconds has its connection given up.
    // Runs nothing on the connection that waits (it is busy with the request).
    virtual bool stillWaiting(int waitedMs) = 0;
    // The wait has ended, answered or not; called only after stillWaiting was.
    virtual void waitEnded() = 0;
};

enum class DbColumnKind { Null, Integer, Real, Text, Blob };
enum class DbStep { Row, Done, Error };

// One prepared statement. Columns and parameters are 0-based here; the runtime's 1-based
// numbering is applied by the callers. Owned by whoever prepared it; it must not outlive
// its connection.
class DbStatement
{
public:
    virtual ~DbStatement() = default;

    virtual int parameterCount() const = 0;
    // 0-based index of a named parameter (":name", "@name", "$name"), -1 when absent.
    virtual int parameterIndex(const QString &name) const = 0;
    // Binds a value; dates, times and datetimes as their canonical text, decimals as exact text.
    virtual bool bind(int index, const Value &value) = 0;
    virtual void clearBindings() = 0;

    virtual DbStep step() = 0;
    // Ends the current execution and releases any read snapshot it held; bindings stay.
    virtual void reset() = 0;
    // Said before the first step by a reader that steps through every row at once and runs
    // nothing else on the connection meanwhile: the backend may then hand rows out as they
    // arrive instead of gathering the whole result first (a failure may then come at any step,
    // not only the first).
    virtual void streamRows() {}

    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    // The declared type of the column in its table, empty for an expression.
    virtual QString columnDeclaredType(int column) const = 0;
    // The table the column comes from, empty for an expression.
    virtual QString columnTable(int column) const = 0;

    virtual DbColumnKind columnKind(int column) const = 0;
    virtual std::int64_t columnInt64(int column) const = 0;
    virtual double columnDouble(int column) const = 0;
    // UTF-8 text valid until the next step or reset.
    virtual std::string_view columnUtf8(int column) const = 0;
    QString columnText(int column) const
    {
        const auto v = columnUtf8(column);
        return QString::fromUtf8(v.data(), qsizetype(v.size()));
    }
    // The column as a value of the given type (null stays null; unconvertible text gives a null).
    Value columnValue(int column, ValueType type) const;

    // True when executing the statement cannot change the database.
    virtual bool isReadOnly() const = 0;
    virtual DbError lastError() const = 0;
};

struct DbOpenOptions
{
    QString path;
    bool create = false;          // create a missing file (only the register's set-up does)
    QString attachPath;           // optional second file, reached by unqualified names
    QString attachSchema = QStringLiteral("hist");
    int busyTimeoutMs = 3000;
    int statementTimeoutMs = 120000; // a server backend: how long one statement may run
    QString searchPath;           // a server backend: the schemas unqualified names are looked up in
    QByteArray password;          // a server backend: the password, kept out of the connection string
};

class DbConnection
{
public:
    virtual ~DbConnection() = default;

    virtual bool open(const DbOpenOptions &options, DbError &error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Prepares the first statement of sql; tail receives the offset (in characters) where the
    // next statement starts, or sql.size(). Null on error (see error).
    virtual std::unique_ptr<DbStatement> prepare(const QString &sql, int *tail, DbError &error) = 0;
    // Runs statements that return no rows (transaction control, pragmas).
    virtual bool exec(const QString &sql, DbError &error) = 0;

    virtual std::int64_t totalChanges() const = 0;
    virtual std::int64_t lastInsertId() const = 0;
    // False while a transaction is open.
    virtual bool autocommit() const = 0;
    virtual QString backendName() const = 0;
    // The primary key columns of a table as the database names them; empty when it has none or
    // the table is unknown. Asking never disturbs an open transaction.
    virtual QStringList primaryKey(const QString &table) = 0;
    // Writes many rows into a table at once, inside the open transaction: the fastest way the
    // database has (a server's COPY). Column names are given as the table spells them; values are
    // written in their canonical text. False with the error; nothing is said for a backend
    // without such a way (the caller then inserts row by row).
    virtual bool bulkInsert(const QString &, const QStringList &, const QList<QList<Value>> &, DbError &) { return false; }
    virtual bool hasBulkInsert() const { return false; }
    // True when stored procedures live in the database itself (called as functions by name).
    virtual bool hasServerProcedures() const { return false; }
    // True once the connection is known to be broken (a server's connection that closed); it
    // stays broken until it is opened again. A file never breaks.
    virtual bool isBroken() const { return false; }
    // The server process that serves this connection, 0 where there is none (a file). It stays
    // known after the connection broke: that process may outlive the break, still committing or
    // still holding the locks of a transaction it never heard the end of, and only by its number
    // can it be found and waited for from a new connection.
    virtual int backendPid() const { return 0; }
    // Stops the statement running on this connection, from any thread; the statement then
    // fails. Nothing happens when none runs.
    virtual void interrupt() = 0;
    // Who is told of the waits for the server (not owned; null: nobody). A file answers at once
    // or within its busy timeout, and tells nobody.
    virtual void setWaitObserver(DbWaitObserver *) {}
};

} // namespace rt
