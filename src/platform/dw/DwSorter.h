#pragma once

#include "RowStore.h"

#include <QList>
#include <QString>
#include <vector>

namespace rt {

class DwDefinition;

// Sorting of a buffer by "col A, #2 D, …": stable, nulls first, text in the order a Chinese
// reader expects (ChineseOrder: pinyin, only identical texts equal), numbers, dates and times by
// value. A grid read page by page from the database orders its text the same way (DwPager).
class DwSorter
{
public:
    struct Key
    {
        int column; // 0-based
        bool descending;
    };
    // The keys of a format; false with errorText when it cannot be read.
    static bool parse(const DwDefinition &definition, const QString &format, QList<Key> &keys, QString &errorText);
    static bool validate(const DwDefinition &definition, const QString &format, QString &errorText);
    static bool sort(const DwDefinition &definition, const RowStore &store, std::vector<RowStore::Slot> &slots,
                     const QString &format);
};

} // namespace rt
