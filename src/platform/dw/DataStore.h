#pragma once

#include "DataStoreObserver.h"
#include "DwDefinition.h"
#include "DwReader.h"
#include "DwRowBuffers.h"
#include "RowStore.h"
#include "SlotList.h"
#include "platform/core/Value.h"

#include <QString>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace rt {

class DwExpression;
class DwLibrary;
class Transaction;

// A column given by number (1-based) or by name (case-insensitive).
struct DwCol
{
    DwCol(int number) : number(number) {}
    DwCol(const QString &name) : name(name) {}
    DwCol(const char *name) : name(QString::fromUtf8(name)) {}
    int number = 0;
    QString name;
};

// A DataWindow object's rows and the operations on them, without any presentation: the engine
// behind DataStores and the visual DataWindow control. Three parts do the work behind this
// face: the rows and their buffers and statuses (DwRowBuffers), the reading (DwReader, whole or
// page by page) and the writing back (DwUpdater); the DataStore keeps the definition, the current
// row, sort and filter, and tells its observers.
//
// Rows are 1-based; a row or column out of range gives -1 (or a null value), never a crash.
// Row status follows the runtime's transitions (InsertRow New!, SetItem on New! NewModified!,
// on NotModified! DataModified!, RowsCopy copies NewModified!, retrieved rows NotModified!).
class DataStore
{
public:
    DataStore();
    ~DataStore();
    DataStore(const DataStore &) = delete;
    DataStore &operator=(const DataStore &) = delete;

    // The DataWindow object, looked up by name in the library (the process-wide default one
    // when none is given). An unknown name leaves the DataStore empty and returns -1.
    int SetDataObject(const QString &name, const DwLibrary *library = nullptr);
    QString DataObject() const { return m_dataObject; }
    // A definition from its text form; errors receives the reason on failure (-1).
    int Create(const QString &syntax, QString &errors);
    void setDefinition(const DwDefinition &definition, const QString &dataObject = QString());
    const DwDefinition &definition() const { return m_def; }

    int SetTransObject(Transaction *transaction);
    Transaction *transaction() const { return m_transaction; }

    // Rows retrieved, or -1 (the transaction's SQLCode and SQLErrText tell why). A select that
    // cannot be prepared or run leaves the rows as they were; a failure while rows arrive leaves
    // those that arrived. The optional progress callback is called every few thousand rows;
    // returning false cancels (-1).
    long Retrieve(const QList<Value> &arguments = {});
    void setRetrieveProgress(std::function<bool(long rows)> progress) { m_reader.setProgress(std::move(progress)); }

    static constexpr long MaxPortion = DwReader::MaxPortion;
    // Retrieve as needed. With a portion set (0, the default: everything at once), Retrieve reads
    // only the first portion of rows, in the order of the sort and then of the key columns, and
    // RetrieveMore the next ones after the last row read; rows deleted meanwhile are simply never
    // read. Every operation works on the rows retrieved so far. Without key columns the object
    // has no total order to continue by, and Retrieve reads everything.
    void setRetrievePortion(long rows) { m_reader.setPortion(rows); }
    long retrievePortion() const { return m_reader.portion(); }
    // Whether rows of the last Retrieve are still in the database, unread.
    bool canRetrieveMore() const { return m_reader.more() && !m_reader.readingPage() && !transactionLent(); }
    const QList<Value> &retrieveArguments() const { return m_reader.arguments(); }
    // The select of the last paged Retrieve (the one its pages continue).
    const QString &retrievedSelect() const { return m_reader.pagedSelect(); }
    // And the sort its pages are read in (a sort set since takes effect at the next Retrieve).
    const QString &retrievedSort() const { return m_reader.pagedSort(); }
    // True while the rows of a page read are being appended (observers tell them from rows
    // put back into the buffer).
    bool appendingPage() const { return m_reader.appending(); }
    // Reads the next rows (as many as given; 0: a page that grows with what has been read) and
    // appends them; the rows read (0 when none was left), or -1 with the rows before kept.
    long RetrieveMore(long rows = 0);
    // Reads every row still unread; RowCount(), or -1.
    long RetrieveAll();
    // Makes this an empty DataStore that reads, with RetrieveMore, the rows after those the
    // other has read: the same object, transaction, arguments, order and filter (a reader that
    // goes through a grid's unread rows without adding them to the grid).
    void continueFrom(const DataStore &other);
    // Lets go of every row held, keeping where the next page starts.
    void dropRows();
    // RowsCopy of primary rows to the end of another DataStore's primary buffer (rows arrive
    // NewModified!); the source is not changed. 1 or -1.
    int copyRowsTo(long startRow, long endRow, DataStore &target) const;
    int Reset();

    long RowCount() const { return m_rows.count(DwBuffer::Primary); }
    long DeletedCount() const { return m_rows.count(DwBuffer::Delete); }
    long FilteredCount() const { return m_rows.count(DwBuffer::Filter); }
    long InsertRow(long beforeRow);
    // Moves the row (0: the current row) to the delete buffer; New! rows are dropped. 1 or -1.
    int DeleteRow(long row);
    int RowsCopy(long startRow, long endRow, DwBuffer from, DataStore &target, long beforeRow, DwBuffer to);
    // Moves rows between buffers. Within the same DataStore the rows keep their status and
    // original values, so a row moved back from the delete buffer is as it was before DeleteRow
    // (New! rows moved into the delete buffer are dropped, as DeleteRow drops them). Into another
    // DataStore the rows arrive NewModified! and leave this one without a trace. 1 or -1.
    int RowsMove(long startRow, long endRow, DwBuffer from, DataStore &target, long beforeRow, DwBuffer to);
    // Drops rows from a buffer without writing anything for them. In the primary buffer, when the
    // current row is among them, the row after them (or the last) becomes current. 1 or -1.
    int RowsDiscard(long startRow, long endRow, DwBuffer buffer);

