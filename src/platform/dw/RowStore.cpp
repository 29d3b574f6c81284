#include "RowStore.h"

#include <cmath>
#include <cstring>

namespace rt {

namespace {

// A text cell: the top byte 0x80 | length for text kept in the cell itself (up to 7 bytes in
// the low bytes), otherwise (block << 32 | offset) into the arena, where a length prefix leads.
constexpr std::uint64_t InlineTag = 0x80;

int digitsAt(std::string_view s, std::size_t pos, std::size_t count, bool &ok)
{
    int v = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') {
            ok = false;
            return 0;
        }
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

} // namespace

RowStore::RowStore(QList<DwColumnType> types) : m_types(std::move(types))
{
    m_flagWords = std::max<std::size_t>(1, (m_types.size() + 31) / 32);
}

RowStore::Slot RowStore::newRow()
{
    const std::size_t chunk = m_rows / ChunkRows;
    if (chunk == m_cells.size()) {
        const std::size_t cols = std::max<std::size_t>(1, m_types.size());
        m_cells.emplace_back(new std::uint64_t[ChunkRows * cols]());
        m_flags.emplace_back(new std::uint64_t[ChunkRows * m_flagWords]());
        m_status.emplace_back(new std::uint8_t[ChunkRows]());
    }
    const Slot s = Slot(m_rows++);
    for (std::size_t w = 0; w < m_flagWords; ++w)
        m_flags[chunk][(s % ChunkRows) * m_flagWords + w] = 0xffffffffULL; // all null, none modified
    for (int c = 0; c < columnCount(); ++c)
        cell(s, c) = 0;
    setStatus(s, DwItemStatus::New);
    return s;
}

void RowStore::clear()
{
    m_rows = 0;
    m_cells.clear();
    m_flags.clear();
    m_status.clear();
    m_arena.clear();
    m_arenaSizes.clear();
    m_arenaUsed = 0;
    m_arenaBytes = 0;
}

std::size_t RowStore::memoryBytes() const
{
    const std::size_t cols = std::max<std::size_t>(1, m_types.size());
    return m_cells.size() * ChunkRows * (cols * 8 + m_flagWords * 8 + 1) + m_arenaBytes;
}

void RowStore::setNull(Slot s, int c)
{
    flags(s, c) |= std::uint64_t(1) << (c % 32);
    cell(s, c) = 0;
}

std::uint64_t RowStore::storeText(std::string_view utf8)
{
    const std::size_t prefix = utf8.size() < 0x80 ? 1 : 5;
    const std::size_t need = prefix + utf8.size();
    if (m_arena.empty() || m_arenaUsed + need > m_arenaSizes.back()) {
        const std::size_t size = std::max(ArenaBlock, need);
        m_arena.emplace_back(new char[size]);
        m_arenaSizes.push_back(size);
        m_arenaBytes += size;
        m_arenaUsed = 0;
    }
    char *p = m_arena.back().get() + m_arenaUsed;
    if (prefix == 1) {
        p[0] = char(utf8.size());
    } else {
        const std::uint32_t n = std::uint32_t(utf8.size());
        p[0] = char(0x80);
        std::memcpy(p + 1, &n, 4);
    }
    std::memcpy(p + prefix, utf8.data(), utf8.size());
    const std::uint64_t ref = (std::uint64_t(m_arena.size() - 1) << 32) | std::uint64_t(m_arenaUsed);
    m_arenaUsed += need;
    return ref;
}

void RowStore::putText(Slot s, int c, std::string_view utf8)
{
    std::uint64_t v = 0;
    if (utf8.size() <= 7) {
        std::memcpy(&v, utf8.data(), utf8.size());
        v |= (InlineTag | std::uint64_t(utf8.size())) << 56;
    } else {
        v = storeText(utf8);
    }
    cell(s, c) = v;
    clearNull(s, c);
}

std::string_view RowStore::text(Slot s, int c) const
{
    if (isNull(s, c))
        return {};
    const std::uint64_t &v = m_cells[s / ChunkRows][(s % ChunkRows) * m_types.size() + c];
    const std::uint64_t tag = v >> 56;
    if (tag & InlineTag)
        return std::string_view(reinterpret_cast<const char *>(&v), std::size_t(tag & 0x7f));
    const char *p = m_arena[std::size_t(v >> 32)].get() + (v & 0xffffffffULL);
    if (std::uint8_t(p[0]) < 0x80)
        return std::string_view(p + 1, std::size_t(std::uint8_t(p[0])));
    std::uint32_t n = 0;
    std::memcpy(&n, p + 1, 4);
    return std::string_view(p + 5, n);
}

void RowStore::putInt(Slot s, int c, std::int64_t v)
{
    cell(s, c) = std::uint64_t(v);
    clearNull(s, c);
}

void RowStore::putDouble(Slot s, int c, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    cell(s, c) = bits;
    clearNull(s, c);
}

double RowStore::doubleValue(Slot s, int c) const
{
    const std::uint64_t bits = cell(s, c);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

Value RowStore::value(Slot s, int c) const
{
    const DwColumnType &t = m_types[c];
    if (isNull(s, c))
        return Value::null(t.valueType);
    switch (t.valueType) {
    case ValueType::String: {
        const auto v = text(s, c);
        if (v.empty())
            return Value(QString(QLatin1String(""))); // empty, not null
        return Value(QString::fromUtf8(v.data(), qsizetype(v.size())));
    }
    case ValueType::Long: return Value(intValue(s, c));
    case ValueType::Number: return Value(doubleValue(s, c));
    case ValueType::Decimal: return Value(Decimal(intValue(s, c), t.size));
    case ValueType::Date: return Value(QDate::fromJulianDay(intValue(s, c)));
    case ValueType::Time: return Value(Time::fromMicros(intValue(s, c)));
    case ValueType::DateTime: {
        const std::int64_t v = intValue(s, c);
        const std::int64_t day = v >= 0 ? v / Time::MicrosPerDay : -((-v + Time::MicrosPerDay - 1) / Time::MicrosPerDay);
        return Value(DateTime(QDate::fromJulianDay(day), Time::fromMicros(v - day * Time::MicrosPerDay)));
    }
    case ValueType::Boolean: return Value(intValue(s, c) != 0);
    }
    return Value();
}

bool RowStore::setValue(Slot s, int c, const Value &input)
{
    const DwColumnType &t = m_types[c];
    if (input.isNull()) {
        setNull(s, c);
        return true;
    }
    bool ok = true;
    const Value v = input.convertedTo(t.valueType, &ok);
    if (!ok)
        return false;
    switch (t.valueType) {
    case ValueType::String: {
        const QByteArray utf8 = v.string().toUtf8();
        putText(s, c, std::string_view(utf8.constData(), std::size_t(utf8.size())));
        return true;
    }
    case ValueType::Long: putInt(s, c, v.longValue()); return true;
    case ValueType::Boolean: putInt(s, c, v.boolean() ? 1 : 0); return true;
    case ValueType::Number: putDouble(s, c, v.number()); return true;
    case ValueType::Decimal: {
        const auto scaled = v.decimal().withScale(t.size);
        if (!scaled)
            return false;
        putInt(s, c, scaled->mantissa());
        return true;
    }
    case ValueType::Date: putInt(s, c, encodeDate(v.date())); return true;
    case ValueType::Time: putInt(s, c, v.time().micros()); return true;
    case ValueType::DateTime: putInt(s, c, encodeDateTime(v.dateTime())); return true;
    }
    return false;
}

void RowStore::copyCell(Slot s, int c, const RowStore &from, Slot fromSlot, int fromColumn)
{
    if (from.isNull(fromSlot, fromColumn)) {
        setNull(s, c);
        return;
    }
    const DwColumnType &a = m_types[c];
    const DwColumnType &b = from.m_types[fromColumn];
    if (a.valueType == b.valueType && (a.valueType != ValueType::Decimal || a.size == b.size)) {
        if (a.isText())
            putText(s, c, from.text(fromSlot, fromColumn));
        else
            putInt(s, c, std::int64_t(from.cell(fromSlot, fromColumn)));
        return;
    }
    if (!setValue(s, c, from.value(fromSlot, fromColumn)))
        setNull(s, c);
}

void RowStore::setModified(Slot s, int c, bool modified)
{
    const std::uint64_t bit = std::uint64_t(1) << (32 + c % 32);
    if (modified)
        flags(s, c) |= bit;
    else
        flags(s, c) &= ~bit;
}

void RowStore::clearModified(Slot s)
{
    for (std::size_t w = 0; w < m_flagWords; ++w)
        m_flags[s / ChunkRows][(s % ChunkRows) * m_flagWords + w] &= 0xffffffffULL;
}

bool RowStore::anyModified(Slot s) const
{
    for (std::size_t w = 0; w < m_flagWords; ++w) {
        if (m_flags[s / ChunkRows][(s % ChunkRows) * m_flagWords + w] >> 32)
            return true;
    }
    return false;
}

bool RowStore::parseDate(std::string_view s, std::int64_t &out)
{
    if (s.size() < 10 || s[4] != '-' || s[7] != '-')
        return false;
    bool ok = true;
    const int y = digitsAt(s, 0, 4, ok), m = digitsAt(s, 5, 2, ok), d = digitsAt(s, 8, 2, ok);
    const QDate date(y, m, d);
    if (!ok || !date.isValid())
        return false;
    out = date.toJulianDay();
    return true;
}

bool RowStore::parseTime(std::string_view s, std::int64_t &out)
{
    if (s.size() < 5 || s[2] != ':')
        return false;
    bool ok = true;
    const int h = digitsAt(s, 0, 2, ok), mi = digitsAt(s, 3, 2, ok);
    int sec = 0, micro = 0;
    std::size_t pos = 5;
    if (s.size() > 5) {
        if (s[5] != ':')
            return false;
        sec = digitsAt(s, 6, 2, ok);
        pos = 8;
        if (s.size() > 8) {
            if (s[8] != '.' || s.size() > 15 || s.size() == 9)
                return false;
            const std::size_t n = s.size() - 9;
            micro = digitsAt(s, 9, n, ok);
            for (std::size_t i = n; i < 6; ++i)
                micro *= 10;
            pos = s.size();
        }
    }
    if (!ok || pos != s.size() || h > 23 || mi > 59 || sec > 59)
        return false;
    out = ((std::int64_t(h) * 60 + mi) * 60 + sec) * 1'000'000LL + micro;
    return true;
}

bool RowStore::parseDateTime(std::string_view s, std::int64_t &out)
{
    std::int64_t day = 0, time = 0;
    if (!parseDate(s.substr(0, 10), day))
        return false;
    if (s.size() > 10) {
        if ((s[10] != ' ' && s[10] != 'T') || !parseTime(s.substr(11), time))
            return false;
    }
    out = day * Time::MicrosPerDay + time;
    return true;
}

bool RowStore::parseDecimal(std::string_view s, int scale, std::int64_t &out)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    __extension__ __int128 m = 0;
    int fraction = -1;
    bool any = false;
    bool roundUp = false;
    for (; i < s.size(); ++i) {
        const char ch = s[i];
        if (ch == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (ch < '0' || ch > '9')
            return false;
        any = true;
        if (fraction >= scale) { // digits past the column's scale round the last kept one
            if (fraction == scale)
                roundUp = ch >= '5';
            ++fraction;
            continue;
        }
        m = m * 10 + (ch - '0');
        if (fraction >= 0)
            ++fraction;
        if (m > 999'999'999'999'999'999LL)
            return false;
    }
    if (!any)
        return false;
    for (int f = std::max(fraction, 0); f < scale; ++f)
        m *= 10;
    if (roundUp)
        ++m;
    if (m > 999'999'999'999'999'999LL)
        return false;
    out = std::int64_t(negative ? -m : m);
    return true;
}

} // namespace rt
