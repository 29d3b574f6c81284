#include "PgConnection.h"

#include "PgConninfo.h"
#include "PgStatement.h"
#include "SqlLexer.h"

#include <QRegularExpression>
#include <libpq-fe.h>

namespace rt {

namespace {

// SQLSTATE codes of waiting for another session, told as such.
bool isLockState(const QByteArray &state)
{
    return state == "55P03" || state == "40P01" || state == "40001";
}

bool preparable(const QString &keyword)
{
    static const QStringList kinds{QStringLiteral("select"), QStringLiteral("insert"), QStringLiteral("update"),
                                   QStringLiteral("delete"), QStringLiteral("values"), QStringLiteral("with-write"),
                                   QStringLiteral("table")};
    return kinds.contains(keyword);
}

} // namespace

PgConnection::~PgConnection()
{
    close();
}

DbError PgConnection::errorOf(const void *res) const
{
    const auto *result = static_cast<const PGresult *>(res);
    DbError e;
    const QByteArray state = result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
    QString text = result && PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)
                       ? QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
                       : QString::fromUtf8(m_conn ? PQerrorMessage(m_conn) : "not connected").trimmed();
    if (result && PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)));
    e.lockConflict = isLockState(state);
    e.connectionLost = isBroken();
    // Cancelled when the operator's cancel is what ended it; any other failure that came first
    // (a lock timeout) is told as itself.
    e.cancelled = m_wait.cancelledByOperator() && (state == "57014" || m_abandoned);
    e.unanswered = m_abandoned;
    if (m_refused && !result)
        text = QStringLiteral("another statement is waiting for the server on this connection; this one was not sent");
    if (m_abandoned && e.cancelled)
        text = QStringLiteral("the server did not answer the cancel within %1 s; the connection is given up")
                   .arg(PgWait::CancelGraceMs / 1000);
    else if (m_abandoned)
        text = QStringLiteral("the server did not answer within %1 s, and not even to a cancel; the connection is given up")
                   .arg(m_wait.givenUpAfterMs() / 1000);
    // What the operator asked for is what the operator is told: the server's "canceling
    // statement due to user request" adds nothing to it; a cancel that went unanswered does.
    if (e.cancelled)
        text = QString::fromUtf8("操作已取消。") + (m_abandoned ? QStringLiteral("(") + text + QStringLiteral(")") : QString());
    if (e.connectionLost)
        text += QStringLiteral(" (the connection to the server was lost)");
    if (e.lockConflict)
        text += QStringLiteral(" (another connection or program is writing to the register; try again when it has finished)");
    else if (state == "57014" && !e.cancelled)
        text += QStringLiteral(" (the server stopped the statement: it ran past the statement timeout, or it was cancelled)");
    if (state.size() == 5) {
        // The SQLSTATE as a number: its digits when it has only digits, else read in base 36.
        bool digits = false;
        const int n = state.toInt(&digits);
        e.code = digits ? n : int(state.toLongLong(nullptr, 36) % 1000000000);
        text += QStringLiteral(" [SQLSTATE %1]").arg(QString::fromLatin1(state));
    } else {
        e.code = -1;
    }
    e.text = text;
    return e;
}

