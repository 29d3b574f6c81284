#include "DbBackend.h"

namespace rt {

Value DbStatement::columnValue(int column, ValueType type) const
{
    switch (columnKind(column)) {
    case DbColumnKind::Null:
        return Value::null(type);
    case DbColumnKind::Integer: {
        const std::int64_t v = columnInt64(column);
        switch (type) {
        case ValueType::Long: return Value(v);
        case ValueType::Number: return Value(double(v));
        case ValueType::Decimal: return Value(Decimal::fromInt(v));
        case ValueType::Boolean: return Value(v != 0);
        default: return Value(v).convertedTo(type);
        }
    }
    case DbColumnKind::Real: {
        const double v = columnDouble(column);
        if (type == ValueType::Number)
            return Value(v);
        return Value(v).convertedTo(type);
    }
    case DbColumnKind::Text:
    case DbColumnKind::Blob:
        if (type == ValueType::String)
            return Value(columnText(column));
        return Value(columnText(column)).convertedTo(type);
    }
    return Value::null(type);
}

} // namespace rt
