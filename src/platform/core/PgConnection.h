#pragma once

#include "DbBackend.h"
#include "PgWait.h"

#include <QHash>

struct pg_conn;
struct pg_cancel;
struct pg_result;

namespace rt {

// The server backend: one PostgreSQL connection through libpq, with the same contract as the
// embedded one. The options' path is a libpq connection string; the search path chooses the
// schemas unqualified names resolve in; the busy timeout becomes the lock timeout, so a write
// that waits for another session's lock fails after it instead of hanging. SQL written for the
// embedded backend works unchanged: placeholders are numbered for the server and quoted names
// folded to lower case (see SqlLexer). A COMMIT of a transaction an earlier error aborted is a
// failure here (the server would quietly roll it back).
class PgConnection final : public DbConnection
{
public:
    PgConnection() = default;
    ~PgConnection() override;
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // The error code of an open that failed because the server asked for a password and none
    // was at hand (options, the string, ~/.pgpass), or because the one given did not let it in.
    static constexpr int PasswordNeeded = -2801;
    static constexpr int PasswordFailed = -2802;

    bool open(const DbOpenOptions &options, DbError &error) override;
    void close() override;
    bool isOpen() const override { return m_conn != nullptr; }

    std::unique_ptr<DbStatement> prepare(const QString &sql, int *tail, DbError &error) override;
    bool exec(const QString &sql, DbError &error) override;

    std::int64_t totalChanges() const override { return m_changes; }
    std::int64_t lastInsertId() const override;
    bool autocommit() const override;
    QString backendName() const override { return QStringLiteral("PostgreSQL"); }
    QStringList primaryKey(const QString &table) override;
    bool hasServerProcedures() const override { return true; }
    bool isBroken() const override;
    int backendPid() const override { return m_backendPid; }
    bool bulkInsert(const QString &table, const QStringList &columns, const QList<QList<Value>> &rows, DbError &error) override;
    bool hasBulkInsert() const override { return true; }
    void interrupt() override;
    // Told of every wait for the server on the thread that runs this connection's statements.
    void setWaitObserver(DbWaitObserver *observer) override { m_wait.setObserver(observer); }

    // For the statements: the connection, rows changed, a table's name by its object id.
    pg_conn *handle() const { return m_conn; }
    void addChanges(std::int64_t rows) { m_changes += rows; }
    QString tableName(unsigned oid);
    QString nextStatementName() { return QStringLiteral("hm_s%1").arg(++m_statements); }
    // The server's error for a result (null: the connection's), with a readable text.
    DbError errorOf(const void *result) const;

    // Each request to the server waits for its answer no longer than the statement timeout and
    // a margin: past that the statement is cancelled, and if even the cancel gets no answer
    // (a server that is stopped, not dead) the connection is given up as lost. Meanwhile the
    // wait observer is told every tick and may have the statement cancelled (PgWait). The result,
    // or null (errorOf(nullptr) tells why). PQexec's meaning for several statements: the first
    // error, else the last result.
    pg_result *query(const char *sql);
    pg_result *queryPrepared(const char *name, int count, const char *const *values);
    pg_result *queryParams(const char *sql, int count, const char *const *values);
    pg_result *prepareNamed(const char *name, const char *sql);
    pg_result *describeNamed(const char *name);
    // A select's rows as the server sends them (COPY (select) TO STDOUT, text format), for a
    // reader that takes every row at once: each row is stored while the server makes the next,
    // where a whole result is first gathered in memory and only then stored. The same bound
    // applies as to any request. copyOutStart: true once rows are coming, else false with why.
    bool copyOutStart(const QByteArray &sql, DbError &error);
    // The next row of that COPY: its length, the row in *row (to be freed with freeCopyRow); 0
    // at the end, when the statement succeeded; -1 with why when it failed.
    int copyOutRow(char **row, DbError &error);
    static void freeCopyRow(char *row);
    // Ends a COPY not read to its end: the rest is cancelled and let go.
    void copyOutAbandon();

private:
    // Waits for the whole answer of the request just sent (sent: what PQsend… said).
    pg_result *await(int sent);
    // The rest of the answer to the request in flight, within its bound.
    pg_result *awaitRest();
    // Waits for more of an answer within the bound of the request in flight (m_wait, started by
    // the request): false when the connection broke or was given up.
    bool awaitMore();
    // A request may be sent: the connection is open, not given up, and not busy with a request
    // whose wait is being told (a request made from inside the observer is refused).
    bool canSend();

    pg_conn *m_conn = nullptr;
    bool m_abandoned = false;      // given up: the server did not answer in time
    bool m_refused = false;        // the last request was refused: it came while another waited
    PgWait m_wait{[this]() { interrupt(); }};
    pg_cancel *m_cancel = nullptr; // made at connect, so that another thread only sends it
    int m_backendPid = 0;          // kept from connect: libpq forgets it once the connection is bad
    std::int64_t m_changes = 0;
    int m_statements = 0;
    QHash<unsigned, QString> m_tables;
};

} // namespace rt