bool PgConnection::open(const DbOpenOptions &options, DbError &error)
{
    close();
    PgConninfo::Params params;
    QString unreadable;
    if (!PgConninfo::withDefaults(options.path, params, unreadable)) {
        // libpq's reason quotes the string, which may hold a password: it is not passed on.
        error = {-1, QStringLiteral("cannot read the connection string (check its key=value pairs and quotes)")};
        return false;
    }
    std::vector<const char *> keywords, values;
    for (const auto &[key, value] : params) {
        keywords.push_back(key.constData());
        values.push_back(value.constData());
    }
    if (!options.password.isEmpty()) {
        keywords.push_back("password");
        values.push_back(options.password.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    m_conn = PQconnectdbParams(keywords.data(), values.data(), 0);
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        error = {-1, QStringLiteral("cannot connect to the database server: %1")
                         .arg(QString::fromUtf8(m_conn ? PQerrorMessage(m_conn) : "out of memory").trimmed())};
        if (m_conn && PQconnectionNeedsPassword(m_conn))
            error.code = PasswordNeeded;
        else if (m_conn && PQconnectionUsedPassword(m_conn))
            error.code = PasswordFailed;
        close();
        return false;
    }
    // Schema names go into the text: only plain names are taken.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QStringList schemas;
    for (const QString &s : options.searchPath.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!plain.match(s.trimmed()).hasMatch()) {
            error = {-1, QStringLiteral("not a schema name: %1").arg(s)};
            close();
            return false;
        }
        schemas << s.trimmed().toLower();
    }
    // Quoting doubles quotes and nothing else: a backslash in a value must stay a backslash,
    // whatever the server's default. No statement of the module runs for ever; setting up a
    // register (loading a large demo) may take longer.
    QString setup = QStringLiteral("SET client_encoding TO 'UTF8'; SET DateStyle TO ISO; SET client_min_messages TO warning; "
                                   "SET standard_conforming_strings TO on; SET lock_timeout TO %1; SET statement_timeout TO %2")
                        .arg(std::max(1, options.busyTimeoutMs))
                        .arg(options.create ? 0 : std::max(1, options.statementTimeoutMs));
    // An operator's own statement timeout (options=-c statement_timeout=…, PGOPTIONS) stands.
    const auto setsTimeout = [](const QByteArray &o) { return o.contains("statement_timeout"); };
    bool ownTimeout = setsTimeout(qgetenv("PGOPTIONS"));
    for (const auto &[key, value] : params)
        ownTimeout = ownTimeout || (key == "options" && setsTimeout(value));
    if (ownTimeout)
        setup.replace(QRegularExpression(QStringLiteral("; SET statement_timeout TO \\d+")), QString());
    if (!schemas.isEmpty())
        setup += QStringLiteral("; SET search_path TO ") + schemas.join(QStringLiteral(", "));
    if (!exec(setup, error)) {
        close();
        return false;
    }
    m_cancel = PQgetCancel(m_conn);
    m_backendPid = PQbackendPID(m_conn);
    m_wait.setStatementTimeout(options.create || ownTimeout ? 0 : std::max(1, options.statementTimeoutMs));
    return true;
}

void PgConnection::close()
{
    if (m_cancel) {
        PQfreeCancel(m_cancel);
        m_cancel = nullptr;
    }
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
    m_backendPid = 0;
    m_abandoned = false;
    m_tables.clear();
}

std::unique_ptr<DbStatement> PgConnection::prepare(const QString &sql, int *tail, DbError &error)
{
    if (!m_conn) {
        error = {-1, QStringLiteral("not connected")};
        return nullptr;
    }
    SqlLexer::Statement st = SqlLexer::first(sql);
    if (tail)
        *tail = st.tail;
    if (!st.error.isEmpty()) {
        error = {-1, st.error};
        return nullptr;
    }
    if (st.text.trimmed().isEmpty()) {
        error = {};
        return nullptr;
    }
    if (!preparable(st.keyword)) {
        if (st.parameterCount > 0) {
            error = {-1, QStringLiteral("values cannot be bound in a %1 statement").arg(st.keyword)};
            return nullptr;
        }
        return std::make_unique<PgStatement>(*this, std::move(st), QString(), nullptr);
    }
    const QString name = nextStatementName();
    PGresult *prepared = prepareNamed(name.toUtf8().constData(), st.text.toUtf8().constData());
    if (PQresultStatus(prepared) != PGRES_COMMAND_OK) {
        error = errorOf(prepared);
        PQclear(prepared);
        return nullptr;
    }
    PQclear(prepared);
    PGresult *description = describeNamed(name.toUtf8().constData());
    if (PQresultStatus(description) != PGRES_COMMAND_OK) {
        error = errorOf(description);
        PQclear(description);
        return nullptr;
    }
    return std::make_unique<PgStatement>(*this, std::move(st), name, description);
}

void PgConnection::interrupt()
{
    char reason[256];
    if (m_cancel)
        PQcancel(m_cancel, reason, int(sizeof reason));
}

bool PgConnection::isBroken() const
{
    return m_conn && (m_abandoned || PQstatus(m_conn) == CONNECTION_BAD);
}

namespace {

// A value in COPY's text format: \N for null; backslash, tab, newline and return escaped.
void appendCopyValue(QByteArray &out, const Value &v)
{
    if (v.isNull()) {
        out += "\\N";
        return;
    }
    QString text;
    switch (v.type()) {
    case ValueType::Boolean: text = v.boolean() ? QStringLiteral("true") : QStringLiteral("false"); break;
    case ValueType::Number: text = QString::number(v.number(), 'g', 17); break;
    default: text = v.toText(); break;
    }
    for (const char ch : text.toUtf8()) {
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += ch; break;
        }
    }
}

} // namespace

