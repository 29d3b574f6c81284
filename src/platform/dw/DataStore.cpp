#include "DataStore.h"

#include "DwExpression.h"
#include "DwPager.h"
#include "DwLibrary.h"
#include "DwProperties.h"
#include "DwResultRows.h"
#include "DwSorter.h"
#include "DwUpdater.h"
#include "platform/core/Transaction.h"

#include <algorithm>

namespace rt {

DataStore::DataStore() : m_store(std::make_unique<RowStore>()) {}

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
    m_store = std::make_unique<RowStore>(types);
    m_originals.clear();
    m_primary.clear();
    m_delete.clear();
    m_filter.clear();
    m_currentRow = 0;
}

void DataStore::rebuildStore()
{
    clearRows();
    m_more = false;
    m_after.clear();
    m_pageColumns.clear();
    m_pageRows = 0;
}

int DataStore::SetTransObject(Transaction *transaction)
{
    m_transaction = transaction;
    return transaction ? 1 : -1;
}

bool DataStore::pagingKeys(const QString &sort, QList<DwPager::Key> &keys, std::vector<int> &columns) const
{
    keys.clear();
    columns.clear();
    // Arguments number the select's own parameters in ways only the select knows (named ones
    // on the server): a retrieve with arguments reads everything at once.
    if (m_portion <= 0 || !m_arguments.isEmpty() || !m_transaction)
        return false;
    const QList<int> keyColumns = m_def.keyColumns();
    if (keyColumns.isEmpty())
        return false; // no total order to page by
    QList<DwSorter::Key> sortKeys;
    QString error;
    if (!sort.trimmed().isEmpty() && !DwSorter::parse(m_def, sort, sortKeys, error))
        return false;
    // Decimals are exact text on the files: ordered by value through a collation, as the sort
    // in memory orders them.
    const bool files = m_transaction->DBMS.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
    for (const DwSorter::Key &k : sortKeys) {
        if (std::find(columns.begin(), columns.end(), k.column) != columns.end())
            continue;
        const bool decimal = m_def.columnType(k.column).valueType == ValueType::Decimal;
        keys << DwPager::Key{m_def.column(k.column).name(), k.descending, keyColumns.contains(k.column),
                             files && decimal ? QStringLiteral("hm_decimal") : QString()};
        columns.push_back(k.column);
    }
    for (const int c : keyColumns) {
        if (std::find(columns.begin(), columns.end(), c) != columns.end())
            continue;
        keys << DwPager::Key{m_def.column(c).name(), false, true, QString()};
        columns.push_back(c);
    }
    return true;
}

std::unique_ptr<DbStatement> DataStore::runSelect(const QString &select, const QList<Value> &binds, DbStep &first)
{
    first = DbStep::Error;
    if (m_transaction->injectedFault(select)) {
        m_lastError = m_transaction->SQLErrText();
        return nullptr;
    }
    auto stmt = m_transaction->prepare(select);
    if (!stmt) {
        m_lastError = m_transaction->SQLErrText();
        return nullptr;
    }
    int p = 0;
    for (int i = 0; i < m_arguments.size() && p < stmt->parameterCount(); ++i)
        stmt->bind(p++, m_arguments[i]);
    for (int i = 0; i < binds.size() && p < stmt->parameterCount(); ++i)
        stmt->bind(p++, binds[i]);
    // The first step runs the statement: when that fails (a lock held too long, a lost
    // connection) the rows retrieved before stay as they were.
    first = stmt->step();
    if (first == DbStep::Error) {
        m_transaction->setError(stmt->lastError());
        stmt->reset();
        m_lastError = m_transaction->SQLErrText();
        return nullptr;
    }
    return stmt;
}

bool DataStore::readRows(DbStatement &stmt, DbStep step, std::vector<RowStore::Slot> &slots, long limit, QList<Value> &next)
{
    DwResultRows rows(stmt, m_def, *m_store);
    const long before = long(slots.size());
    for (;; step = stmt.step()) {
        if (step == DbStep::Done)
            return true;
        if (step == DbStep::Error) {
            m_transaction->setError(stmt.lastError());
            return false;
        }
        slots.push_back(rows.read());
        const long read = long(slots.size()) - before;
        if (!m_pageColumns.empty() && read == limit)
            next = rows.rawValues(m_pageColumns);
        if (m_progress && read % 16384 == 0 && !m_progress(m_retrievedBefore + read)) {
            m_transaction->setError(-1, QStringLiteral("retrieval cancelled"));
            return false;
        }
    }
}

