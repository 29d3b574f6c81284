#include "DwSorter.h"

#include "DwDefinition.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

namespace rt {

namespace {

struct SortColumn
{
    int column;
    bool descending;
};

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

// One sort key, read once per row before sorting so that comparisons rarely touch row storage:
// text keeps its first 16 bytes as two big-endian integers (byte order is code-point order in
// UTF-8), numbers an order-preserving 64-bit image, so most comparisons are two integer ones.
struct Key
{
    std::uint64_t a = 0, b = 0;
    const char *text = nullptr; // the whole text, for keys longer than 16 bytes
    std::uint32_t size = 0;
    std::uint32_t null = 1;
};

enum class KeyKind { Text, Int, Double };

std::uint64_t bigEndian(const char *p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = (v << 8) | (i < n ? std::uint8_t(p[i]) : 0u);
    return v;
}

Key makeKey(const RowStore &store, RowStore::Slot slot, int column, KeyKind kind)
{
    Key key;
    if (store.isNull(slot, column))
        return key;
    key.null = 0;
    switch (kind) {
    case KeyKind::Text: {
        const auto t = store.text(slot, column);
        key.text = t.data();
        key.size = std::uint32_t(t.size());
        key.a = bigEndian(t.data(), t.size());
        key.b = t.size() > 8 ? bigEndian(t.data() + 8, t.size() - 8) : 0;
        break;
    }
    case KeyKind::Int: key.a = std::uint64_t(store.intValue(slot, column)) ^ (std::uint64_t(1) << 63); break;
    case KeyKind::Double: {
        const double d = store.doubleValue(slot, column);
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        key.a = (bits >> 63) ? ~bits : bits ^ (std::uint64_t(1) << 63);
        break;
    }
    }
    return key;
}

int compareKey(const Key &x, const Key &y)
{
    if (x.null || y.null)
        return x.null == y.null ? 0 : (x.null ? -1 : 1);
    if (x.a != y.a)
        return x.a < y.a ? -1 : 1;
    if (x.b != y.b)
        return x.b < y.b ? -1 : 1;
    if (x.size > 16 && y.size > 16) {
        const int c = std::memcmp(x.text + 16, y.text + 16, std::min(x.size, y.size) - 16);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return x.size < y.size ? -1 : (x.size > y.size ? 1 : 0);
}

template<int N>
struct Entry
{
    Key keys[N];
    RowStore::Slot slot;
    std::uint32_t position; // breaks ties, which makes the sort stable
};

template<int N>
void sortEntries(const RowStore &store, std::vector<RowStore::Slot> &slots, const QList<SortColumn> &columns,
                 const QList<KeyKind> &kinds)
{
    std::vector<Entry<N>> entries(slots.size());
    for (std::size_t r = 0; r < slots.size(); ++r) {
        Entry<N> &e = entries[r];
        e.slot = slots[r];
        e.position = std::uint32_t(r);
        for (int k = 0; k < N; ++k)
            e.keys[k] = makeKey(store, e.slot, columns[k].column, kinds[k]);
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry<N> &a, const Entry<N> &b) {
        for (int k = 0; k < N; ++k) {
            int c = compareKey(a.keys[k], b.keys[k]);
            if (columns[k].descending)
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

} // namespace rt
