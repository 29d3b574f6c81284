#include "DwOnwardReader.h"

#include "DataStore.h"

namespace rt {

DwOnwardReader::DwOnwardReader(const DataStore &grid, long total, long pageRows)
    : m_grid(grid), m_total(total), m_pageRows(std::clamp<long>(pageRows, 1, DataStore::MaxPortion))
{
}

DwOnwardReader::~DwOnwardReader() = default;

const DwDefinition &DwOnwardReader::definition() const
{
    return m_grid.definition();
}

bool DwOnwardReader::hold(long first, long last, QString &errorText)
{
    first = std::max<long>(first, 1);
    m_lastHeld = first - 1;
    if (last < first)
        return true;
    if (last <= m_grid.RowCount() || !m_grid.canRetrieveMore()) {
        m_fromGrid = true;
        m_lastHeld = std::min(last, m_grid.RowCount());
        return true;
    }
    const long windowEnd = m_window ? m_base + m_window->RowCount() : 0;
    if (m_window && first > m_base && (last <= windowEnd || !m_window->canRetrieveMore())) {
        m_fromGrid = false;
        m_lastHeld = std::min(last, windowEnd);
        return true;
    }
    if (m_window && first <= m_base && first > m_grid.RowCount()) {
        errorText = QStringLiteral("rows are read forward only");
        return false;
    }
    // A new window: the rows from first that are held already (in the grid or the window), then
    // pages after the last row read.
    const DataStore &furthest = m_window ? *m_window : m_grid;
    auto next = std::make_unique<DataStore>();
    next->continueFrom(furthest);
    if (m_own)
        next->SetTransObject(m_own);
    const long held = m_window ? windowEnd : m_grid.RowCount();
    long base = first - 1;
    for (long r = first; r <= held;) {
        const bool inWindow = m_window && r > m_base;
        const DataStore &from = inWindow ? *m_window : m_grid;
        const long at = inWindow ? r - m_base : r;
        const long end = inWindow ? m_window->RowCount() : std::min(m_grid.RowCount(), m_window ? m_base : held);
        if (at > end)
            break;
        from.copyRowsTo(at, end, *next);
        r += end - at + 1;
    }
    if (first > held)
        base = held; // rows skipped are read and let go below
    // The reads touch only the new window and its transaction, so that a runner may do them on
    // another thread; RetrieveMore answers 0 once nothing is left.
    const bool more = next->canRetrieveMore();
    QString error;
    const auto read = [&next, &base, &error, first, last, more, pageRows = m_pageRows]() {
        for (bool left = more; left && base + next->RowCount() < last;) {
            if (base + next->RowCount() < first - 1) {
                base += next->RowCount();
                next->dropRows();
            }
            const long got = next->RetrieveMore(pageRows);
            if (got < 0) {
                error = next->lastError();
                return false;
            }
            left = got > 0;
        }
        return true;
    };
    if (!(m_own && m_runner ? m_runner(read) : read())) {
        errorText = error.isEmpty() ? QStringLiteral("the read was stopped") : error;
        return false;
    }
    if (base + next->RowCount() < first - 1) {
        base += next->RowCount();
        next->dropRows();
    }
    m_window = std::move(next);
    m_base = base;
    m_fromGrid = false;
    m_lastHeld = std::max(first - 1, std::min(last, m_base + m_window->RowCount()));
    return true;
}

Value DwOnwardReader::item(long row, int column) const
{
    if (m_fromGrid || !m_window)
        return m_grid.GetItem(row, column);
    return m_window->GetItem(row - m_base, column);
}

} // namespace rt