bool PgConnection::bulkInsert(const QString &table, const QStringList &columns, const QList<QList<Value>> &rows, DbError &error)
{
    if (!m_conn || m_abandoned) {
        error = {-1, QStringLiteral("not connected")};
        return false;
    }
    if (rows.isEmpty())
        return true;
    QStringList quoted;
    for (const QString &c : columns)
        quoted << QLatin1Char('"') + c.toLower() + QLatin1Char('"');
    const QString sql = QStringLiteral("COPY \"%1\" (%2) FROM STDIN").arg(table.toLower(), quoted.join(QLatin1Char(',')));
    PGresult *start = PQexec(m_conn, sql.toUtf8().constData());
    if (PQresultStatus(start) != PGRES_COPY_IN) {
        error = errorOf(start);
        PQclear(start);
        return false;
    }
    PQclear(start);
    QByteArray chunk;
    bool sent = true;
    for (const QList<Value> &row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                chunk += '\t';
            appendCopyValue(chunk, row[c]);
        }
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            sent = sent && PQputCopyData(m_conn, chunk.constData(), int(chunk.size())) == 1;
            chunk.clear();
        }
    }
    if (!chunk.isEmpty())
        sent = sent && PQputCopyData(m_conn, chunk.constData(), int(chunk.size())) == 1;
    const bool ended = PQputCopyEnd(m_conn, sent ? nullptr : "the rows could not be sent") == 1;
    PGresult *result = await(ended ? 1 : 0);
    const bool ok = sent && ended && PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        error = errorOf(result);
    else
        m_changes += std::int64_t(rows.size());
    PQclear(result);
    return ok;
}

bool PgConnection::canSend()
{
    m_refused = false;
    if (!m_conn || m_abandoned)
        return false;
    if (m_wait.telling()) {
        // Only a window's event processing under the observer can get here (a repaint reading
        // a page of a grid on this very connection): libpq would refuse the request or mix the
        // two answers. The windows keep it from happening (the busy window is modal, a grid's
        // page waits while its transaction waits); should one slip through, it fails here.
        Q_ASSERT_X(false, "PgConnection", "a request made while another waits for the server on this connection");
        m_refused = true;
        return false;
    }
    return true;
}

PGresult *PgConnection::query(const char *sql)
{
    return canSend() ? await(PQsendQuery(m_conn, sql)) : nullptr;
}

PGresult *PgConnection::queryPrepared(const char *name, int count, const char *const *values)
{
    return canSend() ? await(PQsendQueryPrepared(m_conn, name, count, values, nullptr, nullptr, 0)) : nullptr;
}

PGresult *PgConnection::queryParams(const char *sql, int count, const char *const *values)
{
    return canSend() ? await(PQsendQueryParams(m_conn, sql, count, nullptr, values, nullptr, nullptr, 0)) : nullptr;
}

PGresult *PgConnection::prepareNamed(const char *name, const char *sql)
{
    return canSend() ? await(PQsendPrepare(m_conn, name, sql, 0, nullptr)) : nullptr;
}

PGresult *PgConnection::describeNamed(const char *name)
{
    return canSend() ? await(PQsendDescribePrepared(m_conn, name)) : nullptr;
}

bool PgConnection::awaitMore()
{
    if (!m_wait.once(PQsocket(m_conn))) {
        m_abandoned = true;
        m_wait.finish();
        return false;
    }
    if (!PQconsumeInput(m_conn)) {
        m_wait.finish();
        return false;
    }
    return true;
}

bool PgConnection::copyOutStart(const QByteArray &sql, DbError &error)
{
    if (!canSend() || !PQsendQuery(m_conn, sql.constData())) {
        error = errorOf(nullptr);
        return false;
    }
    m_wait.start();
    for (;;) {
        while (!PQisBusy(m_conn)) {
            PGresult *r = PQgetResult(m_conn);
            if (r && PQresultStatus(r) == PGRES_COPY_OUT) {
                PQclear(r);
                m_wait.progressed();
                return true;
            }
            m_wait.finish();
            error = errorOf(r);
            PQclear(r);
            PQclear(await(1)); // the rest of the answer, up to the end of the request
            return false;
        }
        if (!awaitMore()) {
            error = errorOf(nullptr);
            return false;
        }
    }
}

int PgConnection::copyOutRow(char **row, DbError &error)
{
    *row = nullptr;
    for (;;) {
        const int n = PQgetCopyData(m_conn, row, 1);
        if (n > 0) {
            m_wait.progressed();
            return n;
        }
        if (n < 0) {
            // The end of the rows: the statement's outcome follows (a failure met halfway too).
            PGresult *r = awaitRest();
            const bool ok = r && PQresultStatus(r) == PGRES_COMMAND_OK;
            if (!ok)
                error = errorOf(r);
            PQclear(r);
            return ok ? 0 : -1;
        }
        if (!awaitMore()) {
            error = errorOf(nullptr);
            return -1;
        }
    }
}