long DataStore::Retrieve(const QList<Value> &arguments)
{
    if (!m_transaction) {
        m_lastError = QStringLiteral("Retrieve: no transaction object");
        return -1;
    }
    const QList<Value> previousArguments = m_arguments;
    m_arguments = arguments;
    QList<DwPager::Key> keys;
    std::vector<int> keyColumns;
    const bool paged = pagingKeys(m_sort, keys, keyColumns);
    QList<Value> binds;
    const QString base = m_def.select();
    const QString select = paged ? DwPager::pageSelect(base, keys, nullptr, m_portion, binds) : base;
    DbStep step = DbStep::Error;
    auto stmt = runSelect(select, binds, step);
    if (!stmt) {
        m_arguments = previousArguments;
        return -1;
    }
    notify([](DataStoreObserver *o) { o->beginReset(); });
    rebuildStore();
    m_pageColumns = keyColumns;
    m_pagedSort = m_sort;
    m_pagedSelect = base;
    m_after.clear();
    m_retrievedBefore = 0;
    std::vector<RowStore::Slot> slots;
    if (paged)
        slots.reserve(std::size_t(m_portion));
    QList<Value> next;
    m_readingPage = true;
    const bool failed = !readRows(*stmt, step, slots, paged ? m_portion : 0, next);
    m_readingPage = false;
    if (!failed)
        m_after = next;
    // Release the statement's read snapshot at once: a retrieved grid must not pin the file.
    stmt->reset();
    stmt.reset();
    for (const RowStore::Slot s : slots)
        m_primary.append(s);
    const long rows = long(slots.size());
    m_more = paged && !failed && rows == m_portion;
    m_pageRows = rows;
    if (!failed)
        m_transaction->setResult(rows == 0 ? 100 : 0, rows);
    if (!failed && !m_filterText.isEmpty())
        Filter();
    // A paged retrieve arrives in the sort's order already; sorting the first page alone in
    // memory would put rows of later pages out of place.
    if (!failed && !paged && !m_sort.isEmpty())
        DwSorter::sort(m_def, *m_store, m_primary.slots(), m_sort);
    m_currentRow = RowCount() > 0 ? 1 : 0;
    notify([](DataStoreObserver *o) { o->endReset(); });
    notify([this](DataStoreObserver *o) { o->currentRowChanged(m_currentRow); });
    if (failed) {
        m_lastError = m_transaction->SQLErrText();
        return -1;
    }
    return RowCount();
}

long DataStore::RetrieveMore(long rows)
{
    // A page asked for while one is being read (a view repainting under a progress report)
    // waits for that one: read twice, it would come twice.
    if (!m_more || m_readingPage)
        return 0;
    if (!m_transaction) {
        m_lastError = QStringLiteral("Retrieve: no transaction object");
        return -1;
    }
    // Pages grow with what has been read, up to a size that keeps one read short.
    const long limit = rows > 0 ? rows : std::clamp<long>(m_pageRows * 2, m_portion, MaxPortion);
    QList<DwPager::Key> keys;
    std::vector<int> keyColumns;
    if (!pagingKeys(m_pagedSort, keys, keyColumns) || keyColumns != m_pageColumns) {
        m_lastError = QStringLiteral("RetrieveMore: the columns changed since the retrieve");
        return -1;
    }
    QList<Value> binds;
    // The select the grid was retrieved with: a select changed since takes effect at the next
    // Retrieve, never halfway through the rows.
    const QString select = DwPager::pageSelect(m_pagedSelect, keys, &m_after, limit, binds);
    DbStep step = DbStep::Error;
    auto stmt = runSelect(select, binds, step);
    if (!stmt)
        return -1;
    std::vector<RowStore::Slot> slots;
    slots.reserve(std::size_t(std::min<long>(limit, MaxPortion)));
    m_retrievedBefore = RowCount() + FilteredCount();
    QList<Value> next;
    m_readingPage = true;
    const bool failed = !readRows(*stmt, step, slots, limit, next);
    m_readingPage = false;
    stmt->reset();
    stmt.reset();
    if (failed) {
        // Rows of a page cut short are not shown: where the next page starts is known only
        // for a whole page, and the operator may try again from there.
        m_lastError = m_transaction->SQLErrText();
        return -1;
    }
    const long read = long(slots.size());
    m_pageRows = read;
    m_more = read == limit;
    if (m_more)
        m_after = next;
    appendRows(slots);
    m_transaction->setResult(read == 0 ? 100 : 0, read);
    return read;
}

long DataStore::RetrieveAll()
{
    while (m_more) {
        if (RetrieveMore(MaxPortion) < 0)
            return -1;
    }
    return RowCount();
}

