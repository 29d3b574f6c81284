#include "model/recovery/RecoveryCascades.h"

#include "model/recovery/RecoveryMove.h"
#include "model/recovery/LiveReplacement.h"
#include "model/recovery/RecoveryTransaction.h"

#include "host/IsSave.h"
#include "host/LockHint.h"
#include "model/CategoryTable.h"
#include "model/recovery/RecoveryPlan.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/SyntaxFromSql.h"

#include <memory>

namespace model {

namespace {

// A DataStore for a select on the recovery's transaction, made at run time; null once the
// recovery has failed with the reason.
std::unique_ptr<rt::DataStore> storeFor(RecoveryTransaction &tx, const QString &sql, const char *syntaxFailure,
                                        const char *createFailure)
{
    QString ls_errors;
    const QString ls_syntax = rt::SyntaxFromSql::build(tx.sqlca(), sql, QStringLiteral("style(type=grid)"), ls_errors);
    if (!ls_errors.isEmpty()) {
        tx.fail(QString::fromUtf8(syntaxFailure) + ls_errors);
        return nullptr;
    }
    auto ds = std::make_unique<rt::DataStore>();
    if (ds->Create(ls_syntax, ls_errors) != 1 || !ls_errors.isEmpty()) {
        tx.fail(QString::fromUtf8(createFailure) + ls_errors);
        return nullptr;
    }
    ds->SetTransObject(&tx.sqlca());
    return ds;
}

} // namespace

bool RecoveryCascades::wf_rprrecovery(const QString &ls_rprno, RecoveryTransaction &tx)
{
    rt::Transaction &sqlca = tx.sqlca();
    const QString ls_sql = QStringLiteral("select * from th_ge_personinfo where rprno = ") + rt::sqlQuote(ls_rprno);
    std::unique_ptr<rt::DataStore> lds_hisperson
        = storeFor(tx, ls_sql, "生成数据窗口语法失败，错误信息如下：\r\n", "动态创建个人历史信息数据窗口失败!,错误信息如下：\r\n");
    if (!lds_hisperson)
        return false;
    if (lds_hisperson->Retrieve() < 0)
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取个人历史信息失败"), &sqlca, QString(), lds_hisperson->lastError()));
    // Who is who is read in the recovery's own transaction, so it is what the steps meet.
    QList<model::MemberPlan> members;
    QString error;
    if (!model::RecoveryPlan::householdMembers(sqlca, sqlca, ls_rprno, members, error))
        return tx.fail(host::LockHint::add("读取户中人员失败", sqlca, true) + QStringLiteral("\r\n") + error);
    const model::Category *person = model::CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    QStringList back, live, kept;
    for (const model::MemberPlan &m : std::as_const(members)) {
        const QString who = QStringLiteral("%1（%2）").arg(m.name, m.personno);
        if (m.fate == model::MemberPlan::Kept) {
            // Neither live nor cancelled with the household: whatever became of the person is not
            // this recovery's to decide, and nothing of theirs may go live without them.
            kept << who;
            continue;
        }
        if (m.fate == model::MemberPlan::Back) {
            // Exactly the snapshot that came back leaves history; the member's older snapshots
            // are states of their own, not repeated by the live register.
            if (!bringBack(m, tx) || !wf_personrecovery(m.personno, tx))
                return false;
            back << who;
            continue;
        }
        live << who;
        if (!wf_personrecovery(m.personno, tx))
            return false;
        // Only this household's rows: a person who moved on keeps the history of the other
        // household. A copy of a replaced state (issave 4) is a state kept on purpose: it stays.
        if (sqlca.execute(QStringLiteral("delete from th_ge_personinfo where personno = ? and rprno = ? "
                                         "and (issave is null or issave <> ?)"),
                          {m.personno, ls_rprno, host::IsSave::replaced()})
            == -1)
            return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("删除个人历史信息失败!"), &sqlca, who));
        tx.moved(person->historyTable, sqlca.SQLNRows());
    }
    tx.addDetail(model::RecoveryPlan::membersText(back, live, kept));
    if (!kept.isEmpty())
        tx.addNote(QString::fromUtf8("以下人员不在现有人口信息中，也不是随本户注销的成员，保留了他们的全部历史信息：\r\n\t")
                   + kept.join(QStringLiteral("\r\n\t")));
    return true;
}

