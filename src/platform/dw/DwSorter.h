#pragma once

#include "RowStore.h"

#include <QString>
#include <vector>

namespace rt {

class DwDefinition;

// Sorting of a buffer by "col A, #2 D, …": stable, nulls first, text by its code points,
// numbers, dates and times by value.
class DwSorter
{
public:
    static bool validate(const DwDefinition &definition, const QString &format, QString &errorText);
    static bool sort(const DwDefinition &definition, const RowStore &store, std::vector<RowStore::Slot> &slots,
                     const QString &format);
};

} // namespace rt
