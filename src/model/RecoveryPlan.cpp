#include "model/RecoveryPlan.h"

#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"
#include "platform/core/Cursor.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

namespace model {

LiveState RecoveryPlan::liveState(rt::Transaction &live, const Category &category, const QString &key)
{
    LiveState state;
    const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
    if (!table) {
        state.error = QStringLiteral("unknown category %1").arg(category.stem);
        return state;
    }
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    const int rc = live.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                                       .arg(rt::sqlIdentifier(table->liveTable), rt::sqlIdentifier(table->keyColumn)),
                                   {key}, n);
    if (rc != 0) {
        state.error = live.SQLErrText();
        return state;
    }
    state.kind = n[0].longValue() > 0 ? LiveState::Present : LiveState::Absent;
    return state;
}

bool RecoveryPlan::selectLiveRecord(rt::DataStore &current, const Category &category, rt::Transaction &live)
{
    const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
    if (!table || current.SetDataObject(category.singleRowTarget) != 1)
        return false;
    current.SetSQLSelect(current.GetSQLSelect() + QStringLiteral(" WHERE ") + rt::sqlIdentifier(table->keyColumn)
                         + QStringLiteral(" = ?"));
    current.SetTransObject(&live);
    return true;
}

bool RecoveryPlan::latestRow(rt::Transaction &history, const Category &category, const QString &personno,
                             rt::Value &hisid, QString &error, const QList<rt::Value> &excluded)
{
    hisid = rt::Value::null(rt::ValueType::Long);
    // The latest snapshot is matched in SQL, so a SaveTime stored in any form the database
    // accepts still compares equal to its own maximum.
    const QString T = rt::sqlIdentifier(category.historyTable);
    QString passOver;
    QList<rt::Value> params{personno};
    if (!excluded.isEmpty()) {
        QStringList marks;
        for (qsizetype i = 0; i < excluded.size(); ++i)
            marks << QStringLiteral("?");
        passOver = QStringLiteral(" AND hisid NOT IN (%1)").arg(marks.join(QStringLiteral(", ")));
        params << excluded;
    }
    params << personno << excluded;
    QList<rt::Value> into{rt::Value::null(rt::ValueType::Long)};
    const int rc = history.selectInto(QStringLiteral("SELECT min(hisid) FROM %1 WHERE personno = ?%2 AND SaveTime = "
                                                     "(SELECT max(SaveTime) FROM %1 WHERE personno = ?%2)")
                                          .arg(T, passOver),
                                      params, into);
    if (rc == -1) {
        error = history.SQLErrText();
        return false;
    }
    if (rc == 0)
        hisid = into[0];
    return true;
}

bool RecoveryPlan::relatedMoves(rt::Transaction &history, rt::Transaction &live, const QString &personno,
                                QList<PlannedMove> &out, QString &error)
{
    for (const Category *category : CategoryTable::cascade()) {
        PlannedMove move;
        if (!latestRow(history, *category, personno, move.hisid, error))
            return false;
        if (move.hisid.isNull())
            continue;
        move.category = category;
        move.key = personno;
        move.live = liveState(live, *category, personno);
        if (move.live.unknown()) {
            error = move.live.error;
            return false;
        }
        out << move;
    }
    return true;
}

bool RecoveryPlan::householdPersons(rt::Transaction &history, const QString &rprno, QStringList &out, QString &error)
{
    rt::Cursor cur(history, QStringLiteral("SELECT personno FROM th_ge_personinfo WHERE rprno = ? GROUP BY personno "
                                           "ORDER BY min(hisid)"));
    if (cur.open({rprno}) != 0) {
        error = history.SQLErrText();
        return false;
    }
    QList<rt::Value> row{rt::Value::null(rt::ValueType::String)};
    int rc = 0;
    while ((rc = cur.fetch(row)) == 0)
        out << row[0].string();
    if (rc == -1)
        error = history.SQLErrText();
    cur.close();
    return rc != -1;
}

} // namespace model
