#include "DwResultRows.h"

#include "DwDefinition.h"
#include "platform/core/DbBackend.h"

namespace rt {

DwResultRows::DwResultRows(DbStatement &stmt, const DwDefinition &definition, RowStore &store)
    : m_stmt(stmt), m_store(store), m_target(std::size_t(stmt.columnCount()), -1)
{
    for (int r = 0; r < stmt.columnCount(); ++r)
        m_target[std::size_t(r)] = definition.findColumn(stmt.columnName(r));
}

RowStore::Slot DwResultRows::read()
{
    RowStore &store = m_store;
    DbStatement &stmt = m_stmt;
    const RowStore::Slot s = store.newRow();
    store.setStatus(s, DwItemStatus::NotModified);
    for (int r = 0; r < int(m_target.size()); ++r) {
        const int c = m_target[std::size_t(r)];
        if (c < 0)
            continue;
        const DbColumnKind kind = stmt.columnKind(r);
        if (kind == DbColumnKind::Null)
            continue;
        const DwColumnType &type = store.type(c);
        switch (type.valueType) {
        case ValueType::String: store.putText(s, c, stmt.columnUtf8(r)); break;
        case ValueType::Long:
        case ValueType::Boolean:
            if (kind == DbColumnKind::Integer)
                store.putInt(s, c, stmt.columnInt64(r));
            else
                store.setValue(s, c, stmt.columnValue(r, type.valueType));
            break;
        case ValueType::Number:
            if (kind == DbColumnKind::Integer || kind == DbColumnKind::Real)
                store.putDouble(s, c, stmt.columnDouble(r));
            else
                store.setValue(s, c, stmt.columnValue(r, ValueType::Number));
            break;
        case ValueType::Decimal: {
            std::int64_t v = 0;
            if (kind == DbColumnKind::Text && RowStore::parseDecimal(stmt.columnUtf8(r), type.size, v))
                store.putInt(s, c, v);
            else
                store.setValue(s, c, stmt.columnValue(r, ValueType::Decimal));
            break;
        }
        case ValueType::Date:
        case ValueType::DateTime:
        case ValueType::Time: {
            std::int64_t v = 0;
            const auto text = stmt.columnUtf8(r);
            const bool ok = type.valueType == ValueType::Date       ? RowStore::parseDate(text, v)
                            : type.valueType == ValueType::DateTime ? RowStore::parseDateTime(text, v)
                                                                    : RowStore::parseTime(text, v);
            if (ok)
                store.putInt(s, c, v); // a date column also takes the date part of a datetime text
            break;
        }
        }
    }
    return s;
}

QList<Value> DwResultRows::rawValues(const std::vector<int> &columns) const
{
    QList<Value> out;
    for (const int column : columns) {
        int r = -1;
        for (int i = 0; i < int(m_target.size()); ++i) {
            if (m_target[std::size_t(i)] == column)
                r = i;
        }
        switch (r < 0 ? DbColumnKind::Null : m_stmt.columnKind(r)) {
        case DbColumnKind::Null: out << Value(); break;
        case DbColumnKind::Integer: out << Value(qint64(m_stmt.columnInt64(r))); break;
        case DbColumnKind::Real: out << Value(m_stmt.columnDouble(r)); break;
        default: {
            const auto t = m_stmt.columnUtf8(r);
            // An empty text is a value, never a null.
            out << Value(t.empty() ? QStringLiteral("") : QString::fromUtf8(t.data(), qsizetype(t.size())));
            break;
        }
        }
    }
    return out;
}

} // namespace rt