    QString GetItemString(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary) const;
    Value GetItemNumber(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary) const;
    Value GetItemDecimal(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary) const;
    Value GetItemDate(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary) const;
    Value GetItemDateTime(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary) const;
    Value GetItemTime(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary) const;
    // The item in its column's own type; with original, the value as it was retrieved (or as
    // the last successful update wrote it), whatever SetItem did since.
    Value GetItem(long row, const DwCol &column, DwBuffer buffer = DwBuffer::Primary, bool original = false) const;
    // Converts by the column's type; an unknown column, a bad row or an unconvertible value
    // returns -1 and changes nothing.
    int SetItem(long row, const DwCol &column, const Value &value);

    // Column 0 is the row's own status.
    DwItemStatus GetItemStatus(long row, int column, DwBuffer buffer) const;
    int SetItemStatus(long row, int column, DwBuffer buffer, DwItemStatus status);

    long GetRow() const { return m_currentRow; }
    int SetRow(long row);
    int ScrollToRow(long row);

    QString GetSQLSelect() const { return m_def.select(); }
    int SetSQLSelect(const QString &select);

    // "name A, #2 D": columns ascending (A) or descending (D). Stable; nulls first.
    int SetSort(const QString &format);
    QString GetSort() const { return m_sort; }
    // Sorts the primary buffer; the current row stays on the same record. Rows still unread
    // belong in the order too: such a DataStore is read again from its first page in the new
    // order (sorted by the database), and its first row becomes the current one.
    int Sort();
    // A filter expression (see DwExpression); "" shows every row again.
    int SetFilter(const QString &expression);
    const QString &GetFilter() const { return m_filterText; }
    int Filter();

    QString Describe(const QString &expression) const;
    QString Modify(const QString &expression);

    // Writes the changes to the update table: DELETEs for the delete buffer, then UPDATEs and
    // INSERTs of the modified and new rows of the primary and filter buffers, values bound, rows
    // found by their key columns' original values. 1: with resetFlags the rows written lose
    // their flags and the delete buffer is cleared; without it everything stays as it was, for
    // ResetUpdate once the caller's commit has held. -1: nothing reset; the dberror handler got
    // the database code and text. The caller commits or rolls back. (accept is the runtime's
    // "accept the edit in progress"; this engine has no edit in progress.)
    int Update(bool accept = true, bool resetFlags = true);
    // After an Update without reset: the modified rows become NotModified!, originals are the
    // current values, the delete buffer is emptied. New! rows stay New!. 1.
    int ResetUpdate();
    using DbErrorHandler = std::function<void(long code, const QString &text, const QString &sql, DwBuffer buffer, long row)>;
    void setDbErrorHandler(DbErrorHandler handler) { m_dbError = std::move(handler); }

    const QString &lastError() const { return m_lastError; }

    void addObserver(DataStoreObserver *observer);
    void removeObserver(DataStoreObserver *observer);

    // Fills the buffers directly (a loader that needs no SQL, benchmarks, tests); views are told
    // of it as of a retrieve. Rows added keep the status the loader gives them.
    void bulkLoad(const std::function<void(RowStore &store, SlotList &primary)> &load);

    // For the engine's helpers and views.
    RowStore &store() { return m_rows.store(); }
    const RowStore &store() const { return m_rows.store(); }
    SlotList &buffer(DwBuffer buffer);
    const SlotList &buffer(DwBuffer buffer) const;
    int columnIndex(const DwCol &column) const; // 0-based, -1 when unknown
    void reportDbError(long code, const QString &text, const QString &sql, DwBuffer buffer, long row);
    // The rows written by a successful update: NotModified!, flags clear, the written values
    // become the originals; the delete buffer is emptied.
    void resetUpdateFlags(const std::vector<RowStore::Slot> &written);
    // The value a column had when the row was retrieved or last written.
    Value originalValue(RowStore::Slot slot, int column) const;

private:
    friend class DwReader;

    bool transactionLent() const;

    bool slotOf(long row, DwBuffer buffer, RowStore::Slot &slot) const { return m_rows.slotOf(row, buffer, slot); }
    Value itemAs(long row, const DwCol &column, DwBuffer buffer, ValueType type) const;
    // Every row gone, and with them where the next page starts.
    void rebuildStore();
    void clearRows();
    template<typename F>
    void notify(F f)
    {
        for (DataStoreObserver *o : m_observers)
            f(o);
    }

    DwDefinition m_def;
    QString m_dataObject;
    Transaction *m_transaction = nullptr;
    DwRowBuffers m_rows;
    long m_currentRow = 0;
    QString m_sort;
    QString m_filterText;
    DwReader m_reader;
    DbErrorHandler m_dbError;
    QString m_lastError;
    std::vector<DataStoreObserver *> m_observers;
};

} // namespace rt
