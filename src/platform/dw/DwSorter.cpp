#include "DwSorter.h"

#include "DwDefinition.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

namespace rt {

namespace {

using SortColumn = DwSorter::Key;

bool parseFormat(const DwDefinition &def, const QString &format, QList<SortColumn> &out, QString &error)
{
    for (const QString &part : format.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = part.simplified().split(QLatin1Char(' '));
        if (words.isEmpty() || words.size() > 2) {
            error = QStringLiteral("cannot read the sort item '%1'").arg(part.trimmed());
            return false;
        }
        const int c = def.findColumn(words[0]);
        if (c < 0) {
            error = QStringLiteral("unknown sort column '%1'").arg(words[0]);
            return false;
        }
        bool descending = false;
        if (words.size() == 2) {
            const QString order = words[1].toUpper();
            if (order != QLatin1String("A") && order != QLatin1String("D")) {
                error = QStringLiteral("sort order is A or D, not '%1'").arg(words[1]);
                return false;
            }
            descending = order == QLatin1String("D");
        }
        out << SortColumn{c, descending};
    }
    if (out.isEmpty()) {
        error = QStringLiteral("no sort column given");
        return false;
    }
    return true;
}

// Sort keys are read once per row before sorting, so that comparisons rarely touch row storage:
// text keeps its first 16 bytes as two big-endian integers (byte order is code-point order in
// UTF-8) and its length, numbers an order-preserving 64-bit image. An entry holds only these
// integers, so most comparisons are one or two integer ones on a small, cache-friendly record;
// the rare text keys that agree in their first 16 bytes are finished from the row storage.
enum class KeyKind { Text, Int, Double };

std::uint64_t bigEndian(const char *p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = (v << 8) | (i < n ? std::uint8_t(p[i]) : 0u);
    return v;
}

template<int N>
struct Entry
{
    std::uint64_t a[N];
    std::uint64_t b[N];
    std::uint32_t size[N]; // text length; for a null key, 0 with the null bit set
    RowStore::Slot slot;
    std::uint32_t position; // breaks ties, which makes the sort stable
    std::uint32_t nulls;    // bit k: key k is null
};

template<int N>
void readKey(Entry<N> &e, int k, const RowStore &store, int column, KeyKind kind)
{
    e.a[k] = e.b[k] = 0;
    e.size[k] = 0;
    if (store.isNull(e.slot, column)) {
        e.nulls |= 1u << k;
        return;
    }
    switch (kind) {
    case KeyKind::Text: {
        const auto t = store.text(e.slot, column);
        e.size[k] = std::uint32_t(t.size());
        e.a[k] = bigEndian(t.data(), t.size());
        e.b[k] = t.size() > 8 ? bigEndian(t.data() + 8, t.size() - 8) : 0;
        break;
    }
    case KeyKind::Int: e.a[k] = std::uint64_t(store.intValue(e.slot, column)) ^ (std::uint64_t(1) << 63); break;
    case KeyKind::Double: {
        const double d = store.doubleValue(e.slot, column);
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        e.a[k] = (bits >> 63) ? ~bits : bits ^ (std::uint64_t(1) << 63);
        break;
    }
    }
}

template<int N>
int compareKey(const Entry<N> &x, const Entry<N> &y, int k, const RowStore &store, int column)
{
    const bool xn = (x.nulls >> k) & 1u, yn = (y.nulls >> k) & 1u;
    if (xn || yn)
        return xn == yn ? 0 : (xn ? -1 : 1);
    if (x.a[k] != y.a[k])
        return x.a[k] < y.a[k] ? -1 : 1;
    if (x.b[k] != y.b[k])
        return x.b[k] < y.b[k] ? -1 : 1;
    if (x.size[k] > 16 && y.size[k] > 16) {
        const auto xt = store.text(x.slot, column), yt = store.text(y.slot, column);
        const int c = std::memcmp(xt.data() + 16, yt.data() + 16, std::min(xt.size(), yt.size()) - 16);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return x.size[k] < y.size[k] ? -1 : (x.size[k] > y.size[k] ? 1 : 0);
}

template<int N>
void sortEntries(const RowStore &store, std::vector<RowStore::Slot> &slots, const QList<SortColumn> &columns,
                 const QList<KeyKind> &kinds)
{
    int column[N];
    bool descending[N];
    for (int k = 0; k < N; ++k) {
        column[k] = columns[k].column;
        descending[k] = columns[k].descending;
    }
    const std::size_t n = slots.size();
    std::vector<Entry<N>> entries(n);
    auto fill = [&](Entry<N> &e, RowStore::Slot slot, std::size_t position) {
        e.slot = slot;
        e.position = std::uint32_t(position);
        e.nulls = 0;
        for (int k = 0; k < N; ++k)
            readKey(e, k, store, column[k], kinds[k]);
    };
    // After earlier sorts a buffer is far from storage order, and reading its keys in buffer
    // order waits on memory at every row. The entries need not start in buffer order, since
    // the position breaks ties: when the buffer holds most of the store, read the rows in
    // storage order instead, each carrying its position in the buffer.
    const std::size_t allocated = store.rowsAllocated();
    std::size_t filled = 0;
    if (n >= allocated / 4) {
        constexpr std::uint32_t Absent = 0xffffffffu;
        std::vector<std::uint32_t> positionOf(allocated, Absent);
        for (std::size_t r = 0; r < n; ++r)
            positionOf[slots[r]] = std::uint32_t(r);
        for (std::size_t s = 0; s < allocated && filled < n; ++s)
            if (positionOf[s] != Absent)
                fill(entries[filled++], RowStore::Slot(s), positionOf[s]);
    }
    if (filled != n) // a small buffer over a large store (or a slot listed twice)
        for (std::size_t r = 0; r < n; ++r)
            fill(entries[r], slots[r], r);
    std::sort(entries.begin(), entries.end(), [&](const Entry<N> &a, const Entry<N> &b) {
        for (int k = 0; k < N; ++k) {
            // The common case first: the first integers decide.
            if (!((a.nulls | b.nulls) >> k & 1u) && a.a[k] != b.a[k])
                return (a.a[k] < b.a[k]) != descending[k];
            int c = compareKey(a, b, k, store, column[k]);
            if (descending[k])
                c = -c;
            if (c != 0)
                return c < 0;
        }
        return a.position < b.position;
    });
    for (std::size_t r = 0; r < slots.size(); ++r)
        slots[r] = entries[r].slot;
}

} // namespace

bool DwSorter::validate(const DwDefinition &definition, const QString &format, QString &errorText)
{
    QList<SortColumn> columns;
    return parseFormat(definition, format, columns, errorText);
}

bool DwSorter::sort(const DwDefinition &definition, const RowStore &store, std::vector<RowStore::Slot> &slots,
                    const QString &format)
{
    QList<SortColumn> columns;
    QString error;
    if (!parseFormat(definition, format, columns, error))
        return false;
    // Up to four keys sort by value in place; beyond that the first four decide, then the rest
    // by a second stable pass from the least significant group.
    QList<KeyKind> kinds;
    for (const SortColumn &c : columns) {
        const ValueType t = store.type(c.column).valueType;
        kinds << (t == ValueType::String ? KeyKind::Text : (t == ValueType::Number ? KeyKind::Double : KeyKind::Int));
    }
    // Stable sorts compose: sort by the later keys first, then by the earlier ones.
    for (qsizetype end = columns.size(); end > 0; end -= 4) {
        const qsizetype start = std::max<qsizetype>(0, end - 4);
        const QList<SortColumn> group = columns.mid(start, end - start);
        const QList<KeyKind> groupKinds = kinds.mid(start, end - start);
        switch (group.size()) {
        case 1: sortEntries<1>(store, slots, group, groupKinds); break;
        case 2: sortEntries<2>(store, slots, group, groupKinds); break;
        case 3: sortEntries<3>(store, slots, group, groupKinds); break;
        default: sortEntries<4>(store, slots, group, groupKinds); break;
        }
    }
    return true;
}

bool DwSorter::parse(const DwDefinition &definition, const QString &format, QList<Key> &keys, QString &errorText)
{
    keys.clear();
    return parseFormat(definition, format, keys, errorText);
}

} // namespace rt
