#pragma once

#include "platform/core/Value.h"

#include <QString>

namespace rt {

class DwDefinition;

// Rows of a DataWindow as printing and export read them: a range is held first, then its items
// are read. Rows are numbered 1.. in the grid's order, whether the grid has read them yet or not.
class DwRowSource
{
public:
    virtual ~DwRowSource() = default;
    virtual const DwDefinition &definition() const = 0;
    // The rows there are, or -1 when not known (a reader that finds out as it reads).
    virtual long rowCount() const = 0;
    // Makes rows first..last readable (as many of them as there are); false with errorText when
    // a read failed.
    virtual bool hold(long first, long last, QString &errorText) = 0;
    // The last row held by the last hold (first - 1 when there was none).
    virtual long lastHeld() const = 0;
    // An item of a held row; column 1-based.
    virtual Value item(long row, int column) const = 0;
};

} // namespace rt
