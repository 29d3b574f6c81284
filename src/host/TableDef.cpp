#include "host/TableDef.h"

#include "platform/core/SqlQuote.h"

#include <QStringList>

namespace host {

QList<ColumnDef> TableDef::historyColumns() const
{
    QList<ColumnDef> out;
    out.append({surrogateKey(), QStringLiteral("历史序号"), ColumnType::Long, 0, true, true});
    for (ColumnDef c : liveColumns) {
        c.key = false;
        c.identity = false;
        out.append(c);
    }
    out.append({saveTimeColumn(), QStringLiteral("保存时间"), ColumnType::DateTime, 0, false, false});
    return out;
}

const ColumnDef *TableDef::liveColumn(const QString &name) const
{
    for (const ColumnDef &c : liveColumns) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

bool TableDef::orderNoIsIdentity() const
{
    const ColumnDef *c = liveColumn(QStringLiteral("orderno"));
    return c && c->identity;
}

QString TableDef::createLiveSql() const
{
    QStringList parts;
    for (const ColumnDef &c : liveColumns) {
        QString part = rt::sqlIdentifier(c.name) + QLatin1Char(' ');
        if (c.identity)
            part += QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
        else if (c.key && !orderNoIsIdentity())
            part += c.sqliteType() + QStringLiteral(" NOT NULL PRIMARY KEY");
        else if (c.key)
            part += c.sqliteType() + QStringLiteral(" NOT NULL UNIQUE");
        else
            part += c.sqliteType();
        if (c.name == QLatin1String("issave"))
            part += QStringLiteral(" DEFAULT '0'");
        parts << part;
    }
    return QStringLiteral("CREATE TABLE %1 (\n  %2\n)").arg(rt::sqlIdentifier(liveTable), parts.join(QStringLiteral(",\n  ")));
}

QString TableDef::createHistorySql() const
{
    QStringList parts;
    for (const ColumnDef &c : historyColumns()) {
        if (c.name == surrogateKey())
            parts << rt::sqlIdentifier(c.name) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        else if (c.name == saveTimeColumn())
            parts << rt::sqlIdentifier(c.name) + QStringLiteral(" DATETIME NOT NULL");
        else
            parts << rt::sqlIdentifier(c.name) + QLatin1Char(' ') + c.sqliteType();
    }
    return QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
        .arg(rt::sqlIdentifier(historyTable), parts.join(QStringLiteral(",\n  ")));
}

QStringList TableDef::createHistoryIndexesSql() const
{
    const QString t = rt::sqlIdentifier(historyTable);
    QStringList out;
    auto index = [&](const QString &suffix, const QString &columns) {
        out << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                   .arg(rt::sqlIdentifier(historyTable.toLower() + QLatin1Char('_') + suffix), t, columns);
    };
    index(QStringLiteral("savetime"), QStringLiteral("\"SaveTime\""));
    if (stem == QLatin1String("ge_rpr")) {
        index(QStringLiteral("rprno"), QStringLiteral("\"RprNo\", \"SaveTime\""));
    } else if (stem == QLatin1String("ge_personinfo")) {
        index(QStringLiteral("personno"), QStringLiteral("\"PersonNo\", \"SaveTime\""));
        index(QStringLiteral("rprno"), QStringLiteral("\"RprNo\""));
    } else {
        index(QStringLiteral("personno"), QStringLiteral("\"personno\", \"SaveTime\""));
    }
    return out;
}

} // namespace host
