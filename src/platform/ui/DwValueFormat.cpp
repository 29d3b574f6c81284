#include "DwValueFormat.h"

#include "platform/core/Functions.h"
#include "platform/dw/DwObjectDef.h"

namespace rt::ui {

QString DwValueFormat::display(const rt::Value &value, const rt::DwObjectDef &column)
{
    if (value.isNull())
        return QString();
    const QString format = column.prop(QStringLiteral("format"));
    if (!format.isEmpty() && format != QLatin1String("[general]"))
        return rt::fn::String(value, format);
    switch (value.type()) {
    case rt::ValueType::Date: return rt::fn::String(value, QStringLiteral("yyyy-mm-dd"));
    case rt::ValueType::DateTime: return rt::fn::String(value, QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    case rt::ValueType::Time: return rt::fn::String(value, QStringLiteral("hh:mm:ss"));
    default: return value.toText();
    }
}

} // namespace rt::ui