bool RecoveryCascades::bringBack(const model::MemberPlan &member, RecoveryTransaction &tx)
{
    const model::Category *person = model::CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    const QString context = QString::fromUtf8("（个人信息，人员编号 %1）").arg(member.personno);
    const QString ls_sql = QStringLiteral("select * from th_ge_personinfo where hisid = %1").arg(rt::sqlLiteral(member.snapshot));
    std::unique_ptr<rt::DataStore> snapshot
        = storeFor(tx, ls_sql, "创建数据窗口语法错误,错误信息如下：\r\n", "动态创建数据窗口错误,错误信息如下：\r\n");
    if (!snapshot)
        return false;
    const long found = snapshot->Retrieve();
    if (found < 0)
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取个人历史信息失败"), &tx.sqlca(), context,
                                                        snapshot->lastError()));
    if (found == 0)
        return tx.fail(QString::fromUtf8("要一同恢复的历史记录已被其他操作员删除\r\n") + context);
    rt::DataStore lds_curtable;
    if (lds_curtable.SetDataObject(person->singleRowTarget) != 1)
        return tx.fail(QString::fromUtf8("保存恢复数据时失败\r\n") + lds_curtable.lastError() + QStringLiteral("\r\n") + context);
    lds_curtable.SetTransObject(&tx.sqlca());
    if (RecoveryMove::copyColumns(*snapshot, 1, lds_curtable) < 1 || lds_curtable.Update() != 1)
        return tx.fail(host::LockHint::add("保存恢复数据时失败", tx.sqlca(), true) + QStringLiteral("\r\n") + context);
    tx.wrote();
    return tx.takeFromHistory(person->historyTable, member.snapshot, QString::fromUtf8("删除个人历史信息失败!"), context);
}

bool RecoveryCascades::wf_personrecovery(const QString &ls_personno, RecoveryTransaction &tx)
{
    rt::Transaction &sqlca = tx.sqlca();
    for (const model::Category *category : model::CategoryTable::cascade()) {
        const QString T = category->historyTable;
        // One row per table moves: the first of the person's latest snapshot. Other rows saved
        // at the same moment stay in history, since the live table holds one per person.
        rt::Value hisid;
        QString error;
        if (!model::RecoveryPlan::latestRow(sqlca, *category, ls_personno, hisid, error))
            return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取%1历史信息失败").arg(category->tabText),
                                                            &sqlca, QString(), error));
        if (hisid.isNull())
            continue;
        const QString ls_sql = QStringLiteral("select * from %1 where hisid = %2").arg(rt::sqlIdentifier(T), rt::sqlLiteral(hisid));
        std::unique_ptr<rt::DataStore> history
            = storeFor(tx, ls_sql, "创建数据窗口语法错误,错误信息如下：\r\n", "动态创建数据窗口错误,错误信息如下：\r\n");
        if (!history)
            return false;
        const long found = history->Retrieve();
        if (found < 0)
            return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取%1历史信息失败").arg(category->tabText), &sqlca,
                                                            QString(), history->lastError()));
        if (found == 0)
            continue; // nothing to move, so nothing is deleted
        history->SetRow(1);
        const model::LiveState live = model::RecoveryPlan::liveState(sqlca, *category, ls_personno);
        if (live.unknown())
            return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取现有%1失败").arg(category->tabText), &sqlca,
                                                            QString(), live.error));
        const QString context = QString::fromUtf8("（%1，人员编号 %2）").arg(category->tabText, ls_personno);
        if (live.present()) {
            if (!LiveReplacement::replace(*history, 1, *category, tx, context))
                return false;
        } else {
            rt::DataStore lds_curtable;
            if (lds_curtable.SetDataObject(category->cascadeTarget) != 1)
                return tx.fail(QString::fromUtf8("保存恢复数据时失败\r\n") + lds_curtable.lastError() + QStringLiteral("\r\n")
                               + context);
            lds_curtable.SetTransObject(&sqlca);
            if (RecoveryMove::copyColumns(*history, 1, lds_curtable) < 1 || lds_curtable.Update() != 1)
                return tx.fail(host::LockHint::add("保存恢复数据时失败", sqlca, true) + QStringLiteral("\r\n") + context);
            tx.wrote();
        }
        // Exactly the row that moved.
        if (!tx.takeFromHistory(T, hisid, category->cascadeFailure, context))
            return false;
    }
    return true;
}

} // namespace model
