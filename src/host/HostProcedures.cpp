#include "host/HostProcedures.h"

#include "host/IsSave.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QStringList>

namespace host {

namespace {

using rt::ProcedureArgs;
using rt::Transaction;
using rt::Value;
using rt::ValueType;

QString ident(const QString &name)
{
    return rt::sqlIdentifier(name);
}

// Runs one statement of a procedure; "changed nothing" (100) is no failure.
bool run(Transaction &t, const QString &sql, const QList<Value> &params, QString &error)
{
    if (t.execute(sql, params) == -1) {
        error = t.SQLErrText();
        return false;
    }
    return true;
}

int delRpr(Transaction &t, const ProcedureArgs &args, QString &error)
{
    const Value rprNo = args.value(QStringLiteral("s_rprno")).convertedTo(ValueType::String);
    // Related history first: the persons are found through the person history that follows.
    for (const TableDef *related : SchemaCatalogue::relatedTables()) {
        const QString sql = QStringLiteral("DELETE FROM %1 WHERE personno IN (SELECT PersonNo FROM th_ge_personinfo "
                                           "WHERE RprNo = ?1)")
                                .arg(ident(related->historyTable));
        if (!run(t, sql, {rprNo}, error))
            return -1;
    }
    if (!run(t, QStringLiteral("DELETE FROM th_ge_personinfo WHERE RprNo = ?1"), {rprNo}, error)
        || !run(t, QStringLiteral("DELETE FROM th_ge_rpr WHERE RprNo = ?1"), {rprNo}, error))
        return -1;
    return 0;
}

int delPerson(Transaction &t, const ProcedureArgs &args, QString &error)
{
    const Value personNo = args.value(QStringLiteral("s_personno")).convertedTo(ValueType::String);
    for (const TableDef *related : SchemaCatalogue::relatedTables()) {
        if (!run(t, QStringLiteral("DELETE FROM %1 WHERE personno = ?1").arg(ident(related->historyTable)), {personNo},
                 error))
            return -1;
    }
    return run(t, QStringLiteral("DELETE FROM th_ge_personinfo WHERE PersonNo = ?1"), {personNo}, error) ? 0 : -1;
}

int justifyDelPerson(Transaction &t, const ProcedureArgs &args, QString &error)
{
    const Value personNo = args.value(QStringLiteral("as_personno")).convertedTo(ValueType::String);
    QList<Value> latest{Value::null(ValueType::Long), Value::null(ValueType::String)};
    // The person's latest snapshot; a copy of a replaced live state (issave 4) is no snapshot.
    const int found = t.selectInto(QStringLiteral("SELECT hisid, issave FROM th_ge_personinfo WHERE PersonNo = ?1 "
                                                  "AND (issave IS NULL OR issave <> ?2) ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                                   {personNo, Value(IsSave::replaced())}, latest);
    if (found == -1) {
        error = t.SQLErrText();
        return -1;
    }
    if (found == 100 || latest[1].isNull() || latest[1].string().trimmed() != IsSave::removedPerson())
        return 0; // the person was not removed from the live register
    QList<Value> count{Value::null(ValueType::Long)};
    if (t.selectInto(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = ?1"), {personNo}, count) == -1) {
        error = t.SQLErrText();
        return -1;
    }
    if (count[0].longValue() > 0)
        return 0;
    const TableDef *person = SchemaCatalogue::byStem(QStringLiteral("ge_personinfo"));
    QStringList columns, values;
    for (const ColumnDef &c : person->liveColumns) {
        columns << ident(c.name);
        values << (c.name == QLatin1String("issave") ? QStringLiteral("'0'") : ident(c.name));
    }
    const QString sql = QStringLiteral("INSERT INTO main.ge_personinfo (%1) SELECT %2 FROM th_ge_personinfo WHERE hisid = ?1")
                            .arg(columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
    return run(t, sql, {latest[0]}, error) ? 0 : -1;
}

int delRprScope(Transaction &t, const ProcedureArgs &args, QString &error)
{
    bool ok = true;
    const Value flag = args.value(QStringLiteral("pi_flag")).convertedTo(ValueType::Long, &ok);
    if (!ok || flag.isNull()) {
        error = QStringLiteral("proc_DelRprScope: @pi_flag must be 1, 2 or 3");
        return -1;
    }
    const Value start = args.value(QStringLiteral("pd_start")).convertedTo(ValueType::DateTime, &ok);
    if (!ok) {
        error = QStringLiteral("proc_DelRprScope: @pd_start is not a date");
        return -1;
    }
    const Value end = args.value(QStringLiteral("pd_end")).convertedTo(ValueType::DateTime, &ok);
    if (!ok) {
        error = QStringLiteral("proc_DelRprScope: @pd_end is not a date");
        return -1;
    }
    QString scope;
    switch (flag.longValue()) {
    case 1: scope = QStringLiteral("1 = 1"); break;
    case 2: scope = QStringLiteral("SaveTime <= ?1"); break;
    case 3: scope = QStringLiteral("SaveTime >= ?1 AND SaveTime <= ?2"); break;
    default: error = QStringLiteral("proc_DelRprScope: @pi_flag must be 1, 2 or 3"); return -1;
    }
    QList<Value> params;
    if (flag.longValue() >= 2)
        params << start;
    if (flag.longValue() == 3)
        params << end;
    const QString households = QStringLiteral("SELECT RprNo FROM th_ge_rpr WHERE %1").arg(scope);
    for (const TableDef *related : SchemaCatalogue::relatedTables()) {
        const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 AND personno IN (SELECT PersonNo FROM "
                                           "th_ge_personinfo WHERE RprNo IN (%3))")
                                .arg(ident(related->historyTable), scope, households);
        if (!run(t, sql, params, error))
            return -1;
    }
    if (!run(t, QStringLiteral("DELETE FROM th_ge_personinfo WHERE %1 AND RprNo IN (%2)").arg(scope, households), params,
             error)
        || !run(t, QStringLiteral("DELETE FROM th_ge_rpr WHERE %1").arg(scope), params, error))
        return -1;
    return 0;
}

} // namespace

void HostProcedures::registerHistoryProcedures(Transaction &photosqlca)
{
    photosqlca.registerProcedure(QStringLiteral("proc_delrpr"), delRpr);
    photosqlca.registerProcedure(QStringLiteral("proc_delperson"), delPerson);
    photosqlca.registerProcedure(QStringLiteral("proc_DelRprScope"), delRprScope);
}

void HostProcedures::registerLiveProcedures(Transaction &sqlca)
{
    sqlca.registerProcedure(QStringLiteral("proc_JustifyDelPerson"), justifyDelPerson);
}

} // namespace host
