#include "DwStoreRows.h"

#include "DataStore.h"

namespace rt {

const DwDefinition &DwStoreRows::definition() const
{
    return m_store.definition();
}

long DwStoreRows::rowCount() const
{
    return m_total >= 0 ? std::max(m_total, m_store.RowCount()) : m_store.RowCount();
}

bool DwStoreRows::hold(long first, long last, QString &errorText)
{
    while (m_reading && m_store.RowCount() < last && m_store.canRetrieveMore()) {
        if (m_reading->RetrieveMore(std::min(last - m_store.RowCount(), DataStore::MaxPortion)) < 0) {
            errorText = m_store.lastError();
            m_lastHeld = std::min(last, m_store.RowCount());
            return false;
        }
    }
    m_lastHeld = std::max(first - 1, std::min(last, m_store.RowCount()));
    return true;
}

Value DwStoreRows::item(long row, int column) const
{
    return m_store.GetItem(row, column);
}

} // namespace rt
