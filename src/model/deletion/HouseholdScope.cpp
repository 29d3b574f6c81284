#include "model/deletion/HouseholdScope.h"

#include "host/SchemaCatalogue.h"
#include "host/TableDef.h"
#include "model/CategoryTable.h"
#include "model/HistorySql.h"
#include "model/deletion/PurgeDates.h"
#include "platform/core/SqlQuote.h"

namespace model {

QString HouseholdScope::Table::countSql(const rt::Transaction &t) const
{
    return QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(HistorySql::ident(t, table), where);
}

QList<HouseholdScope::Table> HouseholdScope::of(const rt::Transaction &t, const PurgeDates &dates)
{
    auto id = [&t](const char *name) { return HistorySql::ident(t, QString::fromLatin1(name)); };
    const QString scope = dates.procedureCondition(HistorySql::ident(t, host::TableDef::saveTimeColumn()));
    const QList<rt::Value> values = dates.procedureValues();
    const QString households = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(id("RprNo"), id("th_ge_rpr"), scope);
    QList<Table> out;
    out << Table{QStringLiteral("th_ge_rpr"), scope, values};
    out << Table{QStringLiteral("th_ge_personinfo"), QStringLiteral("%1 AND %2 IN (%3)").arg(scope, id("RprNo"), households),
                 values + values};
    for (const Category *c : CategoryTable::cascade()) {
        out << Table{c->historyTable,
                     QStringLiteral("%1 AND %2 IN (SELECT %3 FROM %4 WHERE %5 IN (%6))")
                         .arg(scope, id("personno"), id("PersonNo"), id("th_ge_personinfo"), id("RprNo"), households),
                     values + values};
    }
    return out;
}

QList<std::pair<QString, QString>> HouseholdScope::ofKey(bool household)
{
    QList<std::pair<QString, QString>> out;
    const QString persons = household ? QStringLiteral("SELECT PersonNo FROM th_ge_personinfo WHERE RprNo = ?")
                                      : QStringLiteral("SELECT ?");
    for (const host::TableDef *related : host::SchemaCatalogue::relatedTables())
        out << std::pair(related->historyTable, QStringLiteral("SELECT count(*) FROM %1 WHERE personno IN (%2)")
                                                    .arg(rt::sqlIdentifier(related->historyTable), persons));
    out << std::pair(QStringLiteral("th_ge_personinfo"),
                     QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE %1 = ?").arg(household ? "RprNo" : "PersonNo"));
    if (household)
        out << std::pair(QStringLiteral("th_ge_rpr"), QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = ?"));
    return out;
}

} // namespace model
