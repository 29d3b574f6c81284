#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>
#include <vector>

namespace rt {

class DwDefinition;

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
    // The total order of a grid sorted by sort ("name A, #2 D", "" for none): the sort's columns,
    // then the key columns not among them, ascending. columns receives the definition's column
    // (0-based) of each key. files: on the register files decimals are ordered by value through
    // the collation hm_decimal, as the sort in memory orders them. Text is ordered as a Chinese
    // reader expects (ChineseOrder): on the files through the collation hm_zh, on the server
    // through "zh-x-icu" and then a second key on the same column in code point order
    // (ucs_basic), so that a column may appear twice among the keys. False when the definition
    // has no key columns (no total order) or the sort cannot be read.
    static bool orderKeys(const DwDefinition &definition, const QString &sort, bool files, QList<Key> &keys,
                          std::vector<int> &columns);
    // The same keys in the opposite order: every direction turned, and nulls with it (the last
    // row of one order is the first of the other).
    static QList<Key> reversed(QList<Key> keys);
    // "SELECT * FROM (select) … ORDER BY <keys> LIMIT limit OFFSET offset": rows at a place in
    // the order that no row read before leads to (a page of a print preview far from the rows a
    // grid has read). Read in the reversed order, the rows nearest the end cost as little as those
    // nearest the start.
    static QString offsetSelect(const QString &select, const QList<Key> &keys, long offset, long limit);
    // How a result column is named in the outer select: a plain name as it is (so that the
    // server folds it as it folded the select's own), anything else quoted.
    static QString columnReference(const QString &name);
};

} // namespace rt
