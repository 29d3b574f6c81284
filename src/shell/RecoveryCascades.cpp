#include "shell/RecoveryCascades.h"

#include "shell/HistoryRecovery.h"

#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
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

void RecoveryCascades::wf_rprrecovery(rt::ui::DataWindowControl *adw_datawindow)
{
    rt::Transaction &sqlca = host::g().sqlca;
    rt::Transaction &photosqlca = host::g().photosqlca;
    const QString ls_rprno = adw_datawindow->GetItemString(adw_datawindow->GetRow(), "RprNo");
    const QString ls_sql = QStringLiteral("select * from th_ge_personinfo where rprno = ") + rt::sqlQuote(ls_rprno);
    std::unique_ptr<rt::DataStore> lds_hisperson
        = storeFor(ls_sql, "生成数据窗口语法失败，错误信息如下：\r\n", "动态创建个人历史信息数据窗口失败!,错误信息如下：\r\n");
    if (!lds_hisperson)
        return;
    const long ll_count = lds_hisperson->Retrieve();
    QSet<QString> handled;
    QStringList kept;
    for (long ll_i = 1; ll_i <= ll_count; ++ll_i) {
        const QString ls_personno = lds_hisperson->GetItemString(ll_i, "personno");
        // A person has a row per snapshot: the person's records are handled once.
        if (handled.contains(ls_personno))
            continue;
        handled.insert(ls_personno);
        lds_hisperson->SetRow(ll_i);
        wf_personrecovery(adw_datawindow, lds_hisperson.get(), 2);
        // Deleting the history of a person who has no live row would lose the person.
        QList<rt::Value> live{rt::Value::null(rt::ValueType::Long)};
        if (sqlca.selectInto(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = ?"), {ls_personno}, live) != 0
            || live[0].longValue() < 1) {
            kept << QStringLiteral("%1（%2）").arg(lds_hisperson->GetItemString(ll_i, "personname"), ls_personno);
            continue;
        }
        photosqlca.execute(QStringLiteral("delete from th_ge_personinfo where personno = ?"), {ls_personno});
        if (photosqlca.SQLCode() != 0 || photosqlca.commit() != 0) {
            photosqlca.rollback();
            HistoryRecovery::tell(QString::fromUtf8("删除个人历史信息失败!"));
        }
    }
    if (!kept.isEmpty())
        HistoryRecovery::tell(QString::fromUtf8("以下人员在现有人口信息中没有记录，为免丢失，保留了他们的个人历史信息：\r\n\t")
             + kept.join(QStringLiteral("\r\n\t")));
}

void RecoveryCascades::wf_personrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore, int ai_flag)
{
    rt::Transaction &sqlca = host::g().sqlca;
    rt::Transaction &photosqlca = host::g().photosqlca;
    QString ls_personno;
    if (ai_flag == 1)
        ls_personno = adw_datawindow->GetItemString(adw_datawindow->GetRow(), "PersonNo");
    else if (ads_datastore)
        ls_personno = ads_datastore->GetItemString(ads_datastore->GetRow(), "PersonNo");
    for (const model::Category *category : model::CategoryTable::cascade()) {
        const QString T = category->historyTable;
        QList<rt::Value> ll_count{rt::Value::null(rt::ValueType::Long)};
        if (photosqlca.selectInto(QStringLiteral("select count(*) from %1 where personno = ?").arg(T), {ls_personno}, ll_count) != 0
            || ll_count[0].isNull() || ll_count[0].longValue() <= 0)
            continue;
        QList<rt::Value> ldt_savetime{rt::Value::null(rt::ValueType::DateTime)};
        if (photosqlca.selectInto(QStringLiteral("select Max(SaveTime) from %1 where personno = ?").arg(T), {ls_personno},
                                  ldt_savetime)
                != 0
            || ldt_savetime[0].isNull())
            continue;
        // The literal has the stored value's full precision, so the select finds that snapshot.
        const QString ls_sql = QStringLiteral("select * from %1 where personno = %2 and SaveTime = %3")
                                   .arg(T, rt::sqlQuote(ls_personno), rt::sqlLiteral(ldt_savetime[0]));
        std::unique_ptr<rt::DataStore> history
            = storeFor(ls_sql, "创建数据窗口语法错误,错误信息如下：\r\n", "动态创建数据窗口错误,错误信息如下：\r\n");
        if (!history)
            return;
        const long rows = history->Retrieve();
        if (rows <= 0)
            continue; // nothing to move, so nothing is deleted
        auto lds_curtable = std::make_unique<rt::DataStore>();
        if (lds_curtable->SetDataObject(category->cascadeTarget) != 1)
            continue;
        lds_curtable->SetTransObject(&sqlca);
        // Every row of the latest snapshot moves; exactly those are deleted afterwards.
        QList<rt::Value> moved;
        for (long r = 1; r <= rows; ++r) {
            history->SetRow(r);
            if (HistoryRecovery::wf_copycolumn(adw_datawindow, *lds_curtable, history.get(), 2) >= 1)
                moved << history->GetItem(r, "hisid");
        }
        if (moved.isEmpty())
            continue;
        if (lds_curtable->Update() != 1 || sqlca.commit() != 0) {
            sqlca.rollback();
            HistoryRecovery::tell(QString::fromUtf8("保存恢复数据时失败"));
            continue;
        }
        bool failed = false;
        for (const rt::Value &hisid : moved)
            failed = failed || photosqlca.execute(QStringLiteral("delete from %1 where hisid = ?").arg(T), {hisid}) == -1;
        if (failed || photosqlca.commit() != 0) {
            photosqlca.rollback();
            HistoryRecovery::tell(category->cascadeFailure);
        }
    }
}

} // namespace hm
