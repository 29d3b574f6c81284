#include "model/recovery/RecoveryPlan.h"

#include "host/IsSave.h"

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
                             rt::Value &hisid, QString &error)
{
    hisid = rt::Value::null(rt::ValueType::Long);
    // The latest snapshot is matched in SQL, so a SaveTime stored in any form the database
    // accepts still compares equal to its own maximum.
    const QString T = rt::sqlIdentifier(category.historyTable);
    const QString snapshot = QStringLiteral("personno = ? AND (issave IS NULL OR issave <> ?)");
    QList<rt::Value> into{rt::Value::null(rt::ValueType::Long)};
    const int rc = history.selectInto(QStringLiteral("SELECT min(hisid) FROM %1 WHERE %2 AND SaveTime = "
                                                     "(SELECT max(SaveTime) FROM %1 WHERE %2)")
                                          .arg(T, snapshot),
                                      {personno, host::IsSave::replaced(), personno, host::IsSave::replaced()}, into);
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

bool RecoveryPlan::householdMembers(rt::Transaction &history, rt::Transaction &live, const QString &rprno,
                                   QList<MemberPlan> &out, QString &error)
{
    QStringList persons;
    if (!householdPersons(history, rprno, persons, error))
        return false;
    const Category *person = CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    for (const QString &personno : persons) {
        MemberPlan m;
        m.personno = personno;
        // The member's latest row in this household, and the latest that is a snapshot (a copy
        // of a replaced live state, issave 4, is not).
        QList<rt::Value> latest{rt::Value::null(rt::ValueType::String)};
        QList<rt::Value> snapshot{rt::Value::null(rt::ValueType::Long), rt::Value::null(rt::ValueType::String)};
        int found = history.selectInto(QStringLiteral("SELECT personname FROM th_ge_personinfo WHERE PersonNo = ? AND RprNo = ? "
                                                      "ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                                       {personno, rprno}, latest);
        if (found != -1)
            found = history.selectInto(QStringLiteral("SELECT hisid, issave FROM th_ge_personinfo WHERE PersonNo = ? AND RprNo = ? "
                                                      "AND (issave IS NULL OR issave <> ?) ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                                       {personno, rprno, host::IsSave::replaced()}, snapshot);
        if (found == -1) {
            error = QStringLiteral("%1：%2").arg(personno, history.SQLErrText());
            return false;
        }
        m.name = latest[0].isNull() ? QString() : latest[0].string();
        const LiveState state = liveState(live, *person, personno);
        if (state.unknown()) {
            error = QString::fromUtf8("%1（%2）：%3").arg(m.name, personno, state.error);
            return false;
        }
        m.cancelled = found == 0 && !snapshot[1].isNull() && snapshot[1].string().trimmed() == host::IsSave::cancelledHousehold();
        if (state.present()) {
            m.fate = MemberPlan::Live;
        } else if (m.cancelled) {
            m.fate = MemberPlan::Back;
            m.snapshot = snapshot[0];
        }
        out << m;
    }
    return true;
}

QString RecoveryPlan::membersText(const QStringList &back, const QStringList &live, const QStringList &kept)
{
    QStringList parts;
    if (!back.isEmpty())
        parts << QString::fromUtf8("随户注销的人员恢复到现有人口信息 %1 人：%2").arg(back.size()).arg(back.join(QString::fromUtf8("、")));
    if (!live.isEmpty())
        parts << QString::fromUtf8("已在现有人口信息中的人员 %1 人，删除其在本户的个人历史信息：%2")
                     .arg(live.size())
                     .arg(live.join(QString::fromUtf8("、")));
    if (!kept.isEmpty())
        parts << QString::fromUtf8("保留全部历史信息的人员 %1 人：%2").arg(kept.size()).arg(kept.join(QString::fromUtf8("、")));
    return parts.isEmpty() ? QString::fromUtf8("户中没有人员的历史信息") : parts.join(QString::fromUtf8("；"));
}

} // namespace model