void PgConnection::freeCopyRow(char *row)
{
    if (row)
        PQfreemem(row);
}

void PgConnection::copyOutAbandon()
{
    if (!m_conn || isBroken())
        return;
    interrupt();
    DbError ignored;
    char *row = nullptr;
    while (copyOutRow(&row, ignored) > 0)
        PQfreemem(row);
}

PGresult *PgConnection::await(int sent)
{
    if (!sent)
        return nullptr;
    m_wait.start();
    return awaitRest();
}

PGresult *PgConnection::awaitRest()
{
    PGresult *kept = nullptr;
    for (;;) {
        if (!PQconsumeInput(m_conn)) {
            m_wait.finish();
            PQclear(kept);
            return nullptr; // the connection broke
        }
        while (!PQisBusy(m_conn)) {
            PGresult *r = PQgetResult(m_conn);
            if (!r) {
                m_wait.finish();
                return kept;
            }
            if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
                PQclear(r);
            } else {
                PQclear(kept);
                kept = r;
            }
        }
        if (!m_wait.once(PQsocket(m_conn))) {
            // Not even the cancel was answered: the server is there but does not work.
            m_abandoned = true;
            m_wait.finish();
            PQclear(kept);
            return nullptr;
        }
    }
}

bool PgConnection::exec(const QString &sql, DbError &error)
{
    if (!m_conn) {
        error = {-1, QStringLiteral("not connected")};
        return false;
    }
    if (sql.trimmed().compare(QLatin1String("COMMIT"), Qt::CaseInsensitive) == 0
        && PQtransactionStatus(m_conn) == PQTRANS_INERROR) {
        // The server would end it as a rollback and call that a success.
        PQclear(query("ROLLBACK"));
        error = {-1, QStringLiteral("the transaction had failed and was rolled back; nothing of it was committed")};
        return false;
    }
    PGresult *result = query(sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok)
        error = errorOf(result);
    PQclear(result);
    return ok;
}

std::int64_t PgConnection::lastInsertId() const
{
    if (!m_conn)
        return 0;
    // lastval() fails when no sequence was used yet; inside a transaction that failure must not
    // end the transaction.
    const bool inTransaction = PQtransactionStatus(m_conn) == PQTRANS_INTRANS;
    // Asking the server is a request like any other, bounded in time (which may give the
    // connection up): the interface's const is about the database, not the session.
    auto *self = const_cast<PgConnection *>(this);
    if (inTransaction)
        PQclear(self->query("SAVEPOINT hm_lastval"));
    PGresult *r = self->query("SELECT lastval()");
    std::int64_t id = 0;
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
    if (ok)
        id = std::strtoll(PQgetvalue(r, 0, 0), nullptr, 10);
    PQclear(r);
    if (inTransaction)
        PQclear(self->query(ok ? "RELEASE hm_lastval" : "ROLLBACK TO hm_lastval"));
    return id;
}

bool PgConnection::autocommit() const
{
    return !m_conn || PQtransactionStatus(m_conn) == PQTRANS_IDLE;
}

QStringList PgConnection::primaryKey(const QString &table)
{
    QStringList keys;
    if (!m_conn)
        return keys;
    const QByteArray name = table.toLower().toUtf8();
    const char *values[] = {name.constData()};
    // to_regclass answers null for an unknown table instead of failing the transaction.
    PGresult *r = queryParams("SELECT a.attname FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
                              "AND a.attnum = ANY(i.indkey) WHERE i.indisprimary AND i.indrelid = to_regclass($1) "
                              "ORDER BY array_position(i.indkey, a.attnum)",
                              1, values);
    if (PQresultStatus(r) == PGRES_TUPLES_OK) {
        for (int i = 0; i < PQntuples(r); ++i)
            keys << QString::fromUtf8(PQgetvalue(r, i, 0));
    }
    PQclear(r);
    return keys;
}

QString PgConnection::tableName(unsigned oid)
{
    const auto it = m_tables.constFind(oid);
    if (it != m_tables.constEnd())
        return *it;
    const QByteArray id = QByteArray::number(oid);
    const char *values[] = {id.constData()};
    PGresult *r = queryParams("SELECT relname FROM pg_class WHERE oid = $1::oid", 1, values);
    QString name;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1)
        name = QString::fromUtf8(PQgetvalue(r, 0, 0));
    PQclear(r);
    m_tables.insert(oid, name);
    return name;
}

} // namespace rt
