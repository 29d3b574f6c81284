#pragma once

#include "RowStore.h"
#include "platform/core/Value.h"

#include <QList>
#include <vector>

namespace rt {

class DbStatement;
class DwDefinition;

// Reads the rows of a statement into a row store: result columns meet the definition's columns
// by name (a Modify of the select may list them in another order; a result column without a
// match is not kept), each value stored as its column's type wants it.
class DwResultRows
{
public:
    DwResultRows(DbStatement &stmt, const DwDefinition &definition, RowStore &store);

    // The row the statement is on, as a new NotModified! row of the store.
    RowStore::Slot read();
    // The values of these definition columns (0-based) in the row the statement is on, exactly
    // as the database gave them: a page that starts after this row compares them unchanged (a
    // date formatted again could differ from its stored text). A column not in the result is null.
    QList<Value> rawValues(const std::vector<int> &columns) const;

private:
    DbStatement &m_stmt;
    RowStore &m_store;
    std::vector<int> m_target; // by result column: the definition column, or -1
};

} // namespace rt
