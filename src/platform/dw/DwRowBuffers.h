#pragma once

#include "RowStore.h"
#include "SlotList.h"
#include "platform/core/Value.h"

#include <QList>
#include <memory>
#include <unordered_map>
#include <vector>

namespace rt {

enum class DwBuffer { Primary, Delete, Filter };

// The rows of a DataStore: one store of cells and the three buffers that list them (primary,
// delete, filter), with the row statuses and the values each row had in the database. It knows
// nothing of definitions, views or SQL; the DataStore tells its observers and keeps the current
// row.
//
// Rows are 1-based within their buffer; a row out of range gives false or -1 and changes
// nothing. Statuses follow the runtime's transitions:
//   - a new row is New!; SetItem makes New! NewModified! and NotModified! DataModified!;
//   - rows copied in arrive NewModified!, each cell that is not null marked modified;
//   - a row deleted leaves the primary buffer for the delete buffer, unless it never was in the
//     database (New!, NewModified!), when it is dropped;
//   - SetItemStatus as the table of the runtime's facts says (a New! row cannot become
//     NotModified!, NewModified! to NotModified! gives New!, DataModified! to New! gives
//     NewModified!).
// Originals: the first change to a row that is in the database keeps all its values as they
// were, so that Update finds the row by them; they are held only for changed rows (a retrieved
// million-row grid must not hold two copies).
class DwRowBuffers
{
public:
    DwRowBuffers();

    // Empties every buffer into a new store of cells of these types.
    void clear(const QList<DwColumnType> &types);

    RowStore &store() { return *m_store; }
    const RowStore &store() const { return *m_store; }
    SlotList &list(DwBuffer buffer);
    const SlotList &list(DwBuffer buffer) const;
    long count(DwBuffer buffer) const { return long(list(buffer).size()); }
    bool slotOf(long row, DwBuffer buffer, RowStore::Slot &slot) const;

    // A new New! row at `at` (1 .. count + 1) of the primary buffer.
    RowStore::Slot insertRow(long at);
    // Row `row` of the primary buffer to the delete buffer (or dropped when it never was in the
    // database). False when there is no such row.
    bool deleteRow(long row);
    // Copies of rows [start, end] of a buffer into `target` at `at` (1-based; past the end
    // appends) of its buffer `to`, each target column taken from the source column
    // columnMap[target column] (-1: left null). Returns the number of rows copied.
    long copyRows(long start, long end, DwBuffer from, DwRowBuffers &target, const std::vector<int> &columnMap, long at,
                  DwBuffer to) const;
    // The slots of rows [start, end] of a buffer, in order (for moving them, with their status
    // and originals, from one buffer of the same rows to another).
    std::vector<RowStore::Slot> rows(long start, long end, DwBuffer buffer) const;
    // Puts slots of these rows into a buffer at `at` (1-based; past the end appends).
    void place(long at, const std::vector<RowStore::Slot> &slots, DwBuffer buffer);
    // The row never was in the database (New!, NewModified!): nothing to delete there.
    bool isNew(RowStore::Slot slot) const;
    // Drops rows [start, end] of a buffer without anything being written for them.
    bool discardRows(long start, long end, DwBuffer buffer);

    // Sets a cell (converted by the store) and the row's status; false when the value cannot be
    // converted (nothing changed). columns: how many the row has, for its originals.
    bool setItem(RowStore::Slot slot, int column, const Value &value, int columns);
    // The value a cell had when the row was retrieved or last written.
    Value originalValue(RowStore::Slot slot, int column) const;
    // Column 0 is the row's own status; columns 1 .. n its cells.
    DwItemStatus itemStatus(RowStore::Slot slot, int column, int columns) const;
    bool setItemStatus(RowStore::Slot slot, int column, int columns, DwItemStatus status);

    // Whether anything is still to be written (a row deleted, a row new or changed).
    bool hasPendingChanges() const;
    // The rows of the primary and filter buffers that Update would write.
    std::vector<RowStore::Slot> modifiedRows() const;
    // After a successful write: these rows NotModified!, flags clear, their values the new
    // originals; the delete buffer emptied.
    void resetFlags(const std::vector<RowStore::Slot> &written);

private:
    std::unique_ptr<RowStore> m_store;
    // Closing a list's holes is no change of its rows: readers may close them.
    mutable SlotList m_primary, m_delete, m_filter;
    std::unordered_map<RowStore::Slot, std::vector<Value>> m_originals;
};

} // namespace rt
