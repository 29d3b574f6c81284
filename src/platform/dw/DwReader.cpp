#include "DwReader.h"

#include "DataStore.h"
#include "DwExpression.h"
#include "DwResultRows.h"
#include "DwSorter.h"
#include "platform/core/Transaction.h"

#include <algorithm>

namespace rt {

void DwReader::setPortion(long rows)
{
    m_portion = std::clamp<long>(rows, 0, MaxPortion);
}

void DwReader::forget()
{
    m_more = false;
    m_after.clear();
    m_pageColumns.clear();
    m_pageRows = 0;
}

void DwReader::continueFrom(const DwReader &other)
{
    m_arguments = other.m_arguments;
    m_portion = other.m_portion;
    m_more = other.m_more;
    m_pageColumns = other.m_pageColumns;
    m_pagedSort = other.m_pagedSort;
    m_pagedSelect = other.m_pagedSelect;
    m_after = other.m_after;
    m_pageRows = 0;
}

bool DwReader::pagingKeys(const DataStore &ds, const QString &sort, QList<DwPager::Key> &keys, std::vector<int> &columns) const
{
    keys.clear();
    columns.clear();
    const DwDefinition &def = ds.m_def;
    // Arguments number the select's own parameters in ways only the select knows (named ones
    // on the server): a retrieve with arguments reads everything at once.
    if (m_portion <= 0 || !m_arguments.isEmpty() || !ds.m_transaction)
        return false;
    // Decimals are exact text on the files: ordered by value through a collation, as the sort
    // in memory orders them.
    const bool files = ds.m_transaction->DBMS.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
    return DwPager::orderKeys(def, sort, files, keys, columns);
}

std::unique_ptr<DbStatement> DwReader::runSelect(DataStore &ds, const QString &select, const QList<Value> &binds, DbStep &first,
                                                 bool streamed)
{
    first = DbStep::Error;
    Transaction &t = *ds.m_transaction;
    if (t.injectedFault(select)) {
        ds.m_lastError = t.SQLErrText();
        return nullptr;
    }
    auto stmt = t.prepare(select);
    if (!stmt) {
        ds.m_lastError = t.SQLErrText();
        return nullptr;
    }
    int p = 0;
    for (int i = 0; i < m_arguments.size() && p < stmt->parameterCount(); ++i)
        stmt->bind(p++, m_arguments[i]);
    for (int i = 0; i < binds.size() && p < stmt->parameterCount(); ++i)
        stmt->bind(p++, binds[i]);
    if (streamed)
        stmt->streamRows();
    // The first step runs the statement: when that fails (a lock held too long, a lost
    // connection) the rows retrieved before stay as they were.
    first = stmt->step();
    if (first == DbStep::Error) {
        t.setError(stmt->lastError());
        stmt->reset();
        ds.m_lastError = t.SQLErrText();
        return nullptr;
    }
    return stmt;
}

bool DwReader::readRows(DataStore &ds, DbStatement &stmt, DbStep step, std::vector<RowStore::Slot> &slots, long limit,
                        QList<Value> &next)
{
    DwResultRows rows(stmt, ds.m_def, ds.store());
    const long before = long(slots.size());
    for (;; step = stmt.step()) {
        if (step == DbStep::Done)
            return true;
        if (step == DbStep::Error) {
            ds.m_transaction->setError(stmt.lastError());
            return false;
        }
        slots.push_back(rows.read());
        const long read = long(slots.size()) - before;
        if (!m_pageColumns.empty() && read == limit)
            next = rows.rawValues(m_pageColumns);
        if (m_progress && read % 16384 == 0 && !m_progress(m_retrievedBefore + read)) {
            ds.m_transaction->setError(-1, QStringLiteral("retrieval cancelled"));
            return false;
        }
    }
}

long DwReader::retrieve(DataStore &ds, const QList<Value> &arguments)
{
    if (!ds.m_transaction) {
        ds.m_lastError = QStringLiteral("Retrieve: no transaction object");
        return -1;
    }
    const QList<Value> previousArguments = m_arguments;
    m_arguments = arguments;
    QList<DwPager::Key> keys;
    std::vector<int> keyColumns;
    const bool paged = pagingKeys(ds, ds.m_sort, keys, keyColumns);
    QList<Value> binds;
    const QString base = ds.m_def.select();
    const QString select = paged ? DwPager::pageSelect(base, keys, nullptr, m_portion, binds) : base;
    DbStep step = DbStep::Error;
    // A whole retrieve steps through every row at once: on the server they are stored as they
    // arrive, while the server makes the next ones.
    auto stmt = runSelect(ds, select, binds, step, !paged);
    if (!stmt) {
        m_arguments = previousArguments;
        return -1;
    }
    ds.notify([](DataStoreObserver *o) { o->beginReset(); });
    ds.rebuildStore();
    m_pageColumns = keyColumns;
    m_pagedSort = ds.m_sort;
    m_pagedSelect = base;
    m_after.clear();
    m_retrievedBefore = 0;
    std::vector<RowStore::Slot> slots;
    if (paged)
        slots.reserve(std::size_t(m_portion));
    QList<Value> next;
    m_readingPage = true;
    const bool failed = !readRows(ds, *stmt, step, slots, paged ? m_portion : 0, next);
    m_readingPage = false;
    if (!failed)
        m_after = next;
    // Release the statement's read snapshot at once: a retrieved grid must not pin the file.
    stmt->reset();
    stmt.reset();
    SlotList &primary = ds.buffer(DwBuffer::Primary);
    for (const RowStore::Slot s : slots)
        primary.append(s);
    const long rows = long(slots.size());
    m_more = paged && !failed && rows == m_portion;
    m_pageRows = rows;
    if (!failed)
        ds.m_transaction->setResult(rows == 0 ? 100 : 0, rows);
    if (!failed && !ds.m_filterText.isEmpty())
        ds.Filter();
    // A paged retrieve arrives in the sort's order already; sorting the first page alone in
    // memory would put rows of later pages out of place.
    if (!failed && !paged && !ds.m_sort.isEmpty())
        DwSorter::sort(ds.m_def, ds.store(), primary.slots(), ds.m_sort);
    ds.m_currentRow = ds.RowCount() > 0 ? 1 : 0;
    ds.notify([](DataStoreObserver *o) { o->endReset(); });
    ds.notify([&ds](DataStoreObserver *o) { o->currentRowChanged(ds.m_currentRow); });
    if (failed) {
        ds.m_lastError = ds.m_transaction->SQLErrText();
        return -1;
    }
    return ds.RowCount();
}

long DwReader::readMore(DataStore &ds, long rows)
{
    // A page asked for while one is being read (a view repainting under a progress report)
    // waits for that one: read twice, it would come twice.
    if (!m_more || m_readingPage)
        return 0;
    if (!ds.m_transaction) {
        ds.m_lastError = QStringLiteral("Retrieve: no transaction object");
        return -1;
    }
    // Pages grow with what has been read, up to a size that keeps one read short.
    const long limit = rows > 0 ? rows : std::clamp<long>(m_pageRows * 2, m_portion, MaxPortion);
    QList<DwPager::Key> keys;
    std::vector<int> keyColumns;
    if (!pagingKeys(ds, m_pagedSort, keys, keyColumns) || keyColumns != m_pageColumns) {
        ds.m_lastError = QStringLiteral("RetrieveMore: the columns changed since the retrieve");
        return -1;
    }
    QList<Value> binds;
    // The select the grid was retrieved with: a select changed since takes effect at the next
    // Retrieve, never halfway through the rows.
    const QString select = DwPager::pageSelect(m_pagedSelect, keys, &m_after, limit, binds);
    DbStep step = DbStep::Error;
    auto stmt = runSelect(ds, select, binds, step);
    if (!stmt)
        return -1;
    std::vector<RowStore::Slot> slots;
    slots.reserve(std::size_t(std::min<long>(limit, MaxPortion)));
    m_retrievedBefore = ds.RowCount() + ds.FilteredCount();
    QList<Value> next;
    m_readingPage = true;
    const bool failed = !readRows(ds, *stmt, step, slots, limit, next);
    m_readingPage = false;
    stmt->reset();
    stmt.reset();
    if (failed) {
        ds.m_lastError = ds.m_transaction->SQLErrText();
        return -1;
    }
    const long read = long(slots.size());
    m_pageRows = read;
    m_more = read == limit;
    if (m_more)
        m_after = next;
    appendRows(ds, slots);
    ds.m_transaction->setResult(read == 0 ? 100 : 0, read);
    return read;
}

long DwReader::readAll(DataStore &ds)
{
    while (m_more) {
        if (readMore(ds, MaxPortion) < 0)
            return -1;
    }
    return ds.RowCount();
}

void DwReader::appendRows(DataStore &ds, const std::vector<RowStore::Slot> &slots)
{
    std::vector<RowStore::Slot> shown;
    if (ds.m_filterText.trimmed().isEmpty()) {
        shown = slots;
    } else {
        QString error;
        const auto expression = DwExpression::parse(ds.m_filterText, ds.m_def, error);
        const RowStore &store = ds.store();
        for (const RowStore::Slot s : slots) {
            const bool keep = !expression || expression->matches([&store, s](int c) { return store.value(s, c); });
            if (keep)
                shown.push_back(s);
            else
                ds.buffer(DwBuffer::Filter).append(s);
        }
    }
    if (shown.empty())
        return;
    const long first = ds.RowCount() + 1, count = long(shown.size());
    m_appending = true;
    ds.notify([first, count](DataStoreObserver *o) { o->beginInsertRows(first, count); });
    for (const RowStore::Slot s : shown)
        ds.buffer(DwBuffer::Primary).append(s);
    const bool firstRow = ds.m_currentRow == 0;
    if (firstRow)
        ds.m_currentRow = 1;
    ds.notify([](DataStoreObserver *o) { o->endInsertRows(); });
    m_appending = false;
    if (firstRow)
        ds.notify([](DataStoreObserver *o) { o->currentRowChanged(1); });
}

} // namespace rt
