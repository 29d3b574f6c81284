#pragma once

#include "host/Journal.h"
#include "platform/core/Value.h"

#include <QList>

#include <QString>

namespace rt {
class DataStore;
}
namespace rt::ui {
class DataWindowControl;
}
namespace model {
struct Category;
}

namespace hm {

class RecoveryTransaction;

// Recovery of one history row into the live register: the column copy into the live target and
// the deletion of the history row, with the cascade's moves when the operator asked for them,
// all in one transaction on sqlca (RecoveryTransaction) together with the journal's entry. A
// failure anywhere leaves every record where it was.
class HistoryRecovery
{
public:
    // ue_recovery on the grid in view. First it reads whether the row's record is in the live
    // register (a failed read is told and stops everything). Then the prompt (households and
    // persons) or the confirmation (other rows); for a live record the replace question
    // (w_hisreplace) instead of the confirmation, or after the prompt. Then the move, and the
    // cascade only once the record itself has moved into the live register.
    static void recoverCurrentRow(rt::ui::DataWindowControl *grid);

    // Moves the current row of the grid (ai_flag 1) or of the DataStore (2) into the live target
    // and out of its history table, in tx. ai_way: 2 household, 1 person, 0 a related record
    // (which may bring back a removed person, see proc_JustifyDelPerson). With replace, the row
    // replaces the live record with its key (LiveReplacement) instead of making a new one; shown:
    // the live record as the replace question showed it to the operator. True when the move is
    // written (it holds once tx commits); false once tx has failed, or when there is no target or
    // row (tx untouched).
    static bool wf_hisrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore,
                               const QString &as_target, int ai_flag, int ai_way, RecoveryTransaction &tx,
                               bool replace = false, const QList<rt::Value> *shown = nullptr);
    // Copies the current row of the grid (ai_flag 1) or of the DataStore (2) into a new last
    // row of the target; the new row's number, or -1 when there is no source row.
    static long wf_copycolumn(rt::ui::DataWindowControl *adw_source, rt::DataStore &ads_target, rt::DataStore *ads_source,
                              int ai_flag);
    // The copy itself: columns read by position from the source row, written by name into a new
    // row of the target (targetRow 0) or over an existing row. SaveTime is never copied; issave
    // "4"/"5"/"6" becomes "0"; an orderno the target numbers itself is left to it. Into a new
    // row nulls are not written (the live defaults stay); over an existing row they are, and the
    // target's key columns are left as they are. The target row, or -1.
    static long copyColumns(const rt::DataStore &source, long row, rt::DataStore &target, long targetRow = 0);
    // A recovery's message to the operator: title "提示", OK only.
    static void tell(const QString &text);

private:
    // Commits tx unless it failed; the row leaves the grid once it has left history, and the
    // operator is told the failure or the notes.
    static void finish(rt::ui::DataWindowControl *grid, long row, RecoveryTransaction &tx);
    // The journal's entry of a recovery, without counts: they are gathered as the rows move.
    static host::Journal::Entry journalEntry(const model::Category &category, const QString &key, bool replace,
                                             bool dependants);
};

} // namespace hm
