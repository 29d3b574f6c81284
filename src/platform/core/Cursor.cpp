#include "Cursor.h"

#include "Transaction.h"

namespace rt {

Cursor::Cursor(Transaction &transaction, QString sql) : m_transaction(transaction), m_sql(std::move(sql)) {}

Cursor::~Cursor()
{
    if (m_stmt)
        m_stmt->reset();
}

int Cursor::open(const QList<Value> &params)
{
    if (m_open) {
        m_transaction.setError(-1, QStringLiteral("cursor is already open"));
        return -1;
    }
    m_stmt = m_transaction.prepare(m_sql);
    if (!m_stmt)
        return -1;
    if (params.size() > m_stmt->parameterCount()) {
        m_transaction.setError(-1, QStringLiteral("%1 values given for %2 parameters")
                                       .arg(params.size())
                                       .arg(m_stmt->parameterCount()));
        m_stmt.reset();
        return -1;
    }
    for (int i = 0; i < params.size(); ++i) {
        if (!m_stmt->bind(i, params[i])) {
            m_transaction.setError(m_stmt->lastError());
            m_stmt.reset();
            return -1;
        }
    }
    if (m_transaction.injectedFault(m_sql)) {
        m_stmt.reset();
        return -1;
    }
    m_open = true;
    m_atEnd = false;
    m_transaction.setResult(0);
    return 0;
}

int Cursor::fetch(QList<Value> &into)
{
    if (!m_open) {
        m_transaction.setError(-1, QStringLiteral("cursor is not open"));
        return -1;
    }
    if (m_atEnd) {
        m_transaction.setResult(100);
        return 100;
    }
    switch (m_stmt->step()) {
    case DbStep::Done:
        m_atEnd = true;
        m_stmt->reset(); // let go of the read snapshot now, not at close
        m_transaction.setResult(100);
        return 100;
    case DbStep::Error:
        m_transaction.setError(m_stmt->lastError());
        return -1;
    case DbStep::Row:
        break;
    }
    QList<Value> row;
    for (int c = 0; c < m_stmt->columnCount(); ++c)
        row.append(m_stmt->columnValue(c, c < into.size() ? into[c].type() : ValueType::String));
    into = row;
    m_transaction.setResult(0, 1);
    return 0;
}

int Cursor::close()
{
    if (!m_open) {
        m_transaction.setError(-1, QStringLiteral("cursor is not open"));
        return -1;
    }
    m_stmt.reset();
    m_open = false;
    m_atEnd = false;
    m_transaction.setResult(0);
    return 0;
}

} // namespace rt
