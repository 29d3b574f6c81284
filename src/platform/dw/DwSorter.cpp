#include "DwSorter.h"

#include "DwDefinition.h"
#include "platform/core/ChineseOrder.h"

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <unordered_map>

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

// Sort keys are read once per row before sorting, so that comparisons rarely touch row storage.
// Text in the order a Chinese reader expects (ChineseOrder) is its rank among the distinct texts
// of the rows, each collated once rather than at every comparison. A column whose texts are all
// digits (人员编号, 户号: what large grids are most often sorted by) is in byte order, and skips
// the ranking: it keeps its first 16 bytes as two big-endian integers and its length, and the
// rare keys that agree in those are finished from the row storage. Numbers are an
// order-preserving 64-bit image. An entry holds only these integers, so most comparisons are one
// or two integer ones on a small, cache-friendly record.
enum class KeyKind { Text, Bytes, Int, Double };

// The rank of each distinct text of a column among the rows to sort.
using TextRanks = std::unordered_map<std::string_view, std::uint64_t>;

TextRanks rankTexts(const RowStore &store, const std::vector<RowStore::Slot> &slots, int column)
{
    TextRanks ranks;
    for (const RowStore::Slot s : slots)
        if (!store.isNull(s, column))
            ranks.emplace(store.text(s, column), 0);
    std::vector<std::string_view> texts;
    texts.reserve(ranks.size());
    for (const auto &[text, rank] : ranks)
        texts.push_back(text);
    ChineseOrder::sortUtf8(texts);
    for (std::size_t i = 0; i < texts.size(); ++i)
        ranks[texts[i]] = i;
    return ranks;
}

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
    std::uint32_t size[N];  // text length (bytes keys); for a null key, 0 with the null bit set
    RowStore::Slot slot;
    std::uint32_t position; // breaks ties, which makes the sort stable
    std::uint32_t nulls;    // bit k: key k is null
};

template<int N>
void readKey(Entry<N> &e, int k, const RowStore &store, int column, KeyKind kind, const TextRanks &ranks)
{
    e.a[k] = e.b[k] = 0;
    e.size[k] = 0;
    if (store.isNull(e.slot, column)) {
        e.nulls |= 1u << k;
        return;
    }
    switch (kind) {
    case KeyKind::Text: e.a[k] = ranks.at(store.text(e.slot, column)); break;
    case KeyKind::Bytes: {
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
    KeyKind kind[N];
    TextRanks ranks[N];
    bool ranked[N]; // a text column found not to be in byte order: ranked after the first pass
    for (int k = 0; k < N; ++k) {
        column[k] = columns[k].column;
        descending[k] = columns[k].descending;
        // Text is read as bytes first, while the row is at hand anyway; a column with any text
        // not in byte order is ranked instead once all rows are read.
        kind[k] = kinds[k] == KeyKind::Text ? KeyKind::Bytes : kinds[k];
        ranked[k] = false;
    }
    const std::size_t n = slots.size();
    std::vector<Entry<N>> entries(n);
    auto fill = [&](Entry<N> &e, RowStore::Slot slot, std::size_t position) {
        e.slot = slot;
        e.position = std::uint32_t(position);
        e.nulls = 0;
        for (int k = 0; k < N; ++k) {
            readKey(e, k, store, column[k], kind[k], ranks[k]);
            if (kind[k] == KeyKind::Bytes && !ranked[k] && !store.isNull(slot, column[k])
                && !ChineseOrder::bytewise(store.text(slot, column[k])))
                ranked[k] = true;
        }
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
    for (int k = 0; k < N; ++k) {
        if (!ranked[k])
            continue;
        kind[k] = KeyKind::Text;
        ranks[k] = rankTexts(store, slots, column[k]);
        for (Entry<N> &e : entries)
            if (!((e.nulls >> k) & 1u))
                readKey(e, k, store, column[k], kind[k], ranks[k]);
    }
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
