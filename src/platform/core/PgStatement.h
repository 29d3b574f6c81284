#pragma once

#include "DbBackend.h"
#include "SqlLexer.h"

#include <QByteArray>
#include <utility>
#include <vector>

struct pg_result;

namespace rt {

class PgConnection;

// One statement on the server, as the backend interface wants it: prepared by name when the
// server can prepare it (a select, an insert, …), else sent as text; values bound as text in the
// server's own forms; run at the first step, its rows handed out one at a time. Owned by whoever
// prepared it (PgConnection::prepare); it must not outlive its connection. A statement prepared
// inside a transaction that has since failed is left to the session: it cannot be freed then.
class PgStatement final : public DbStatement
{
public:
    // description: the server's description of a prepared statement's result (owned from then on).
    PgStatement(PgConnection &connection, SqlLexer::Statement statement, QString name, pg_result *description);
    ~PgStatement() override;

    int parameterCount() const override { return m_st.parameterCount; }
    int parameterIndex(const QString &name) const override;
    bool bind(int index, const Value &value) override;
    void clearBindings() override { std::fill(m_null.begin(), m_null.end(), true); }

    DbStep step() override;
    void reset() override;
    void streamRows() override { m_stream = true; }

    int columnCount() const override;
    QString columnName(int c) const override;
    QString columnDeclaredType(int c) const override;
    QString columnTable(int c) const override;

    DbColumnKind columnKind(int c) const override;
    std::int64_t columnInt64(int c) const override;
    double columnDouble(int c) const override;
    std::string_view columnUtf8(int c) const override;

    bool isReadOnly() const override { return SqlLexer::isQuery(m_st.keyword); }
    DbError lastError() const override { return m_error; }

private:
    const pg_result *meta() const { return m_result ? m_result : m_description; }

    bool execute();
    // The next row of a COPY, its fields split and unescaped in place.
    DbStep nextCopiedRow();
    void endCopy();
    bool isNull(int c) const;
    const char *value(int c) const;

    PgConnection &m_connection;
    SqlLexer::Statement m_st;
    QString m_name; // empty: run as plain text (statements the server cannot prepare)
    pg_result *m_description = nullptr;
    pg_result *m_result = nullptr;
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
    bool m_executed = false;
    int m_row = -1;
    bool m_stream = false;  // every row is wanted at once: a parameterless select goes by COPY
    bool m_copying = false; // a COPY is under way: rows come from m_copyRow
    char *m_copyRow = nullptr;
    std::vector<std::pair<const char *, int>> m_fields; // of m_copyRow; length -1 for null
    std::vector<unsigned> m_types;                      // each column's type, for a COPY
    DbError m_error;
};

} // namespace rt
