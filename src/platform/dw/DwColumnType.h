#pragma once

#include "platform/core/Value.h"

#include <QString>

namespace rt {

// A column type as the runtime writes it: "char(20)", "date", "datetime", "time", "int",
// "long", "ulong", "number", "real", "decimal(2)".
struct DwColumnType
{
    ValueType valueType = ValueType::String;
    int size = 0;  // characters for char, digits after the point for decimal
    QString text;  // as written

    // Nothing on an unknown type name.
    static std::optional<DwColumnType> parse(const QString &text);
    bool isText() const { return valueType == ValueType::String; }
};

} // namespace rt
