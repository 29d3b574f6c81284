#include "SqlQuote.h"

namespace rt {

QString sqlQuote(const QString &text)
{
    if (text.isNull())
        return QStringLiteral("NULL");
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            out += QLatin1Char('\'');
        if (c.unicode() == 0) // a NUL would end the statement text early in the engine
            continue;
        out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

QString sqlLiteral(const Value &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    switch (value.type()) {
    case ValueType::Long:
    case ValueType::Number:
    case ValueType::Decimal: return value.toText();
    case ValueType::Boolean: return value.boolean() ? QStringLiteral("1") : QStringLiteral("0");
    default: return sqlQuote(value.toText());
    }
}

QString sqlIdentifier(const QString &name)
{
    QString out = name;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace rt
