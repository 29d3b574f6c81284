#include "DwColumnType.h"

#include <QRegularExpression>

namespace rt {

std::optional<DwColumnType> DwColumnType::parse(const QString &input)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([a-z]+)\\s*(?:\\(\\s*(\\d+)\\s*\\))?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(input);
    if (!m.hasMatch())
        return std::nullopt;
    const QString name = m.captured(1).toLower();
    const int size = m.captured(2).isEmpty() ? 0 : m.captured(2).toInt();
    DwColumnType t;
    t.size = size;
    if (name == QLatin1String("char") || name == QLatin1String("string")) {
        t.valueType = ValueType::String;
        t.text = QStringLiteral("char(%1)").arg(size > 0 ? size : 255);
        t.size = size > 0 ? size : 255;
    } else if (name == QLatin1String("date")) {
        t.valueType = ValueType::Date;
        t.text = name;
    } else if (name == QLatin1String("datetime")) {
        t.valueType = ValueType::DateTime;
        t.text = name;
    } else if (name == QLatin1String("time")) {
        t.valueType = ValueType::Time;
        t.text = name;
    } else if (name == QLatin1String("int") || name == QLatin1String("long") || name == QLatin1String("ulong")) {
        t.valueType = ValueType::Long;
        t.text = name;
    } else if (name == QLatin1String("number") || name == QLatin1String("real")) {
        t.valueType = ValueType::Number;
        t.text = name;
    } else if (name == QLatin1String("decimal")) {
        if (size > Decimal::MaxDigits)
            return std::nullopt;
        t.valueType = ValueType::Decimal;
        t.text = QStringLiteral("decimal(%1)").arg(size);
    } else {
        return std::nullopt;
    }
    if (t.valueType != ValueType::String && t.valueType != ValueType::Decimal)
        t.size = 0;
    return t;
}

} // namespace rt
