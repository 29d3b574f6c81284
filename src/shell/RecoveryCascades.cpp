#include "shell/RecoveryCascades.h"

#include "shell/HistoryRecovery.h"
#include "shell/LiveReplacement.h"

#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "host/LockHint.h"
#include "model/RecoveryPlan.h"
#include "platform/core/SqlQuote.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/SyntaxFromSql.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/OperatorDialogs.h"

#include <QSet>
#include <memory>

namespace hm {

namespace {


// A DataStore for a select, made at run time; null after telling the operator why not.
std::unique_ptr<rt::DataStore> storeFor(const QString &sql, const char *syntaxFailure, const char *createFailure)
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    QString ls_errors;
    const QString ls_syntax = rt::SyntaxFromSql::build(photosqlca, sql, QStringLiteral("style(type=grid)"), ls_errors);
    if (!ls_errors.isEmpty()) {
        HistoryRecovery::tell(QString::fromUtf8(syntaxFailure) + ls_errors);
        return nullptr;
    }
    auto ds = std::make_unique<rt::DataStore>();
    if (ds->Create(ls_syntax, ls_errors) != 1 || !ls_errors.isEmpty()) {
        HistoryRecovery::tell(QString::fromUtf8(createFailure) + ls_errors);
        return nullptr;
    }
    ds->SetTransObject(&photosqlca);
    return ds;
}

} // namespace

void RecoveryCascades::wf_rprrecovery(rt::ui::DataWindowControl *adw_datawindow, const QString &as_rprno)
{
    rt::Transaction &sqlca = host::g().sqlca;
    rt::Transaction &photosqlca = host::g().photosqlca;
    const QString ls_rprno
        = as_rprno.isEmpty() ? adw_datawindow->GetItemString(adw_datawindow->GetRow(), "RprNo") : as_rprno;
    const QString ls_sql = QStringLiteral("select * from th_ge_personinfo where rprno = ") + rt::sqlQuote(ls_rprno);
    std::unique_ptr<rt::DataStore> lds_hisperson
        = storeFor(ls_sql, "生成数据窗口语法失败，错误信息如下：\r\n", "动态创建个人历史信息数据窗口失败!,错误信息如下：\r\n");
    if (!lds_hisperson)
        return;
    const long ll_count = lds_hisperson->Retrieve();
    const model::Category *person = model::CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    QSet<QString> handled;
    QStringList kept, unread;
    for (long ll_i = 1; ll_i <= ll_count; ++ll_i) {
        const QString ls_personno = lds_hisperson->GetItemString(ll_i, "personno");
        // A person has a row per snapshot: the person's records are handled once.
        if (handled.contains(ls_personno))
            continue;
        handled.insert(ls_personno);
        lds_hisperson->SetRow(ll_i);
        wf_personrecovery(adw_datawindow, lds_hisperson.get(), 2);
        const QString who = QStringLiteral("%1（%2）").arg(lds_hisperson->GetItemString(ll_i, "personname"), ls_personno);
        // Deleting the history of a person who has no live row would lose the person; when
        // that cannot even be read, the history stays too.
        const model::LiveState live = model::RecoveryPlan::liveState(sqlca, *person, ls_personno);
        if (live.unknown()) {
            unread << who + QStringLiteral("：") + (live.error.isEmpty() ? sqlca.SQLErrText() : live.error);
            continue;
        }
        if (!live.present()) {
            kept << who;
            continue;
        }
        // Only this household's rows: a person who moved on keeps the history of the other
        // household. A copy of a replaced state (issave 4) is a state kept on purpose, not a
        // snapshot of this household's: it stays.
        photosqlca.execute(QStringLiteral("delete from th_ge_personinfo where personno = ? and rprno = ? "
                                          "and (issave is null or issave <> ?)"),
                           {ls_personno, ls_rprno, model::RecoveryPlan::replacedCode()});
        if (photosqlca.SQLCode() == -1 || photosqlca.commit() != 0) {
            const QString told = host::LockHint::add("删除个人历史信息失败!", photosqlca);
            photosqlca.rollback();
            HistoryRecovery::tell(told);
        }
    }
    if (!kept.isEmpty())
        HistoryRecovery::tell(QString::fromUtf8("以下人员在现有人口信息中没有记录，为免丢失，保留了他们的个人历史信息：\r\n\t")
             + kept.join(QStringLiteral("\r\n\t")));
    if (!unread.isEmpty())
        HistoryRecovery::tell(QString::fromUtf8("读取现有人口信息失败，保留了以下人员的个人历史信息：\r\n\t")
                              + unread.join(QStringLiteral("\r\n\t")));
}