bool DataStore::hasPendingChanges() const
{
    if (!m_delete.empty())
        return true;
    for (SlotList *list : {&m_primary, &m_filter}) {
        for (const RowStore::Slot s : list->slots()) {
            if (m_store->status(s) != DwItemStatus::NotModified)
                return true;
        }
    }
    return false;
}

void DataStore::continueFrom(const DataStore &other)
{
    setDefinition(other.m_def, other.m_dataObject);
    m_transaction = other.m_transaction;
    m_arguments = other.m_arguments;
    m_portion = other.m_portion;
    m_sort = other.m_sort;
    m_filterText = other.m_filterText;
    m_more = other.m_more;
    m_pageColumns = other.m_pageColumns;
    m_pagedSort = other.m_pagedSort;
    m_pagedSelect = other.m_pagedSelect;
    m_after = other.m_after;
    m_pageRows = 0;
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

void DataStore::appendRows(const std::vector<RowStore::Slot> &slots)
{
    std::vector<RowStore::Slot> shown;
    if (m_filterText.trimmed().isEmpty()) {
        shown = slots;
    } else {
        QString error;
        const auto expression = DwExpression::parse(m_filterText, m_def, error);
        for (const RowStore::Slot s : slots) {
            const bool keep = !expression || expression->matches([this, s](int c) { return m_store->value(s, c); });
            if (keep)
                shown.push_back(s);
            else
                m_filter.append(s);
        }
    }
    if (shown.empty())
        return;
    const long first = RowCount() + 1, count = long(shown.size());
    m_appending = true;
    notify([first, count](DataStoreObserver *o) { o->beginInsertRows(first, count); });
    for (const RowStore::Slot s : shown)
        m_primary.append(s);
    const bool firstRow = m_currentRow == 0;
    if (firstRow)
        m_currentRow = 1;
    notify([](DataStoreObserver *o) { o->endInsertRows(); });
    m_appending = false;
    if (firstRow)
        notify([](DataStoreObserver *o) { o->currentRowChanged(1); });
}

void DataStore::bulkLoad(const std::function<void(RowStore &, SlotList &)> &load)
{
    notify([](DataStoreObserver *o) { o->beginReset(); });
    load(*m_store, m_primary);
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
    return b == DwBuffer::Primary ? m_primary : (b == DwBuffer::Delete ? m_delete : m_filter);
}

const SlotList &DataStore::buffer(DwBuffer b) const
{
    return b == DwBuffer::Primary ? m_primary : (b == DwBuffer::Delete ? m_delete : m_filter);
}

bool DataStore::slotOf(long row, DwBuffer b, RowStore::Slot &slot) const
{
    SlotList &list = const_cast<DataStore *>(this)->buffer(b);
    if (row < 1 || std::size_t(row) > list.size())
        return false;
    slot = list.at(std::size_t(row - 1));
    return true;
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
    const RowStore::Slot s = m_store->newRow();
    m_primary.insert(std::size_t(at - 1), s);
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
    m_primary.removeAt(std::size_t(row - 1));
    const DwItemStatus st = m_store->status(s);
    if (st != DwItemStatus::New && st != DwItemStatus::NewModified)
        m_delete.append(s);
    if (m_currentRow > RowCount())
        m_currentRow = RowCount();
    notify([](DataStoreObserver *o) { o->endRemoveRows(); });
    return 1;
}

int DataStore::RowsCopy(long startRow, long endRow, DwBuffer from, DataStore &target, long beforeRow, DwBuffer to)
{
    const SlotList &source = buffer(from);
    if (startRow < 1 || endRow < startRow || std::size_t(startRow) > source.size())
        return -1;
    endRow = std::min<long>(endRow, long(source.size()));
    std::vector<RowStore::Slot> slots;
    for (long r = startRow; r <= endRow; ++r) {
        RowStore::Slot s;
        slotOf(r, from, s);
        slots.push_back(s);
    }
    // Columns meet by name, so source and target may order them differently.
    std::vector<int> map(std::size_t(target.m_def.columnCount()), -1);
    for (int c = 0; c < target.m_def.columnCount(); ++c)
        map[std::size_t(c)] = m_def.findColumn(target.m_def.column(c).name());
    SlotList &dest = target.buffer(to);
    const long count = long(slots.size());
    long at = beforeRow < 1 || std::size_t(beforeRow) > dest.size() ? long(dest.size()) + 1 : beforeRow;
    if (to == DwBuffer::Primary)
        target.notify([at, count](DataStoreObserver *o) { o->beginInsertRows(at, count); });
    for (const RowStore::Slot s : slots) {
        const RowStore::Slot t = target.m_store->newRow();
        for (int c = 0; c < target.m_def.columnCount(); ++c) {
            const int fc = map[std::size_t(c)];
            if (fc < 0)
                continue;
            target.m_store->copyCell(t, c, *m_store, s, fc);
            target.m_store->setModified(t, c, !target.m_store->isNull(t, c));
        }
        target.m_store->setStatus(t, DwItemStatus::NewModified);
        dest.insert(std::size_t(at - 1), t);
        ++at;
    }
    if (to == DwBuffer::Primary)
        target.notify([](DataStoreObserver *o) { o->endInsertRows(); });
    return 1;
}

int DataStore::RowsMove(long startRow, long endRow, DwBuffer from, DataStore &target, long beforeRow, DwBuffer to)
{
    SlotList &source = buffer(from);
    if (startRow < 1 || endRow < startRow || std::size_t(startRow) > source.size())
        return -1;
    endRow = std::min<long>(endRow, long(source.size()));
    if (&target != this) {
        if (RowsCopy(startRow, endRow, from, target, beforeRow, to) != 1)
            return -1;
        return RowsDiscard(startRow, endRow, from);
    }
    if (from == to)
        return 1;
    std::vector<RowStore::Slot> slots;
    for (long r = startRow; r <= endRow; ++r)
        slots.push_back(source.at(std::size_t(r - 1)));
    RowsDiscard(startRow, endRow, from);
    if (to == DwBuffer::Delete) {
        slots.erase(std::remove_if(slots.begin(), slots.end(),
                                   [this](RowStore::Slot s) {
                                       const DwItemStatus st = m_store->status(s);
                                       return st == DwItemStatus::New || st == DwItemStatus::NewModified;
                                   }),
                    slots.end());
    }
    SlotList &dest = buffer(to);
    const long count = long(slots.size());
    long at = beforeRow < 1 || std::size_t(beforeRow) > dest.size() ? long(dest.size()) + 1 : beforeRow;
    if (count == 0)
        return 1;
    if (to == DwBuffer::Primary)
        notify([at, count](DataStoreObserver *o) { o->beginInsertRows(at, count); });
    for (const RowStore::Slot s : slots)
        dest.insert(std::size_t(at++ - 1), s);
    if (to == DwBuffer::Primary) {
        if (m_currentRow == 0)
            m_currentRow = 1;
        notify([](DataStoreObserver *o) { o->endInsertRows(); });
    }
    return 1;
}

int DataStore::RowsDiscard(long startRow, long endRow, DwBuffer b)
{
    SlotList &list = buffer(b);
    if (startRow < 1 || endRow < startRow || std::size_t(endRow) > list.size())
        return -1;
    const long count = endRow - startRow + 1;
    if (b == DwBuffer::Primary)
        notify([startRow, count](DataStoreObserver *o) { o->beginRemoveRows(startRow, count); });
    for (long r = endRow; r >= startRow; --r)
        list.removeAt(std::size_t(r - 1));
    if (b == DwBuffer::Primary) {
        if (m_currentRow > RowCount())
            m_currentRow = RowCount();
        notify([](DataStoreObserver *o) { o->endRemoveRows(); });
    }
    return 1;
}

Value DataStore::itemAs(long row, const DwCol &column, DwBuffer buffer, ValueType type) const
{
    RowStore::Slot s;
    const int c = columnIndex(column);
    if (c < 0 || !slotOf(row, buffer, s))
        return Value::null(type);
    Value v = m_store->value(s, c);
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
    return original ? originalValue(s, c) : m_store->value(s, c);
}

Value DataStore::originalValue(RowStore::Slot slot, int column) const
{
    const auto it = m_originals.find(slot);
    if (it == m_originals.end() || std::size_t(column) >= it->second.size())
        return m_store->value(slot, column);
    return it->second[std::size_t(column)];
}

int DataStore::SetItem(long row, const DwCol &column, const Value &value)
{
    RowStore::Slot s;
    const int c = columnIndex(column);
    if (c < 0 || !slotOf(row, DwBuffer::Primary, s))
        return -1;
    const DwItemStatus st = m_store->status(s);
    // A row that exists in the database keeps what it had there: Update finds it by that.
    std::vector<Value> before;
    const bool keepOriginal = (st == DwItemStatus::NotModified || st == DwItemStatus::DataModified)
                              && m_originals.find(s) == m_originals.end();
    if (keepOriginal) {
        before.reserve(std::size_t(m_def.columnCount()));
        for (int k = 0; k < m_def.columnCount(); ++k)
            before.push_back(m_store->value(s, k));
    }
    if (!m_store->setValue(s, c, value))
        return -1;
    if (keepOriginal)
        m_originals.emplace(s, std::move(before));
    m_store->setModified(s, c, true);
    if (st == DwItemStatus::New)
        m_store->setStatus(s, DwItemStatus::NewModified);
    else if (st == DwItemStatus::NotModified)
        m_store->setStatus(s, DwItemStatus::DataModified);
    notify([row, c](DataStoreObserver *o) { o->itemChanged(row, c + 1); });
    return 1;
}

DwItemStatus DataStore::GetItemStatus(long row, int column, DwBuffer buffer) const
{
    RowStore::Slot s;
    if (!slotOf(row, buffer, s))
        return DwItemStatus::NotModified;
    if (column == 0)
        return m_store->status(s);
    if (column < 1 || column > m_def.columnCount())
        return DwItemStatus::NotModified;
    return m_store->isModified(s, column - 1) ? DwItemStatus::DataModified : DwItemStatus::NotModified;
}

int DataStore::SetItemStatus(long row, int column, DwBuffer buffer, DwItemStatus to)
{
    RowStore::Slot s;
    if (!slotOf(row, buffer, s))
        return -1;
    RowStore &st = *m_store;
    if (column != 0) {
        if (column < 1 || column > m_def.columnCount())
            return -1;
        if (to == DwItemStatus::DataModified) {
            st.setModified(s, column - 1, true);
            if (st.status(s) == DwItemStatus::NotModified)
                st.setStatus(s, DwItemStatus::DataModified);
            else if (st.status(s) == DwItemStatus::New)
                st.setStatus(s, DwItemStatus::NewModified);
        } else if (to == DwItemStatus::NotModified) {
            st.setModified(s, column - 1, false);
        } else {
            return -1;
        }
        return 1;
    }
    const DwItemStatus from = st.status(s);
    if (from == to)
        return 1;
    DwItemStatus result = to;
    switch (from) {
    case DwItemStatus::New:
        if (to == DwItemStatus::NotModified)
            return -1; // a new row cannot become an unmodified one
        break;
    case DwItemStatus::NewModified:
        if (to == DwItemStatus::New)
            return -1;
        if (to == DwItemStatus::NotModified)
            result = DwItemStatus::New;
        break;
    case DwItemStatus::DataModified:
        if (to == DwItemStatus::New)
            result = DwItemStatus::NewModified;
        break;
    case DwItemStatus::NotModified:
        break;
    }
    st.setStatus(s, result);
    if (result == DwItemStatus::NotModified || result == DwItemStatus::New)
        st.clearModified(s);
    return 1;
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
    if (m_more) {
        if (hasPendingChanges()) {
            m_lastError = QStringLiteral("Sort: rows are still unread and changes are not written yet");
            return -1;
        }
        return Retrieve(m_arguments) < 0 ? -1 : 1;
    }
    notify([](DataStoreObserver *o) { o->beginReset(); });
    std::vector<RowStore::Slot> &slots = m_primary.slots();
    const bool hadCurrent = m_currentRow >= 1 && std::size_t(m_currentRow) <= slots.size();
    const RowStore::Slot current = hadCurrent ? slots[std::size_t(m_currentRow - 1)] : 0;
    const bool ok = DwSorter::sort(m_def, *m_store, slots, m_sort);
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
    std::vector<RowStore::Slot> all = m_primary.slots();
    const auto &filtered = m_filter.slots();
    all.insert(all.end(), filtered.begin(), filtered.end());
    m_primary.clear();
    m_filter.clear();
    for (const RowStore::Slot s : all) {
        const bool keep = !expression || expression->matches([this, s](int c) { return m_store->value(s, c); });
        (keep ? m_primary : m_filter).append(s);
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
    std::vector<RowStore::Slot> modified;
    for (SlotList *list : {&m_primary, &m_filter}) {
        for (const RowStore::Slot s : list->slots()) {
            const DwItemStatus st = m_store->status(s);
            if (st == DwItemStatus::DataModified || st == DwItemStatus::NewModified)
                modified.push_back(s);
        }
    }
    resetUpdateFlags(modified);
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
    for (const RowStore::Slot s : m_delete.slots())
        m_originals.erase(s);
    m_delete.clear();
    for (const RowStore::Slot s : written) {
        m_store->setStatus(s, DwItemStatus::NotModified);
        m_store->clearModified(s);
        m_originals.erase(s);
    }
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
