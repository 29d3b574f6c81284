#include "Transaction.h"

#include "PgConnection.h"
#include "SqliteConnection.h"
#include "SqlQuote.h"

#include <QRegularExpression>

namespace rt {

namespace {

constexpr int CacheLimit = 64;

} // namespace

Transaction::Transaction(QString name) : m_name(std::move(name)) {}

Transaction::~Transaction()
{
    disconnect();
    Password.fill('\0'); // its own buffer (see copySettingsFrom): overwritten, not only freed
}

void Transaction::copySettingsFrom(const Transaction &other)
{
    DBMS = other.DBMS;
    Database = other.Database;
    AttachDatabase = other.AttachDatabase;
    AttachSchema = other.AttachSchema;
    BusyTimeoutMs = other.BusyTimeoutMs;
    StatementTimeoutMs = other.StatementTimeoutMs;
    SearchPath = other.SearchPath;
    // A copy of its own, not a share of the other's buffer: each is overwritten when its
    // transaction ends, which a shared buffer would escape (writing to it detaches).
    Password = QByteArray(other.Password.constData(), other.Password.size());
}

int Transaction::connect()
{
    disconnect();
    if (!open())
        return -1;
    m_statementsRun = m_commitsRun = 0;
    setResult(0);
    return 0;
}

bool Transaction::open()
{
    std::unique_ptr<DbConnection> connection;
    if (DBMS.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        connection = std::make_unique<SqliteConnection>();
    else if (DBMS.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        connection = std::make_unique<PgConnection>();
    else {
        setError(-1, QStringLiteral("unsupported DBMS: %1").arg(DBMS));
        return false;
    }
    DbOpenOptions options;
    options.path = Database;
    options.create = AutoCreate;
    options.attachPath = AttachDatabase;
    options.attachSchema = AttachSchema;
    options.busyTimeoutMs = BusyTimeoutMs;
    options.statementTimeoutMs = StatementTimeoutMs;
    options.searchPath = SearchPath;
    options.password = Password;
    // The session's own set-up is a wait like any other.
    connection->setWaitObserver(m_waitRelay.active() ? &m_waitRelay : nullptr);
    DbError error;
    if (!connection->open(options, error)) {
        setError(error);
        return false;
    }
    m_connection = std::move(connection);
    return true;
}

void Transaction::setWaitObserver(DbWaitObserver *observer)
{
    m_waitRelay.set(observer);
    if (m_connection)
        m_connection->setWaitObserver(observer ? &m_waitRelay : nullptr);
}

bool Transaction::idle() const
{
    return m_connection && !m_writeOpen && m_connection->autocommit();
}

bool Transaction::mayReadAgain(bool idleBefore) const
{
    return idleBefore && m_sqlCode == -1 && m_readAgain && connectionLost();
}

void Transaction::cancel()
{
    if (m_connection)
        m_connection->interrupt();
}

bool Transaction::connectionLost() const
{
    return m_connection && m_connection->isBroken();
}

bool Transaction::restoreConnection()
{
    if (!connectionLost())
        return true;
    // A transaction the break cut short is ended by its caller first (its rollback, or its
    // commit that fails): statements after it must not run in a new transaction that a later
    // COMMIT would report as saved.
    if (m_writeOpen) {
        setError(DbError{-1, QStringLiteral("the connection to the server was lost in the middle of a change; "
                                            "the change is ended before anything else runs"),
                         false, true});
        return false;
    }
    // Whatever the broken connection had open, the server has ended; its statements go with it.
    // The broken connection stays until a new one is open, so that a server still away is
    // noticed again at the next operation.
    m_cache.clear();
    return open();
}

int Transaction::disconnect()
{
    m_writeOpen = false;
    m_cache.clear();
    if (m_connection) {
        if (!m_connection->autocommit()) {
            DbError ignored;
            m_connection->exec(QStringLiteral("ROLLBACK"), ignored);
        }
        m_connection->close();
        m_connection.reset();
    }
    setResult(0);
    return 0;
}

bool Transaction::isConnected() const
{
    return m_connection && m_connection->isOpen();
}

bool Transaction::inTransaction() const
{
    // A change the engine ended after an error is still open here until its caller ends it.
    return m_connection && !m_connection->isBroken() && (!m_connection->autocommit() || m_writeOpen);
}

void Transaction::setResult(long sqlCode, std::int64_t rows)
{
    m_sqlCode = sqlCode;
    m_sqlNRows = rows;
    if (sqlCode != -1) {
        m_sqlErrText.clear();
        m_sqlDbCode = 0;
    }
}

void Transaction::setError(const DbError &error)
{
    setError(error.code == 0 ? -1 : error.code, error.text);
    m_lockConflict = error.lockConflict;
    m_cancelled = error.cancelled;
    m_readAgain = error.connectionLost && !error.cancelled && !error.unanswered;
}

void Transaction::setError(long dbCode, const QString &text)
{
    m_sqlCode = -1;
    m_sqlNRows = 0;
    m_sqlDbCode = dbCode;
    m_sqlErrText = text;
    m_lockConflict = false;
    m_cancelled = false;
    m_readAgain = false;
}

std::unique_ptr<DbStatement> Transaction::prepare(const QString &sql)
{
    if (!restoreConnection())
        return nullptr;
    if (!isConnected()) {
        setError(-1, QStringLiteral("transaction %1 is not connected").arg(m_name));
        return nullptr;
    }
    DbError error;
    int tail = 0;
    const bool idleBefore = idle();
    auto stmt = m_connection->prepare(sql, &tail, error);
    if (!stmt) {
        setError(error.code == 0 ? DbError{-1, QStringLiteral("no SQL statement to run")} : error);
        // Preparing changes nothing: on a connection found lost it is done again on a new one.
        if (!mayReadAgain(idleBefore) || !restoreConnection())
            return nullptr;
        ++m_readsAgain;
        stmt = m_connection->prepare(sql, &tail, error);
        if (!stmt) {
            setError(error.code == 0 ? DbError{-1, QStringLiteral("no SQL statement to run")} : error);
            return nullptr;
        }
    }
    if (!sql.mid(tail).trimmed().remove(QLatin1Char(';')).trimmed().isEmpty()) {
        setError(-1, QStringLiteral("only one SQL statement is allowed here"));
        return nullptr;
    }
    setResult(0);
    return stmt;
}

DbStatement *Transaction::cached(const QString &sql)
{
    auto it = m_cache.find(sql);
    if (it != m_cache.end())
        return it->get();
    auto stmt = prepare(sql);
    if (!stmt)
        return nullptr;
    if (m_cache.size() >= CacheLimit)
        m_cache.clear();
    DbStatement *raw = stmt.get();
    m_cache.insert(sql, std::shared_ptr<DbStatement>(std::move(stmt)));
    return raw;
}

bool Transaction::bindAll(DbStatement &stmt, const QList<Value> &params)
{
    stmt.clearBindings();
    if (params.size() > stmt.parameterCount()) {
        setError(-1, QStringLiteral("%1 values given for %2 parameters").arg(params.size()).arg(stmt.parameterCount()));
        return false;
    }
    for (int i = 0; i < params.size(); ++i) {
        if (!stmt.bind(i, params[i])) {
            setError(stmt.lastError());
            return false;
        }
    }
    return true;
}

bool Transaction::beginWrite()
{
    if (!restoreConnection())
        return false;
    if (!isConnected()) {
        setError(-1, QStringLiteral("transaction %1 is not connected").arg(m_name));
        return false;
    }
    if (!m_connection->autocommit())
        return true;
    if (m_writeOpen) {
        // The engine ended the transaction itself after an error (SQLite rolls back on a full
        // disk or an I/O error): what follows must not run in a new transaction that a later
        // COMMIT would save without what went before.
        setError(DbError{-1, QStringLiteral("the database ended the change after an error and undid it; "
                                            "the change is ended before anything else runs")});
        return false;
    }
    // Deferred: with the history file attached, an immediate begin would write-lock it too.
    DbError error;
    if (!m_connection->exec(QStringLiteral("BEGIN"), error)) {
        setError(error);
        return false;
    }
    m_writeOpen = true;
    return true;
}

bool Transaction::isDml(const QString &sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(?:with\\b.*?\\)\\s*)?(delete|update|insert|replace)\\b"),
                                       QRegularExpression::CaseInsensitiveOption
                                           | QRegularExpression::DotMatchesEverythingOption);
    return re.match(sql).hasMatch();
}

int Transaction::runWriting(DbStatement &stmt, bool dml)
{
    const std::int64_t before = m_connection->totalChanges();
    DbStep step;
    while ((step = stmt.step()) == DbStep::Row) {
    }
    stmt.reset();
    if (step == DbStep::Error) {
        setError(stmt.lastError());
        return -1;
    }
    const std::int64_t changed = m_connection->totalChanges() - before;
    setResult(dml && changed == 0 ? 100 : 0, changed);
    return m_sqlCode;
}

DbStatement *Transaction::ready(const QString &sql, const QList<Value> &params)
{
    if (injectedFault(sql) || !restoreConnection())
        return nullptr;
    DbStatement *stmt = cached(sql);
    if (!stmt || !bindAll(*stmt, params))
        return nullptr;
    if (!stmt->isReadOnly() && !beginWrite())
        return nullptr;
    return stmt;
}

int Transaction::selectInto(const QString &sql, const QList<Value> &params, QList<Value> &into)
{
    const bool idleBefore = idle();
    const int reconnectedBefore = m_readsAgain;
    const int rc = selectIntoOnce(sql, params, into);
    // A read on a connection found lost runs once more on a new one (restoreConnection also
    // forgets the statements prepared on the old). A select that writes (a function with side
    // effects) runs inside the write transaction that keeps it from being run twice.
    if (rc != -1 || m_readsAgain != reconnectedBefore || !mayReadAgain(idleBefore) || !restoreConnection())
        return rc;
    ++m_readsAgain;
    return selectIntoOnce(sql, params, into);
}

int Transaction::selectIntoOnce(const QString &sql, const QList<Value> &params, QList<Value> &into)
{
    DbStatement *stmt = ready(sql, params);
    if (!stmt)
        return -1;
    const DbStep first = stmt->step();
    if (first == DbStep::Error) {
        setError(stmt->lastError());
        stmt->reset();
        return -1;
    }
    if (first == DbStep::Done) {
        stmt->reset();
        setResult(100);
        return 100;
    }
    QList<Value> row;
    for (int c = 0; c < stmt->columnCount(); ++c) {
        const ValueType type = c < into.size() ? into[c].type() : ValueType::String;
        if (c < into.size()) {
            row.append(stmt->columnValue(c, type));
        } else {
            switch (stmt->columnKind(c)) {
            case DbColumnKind::Integer: row.append(Value(stmt->columnInt64(c))); break;
            case DbColumnKind::Real: row.append(Value(stmt->columnDouble(c))); break;
            case DbColumnKind::Null: row.append(Value::null(ValueType::String)); break;
            default: row.append(Value(stmt->columnText(c))); break;
            }
        }
    }
    const DbStep second = stmt->step();
    stmt->reset();
    if (second == DbStep::Row) {
        setError(-1, QStringLiteral("SELECT INTO found more than one row"));
        return -1;
    }
    if (second == DbStep::Error) {
        setError(stmt->lastError());
        return -1;
    }
    into = row;
    setResult(0, 1);
    return 0;
}

int Transaction::execute(const QString &sql, const QList<Value> &params)
{
    DbStatement *stmt = ready(sql, params);
    if (!stmt)
        return -1;
    return runWriting(*stmt, isDml(sql));
}

int Transaction::bulkInsert(const QString &table, const QStringList &columns, const QList<QList<Value>> &rows)
{
    if (!beginWrite())
        return -1;
    if (!m_connection->hasBulkInsert()) {
        QStringList quoted, marks;
        for (const QString &c : columns) {
            quoted << sqlIdentifier(c);
            marks << QStringLiteral("?");
        }
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(sqlIdentifier(table), quoted.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        for (const QList<Value> &row : rows) {
            if (execute(sql, row) == -1)
                return -1;
        }
        return 0;
    }
    DbError error;
    if (!m_connection->bulkInsert(table, columns, rows, error)) {
        setError(error);
        return -1;
    }
    setResult(0, std::int64_t(rows.size()));
    return 0;
}

int Transaction::executeImmediate(const QString &sql)
{
    if (!restoreConnection())
        return -1;
    if (!isConnected()) {
        setError(-1, QStringLiteral("transaction %1 is not connected").arg(m_name));
        return -1;
    }
    QString rest = sql;
    std::int64_t rows = 0;
    bool anyDml = false;
    bool ranAny = false;
    while (!rest.trimmed().isEmpty()) {
        DbError error;
        int tail = 0;
        auto stmt = m_connection->prepare(rest, &tail, error);
        if (!stmt) {
            if (error.code != 0) {
                setError(error);
                return -1;
            }
            break; // only comments left
        }
        if (!stmt->isReadOnly() && !beginWrite())
            return -1;
        const QString text = rest.left(tail);
        if (injectedFault(text))
            return -1;
        const bool dml = isDml(text);
        anyDml = anyDml || dml;
        if (runWriting(*stmt, dml) == -1)
            return -1;
        rows += m_sqlNRows;
        ranAny = true;
        rest = rest.mid(tail);
    }
    if (!ranAny) {
        setError(-1, QStringLiteral("no SQL statement to run"));
        return -1;
    }
    setResult(anyDml && rows == 0 ? 100 : 0, rows);
    return m_sqlCode;
}

int Transaction::executeProcedure(const QString &procedure, const ProcedureArgs &args)
{
    const auto it = m_procedures.constFind(procedure.toLower());
    if (it != m_procedures.constEnd()) {
        const Procedure body = *it;
        return underSavepoint(procedure, [&](QString &errorText) { return body(*this, args, errorText) != -1; });
    }
    if (!restoreConnection())
        return -1;
    if (!isConnected() || !m_connection->hasServerProcedures()) {
        setError(-1, QStringLiteral("procedure not found: %1").arg(procedure));
        return -1;
    }
    // The database's own function, its arguments by name: SELECT proc(p => ?, q => ?).
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QStringList named;
    QList<Value> values;
    for (const auto &[name, value] : args.all()) {
        const QString n = ProcedureArgs::normalized(name);
        if (!plain.match(n).hasMatch()) {
            setError(-1, QStringLiteral("not a parameter name: %1").arg(name));
            return -1;
        }
        named << n + QStringLiteral(" => ?");
        values << value;
    }
    if (!plain.match(procedure).hasMatch()) {
        setError(-1, QStringLiteral("not a procedure name: %1").arg(procedure));
        return -1;
    }
    const QString call = QStringLiteral("SELECT %1(%2)").arg(procedure.toLower(), named.join(QStringLiteral(", ")));
    return underSavepoint(procedure, [&](QString &errorText) {
        auto stmt = prepare(call);
        bool ok = stmt && bindAll(*stmt, values);
        if (ok) {
            DbStep step;
            while ((step = stmt->step()) == DbStep::Row) {
            }
            if (step == DbStep::Error) {
                setError(stmt->lastError());
                ok = false;
            }
            stmt->reset();
        }
        if (!ok)
            errorText = m_sqlErrText;
        return ok;
    });
}

int Transaction::underSavepoint(const QString &procedure, const std::function<bool(QString &errorText)> &body)
{
    if (injectedFault(QStringLiteral("EXECUTE ") + procedure) || !beginWrite())
        return -1;
    DbError error;
    if (!m_connection->exec(QStringLiteral("SAVEPOINT proc_call"), error)) {
        setError(error);
        return -1;
    }
    QString errorText;
    const std::int64_t before = m_connection->totalChanges();
    if (!body(errorText)) {
        const long code = m_sqlDbCode != 0 && m_sqlCode == -1 ? m_sqlDbCode : -1;
        // The statement inside that met another connection's lock makes the procedure's failure one.
        const bool lock = lockConflict();
        DbError ignored;
        m_connection->exec(QStringLiteral("ROLLBACK TO proc_call"), ignored);
        m_connection->exec(QStringLiteral("RELEASE proc_call"), ignored);
        setError(code, errorText.isEmpty() ? QStringLiteral("procedure %1 failed").arg(procedure) : errorText);
        m_lockConflict = lock;
        return -1;
    }
    if (!m_connection->exec(QStringLiteral("RELEASE proc_call"), error)) {
        setError(error);
        return -1;
    }
    setResult(0, m_connection->totalChanges() - before);
    return 0;
}

int Transaction::commit()
{
    if (!isConnected()) {
        setError(-1, QStringLiteral("transaction %1 is not connected").arg(m_name));
        return -1;
    }
    if (fire(InjectedFault::On::Commit, QString()))
        return -1;
    return endTransaction(QStringLiteral("COMMIT"));
}

int Transaction::rollback()
{
    if (!isConnected()) {
        setError(-1, QStringLiteral("transaction %1 is not connected").arg(m_name));
        return -1;
    }
    // Statements still stepping would keep the rollback from ending the transaction.
    for (auto &stmt : m_cache)
        stmt->reset();
    return endTransaction(QStringLiteral("ROLLBACK"));
}

int Transaction::endTransaction(const QString &statement)
{
    // A change the engine itself ended after an error (SQLite rolls back on an I/O error or a
    // full disk) has nothing left to commit: that COMMIT must not be told as saved.
    const bool endedByEngine = m_writeOpen && m_connection && !m_connection->isBroken() && m_connection->autocommit();
    m_writeOpen = false;
    const bool commit = statement.compare(QLatin1String("COMMIT"), Qt::CaseInsensitive) == 0;
    if (commit && endedByEngine) {
        setError(DbError{-1, QStringLiteral("the database ended the change after an error and undid it; nothing of it was saved")});
        return -1;
    }
    // The server ends whatever was open when the connection broke. A rollback is then done; a
    // commit may or may not have held, and is never reported as saved.
    const QString unknown = QStringLiteral("the connection to the server was lost: whether the last changes were saved is "
                                           "not known, so they are not reported as saved");
    if (connectionLost()) {
        if (commit) {
            setError(DbError{-1, unknown, false, true});
            return -1;
        }
        setResult(0);
        return 0;
    }
    if (!m_connection->autocommit()) {
        DbError error;
        if (!m_connection->exec(statement, error)) {
            if (error.connectionLost && !commit) {
                setResult(0);
                return 0;
            }
            if (error.connectionLost)
                error.text = unknown + QStringLiteral(" (") + error.text + QLatin1Char(')');
            setError(error);
            return -1;
        }
    }
    setResult(0);
    return 0;
}

void Transaction::registerProcedure(const QString &name, Procedure procedure)
{
    m_procedures.insert(name.toLower(), std::move(procedure));
}

bool Transaction::hasProcedure(const QString &name) const
{
    return m_procedures.contains(name.toLower());
}

} // namespace rt
