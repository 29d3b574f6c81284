#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>

namespace rt {

// The select of one page of rows in a total order, for grids that retrieve as they are
// scrolled. A page starts after the last row of the page before it, by the values of that row's
// order keys (keyset pages): over an index each page costs the same at any depth, and no
// statement or snapshot stays open between pages, so a grid being read never holds up a writer.
//
// Nulls come first in ascending order and last in descending order, as the in-memory sort has
// them. The last keys must make the order total (the update key): rows that agree in every key
// would otherwise be lost at a page boundary.
class DwPager
{
public:
    struct Key
    {
        QString column;          // the result column's name in the select
        bool descending = false;
        bool notNull = false;    // a key column: no null handling, so that its index serves
        QString collation;       // compared and ordered with this collation ("" the column's own)
    };

    // "SELECT * FROM (select) … WHERE <after> ORDER BY <keys> LIMIT limit". after holds the
    // last row's key values (null for the first page); binds receives the values to bind, in
    // order, after the select's own arguments.
    static QString pageSelect(const QString &select, const QList<Key> &keys, const QList<Value> *after, long limit,
                              QList<Value> &binds);
    // How a result column is named in the outer select: a plain name as it is (so that the
    // server folds it as it folded the select's own), anything else quoted.
    static QString columnReference(const QString &name);
};

} // namespace rt
