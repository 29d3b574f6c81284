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

// One sort key, read once per row before sorting so the comparisons touch no row storage.
struct Key
{
    union {
        const char *text;
        std::int64_t i;
        double d;
    };
    std::uint32_t size = 0;
    std::uint32_t null = 1;
    Key() : i(0) {}
};

enum class KeyKind { Text, Int, Double };

int compareKey(const Key &a, const Key &b, KeyKind kind)
{
    if (a.null || b.null)
        return a.null == b.null ? 0 : (a.null ? -1 : 1);
    switch (kind) {
    case KeyKind::Text: {
        const int c = std::memcmp(a.text, b.text, std::min(a.size, b.size));
        if (c != 0)
            return c < 0 ? -1 : 1;
        return a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
    }
    case KeyKind::Int: return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    case KeyKind::Double: return a.d < b.d ? -1 : (a.d > b.d ? 1 : 0);
    }
    return 0;
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
        for (int k = 0; k < N; ++k) {
            const int c = columns[k].column;
            Key &key = e.keys[k];
            key.null = store.isNull(e.slot, c);
            if (key.null)
                continue;
            if (kinds[k] == KeyKind::Text) {
                const auto t = store.text(e.slot, c);
                key.text = t.data();
                key.size = std::uint32_t(t.size());
            } else if (kinds[k] == KeyKind::Double) {
                key.d = store.doubleValue(e.slot, c);
            } else {
                key.i = store.intValue(e.slot, c);
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry<N> &a, const Entry<N> &b) {
        for (int k = 0; k < N; ++k) {
            int c = compareKey(a.keys[k], b.keys[k], kinds[k]);
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
