#pragma once

#include "platform/core/Value.h"

#include <QString>

namespace rt {
class DwObjectDef;
}

namespace rt::ui {

// How a column's value reads on screen and on paper: its format when it has one, else dates
// "yyyy-mm-dd", datetimes to the second, times "hh:mm:ss", decimals with their scale; null as
// nothing.
class DwValueFormat
{
public:
    static QString display(const rt::Value &value, const rt::DwObjectDef &column);
};

} // namespace rt::ui
