#pragma once

#include "model/journal/Journal.h"
#include "model/recovery/RecoveryMove.h"
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
class RecoveryTransaction;
} // namespace model

namespace hm {

// Where wf_hisrecovery and wf_copycolumn read their row (the window's ai_flag 1 and 2).
enum class RecoverySource {
    Grid = 1,      // the current row of the grid
    DataStore = 2, // the current row of the DataStore
};

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

    // Moves the current row of the grid or of the DataStore into the live target and out of its
    // history table, in tx (model::RecoveryMove::move, which says what becomes of each kind of
    // row and when it returns false).
    static bool wf_hisrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore,
                               const QString &as_target, RecoverySource ai_flag, model::RecoveryWay ai_way,
                               model::RecoveryTransaction &tx, bool replace = false, const QList<rt::Value> *shown = nullptr);
    // Copies the current row of the grid or of the DataStore into a new last row of the target
    // (model::RecoveryMove::copyColumns); the new row's number, or -1 when there is no source row.
    static long wf_copycolumn(rt::ui::DataWindowControl *adw_source, rt::DataStore &ads_target, rt::DataStore *ads_source,
                              RecoverySource ai_flag);
    // A recovery's message to the operator: title "提示", OK only.
    static void tell(const QString &text);

private:
    // Commits tx unless it failed; the row leaves the grid once it has left history, and the
    // operator is told the failure or the notes.
    static void finish(rt::ui::DataWindowControl *grid, long row, model::RecoveryTransaction &tx);
    // The journal's entry of a recovery, without counts: they are gathered as the rows move.
    static model::Journal::Entry journalEntry(const model::Category &category, const QString &key, bool replace,
                                             bool dependants);
};

} // namespace hm