void RecoveryCascades::wf_personrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore, int ai_flag,
                                         const QString &as_personno)
{
    rt::Transaction &sqlca = host::g().sqlca;
    rt::Transaction &photosqlca = host::g().photosqlca;
    QString ls_personno = as_personno;
    if (ls_personno.isEmpty() && ai_flag == 1)
        ls_personno = adw_datawindow->GetItemString(adw_datawindow->GetRow(), "PersonNo");
    else if (ls_personno.isEmpty() && ads_datastore)
        ls_personno = ads_datastore->GetItemString(ads_datastore->GetRow(), "PersonNo");
    for (const model::Category *category : model::CategoryTable::cascade()) {
        const QString T = category->historyTable;
        // One row per table moves: the first of the person's latest snapshot. Other rows saved
        // at the same moment stay in history, since the live table holds one per person.
        rt::Value hisid;
        QString error;
        if (!model::RecoveryPlan::latestRow(photosqlca, *category, ls_personno, hisid, error)) {
            HistoryRecovery::tell(QString::fromUtf8("读取%1历史信息失败：\r\n").arg(category->tabText) + error);
            continue;
        }
        if (hisid.isNull())
            continue;
        const QString ls_sql = QStringLiteral("select * from %1 where hisid = %2").arg(T, rt::sqlLiteral(hisid));
        std::unique_ptr<rt::DataStore> history
            = storeFor(ls_sql, "创建数据窗口语法错误,错误信息如下：\r\n", "动态创建数据窗口错误,错误信息如下：\r\n");
        if (!history)
            return;
        if (history->Retrieve() < 1)
            continue; // nothing to move, so nothing is deleted
        history->SetRow(1);
        const model::LiveState live = model::RecoveryPlan::liveState(sqlca, *category, ls_personno);
        if (live.unknown()) {
            HistoryRecovery::tell(QString::fromUtf8("读取现有%1失败，该项未恢复：\r\n").arg(category->tabText) + live.error);
            continue;
        }
        const QString context = QString::fromUtf8("（%1，人员编号 %2）").arg(category->tabText, ls_personno);
        if (live.present()) {
            if (!LiveReplacement::replace(*history, 1, *category, context))
                continue;
        } else {
            auto lds_curtable = std::make_unique<rt::DataStore>();
            if (lds_curtable->SetDataObject(category->cascadeTarget) != 1)
                continue;
            lds_curtable->SetTransObject(&sqlca);
            if (HistoryRecovery::wf_copycolumn(adw_datawindow, *lds_curtable, history.get(), 2) < 1)
                continue;
            if (lds_curtable->Update() != 1 || sqlca.commit() != 0) {
                const QString told = host::LockHint::add("保存恢复数据时失败", sqlca);
                sqlca.rollback();
                HistoryRecovery::tell(told + QStringLiteral("\r\n") + context);
                continue;
            }
        }
        // Exactly the row that moved.
        if (photosqlca.execute(QStringLiteral("delete from %1 where hisid = ?").arg(T), {hisid}) == -1
            || photosqlca.commit() != 0) {
            const QString told = host::LockHint::add(category->cascadeFailure, photosqlca);
            photosqlca.rollback();
            HistoryRecovery::tell(told);
        }
    }
}

} // namespace hm
