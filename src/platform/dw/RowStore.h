#pragma once

#include "DwColumnType.h"
#include "platform/core/Value.h"

#include <QList>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace rt {

enum class DwItemStatus { NotModified, DataModified, New, NewModified };

// Compact storage of the rows of one DataWindow: one 8-byte cell per column and row, text of up
// to seven UTF-8 bytes kept inside its cell and longer text in an append-only arena, null and
// modified flags as bits, one status byte per row. Rows live in fixed-size chunks, so a large
// retrieve never doubles its memory when it grows. Rows are addressed by slot; buffers (primary,
// filter, delete) are lists of slots. No heap object per cell or row.
class RowStore
{
public:
    using Slot = std::uint32_t;

    explicit RowStore(QList<DwColumnType> types = {});
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    int columnCount() const { return int(m_types.size()); }
    const DwColumnType &type(int column) const { return m_types[column]; }

    // A new row, every column null, status New!.
    Slot newRow();
    void clear();
    std::size_t rowsAllocated() const { return m_rows; }
    // Heap bytes held by the cells, flags and text.
    std::size_t memoryBytes() const;

    bool isNull(Slot s, int c) const { return (flags(s, c) >> (c % 32)) & 1u; }
    void setNull(Slot s, int c);

    // Raw writers for the retrieve loop: no conversion, no flags beyond null.
    void putText(Slot s, int c, std::string_view utf8);
    void putInt(Slot s, int c, std::int64_t v);
    void putDouble(Slot s, int c, double v);

    std::string_view text(Slot s, int c) const;
    std::int64_t intValue(Slot s, int c) const { return std::int64_t(cell(s, c)); }
    double doubleValue(Slot s, int c) const;

    // The cell as a value of its column's type.
    Value value(Slot s, int c) const;
    // Stores a value converted to the column's type; false (nothing changed) when it cannot be
    // converted.
    bool setValue(Slot s, int c, const Value &v);
    // Copies one cell from another store whose column has the same type family.
    void copyCell(Slot s, int c, const RowStore &from, Slot fromSlot, int fromColumn);

    DwItemStatus status(Slot s) const { return DwItemStatus(m_status[s / ChunkRows][s % ChunkRows]); }
    void setStatus(Slot s, DwItemStatus st) { m_status[s / ChunkRows][s % ChunkRows] = std::uint8_t(st); }
    bool isModified(Slot s, int c) const { return (flags(s, c) >> (32 + c % 32)) & 1u; }
    void setModified(Slot s, int c, bool modified);
    void clearModified(Slot s);
    bool anyModified(Slot s) const;

    // Encodings of the non-text types in a cell (also used by sorting).
    static std::int64_t encodeDate(QDate d) { return d.toJulianDay(); }
    static std::int64_t encodeDateTime(const DateTime &dt)
    {
        return dt.date().toJulianDay() * Time::MicrosPerDay + dt.time().micros();
    }
    // Parses canonical text straight from UTF-8 bytes; false on malformed text.
    static bool parseDate(std::string_view s, std::int64_t &out);
    static bool parseDateTime(std::string_view s, std::int64_t &out);
    static bool parseTime(std::string_view s, std::int64_t &out);
    static bool parseDecimal(std::string_view s, int scale, std::int64_t &out);

private:
    static constexpr std::size_t ChunkRows = 4096;
    static constexpr std::size_t ArenaBlock = 1 << 20;

    std::uint64_t &cell(Slot s, int c) { return m_cells[s / ChunkRows][(s % ChunkRows) * m_types.size() + c]; }
    std::uint64_t cell(Slot s, int c) const { return m_cells[s / ChunkRows][(s % ChunkRows) * m_types.size() + c]; }
    std::uint64_t &flags(Slot s, int c) { return m_flags[s / ChunkRows][(s % ChunkRows) * m_flagWords + c / 32]; }
    std::uint64_t flags(Slot s, int c) const { return m_flags[s / ChunkRows][(s % ChunkRows) * m_flagWords + c / 32]; }
    void clearNull(Slot s, int c) { flags(s, c) &= ~(std::uint64_t(1) << (c % 32)); }
    std::uint64_t storeText(std::string_view utf8);

    QList<DwColumnType> m_types;
    std::size_t m_flagWords = 1;
    std::size_t m_rows = 0;
    std::vector<std::unique_ptr<std::uint64_t[]>> m_cells;
    std::vector<std::unique_ptr<std::uint64_t[]>> m_flags;
    std::vector<std::unique_ptr<std::uint8_t[]>> m_status;
    std::vector<std::unique_ptr<char[]>> m_arena; // blocks
    std::vector<std::size_t> m_arenaSizes;
    std::size_t m_arenaUsed = 0;                  // bytes used in the last block
    std::size_t m_arenaBytes = 0;
};

} // namespace rt
