#include "DwPager.h"

#include "platform/core/SqlQuote.h"

#include <QRegularExpression>
#include <QStringList>

namespace rt {

QString DwPager::columnReference(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch() ? name : sqlIdentifier(name);
}

QString DwPager::pageSelect(const QString &select, const QList<Key> &keys, const QList<Value> *after, long limit,
                            QList<Value> &binds)
{
    binds.clear();
    QString inner = select.trimmed();
    while (inner.endsWith(QLatin1Char(';')))
        inner.chop(1);
    QStringList order;
    const auto term = [](const Key &k) {
        return k.collation.isEmpty() ? columnReference(k.column)
                                     : columnReference(k.column) + QStringLiteral(" COLLATE ") + k.collation;
    };
    for (const Key &k : keys) {
        const QString c = term(k);
        if (k.notNull)
            order << c + (k.descending ? QStringLiteral(" DESC") : QString());
        else
            order << c + (k.descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" ASC NULLS FIRST"));
    }
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
