#include "DwPageRows.h"

#include "DataStore.h"
#include "DwResultRows.h"
#include "platform/core/Transaction.h"

#include <algorithm>

namespace rt {

DwPageRows::DwPageRows(DataStore &grid, long total, long windowRows)
    : m_grid(grid), m_total(total), m_windowRows(std::max<long>(1, windowRows))
{
}

DwPageRows::~DwPageRows() = default;

const DwDefinition &DwPageRows::definition() const
{
    return m_grid.definition();
}

long DwPageRows::rowCount() const
{
    // A grid read to its end knows its rows better than the count, which also counts the rows
    // a filter kept in memory hides.
    if (!m_grid.canRetrieveMore())
        return m_grid.RowCount();
    return m_total >= 0 ? std::max(m_total, m_grid.RowCount()) : m_grid.RowCount();
}

bool DwPageRows::holds(long first, long last) const
{
    first = std::max<long>(first, 1);
    last = available(last);
    const long from = std::max(first, m_grid.RowCount() + 1);
    if (from > last)
        return true;
    // A window that came back shorter than asked (rows deleted since the count) still answers
    // for what it was asked: its missing rows are not there to read.
    return m_window && from >= m_windowFirst && last <= m_windowAskedLast;
}

bool DwPageRows::hold(long first, long last, QString &errorText)
{
    first = std::max<long>(first, 1);
    m_lastHeld = first - 1;
    last = available(last);
    if (last < first)
        return true;
    const auto shown = [this, first, last]() {
        const long gridRows = m_grid.RowCount();
        const long windowEnd = m_window ? m_windowFirst + m_window->RowCount() - 1 : 0;
        m_lastHeld = std::max(first - 1, std::min(last, last > gridRows && m_window ? windowEnd : gridRows));
    };
    if (holds(first, last)) {
        shown();
        return true;
    }
    QList<DwPager::Key> keys;
    std::vector<int> columns;
    const bool files = m_grid.transaction()
                       && m_grid.transaction()->DBMS.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
    const bool byPlace = m_grid.canRetrieveMore() && m_grid.GetFilter().trimmed().isEmpty()
                         && m_grid.retrieveArguments().isEmpty()
                         && DwPager::orderKeys(m_grid.definition(), m_grid.retrievedSort(), files, keys, columns);
    if (!byPlace) {
        // No place to read at: the grid reads on to the page, as scrolling would.
        while (m_grid.RowCount() < last && m_grid.canRetrieveMore()) {
            if (m_grid.RetrieveMore(std::min(last - m_grid.RowCount(), DataStore::MaxPortion)) < 0) {
                errorText = m_grid.lastError();
                m_lastHeld = std::max(first - 1, std::min(last, m_grid.RowCount()));
                return false;
            }
        }
        m_lastHeld = std::max(first - 1, std::min(last, m_grid.RowCount()));
        return true;
    }
    if (!readWindow(first, last, errorText))
        return false;
    shown();
    return true;
}

bool DwPageRows::readWindow(long first, long last, QString &errorText)
{
    // The window: the rows not in the grid, the page in its middle, inside the rows there are.
    const long total = rowCount();
    const long gridRows = m_grid.RowCount();
    const long from = std::max(first, gridRows + 1);
    const long size = std::max(m_windowRows, last - from + 1);
    long start = std::max(gridRows + 1, from - (size - (last - from + 1)) / 2);
    long end = std::min(total, start + size - 1);
    start = std::max(gridRows + 1, std::min(start, end - size + 1));
    const long fromStart = start - 1, fromEnd = total - end;
    const bool backwards = fromEnd < fromStart;

    QList<DwPager::Key> keys;
    std::vector<int> columns;
    Transaction *t = m_own && m_runner ? m_own : m_grid.transaction();
    const bool files = t->DBMS.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
    DwPager::orderKeys(m_grid.definition(), m_grid.retrievedSort(), files, keys, columns);
    const QString sql = DwPager::offsetSelect(m_grid.retrievedSelect(), backwards ? DwPager::reversed(keys) : keys,
                                              backwards ? fromEnd : fromStart, end - start + 1);
    auto next = std::make_unique<DataStore>();
    next->setDefinition(m_grid.definition(), m_grid.DataObject());
    QString error;
    // On the runner's thread: the transaction and the new window only.
    const auto read = [t, &sql, &next, &error, backwards]() {
        if (t->injectedFault(sql)) {
            error = t->SQLErrText();
            return false;
        }
        auto stmt = t->prepare(sql);
        if (!stmt) {
            error = t->SQLErrText();
            return false;
        }
        bool ok = true;
        next->bulkLoad([&](RowStore &store, SlotList &primary) {
            DwResultRows rows(*stmt, next->definition(), store);
            std::vector<RowStore::Slot> slots;
            DbStep step = stmt->step();
            for (; step == DbStep::Row; step = stmt->step())
                slots.push_back(rows.read());
            if (step == DbStep::Error) {
                t->setError(stmt->lastError());
                error = t->SQLErrText();
                ok = false;
                return;
            }
            if (backwards)
                std::reverse(slots.begin(), slots.end());
            for (const RowStore::Slot s : slots)
                primary.append(s);
        });
        stmt->reset();
        return ok;
    };
    const bool ok = m_own && m_runner ? m_runner(read) : read();
    if (!ok) {
        errorText = error.isEmpty() ? QStringLiteral("the read was stopped") : error;
        return false;
    }
    m_window = std::move(next);
    m_windowFirst = start;
    m_windowAskedLast = end;
    return true;
}

Value DwPageRows::item(long row, int column) const
{
    if (row <= m_grid.RowCount())
        return m_grid.GetItem(row, column);
    if (!m_window)
        return Value();
    return m_window->GetItem(row - m_windowFirst + 1, column);
}

} // namespace rt
