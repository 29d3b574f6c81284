#include "PgStatement.h"

#include "PgConnection.h"

#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>

namespace rt {

namespace {

// Type object ids of the server's built-in types.
enum : unsigned {
    BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, TextOid = 25, OidOid = 26, Float4Oid = 700,
    Float8Oid = 701, BpcharOid = 1042, VarcharOid = 1043, DateOid = 1082, TimeOid = 1083, TimestampOid = 1114,
    TimestamptzOid = 1184, NumericOid = 1700
};

} // namespace

PgStatement::PgStatement(PgConnection &connection, SqlLexer::Statement statement, QString name, pg_result *description)
    : m_connection(connection), m_st(std::move(statement)), m_name(std::move(name)), m_description(description),
      m_values(std::size_t(m_st.parameterCount)), m_null(std::size_t(m_st.parameterCount), true)
{
}

int PgStatement::columnCount() const
{
    return meta() ? PQnfields(meta()) : 0;
}

QString PgStatement::columnName(int c) const
{
    return QString::fromUtf8(PQfname(meta(), c));
}

double PgStatement::columnDouble(int c) const
{
    return std::strtod(value(c), nullptr);
}

bool PgStatement::isNull(int c) const
{
    if (m_copying)
        return c < 0 || c >= int(m_fields.size()) || m_fields[std::size_t(c)].second < 0;
    return !m_result || m_row < 0 || PQgetisnull(m_result, m_row, c);
}

const char *PgStatement::value(int c) const
{
    if (m_copying)
        return isNull(c) ? "" : m_fields[std::size_t(c)].first;
    return PQgetvalue(m_result, m_row, c);
}

PgStatement::~PgStatement()
{
    endCopy();
    PQclear(m_result);
    PQclear(m_description);
    // A statement prepared inside a transaction that has since failed cannot be freed now;
    // it goes with the session.
    if (!m_name.isEmpty() && m_connection.handle() && !m_connection.isBroken()
        && PQtransactionStatus(m_connection.handle()) != PQTRANS_INERROR)
        PQclear(m_connection.query(QStringLiteral("DEALLOCATE %1").arg(m_name).toUtf8().constData()));
}

int PgStatement::parameterIndex(const QString &name) const
{
    QString n = name;
    if (n.startsWith(QLatin1Char(':')) || n.startsWith(QLatin1Char('@')) || n.startsWith(QLatin1Char('$')))
        n = n.mid(1);
    for (int i = 0; i < m_st.names.size(); ++i) {
        if (m_st.names[i].compare(n, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool PgStatement::bind(int index, const Value &value)
{
    if (index < 0 || index >= m_st.parameterCount) {
        m_error = {-1, QStringLiteral("no parameter %1").arg(index + 1)};
        return false;
    }
    m_null[std::size_t(index)] = value.isNull();
    if (value.isNull())
        return true;
    switch (value.type()) {
    case ValueType::Boolean: m_values[std::size_t(index)] = value.boolean() ? "true" : "false"; break;
    case ValueType::Long: m_values[std::size_t(index)] = QByteArray::number(qlonglong(value.longValue())); break;
    case ValueType::Number: m_values[std::size_t(index)] = QByteArray::number(value.number(), 'g', 17); break;
    default: m_values[std::size_t(index)] = value.toText().toUtf8(); break;
    }
    return true;
}

DbStep PgStatement::step()
{
    if (!m_executed) {
        m_executed = true;
        m_row = -1;
        // A statement that failed runs again at its next step; kept as executed it would
        // answer "no row" without running, until reset.
        if (!execute()) {
            m_executed = false;
            return DbStep::Error;
        }
    }
    if (m_copying)
        return nextCopiedRow();
    if (!m_result || PQresultStatus(m_result) != PGRES_TUPLES_OK)
        return DbStep::Done;
    ++m_row;
    return m_row < PQntuples(m_result) ? DbStep::Row : DbStep::Done;
}

void PgStatement::reset()
{
    endCopy();
    PQclear(m_result);
    m_result = nullptr;
    m_executed = false;
}

QString PgStatement::columnDeclaredType(int c) const
{
    const int mod = PQfmod(meta(), c);
    switch (PQftype(meta(), c)) {
    case BoolOid: return QStringLiteral("BOOLEAN");
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid: return QStringLiteral("INTEGER");
    case Float4Oid:
    case Float8Oid: return QStringLiteral("DOUBLE");
    case NumericOid:
        return mod >= 4 ? QStringLiteral("NUMERIC(%1,%2)").arg(((mod - 4) >> 16) & 0xffff).arg((mod - 4) & 0xffff)
                        : QStringLiteral("NUMERIC");
    case VarcharOid: return mod >= 4 ? QStringLiteral("VARCHAR(%1)").arg(mod - 4) : QStringLiteral("TEXT");
    case BpcharOid: return mod >= 4 ? QStringLiteral("CHAR(%1)").arg(mod - 4) : QStringLiteral("CHAR(1)");
    case DateOid: return QStringLiteral("DATE");
    case TimeOid: return QStringLiteral("TIME");
    case TimestampOid:
    case TimestamptzOid: return QStringLiteral("TIMESTAMP");
    default: return QStringLiteral("TEXT");
    }
}

QString PgStatement::columnTable(int c) const
{
    const Oid table = PQftable(meta(), c);
    return table == InvalidOid ? QString() : m_connection.tableName(table);
}

DbColumnKind PgStatement::columnKind(int c) const
{
    if (isNull(c))
        return DbColumnKind::Null;
    switch (m_copying ? m_types[std::size_t(c)] : PQftype(meta(), c)) {
    case BoolOid:
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid: return DbColumnKind::Integer;
    case Float4Oid:
    case Float8Oid: return DbColumnKind::Real;
    default: return DbColumnKind::Text;
    }
}

std::int64_t PgStatement::columnInt64(int c) const
{
    const char *v = value(c);
    if (PQftype(meta(), c) == BoolOid)
        return v[0] == 't' ? 1 : 0;
    return std::strtoll(v, nullptr, 10);
}

std::string_view PgStatement::columnUtf8(int c) const
{
    if (m_copying)
        return isNull(c) ? std::string_view("", 0) : std::string_view(m_fields[std::size_t(c)].first, std::size_t(m_fields[std::size_t(c)].second));
    if (!m_result || m_row < 0)
        return std::string_view("", 0);
    return std::string_view(PQgetvalue(m_result, m_row, c), std::size_t(PQgetlength(m_result, m_row, c)));
}

bool PgStatement::execute()
{
    if (m_stream && !m_name.isEmpty() && m_st.parameterCount == 0
        && m_st.keyword.compare(QLatin1String("SELECT"), Qt::CaseInsensitive) == 0) {
        m_types.resize(std::size_t(columnCount()));
        for (int c = 0; c < columnCount(); ++c)
            m_types[std::size_t(c)] = PQftype(m_description, c);
        m_copying = m_connection.copyOutStart(QByteArrayLiteral("COPY (") + m_st.text.toUtf8() + QByteArrayLiteral(") TO STDOUT"), m_error);
        return m_copying;
    }
    if (m_name.isEmpty()) {
        m_result = m_connection.query(m_st.text.toUtf8().constData());
    } else {
        std::vector<const char *> values(std::size_t(m_st.parameterCount));
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = m_null[i] ? nullptr : m_values[i].constData();
        m_result = m_connection.queryPrepared(m_name.toUtf8().constData(), m_st.parameterCount, values.data());
    }
    const ExecStatusType status = PQresultStatus(m_result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        m_error = m_connection.errorOf(m_result);
        PQclear(m_result);
        m_result = nullptr;
        return false;
    }
    if (status == PGRES_COMMAND_OK)
        m_connection.addChanges(std::atoll(PQcmdTuples(m_result)));
    return true;
}

DbStep PgStatement::nextCopiedRow()
{
    PgConnection::freeCopyRow(m_copyRow);
    m_copyRow = nullptr;
    m_fields.clear();
    const int n = m_connection.copyOutRow(&m_copyRow, m_error);
    if (n <= 0) {
        m_copying = false; // the COPY has ended, well or not
        return n == 0 ? DbStep::Done : DbStep::Error;
    }
    // COPY's text format: fields split by tabs, the row ended by a newline, \N for null, and a
    // backslash before b f n r t v, a backslash or a code in octal. Each field is unescaped in
    // place (never longer than it was) and ended with a NUL, so that numbers read from it.
    char *in = m_copyRow, *const end = m_copyRow + n;
    if (end > in && end[-1] == '\n')
        end[-1] = '\0';
    char *const last = end > in && end[-1] == '\0' ? end - 1 : end; // where the last field ends
    for (;;) {
        char *const start = in;
        // One pass to the field's end or its first backslash: most fields are short and have none.
        char *p = in;
        while (p < last && *p != '\t' && *p != '\\')
            ++p;
        char *stop = p;
        if (p < last && *p == '\\') {
            if (p == start && p + 1 < last && p[1] == 'N' && (p + 2 == last || p[2] == '\t')) {
                m_fields.push_back({"", -1});
                stop = p + 2;
            } else {
                char *out = p;
                for (; p < last && *p != '\t'; ++p) {
                    if (*p != '\\' || p + 1 >= last) {
                        *out++ = *p;
                        continue;
                    }
                    const char e = *++p;
                    switch (e) {
                    case 'b': *out++ = '\b'; break;
                    case 'f': *out++ = '\f'; break;
                    case 'n': *out++ = '\n'; break;
                    case 'r': *out++ = '\r'; break;
                    case 't': *out++ = '\t'; break;
                    case 'v': *out++ = '\v'; break;
                    default:
                        if (e >= '0' && e <= '7') {
                            int code = e - '0';
                            for (int k = 0; k < 2 && p + 1 < last && p[1] >= '0' && p[1] <= '7'; ++k)
                                code = code * 8 + (*++p - '0');
                            *out++ = char(code);
                        } else {
                            *out++ = e;
                        }
                    }
                }
                stop = p;
                *out = '\0';
                m_fields.push_back({start, int(out - start)});
            }
        } else {
            *stop = '\0'; // nothing escaped, only ended
            m_fields.push_back({start, int(stop - start)});
        }
        if (stop >= last)
            break;
        in = stop + 1;
    }
    return DbStep::Row;
}

void PgStatement::endCopy()
{
    PgConnection::freeCopyRow(m_copyRow);
    m_copyRow = nullptr;
    m_fields.clear();
    if (m_copying)
        m_connection.copyOutAbandon();
    m_copying = false;
}

} // namespace rt
