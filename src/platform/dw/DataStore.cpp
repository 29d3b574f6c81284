#include "DataStore.h"

#include "DwExpression.h"
#include "DwLibrary.h"
#include "DwProperties.h"
#include "DwSorter.h"
#include "DwUpdater.h"
#include "platform/core/Transaction.h"

#include <algorithm>

namespace rt {

DataStore::DataStore() = default;

DataStore::~DataStore() = default;

int DataStore::SetDataObject(const QString &name, const DwLibrary *library)
{
    const DwLibrary *lib = library ? library : DwLibrary::defaultLibrary();
    QString error;
    std::optional<DwDefinition> def;
    if (lib)
        def = lib->find(name, error);
    else
        error = QStringLiteral("no DataWindow library is loaded");
    if (!def) {
        m_lastError = QStringLiteral("DataWindow object %1 not found: %2").arg(name, error);
        setDefinition(DwDefinition(), name);
        return -1;
    }
    setDefinition(*def, name);
    return 1;
}

int DataStore::Create(const QString &syntax, QString &errors)
{
    const auto def = DwDefinition::fromJson(syntax.toUtf8(), errors);
    if (!def)
        return -1;
    errors.clear();
    setDefinition(*def, def->name());
    return 1;
}

void DataStore::setDefinition(const DwDefinition &definition, const QString &dataObject)
{
    notify([](DataStoreObserver *o) { o->beginReset(); });
    m_def = definition;
    m_dataObject = dataObject;
    m_sort.clear();
    m_filterText.clear();
    rebuildStore();
    notify([](DataStoreObserver *o) { o->endReset(); });
}

void DataStore::clearRows()
{
    QList<DwColumnType> types;
    for (int c = 0; c < m_def.columnCount(); ++c)
        types << m_def.columnType(c);
    m_rows.clear(types);
    m_currentRow = 0;
}

void DataStore::rebuildStore()
{
    clearRows();
    m_reader.forget();
}

int DataStore::SetTransObject(Transaction *transaction)
{
    m_transaction = transaction;
    return transaction ? 1 : -1;
}

long DataStore::Retrieve(const QList<Value> &arguments)
{
    return m_reader.retrieve(*this, arguments);
}

bool DataStore::transactionLent() const
{
    return m_transaction && m_transaction->lent();
}

long DataStore::RetrieveMore(long rows)
{
    // The connection is at work on another thread (a batch deletion): the next page waits.
    if (transactionLent())
        return 0;
    return m_reader.readMore(*this, rows);
}

long DataStore::RetrieveAll()
{
    return m_reader.readAll(*this);
}

void DataStore::continueFrom(const DataStore &other)
{
    setDefinition(other.m_def, other.m_dataObject);
    m_transaction = other.m_transaction;
    m_sort = other.m_sort;
    m_filterText = other.m_filterText;
    m_reader.continueFrom(other.m_reader);
}

void DataStore::dropRows()
{
    notify([](DataStoreObserver *o) { o->beginReset(); });
    clearRows();
    notify([](DataStoreObserver *o) { o->endReset(); });
}

int DataStore::copyRowsTo(long startRow, long endRow, DataStore &target) const
{
    // RowsCopy reads the source only.
    return const_cast<DataStore *>(this)->RowsCopy(startRow, endRow, DwBuffer::Primary, target, 0, DwBuffer::Primary);
}

void DataStore::bulkLoad(const std::function<void(RowStore &, SlotList &)> &load)
{
    notify([](DataStoreObserver *o) { o->beginReset(); });
    load(m_rows.store(), m_rows.list(DwBuffer::Primary));
    if (m_currentRow == 0 && RowCount() > 0)
        m_currentRow = 1;
    notify([](DataStoreObserver *o) { o->endReset(); });
}

int DataStore::Reset()
{
    notify([](DataStoreObserver *o) { o->beginReset(); });
    rebuildStore();
    notify([](DataStoreObserver *o) { o->endReset(); });
    return 1;
}

SlotList &DataStore::buffer(DwBuffer b)
{
    return m_rows.list(b);
}

const SlotList &DataStore::buffer(DwBuffer b) const
{
    return m_rows.list(b);
}

int DataStore::columnIndex(const DwCol &column) const
{
    if (column.name.isEmpty())
        return column.number >= 1 && column.number <= m_def.columnCount() ? column.number - 1 : -1;
    return m_def.findColumn(column.name);
}

long DataStore::InsertRow(long beforeRow)
{
    if (beforeRow < 0 || beforeRow > RowCount() + 1)
        return -1;
    const long at = beforeRow == 0 ? RowCount() + 1 : beforeRow;
    notify([at](DataStoreObserver *o) { o->beginInsertRows(at, 1); });
    m_rows.insertRow(at);
    notify([](DataStoreObserver *o) { o->endInsertRows(); });
    return at;
}

int DataStore::DeleteRow(long row)
{
    if (row == 0)
        row = m_currentRow;
    RowStore::Slot s;
    if (!slotOf(row, DwBuffer::Primary, s))
        return -1;
    notify([row](DataStoreObserver *o) { o->beginRemoveRows(row, 1); });
    m_rows.deleteRow(row);
    if (m_currentRow > RowCount())
        m_currentRow = RowCount();
    notify([](DataStoreObserver *o) { o->endRemoveRows(); });
    return 1;
}

int DataStore::RowsCopy(long startRow, long endRow, DwBuffer from, DataStore &target, long beforeRow, DwBuffer to)
{
    const long size = m_rows.count(from);
    if (startRow < 1 || endRow < startRow || startRow > size)
        return -1;
    endRow = std::min(endRow, size);
    // Columns meet by name, so source and target may order them differently.
    std::vector<int> map(std::size_t(target.m_def.columnCount()), -1);
    for (int c = 0; c < target.m_def.columnCount(); ++c)
        map[std::size_t(c)] = m_def.findColumn(target.m_def.column(c).name());
    const long count = endRow - startRow + 1, destSize = target.m_rows.count(to);
    const long at = beforeRow < 1 || beforeRow > destSize ? destSize + 1 : beforeRow;
    if (to == DwBuffer::Primary)
        target.notify([at, count](DataStoreObserver *o) { o->beginInsertRows(at, count); });
    m_rows.copyRows(startRow, endRow, from, target.m_rows, map, at, to);
    if (to == DwBuffer::Primary)
        target.notify([](DataStoreObserver *o) { o->endInsertRows(); });
    return 1;
}

int DataStore::RowsMove(long startRow, long endRow, DwBuffer from, DataStore &target, long beforeRow, DwBuffer to)
{
    const long size = m_rows.count(from);
    if (startRow < 1 || endRow < startRow || startRow > size)
        return -1;
    endRow = std::min(endRow, size);
    if (&target != this) {
        if (RowsCopy(startRow, endRow, from, target, beforeRow, to) != 1)
            return -1;
        return RowsDiscard(startRow, endRow, from);
    }
    if (from == to)
        return 1;
    std::vector<RowStore::Slot> slots = m_rows.rows(startRow, endRow, from);
    RowsDiscard(startRow, endRow, from);
    if (to == DwBuffer::Delete)
        slots.erase(std::remove_if(slots.begin(), slots.end(), [this](RowStore::Slot s) { return m_rows.isNew(s); }), slots.end());
    const long count = long(slots.size()), destSize = m_rows.count(to);
    const long at = beforeRow < 1 || beforeRow > destSize ? destSize + 1 : beforeRow;
    if (count == 0)
        return 1;
    if (to == DwBuffer::Primary)
        notify([at, count](DataStoreObserver *o) { o->beginInsertRows(at, count); });
    m_rows.place(at, slots, to);
    if (to == DwBuffer::Primary) {
        if (m_currentRow == 0)
            m_currentRow = 1;
        notify([](DataStoreObserver *o) { o->endInsertRows(); });
    }
    return 1;
}

int DataStore::RowsDiscard(long startRow, long endRow, DwBuffer b)
{
    if (startRow < 1 || endRow < startRow || endRow > m_rows.count(b))
        return -1;
    const long count = endRow - startRow + 1;
    if (b == DwBuffer::Primary)
        notify([startRow, count](DataStoreObserver *o) { o->beginRemoveRows(startRow, count); });
    m_rows.discardRows(startRow, endRow, b);
    if (b == DwBuffer::Primary) {
        // The current record discarded, the row after it (or the last) becomes current; a
        // current record after the rows keeps being current under its new number. Either way
        // the views are told, so that a highlight follows.
        const long before = m_currentRow;
        if (m_currentRow >= startRow && m_currentRow <= endRow)
            m_currentRow = std::min(startRow, RowCount());
        else if (m_currentRow > endRow)
            m_currentRow -= count;
        notify([](DataStoreObserver *o) { o->endRemoveRows(); });
        if (before >= startRow)
            notify([this](DataStoreObserver *o) { o->currentRowChanged(m_currentRow); });
    }
    return 1;
}

Value DataStore::itemAs(long row, const DwCol &column, DwBuffer buffer, ValueType type) const
{
    RowStore::Slot s;
    const int c = columnIndex(column);
    if (c < 0 || !slotOf(row, buffer, s))
        return Value::null(type);
    Value v = store().value(s, c);
    if (v.type() != type)
        v = v.convertedTo(type);
    return v;
}

QString DataStore::GetItemString(long row, const DwCol &column, DwBuffer buffer) const
{
    return itemAs(row, column, buffer, ValueType::String).string();
}

Value DataStore::GetItemNumber(long row, const DwCol &column, DwBuffer buffer) const
{
    return itemAs(row, column, buffer, ValueType::Number);
}

Value DataStore::GetItemDecimal(long row, const DwCol &column, DwBuffer buffer) const
{
    return itemAs(row, column, buffer, ValueType::Decimal);
}

Value DataStore::GetItemDate(long row, const DwCol &column, DwBuffer buffer) const
{
    return itemAs(row, column, buffer, ValueType::Date);
}

Value DataStore::GetItemDateTime(long row, const DwCol &column, DwBuffer buffer) const
{
    return itemAs(row, column, buffer, ValueType::DateTime);
}

Value DataStore::GetItemTime(long row, const DwCol &column, DwBuffer buffer) const
{
    return itemAs(row, column, buffer, ValueType::Time);
}

Value DataStore::GetItem(long row, const DwCol &column, DwBuffer buffer, bool original) const
{
    RowStore::Slot s;
    const int c = columnIndex(column);
    if (c < 0 || !slotOf(row, buffer, s))
        return Value();
    return original ? originalValue(s, c) : store().value(s, c);
}

Value DataStore::originalValue(RowStore::Slot slot, int column) const
{
    return m_rows.originalValue(slot, column);
}

int DataStore::SetItem(long row, const DwCol &column, const Value &value)
{
    RowStore::Slot s;
    const int c = columnIndex(column);
    if (c < 0 || !slotOf(row, DwBuffer::Primary, s) || !m_rows.setItem(s, c, value, m_def.columnCount()))
        return -1;
    notify([row, c](DataStoreObserver *o) { o->itemChanged(row, c + 1); });
    return 1;
}

DwItemStatus DataStore::GetItemStatus(long row, int column, DwBuffer buffer) const
{
    RowStore::Slot s;
    if (!slotOf(row, buffer, s))
        return DwItemStatus::NotModified;
    return m_rows.itemStatus(s, column, m_def.columnCount());
}

int DataStore::SetItemStatus(long row, int column, DwBuffer buffer, DwItemStatus to)
{
    RowStore::Slot s;
    if (!slotOf(row, buffer, s))
        return -1;
    return m_rows.setItemStatus(s, column, m_def.columnCount(), to) ? 1 : -1;
}

int DataStore::SetRow(long row)
{
    if (row < 1 || row > RowCount())
        return -1;
    if (row != m_currentRow) {
        m_currentRow = row;
        notify([row](DataStoreObserver *o) { o->currentRowChanged(row); });
    }
    return 1;
}

int DataStore::ScrollToRow(long row)
{
    if (RowCount() == 0)
        return -1;
    return SetRow(std::clamp<long>(row, 1, RowCount()));
}

int DataStore::SetSQLSelect(const QString &select)
{
    m_def.setProp(QStringLiteral("table.select"), select);
    notify([](DataStoreObserver *o) { o->propertiesChanged(); });
    return 1;
}

int DataStore::SetSort(const QString &format)
{
    QString error;
    if (!format.trimmed().isEmpty() && !DwSorter::validate(m_def, format, error)) {
        m_lastError = error;
        return -1;
    }
    m_sort = format;
    return 1;
}

int DataStore::Sort()
{
    if (m_sort.trimmed().isEmpty())
        return 1;
    // Rows still in the database are sorted there: the select is read again in the new order,
    // which a change not written yet would not survive.
    if (m_reader.more()) {
        if (m_rows.hasPendingChanges()) {
            m_lastError = QStringLiteral("Sort: rows are still unread and changes are not written yet");
            return -1;
        }
        return Retrieve(m_reader.arguments()) < 0 ? -1 : 1;
    }
    notify([](DataStoreObserver *o) { o->beginReset(); });
    std::vector<RowStore::Slot> &slots = buffer(DwBuffer::Primary).slots();
    const bool hadCurrent = m_currentRow >= 1 && std::size_t(m_currentRow) <= slots.size();
    const RowStore::Slot current = hadCurrent ? slots[std::size_t(m_currentRow - 1)] : 0;
    const bool ok = DwSorter::sort(m_def, store(), slots, m_sort);
    if (hadCurrent) {
        const auto it = std::find(slots.begin(), slots.end(), current);
        if (it != slots.end())
            m_currentRow = long(it - slots.begin()) + 1;
    }
    notify([](DataStoreObserver *o) { o->endReset(); });
    notify([this](DataStoreObserver *o) { o->currentRowChanged(m_currentRow); });
    return ok ? 1 : -1;
}

int DataStore::SetFilter(const QString &expression)
{
    QString error;
    if (!expression.trimmed().isEmpty() && !DwExpression::parse(expression, m_def, error)) {
        m_lastError = error;
        return -1;
    }
    m_filterText = expression;
    return 1;
}

int DataStore::Filter()
{
    std::unique_ptr<DwExpression> expression;
    if (!m_filterText.trimmed().isEmpty()) {
        QString error;
        expression = DwExpression::parse(m_filterText, m_def, error);
        if (!expression) {
            m_lastError = error;
            return -1;
        }
    }
    notify([](DataStoreObserver *o) { o->beginReset(); });
    SlotList &primary = buffer(DwBuffer::Primary), &filter = buffer(DwBuffer::Filter);
    std::vector<RowStore::Slot> all = primary.slots();
    const auto &filtered = filter.slots();
    all.insert(all.end(), filtered.begin(), filtered.end());
    primary.clear();
    filter.clear();
    const RowStore &cells = store();
    for (const RowStore::Slot s : all) {
        const bool keep = !expression || expression->matches([&cells, s](int c) { return cells.value(s, c); });
        (keep ? primary : filter).append(s);
    }
    m_currentRow = RowCount() > 0 ? std::clamp<long>(m_currentRow, 1, RowCount()) : 0;
    notify([](DataStoreObserver *o) { o->endReset(); });
    return 1;
}

QString DataStore::Describe(const QString &expression) const
{
    return DwProperties::describe(m_def, expression);
}

QString DataStore::Modify(const QString &expression)
{
    const QString error = DwProperties::modify(m_def, expression);
    notify([&](DataStoreObserver *o) { o->modifyCalled(expression, error); });
    if (error.isEmpty())
        notify([](DataStoreObserver *o) { o->propertiesChanged(); });
    return error;
}

int DataStore::Update(bool /*accept*/, bool resetFlags)
{
    return DwUpdater(*this).run(resetFlags);
}

int DataStore::ResetUpdate()
{
    m_rows.resetFlags(m_rows.modifiedRows());
    return 1;
}

void DataStore::reportDbError(long code, const QString &text, const QString &sql, DwBuffer buffer, long row)
{
    m_lastError = text;
    if (m_dbError)
        m_dbError(code, text, sql, buffer, row);
}

void DataStore::resetUpdateFlags(const std::vector<RowStore::Slot> &written)
{
    m_rows.resetFlags(written);
}

void DataStore::addObserver(DataStoreObserver *observer)
{
    if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void DataStore::removeObserver(DataStoreObserver *observer)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

} // namespace rt
