#include "model/recovery/RecoveryMove.h"

#include "host/IsSave.h"
#include "host/LockHint.h"
#include "model/CategoryTable.h"
#include "model/recovery/LiveReplacement.h"
#include "model/recovery/RecoveryPlan.h"
#include "model/recovery/RecoveryTransaction.h"
#include "platform/core/DeclaredProcedure.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

namespace model {

bool RecoveryMove::move(const rt::DataStore &source, long ll_row, const QString &as_target, RecoveryWay way,
                        RecoveryTransaction &tx, bool replace, const QList<rt::Value> *shown)
{
    rt::Transaction &sqlca = tx.sqlca();
    if (as_target.isEmpty() || ll_row < 1)
        return false;
    const QString historyTable = source.Describe(QStringLiteral("datawindow.Table.UpdateTable"));
    if (replace) {
        const Category *category = CategoryTable::byStem(as_target.mid(3));
        if (!category)
            return tx.fail(QString::fromUtf8("保存恢复数据时失败"));
        if (!LiveReplacement::replace(source, ll_row, *category, tx, QString(), shown))
            return false;
    } else {
        rt::DataStore lds_curtable;
        if (lds_curtable.SetDataObject(as_target) != 1)
            return tx.fail(QString::fromUtf8("保存恢复数据时失败\r\n") + lds_curtable.lastError());
        lds_curtable.SetTransObject(&sqlca);
        if (copyColumns(source, ll_row, lds_curtable) <= 0)
            return tx.fail(QString::fromUtf8("保存恢复数据时失败"));
        if (lds_curtable.Update() != 1)
            return tx.fail(host::LockHint::add("保存恢复数据时失败", sqlca, true));
        tx.wrote();
    }
    // The history row leaves in the same transaction as the live row arrives.
    if (!tx.takeFromHistory(historyTable, source.GetItem(ll_row, "hisid"), QString::fromUtf8("删除历史信息失败"), QString(), true))
        return false;
    if (way != RecoveryWay::Related)
        return true;
    // A related record of a person removed from the live register brings the person back. The
    // person's state is that of the latest snapshot (a person has one per save); a copy of a
    // replaced live state (issave 4) is no snapshot.
    const QString ls_personno = source.GetItemString(ll_row, "personno");
    QList<rt::Value> ls_issave{rt::Value::null(rt::ValueType::String)};
    const int found = sqlca.selectInto(QStringLiteral("SELECT issave FROM th_ge_personinfo WHERE personno = ? "
                                                      "AND (issave IS NULL OR issave <> ?) ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                                       {ls_personno, host::IsSave::replaced()}, ls_issave);
    if (found == -1)
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取个人历史信息失败"), &sqlca));
    if (found != 0 || ls_issave[0].isNull() || ls_issave[0].string().trimmed() != host::IsSave::removedPerson())
        return true;
    const Category *person = CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    const LiveState before = RecoveryPlan::liveState(sqlca, *person, ls_personno);
    if (before.unknown())
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取现有人口信息失败"), &sqlca, QString(), before.error));
    const bool wasLive = before.present();
    rt::DeclaredProcedure dp_delperson(sqlca, QStringLiteral("proc_JustifyDelPerson @as_personno = :ls_personno"));
    dp_delperson.execute({{QStringLiteral("ls_personno"), rt::Value(ls_personno)}});
    if (sqlca.SQLCode() == -1)
        return tx.fail(host::LockHint::add("删除个人历史信息失败!", sqlca, true));
    dp_delperson.close();
    const LiveState after = RecoveryPlan::liveState(sqlca, *person, ls_personno);
    if (after.unknown())
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取现有人口信息失败"), &sqlca, QString(), after.error));
    if (!wasLive && after.present())
        tx.addDetail(QString::fromUtf8("人员 %1 按最近的历史记录重新加入现有信息").arg(ls_personno));
    return true;
}

long RecoveryMove::copyColumns(const rt::DataStore &source, long ll_row, rt::DataStore &target, long targetRow)
{
    const bool over = targetRow > 0;
    const long ll_insert = over ? targetRow : target.InsertRow(0);
    if (ll_insert < 1 || ll_insert > target.RowCount())
        return -1;
    const int ll_colcount = source.Describe(QStringLiteral("datawindow.column.count")).toInt();
    const bool identityOrderNo = target.Describe(QStringLiteral("orderno.identity")).toLower() == QLatin1String("yes");
    for (int ll_i = 1; ll_i <= ll_colcount; ++ll_i) {
        const QString ls_colname = source.Describe(QStringLiteral("#%1.Name").arg(ll_i));
        const QString ls_coltype = source.Describe(QStringLiteral("#%1.ColType").arg(ll_i)).toLower();
        const QString lower = ls_colname.toLower();
        if (lower == QLatin1String("savetime"))
            continue;
        // A record keeps its key when it is replaced.
        if (over && target.Describe(ls_colname + QStringLiteral(".key")).toLower() == QLatin1String("yes"))
            continue;
        if (lower == QLatin1String("issave")) {
            const QString ls_issave = source.GetItemString(ll_row, ls_colname);
            // 5 and 6 mark a cancelled household or removed person, 4 the copy of a replaced
            // record: none of them is the live record's own code.
            if (ls_issave == host::IsSave::cancelledHousehold() || ls_issave == host::IsSave::removedPerson()
                || ls_issave == host::IsSave::replaced()) {
                target.SetItem(ll_insert, ls_colname, rt::Value(host::IsSave::live()));
                continue;
            }
        }
        if (lower == QLatin1String("orderno") && identityOrderNo)
            continue;
        const QString kind = ls_coltype.left(4);
        rt::Value value;
        if (kind == QLatin1String("char"))
            value = rt::Value(source.GetItemString(ll_row, ll_i));
        else if (kind == QLatin1String("date") && ls_coltype == QLatin1String("datetime"))
            value = source.GetItemDateTime(ll_row, ll_i);
        else if (kind == QLatin1String("date") && ls_coltype == QLatin1String("date"))
            value = source.GetItemDate(ll_row, ll_i);
        else if (kind == QLatin1String("int") || kind == QLatin1String("long") || kind == QLatin1String("ulon")
                 || kind == QLatin1String("numb") || kind == QLatin1String("real"))
            value = source.GetItemNumber(ll_row, ll_i);
        else if (kind == QLatin1String("time"))
            value = source.GetItemTime(ll_row, ll_i);
        else if (kind == QLatin1String("deci"))
            value = source.GetItemDecimal(ll_row, ll_i);
        else
            continue;
        // A new row keeps the live column's default for a null; a replaced record takes the
        // null, so that it equals the history row afterwards.
        if (value.isNull() && !over)
            continue;
        target.SetItem(ll_insert, ls_colname, value); // a target without the column ignores it
    }
    return ll_insert;
}

} // namespace model
