#pragma once

#include "RowStore.h"

#include <vector>

namespace rt {

// The ordered rows of one buffer. Removing a row leaves a hole that is closed lazily, the next
// time a row at or after the first hole is reached: a walk from the last row to the first that
// removes rows as it goes is therefore linear, not quadratic. Positions are 0-based.
class SlotList
{
public:
    using Slot = RowStore::Slot;

    std::size_t size() const { return m_slots.size() - m_holes; }
    bool empty() const { return size() == 0; }
    Slot at(std::size_t i)
    {
        if (m_holes && i >= m_firstHole)
            compact();
        return m_slots[i];
    }
    void removeAt(std::size_t i)
    {
        if (m_holes && i >= m_firstHole)
            compact();
        m_slots[i] = Hole;
        ++m_holes;
        if (i < m_firstHole)
            m_firstHole = i;
    }
    void insert(std::size_t i, Slot s)
    {
        compact();
        m_slots.insert(m_slots.begin() + std::ptrdiff_t(i), s);
    }
    void append(Slot s)
    {
        compact();
        m_slots.push_back(s);
    }
    void clear()
    {
        m_slots.clear();
        m_holes = 0;
        m_firstHole = NoHole;
    }
    void reserve(std::size_t n) { m_slots.reserve(n); }
    // The slots in order, holes closed.
    std::vector<Slot> &slots()
    {
        compact();
        return m_slots;
    }

private:
    static constexpr Slot Hole = 0xffffffffu;
    static constexpr std::size_t NoHole = std::size_t(-1);

    void compact()
    {
        if (!m_holes)
            return;
        std::size_t out = m_firstHole;
        for (std::size_t in = m_firstHole; in < m_slots.size(); ++in) {
            if (m_slots[in] != Hole)
                m_slots[out++] = m_slots[in];
        }
        m_slots.resize(out);
        m_holes = 0;
        m_firstHole = NoHole;
    }

    std::vector<Slot> m_slots;
    std::size_t m_holes = 0;
    std::size_t m_firstHole = NoHole;
};

} // namespace rt
