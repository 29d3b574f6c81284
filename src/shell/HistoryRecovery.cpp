#include "shell/HistoryRecovery.h"

#include "shell/HistoryDeletion.h"
#include "shell/LiveReplacement.h"
#include "shell/RecoveryCascades.h"
#include "shell/RecoveryTransaction.h"

#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "host/Journal.h"
#include "host/LockHint.h"
#include "host/SchemaCatalogue.h"
#include "model/ModuleWindows.h"
#include "model/RecoveryPlan.h"
#include "platform/core/DeclaredProcedure.h"
#include "platform/dw/DataStore.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/Windows.h"

#include <memory>

namespace hm {

using rt::ui::MessageBox;
using rt::ui::MsgButtons;
using rt::ui::MsgIcon;

namespace {

const QString Title = QString::fromUtf8("提示");

// Opens the recovery prompt and returns its answer ("" when it was closed without one).
QString askPrompt(const QString &parm)
{
    rt::ui::Message::instance().StringParm.clear();
    if (rt::ui::Windows::OpenByName(QStringLiteral("w_hisrecovprompt"), parm) != 1)
        return QString();
    return rt::ui::Message::instance().StringParm;
}

// The replace question for the grid's current row; true for 替换. `shown` receives the live
// record's columns as read just before the question showed them (empty when it could not be
// read: the question then offers no 替换).
bool askReplace(rt::ui::DataWindowControl *grid, const model::Category &category, const QString &key, QList<rt::Value> &shown)
{
    shown.clear();
    rt::DataStore current;
    if (const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
        table && model::RecoveryPlan::selectLiveRecord(current, category, host::g().sqlca) && current.Retrieve({rt::Value(key)}) == 1) {
        for (const host::ColumnDef &c : table->liveColumns)
            shown << current.GetItem(1, c.name);
    }
    rt::ui::Message::instance().StringParm.clear();
    if (rt::ui::Windows::OpenByName(QStringLiteral("w_hisreplace"), QString(), grid) != 1)
        return false;
    return rt::ui::Message::instance().StringParm == QLatin1String("1");
}

// Whether the record of the grid's row is live; a failed read is told, and nothing moves.
bool readLiveState(const model::Category &category, const QString &key, model::LiveState &state)
{
    state = model::RecoveryPlan::liveState(host::g().sqlca, category, key);
    if (!state.unknown())
        return true;
    HistoryRecovery::tell(QString::fromUtf8("读取现有信息失败，未作任何恢复：\r\n") + state.error);
    return false;
}

} // namespace

void HistoryRecovery::recoverCurrentRow(rt::ui::DataWindowControl *grid)
{
    const long ll_row = grid->GetRow();
    if (ll_row < 1)
        return; // nothing selected: nothing to recover
    const QString object = grid->DataObject();
    model::LiveState live;
    if (object == QLatin1String("dh_ge_rpr") || object == QLatin1String("dh_ge_personinfo")) {
        const bool household = object == QLatin1String("dh_ge_rpr");
        const model::Category *category = model::CategoryTable::byHistoryGrid(object);
        const QString key = grid->GetItemString(ll_row, household ? "RprNo" : "PersonNo");
        if (!readLiveState(*category, key, live))
            return;
        const QString answer = askPrompt(key + (household ? QStringLiteral(";1") : QStringLiteral(";2")));
        if (answer != QLatin1String("1") && answer != QLatin1String("2"))
            return;
        QList<rt::Value> shown;
        if (live.present() && !askReplace(grid, *category, key, shown))
            return;
        const bool dependants = answer == QLatin1String("2");
        RecoveryTransaction tx(journalEntry(*category, key, live.present(), dependants));
        // The dependants move only once the record itself has: a record that stays where it is
        // keeps its dependants where they are.
        if (wf_hisrecovery(grid, nullptr, category->singleRowTarget, 1, household ? 2 : 1, tx, live.present(), &shown)
            && dependants) {
            if (household)
                RecoveryCascades::wf_rprrecovery(key, tx);
            else
                RecoveryCascades::wf_personrecovery(key, tx);
        }
        finish(grid, ll_row, tx);
        return;
    }
    const model::Category *category
        = model::CategoryTable::byHistoryTable(grid->Describe(QStringLiteral("datawindow.Table.UpdateTable")).toLower());
    // A table without a single-row target gets no live row; the history row stays.
    const bool hasTarget = category && !category->cascadeTarget.isEmpty();
    const QString key = grid->GetItemString(ll_row, "personno");
    if (hasTarget && !readLiveState(*category, key, live))
        return;
    QList<rt::Value> shown;
    if (live.present()) {
        // The replace question is the confirmation for a live record.
        if (!askReplace(grid, *category, key, shown))
            return;
    } else if (MessageBox(Title, QString::fromUtf8("确认要恢复吗?"), MsgIcon::Question, MsgButtons::YesNo, 2) != 1) {
        return;
    }
    if (!hasTarget)
        return;
    RecoveryTransaction tx(journalEntry(*category, key, live.present(), false));
    wf_hisrecovery(grid, nullptr, category->singleRowTarget, 1, 0, tx, live.present(), &shown);
    finish(grid, ll_row, tx);
}

void HistoryRecovery::finish(rt::ui::DataWindowControl *grid, long row, RecoveryTransaction &tx)
{
    if (!tx.failed())
        tx.commit();
    if (tx.committed() || tx.historyRowGone()) {
        // The row has left history: with this recovery, or before it by another operator's hand.
        // The row after it becomes current (RowsDiscard), so the next one is at hand.
        grid->RowsDiscard(row, row, rt::DwBuffer::Primary);
    }
    // The status line says what this recovery did: the last one's words are not left standing
    // under a recovery that moved nothing.
    if (rt::ui::IsValid(model::ModuleWindows::w_histmanage()))
        rt::ui::LateBinding::callFunction(model::ModuleWindows::w_histmanage().data(), "wf_setstatus",
                                          tx.committed() ? tx.summary() : QString());
    if (tx.failed()) {
        tell(tx.failureText());
        return;
    }
    for (const QString &note : tx.notes())
        tell(note);
}

host::Journal::Entry HistoryRecovery::journalEntry(const model::Category &category, const QString &key, bool replace,
                                                   bool dependants)
{
    QString detail = replace ? QString::fromUtf8("替换现有记录") : QString::fromUtf8("新增到现有信息");
    if (dependants)
        detail += QString::fromUtf8("，连同相关信息");
    return host::Journal::Entry{QString::fromUtf8("恢复"), category.tabText, key, {}, QString::fromUtf8("成功"), detail};
}

bool HistoryRecovery::wf_hisrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore,
                                     const QString &as_target, int ai_flag, int ai_way, RecoveryTransaction &tx,
                                     bool replace, const QList<rt::Value> *shown)
{
    rt::Transaction &sqlca = tx.sqlca();
    const long ll_row = ai_flag == 1 ? adw_datawindow->GetRow() : (ads_datastore ? ads_datastore->GetRow() : 0);
    const rt::DataStore *source = ai_flag == 1 ? &adw_datawindow->dataStore() : ads_datastore;
    if (as_target.isEmpty() || !source || ll_row < 1)
        return false;
    const QString historyTable = source->Describe(QStringLiteral("datawindow.Table.UpdateTable"));
    if (replace) {
        const model::Category *category = model::CategoryTable::byStem(as_target.mid(3));
        if (!category)
            return tx.fail(QString::fromUtf8("保存恢复数据时失败"));
        if (!LiveReplacement::replace(*source, ll_row, *category, tx, QString(), shown))
            return false;
    } else {
        rt::DataStore lds_curtable;
        if (lds_curtable.SetDataObject(as_target) != 1)
            return tx.fail(QString::fromUtf8("保存恢复数据时失败\r\n") + lds_curtable.lastError());
        lds_curtable.SetTransObject(&sqlca);
        if (wf_copycolumn(adw_datawindow, lds_curtable, ads_datastore, ai_flag) <= 0)
            return tx.fail(QString::fromUtf8("保存恢复数据时失败"));
        if (lds_curtable.Update() != 1)
            return tx.fail(host::LockHint::add("保存恢复数据时失败", sqlca, true));
        tx.wrote();
    }
    // The history row leaves in the same transaction as the live row arrives.
    if (!tx.takeFromHistory(historyTable, source->GetItem(ll_row, "hisid"), QString::fromUtf8("删除历史信息失败"), QString(), true))
        return false;
    if (ai_way != 0)
        return true;
    // A related record of a person removed from the live register brings the person back. The
    // person's state is that of the latest snapshot (a person has one per save); a copy of a
    // replaced live state (issave 4) is no snapshot.
    const QString ls_personno = source->GetItemString(ll_row, "personno");
    QList<rt::Value> ls_issave{rt::Value::null(rt::ValueType::String)};
    const int found = sqlca.selectInto(QStringLiteral("SELECT issave FROM th_ge_personinfo WHERE personno = ? "
                                                      "AND (issave IS NULL OR issave <> ?) ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                                       {ls_personno, model::RecoveryPlan::replacedCode()}, ls_issave);
    if (found == -1)
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取个人历史信息失败"), &sqlca));
    if (found != 0 || ls_issave[0].isNull() || ls_issave[0].string().trimmed() != QLatin1String("6"))
        return true;
    const model::Category *person = model::CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    const model::LiveState before = model::RecoveryPlan::liveState(sqlca, *person, ls_personno);
    if (before.unknown())
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取现有人口信息失败"), &sqlca, QString(), before.error));
    const bool wasLive = before.present();
    rt::DeclaredProcedure dp_delperson(sqlca, QStringLiteral("proc_JustifyDelPerson @as_personno = :ls_personno"));
    dp_delperson.execute({{QStringLiteral("ls_personno"), rt::Value(ls_personno)}});
    if (sqlca.SQLCode() == -1)
        return tx.fail(host::LockHint::add("删除个人历史信息失败!", sqlca, true));
    dp_delperson.close();
    const model::LiveState after = model::RecoveryPlan::liveState(sqlca, *person, ls_personno);
    if (after.unknown())
        return tx.fail(RecoveryTransaction::failureText(QString::fromUtf8("读取现有人口信息失败"), &sqlca, QString(), after.error));
    if (!wasLive && after.present())
        tx.addDetail(QString::fromUtf8("人员 %1 按最近的历史记录重新加入现有信息").arg(ls_personno));
    return true;
}

long HistoryRecovery::wf_copycolumn(rt::ui::DataWindowControl *adw_source, rt::DataStore &ads_target,
                                    rt::DataStore *ads_source, int ai_flag)
{
    const rt::DataStore *source = ai_flag == 1 ? (adw_source ? &adw_source->dataStore() : nullptr) : ads_source;
    if (!source || source->GetRow() < 1)
        return -1;
    return copyColumns(*source, source->GetRow(), ads_target);
}

void HistoryRecovery::tell(const QString &text)
{
    MessageBox(Title, text, MsgIcon::Exclamation, MsgButtons::OK, 1);
}

long HistoryRecovery::copyColumns(const rt::DataStore &source, long ll_row, rt::DataStore &target, long targetRow)
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
            if (ls_issave == QLatin1String("5") || ls_issave == QLatin1String("6")
                || ls_issave == model::RecoveryPlan::replacedCode()) {
                target.SetItem(ll_insert, ls_colname, rt::Value(QStringLiteral("0")));
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

} // namespace hm
