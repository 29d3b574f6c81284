#include "DwRowBuffers.h"

#include <algorithm>

namespace rt {

namespace {

bool newStatus(DwItemStatus status)
{
    return status == DwItemStatus::New || status == DwItemStatus::NewModified;
}

} // namespace

DwRowBuffers::DwRowBuffers() : m_store(std::make_unique<RowStore>()) {}

void DwRowBuffers::clear(const QList<DwColumnType> &types)
{
    m_store = std::make_unique<RowStore>(types);
    m_originals.clear();
    m_primary.clear();
    m_delete.clear();
    m_filter.clear();
}

SlotList &DwRowBuffers::list(DwBuffer b)
{
    return b == DwBuffer::Primary ? m_primary : (b == DwBuffer::Delete ? m_delete : m_filter);
}

const SlotList &DwRowBuffers::list(DwBuffer b) const
{
    return b == DwBuffer::Primary ? m_primary : (b == DwBuffer::Delete ? m_delete : m_filter);
}

bool DwRowBuffers::slotOf(long row, DwBuffer b, RowStore::Slot &slot) const
{
    SlotList &l = b == DwBuffer::Primary ? m_primary : (b == DwBuffer::Delete ? m_delete : m_filter);
    if (row < 1 || std::size_t(row) > l.size())
        return false;
    slot = l.at(std::size_t(row - 1));
    return true;
}

RowStore::Slot DwRowBuffers::insertRow(long at)
{
    const RowStore::Slot s = m_store->newRow();
    m_primary.insert(std::size_t(at - 1), s);
    return s;
}

bool DwRowBuffers::deleteRow(long row)
{
    RowStore::Slot s;
    if (!slotOf(row, DwBuffer::Primary, s))
        return false;
    m_primary.removeAt(std::size_t(row - 1));
    if (!newStatus(m_store->status(s)))
        m_delete.append(s);
    return true;
}

long DwRowBuffers::copyRows(long start, long end, DwBuffer from, DwRowBuffers &target, const std::vector<int> &columnMap,
                            long at, DwBuffer to) const
{
    std::vector<RowStore::Slot> slots;
    for (long r = start; r <= end; ++r) {
        RowStore::Slot s;
        if (slotOf(r, from, s))
            slots.push_back(s);
    }
    SlotList &dest = target.list(to);
    if (at < 1 || std::size_t(at) > dest.size())
        at = long(dest.size()) + 1;
    RowStore &into = *target.m_store;
    for (const RowStore::Slot s : slots) {
        const RowStore::Slot t = into.newRow();
        for (std::size_t c = 0; c < columnMap.size(); ++c) {
            const int fc = columnMap[c];
            if (fc < 0)
                continue;
            into.copyCell(t, int(c), *m_store, s, fc);
            into.setModified(t, int(c), !into.isNull(t, int(c)));
        }
        into.setStatus(t, DwItemStatus::NewModified);
        dest.insert(std::size_t(at - 1), t);
        ++at;
    }
    return long(slots.size());
}

std::vector<RowStore::Slot> DwRowBuffers::rows(long start, long end, DwBuffer b) const
{
    std::vector<RowStore::Slot> out;
    for (long r = start; r <= end; ++r) {
        RowStore::Slot s;
        if (slotOf(r, b, s))
            out.push_back(s);
    }
    return out;
}

void DwRowBuffers::place(long at, const std::vector<RowStore::Slot> &slots, DwBuffer b)
{
    SlotList &dest = list(b);
    if (at < 1 || std::size_t(at) > dest.size())
        at = long(dest.size()) + 1;
    for (const RowStore::Slot s : slots)
        dest.insert(std::size_t(at++ - 1), s);
}

bool DwRowBuffers::isNew(RowStore::Slot slot) const
{
    return newStatus(m_store->status(slot));
}

bool DwRowBuffers::discardRows(long start, long end, DwBuffer b)
{
    SlotList &l = list(b);
    if (start < 1 || end < start || std::size_t(end) > l.size())
        return false;
    for (long r = end; r >= start; --r)
        l.removeAt(std::size_t(r - 1));
    return true;
}

bool DwRowBuffers::setItem(RowStore::Slot s, int column, const Value &value, int columns)
{
    const DwItemStatus st = m_store->status(s);
    // A row that exists in the database keeps what it had there: Update finds it by that.
    std::vector<Value> before;
    const bool keepOriginal = (st == DwItemStatus::NotModified || st == DwItemStatus::DataModified)
                              && m_originals.find(s) == m_originals.end();
    if (keepOriginal) {
        before.reserve(std::size_t(columns));
        for (int k = 0; k < columns; ++k)
            before.push_back(m_store->value(s, k));
    }
    if (!m_store->setValue(s, column, value))
        return false;
    if (keepOriginal)
        m_originals.emplace(s, std::move(before));
    m_store->setModified(s, column, true);
    if (st == DwItemStatus::New)
        m_store->setStatus(s, DwItemStatus::NewModified);
    else if (st == DwItemStatus::NotModified)
        m_store->setStatus(s, DwItemStatus::DataModified);
    return true;
}

Value DwRowBuffers::originalValue(RowStore::Slot slot, int column) const
{
    const auto it = m_originals.find(slot);
    if (it == m_originals.end() || std::size_t(column) >= it->second.size())
        return m_store->value(slot, column);
    return it->second[std::size_t(column)];
}

DwItemStatus DwRowBuffers::itemStatus(RowStore::Slot s, int column, int columns) const
{
    if (column == 0)
        return m_store->status(s);
    if (column < 1 || column > columns)
        return DwItemStatus::NotModified;
    return m_store->isModified(s, column - 1) ? DwItemStatus::DataModified : DwItemStatus::NotModified;
}

bool DwRowBuffers::setItemStatus(RowStore::Slot s, int column, int columns, DwItemStatus to)
{
    RowStore &st = *m_store;
    if (column != 0) {
        if (column < 1 || column > columns)
            return false;
        if (to == DwItemStatus::DataModified) {
            st.setModified(s, column - 1, true);
            if (st.status(s) == DwItemStatus::NotModified)
                st.setStatus(s, DwItemStatus::DataModified);
            else if (st.status(s) == DwItemStatus::New)
                st.setStatus(s, DwItemStatus::NewModified);
            return true;
        }
        if (to == DwItemStatus::NotModified) {
            st.setModified(s, column - 1, false);
            return true;
        }
        return false;
    }
    const DwItemStatus from = st.status(s);
    if (from == to)
        return true;
    DwItemStatus result = to;
    switch (from) {
    case DwItemStatus::New:
        if (to == DwItemStatus::NotModified)
            return false; // a new row cannot become an unmodified one
        break;
    case DwItemStatus::NewModified:
        if (to == DwItemStatus::New)
            return false;
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
    return true;
}

bool DwRowBuffers::hasPendingChanges() const
{
    if (!m_delete.empty())
        return true;
    for (SlotList *l : {&m_primary, &m_filter}) {
        for (const RowStore::Slot s : l->slots()) {
            if (m_store->status(s) != DwItemStatus::NotModified)
                return true;
        }
    }
    return false;
}

std::vector<RowStore::Slot> DwRowBuffers::modifiedRows() const
{
    std::vector<RowStore::Slot> out;
    for (SlotList *l : {&m_primary, &m_filter}) {
        for (const RowStore::Slot s : l->slots()) {
            const DwItemStatus st = m_store->status(s);
            if (st == DwItemStatus::DataModified || st == DwItemStatus::NewModified)
                out.push_back(s);
        }
    }
    return out;
}

void DwRowBuffers::resetFlags(const std::vector<RowStore::Slot> &written)
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

} // namespace rt
