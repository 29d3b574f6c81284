#include "shell/HistoryRecovery.h"

#include "shell/HistoryDeletion.h"

#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "model/journal/Journal.h"
#include "host/LockHint.h"
#include "host/SchemaCatalogue.h"
#include "host/ui/ModuleWindows.h"
#include "model/recovery/RecoveryCascades.h"
#include "model/recovery/RecoveryPlan.h"
#include "model/recovery/RecoveryTransaction.h"
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

// The recovery prompt's answer. The window returns it as "1"/"2" in Message.StringParm (its
// contract); here it is a choice.
enum class PromptAnswer { None, RecordOnly, WithDependants };

// Opens the recovery prompt and returns its answer (None when it was closed without one).
PromptAnswer askPrompt(const QString &parm)
{
    rt::ui::Message::instance().StringParm.clear();
    if (rt::ui::Windows::OpenByName(QStringLiteral("w_hisrecovprompt"), parm) != 1)
        return PromptAnswer::None;
    const QString answer = rt::ui::Message::instance().StringParm;
    return answer == QLatin1String("1")   ? PromptAnswer::RecordOnly
           : answer == QLatin1String("2") ? PromptAnswer::WithDependants
                                          : PromptAnswer::None;
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
        const PromptAnswer answer = askPrompt(key + (household ? QStringLiteral(";1") : QStringLiteral(";2")));
        if (answer == PromptAnswer::None)
            return;
        QList<rt::Value> shown;
        if (live.present() && !askReplace(grid, *category, key, shown))
            return;
        const bool dependants = answer == PromptAnswer::WithDependants;
        model::RecoveryTransaction tx(host::g().sqlca, journalEntry(*category, key, live.present(), dependants));
        // The dependants move only once the record itself has: a record that stays where it is
        // keeps its dependants where they are.
        if (wf_hisrecovery(grid, nullptr, category->singleRowTarget, RecoverySource::Grid,
                           household ? model::RecoveryWay::Household : model::RecoveryWay::Person, tx, live.present(), &shown)
            && dependants) {
            if (household)
                model::RecoveryCascades::wf_rprrecovery(key, tx);
            else
                model::RecoveryCascades::wf_personrecovery(key, tx);
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
    model::RecoveryTransaction tx(host::g().sqlca, journalEntry(*category, key, live.present(), false));
    wf_hisrecovery(grid, nullptr, category->singleRowTarget, RecoverySource::Grid, model::RecoveryWay::Related, tx, live.present(),
                   &shown);
    finish(grid, ll_row, tx);
}

void HistoryRecovery::finish(rt::ui::DataWindowControl *grid, long row, model::RecoveryTransaction &tx)
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
    if (rt::ui::IsValid(host::ModuleWindows::w_histmanage()))
        rt::ui::LateBinding::callFunction(host::ModuleWindows::w_histmanage().data(), "wf_setstatus",
                                          tx.committed() ? tx.summary() : QString());
    if (tx.failed()) {
        tell(tx.failureText());
        return;
    }
    for (const QString &note : tx.notes())
        tell(note);
}

model::Journal::Entry HistoryRecovery::journalEntry(const model::Category &category, const QString &key, bool replace,
                                                   bool dependants)
{
    QString detail = replace ? QString::fromUtf8("替换现有记录") : QString::fromUtf8("新增到现有信息");
    if (dependants)
        detail += QString::fromUtf8("，连同相关信息");
    return model::Journal::Entry{QString::fromUtf8("恢复"), category.tabText, key, {}, QString::fromUtf8("成功"), detail};
}

bool HistoryRecovery::wf_hisrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore,
                                     const QString &as_target, RecoverySource ai_flag, model::RecoveryWay ai_way,
                                     model::RecoveryTransaction &tx, bool replace, const QList<rt::Value> *shown)
{
    const rt::DataStore *source = ai_flag == RecoverySource::Grid ? (adw_datawindow ? &adw_datawindow->dataStore() : nullptr)
                                                                  : ads_datastore;
    if (!source)
        return false;
    return model::RecoveryMove::move(*source, source->GetRow(), as_target, ai_way, tx, replace, shown);
}

long HistoryRecovery::wf_copycolumn(rt::ui::DataWindowControl *adw_source, rt::DataStore &ads_target,
                                    rt::DataStore *ads_source, RecoverySource ai_flag)
{
    const rt::DataStore *source = ai_flag == RecoverySource::Grid ? (adw_source ? &adw_source->dataStore() : nullptr) : ads_source;
    if (!source || source->GetRow() < 1)
        return -1;
    return model::RecoveryMove::copyColumns(*source, source->GetRow(), ads_target);
}

void HistoryRecovery::tell(const QString &text)
{
    MessageBox(Title, text, MsgIcon::Exclamation, MsgButtons::OK, 1);
}

} // namespace hm
