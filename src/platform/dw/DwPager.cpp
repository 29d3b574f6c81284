#include "DwPager.h"

#include "DwDefinition.h"
#include "DwSorter.h"
#include "platform/core/SqlQuote.h"

#include <QRegularExpression>
#include <algorithm>
#include <QStringList>

namespace rt {

namespace {

QString term(const DwPager::Key &k)
{
    return k.collation.isEmpty() ? DwPager::columnReference(k.column)
                                 : DwPager::columnReference(k.column) + QStringLiteral(" COLLATE ") + k.collation;
}

QStringList orderTerms(const QList<DwPager::Key> &keys)
{
    QStringList order;
    for (const DwPager::Key &k : keys) {
        const QString c = term(k);
        if (k.notNull)
            order << c + (k.descending ? QStringLiteral(" DESC") : QString());
        else
            order << c + (k.descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" ASC NULLS FIRST"));
    }
    return order;
}

QString innerSelect(const QString &select)
{
    QString inner = select.trimmed();
    while (inner.endsWith(QLatin1Char(';')))
        inner.chop(1);
    return inner;
}

} // namespace

bool DwPager::orderKeys(const DwDefinition &def, const QString &sort, bool files, QList<Key> &keys, std::vector<int> &columns)
{
    keys.clear();
    columns.clear();
    const QList<int> keyColumns = def.keyColumns();
    if (keyColumns.isEmpty())
        return false;
    QList<DwSorter::Key> sortKeys;
    QString error;
    if (!sort.trimmed().isEmpty() && !DwSorter::parse(def, sort, sortKeys, error))
        return false;
    for (const DwSorter::Key &k : sortKeys) {
        if (std::find(columns.begin(), columns.end(), k.column) != columns.end())
            continue;
        const ValueType type = def.columnType(k.column).valueType;
        const bool notNull = keyColumns.contains(k.column);
        const QString name = def.column(k.column).name();
        if (type == ValueType::String) {
            // Text in the order a Chinese reader expects, as the sort in memory has it
            // (ChineseOrder). On the files hm_zh breaks its own ties; the server's ICU collation
            // is followed by code point order (ucs_basic: "C" would be folded to an unknown "c").
            keys << Key{name, k.descending, notNull, files ? QStringLiteral("hm_zh") : QStringLiteral("\"zh-x-icu\"")};
            if (!files) {
                keys << Key{name, k.descending, notNull, QStringLiteral("ucs_basic")};
                columns.push_back(k.column);
            }
        } else {
            keys << Key{name, k.descending, notNull, files && type == ValueType::Decimal ? QStringLiteral("hm_decimal") : QString()};
        }
        columns.push_back(k.column);
    }
    for (const int c : keyColumns) {
        if (std::find(columns.begin(), columns.end(), c) != columns.end())
            continue;
        keys << Key{def.column(c).name(), false, true, QString()};
        columns.push_back(c);
    }
    return true;
}

QList<DwPager::Key> DwPager::reversed(QList<Key> keys)
{
    // Ascending has nulls first and descending nulls last: turning the direction turns them too.
    for (Key &k : keys)
        k.descending = !k.descending;
    return keys;
}

QString DwPager::offsetSelect(const QString &select, const QList<Key> &keys, long offset, long limit)
{
    QString sql = QStringLiteral("SELECT * FROM (\n%1\n) hm_page").arg(innerSelect(select));
    if (!keys.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderTerms(keys).join(QStringLiteral(", "));
    sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(std::max<long>(limit, 0)).arg(std::max<long>(offset, 0));
    return sql;
}

QString DwPager::columnReference(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch() ? name : sqlIdentifier(name);
}

QString DwPager::pageSelect(const QString &select, const QList<Key> &keys, const QList<Value> *after, long limit,
                            QList<Value> &binds)
{
    binds.clear();
    const QString inner = innerSelect(select);
    const QStringList order = orderTerms(keys);
    // Rows after the last one: for some key k, every key before it equal and k itself after.
    QStringList alternatives;
    if (after && after->size() == keys.size()) {
        QStringList equalSoFar;
        QList<Value> equalBinds;
        for (int i = 0; i < keys.size(); ++i) {
            const Key &k = keys[i];
            const Value &v = (*after)[i];
            const QString c = term(k);
            QString beyond;
            QList<Value> beyondBinds;
            if (v.isNull()) {
                // Ascending, nulls are first: every value is after a null. Descending, nulls
                // are last: nothing is.
                if (!k.descending)
                    beyond = c + QStringLiteral(" IS NOT NULL");
            } else if (k.notNull) {
                beyond = c + (k.descending ? QStringLiteral(" < ?") : QStringLiteral(" > ?"));
                beyondBinds << v;
            } else {
                beyond = k.descending ? QStringLiteral("(%1 < ? OR %1 IS NULL)").arg(c) : c + QStringLiteral(" > ?");
                beyondBinds << v;
            }
            if (!beyond.isEmpty()) {
                QStringList terms = equalSoFar;
                terms << beyond;
                alternatives << (terms.size() > 1 ? QStringLiteral("(") + terms.join(QStringLiteral(" AND ")) + QStringLiteral(")")
                                                  : terms.first());
                binds << equalBinds << beyondBinds;
            }
            if (v.isNull()) {
                equalSoFar << c + QStringLiteral(" IS NULL");
            } else {
                equalSoFar << c + QStringLiteral(" = ?");
                equalBinds << v;
            }
        }
        if (alternatives.isEmpty())
            alternatives << QStringLiteral("1 = 0"); // the last row was the last there can be
    }
    // The select goes on a line of its own: a comment at its end must not swallow the rest.
    QString sql = QStringLiteral("SELECT * FROM (\n%1\n) hm_page").arg(inner);
    if (!alternatives.isEmpty())
        sql += QStringLiteral(" WHERE ") + alternatives.join(QStringLiteral(" OR "));
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    if (limit > 0)
        sql += QStringLiteral(" LIMIT ") + QString::number(limit);
    return sql;
}

} // namespace rt
