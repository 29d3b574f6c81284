#include "host/ColumnDef.h"

namespace host {

QString ColumnDef::runtimeType() const
{
    switch (type) {
    case ColumnType::Char: return QStringLiteral("char(%1)").arg(size);
    case ColumnType::Date: return QStringLiteral("date");
    case ColumnType::DateTime: return QStringLiteral("datetime");
    case ColumnType::Time: return QStringLiteral("time");
    case ColumnType::Long: return QStringLiteral("long");
    case ColumnType::Number: return QStringLiteral("number");
    case ColumnType::Decimal: return QStringLiteral("decimal(%1)").arg(size);
    }
    return QString();
}

QString ColumnDef::sqliteType() const
{
    switch (type) {
    case ColumnType::Char: return QStringLiteral("VARCHAR(%1)").arg(size);
    case ColumnType::Date: return QStringLiteral("DATE");
    case ColumnType::DateTime: return QStringLiteral("DATETIME");
    case ColumnType::Time: return QStringLiteral("TIME");
    case ColumnType::Long: return QStringLiteral("INTEGER");
    case ColumnType::Number: return QStringLiteral("REAL");
    case ColumnType::Decimal: return QStringLiteral("DECIMAL_TEXT(18,%1)").arg(size);
    }
    return QString();
}

QString ColumnDef::pgType() const
{
    switch (type) {
    case ColumnType::Char: return QStringLiteral("varchar(%1)").arg(size);
    case ColumnType::Date: return QStringLiteral("date");
    case ColumnType::DateTime: return QStringLiteral("timestamp(6)");
    case ColumnType::Time: return QStringLiteral("time(0)");
    case ColumnType::Long: return QStringLiteral("bigint");
    case ColumnType::Number: return QStringLiteral("double precision");
    case ColumnType::Decimal: return QStringLiteral("numeric(18,%1)").arg(size);
    }
    return QString();
}

} // namespace host
