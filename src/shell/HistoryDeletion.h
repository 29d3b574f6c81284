#pragma once

#include <QString>

namespace rt::ui {
class DataWindowControl;
}

namespace hm {

// The deletion of one history row from the grid in view: a household with or without its
// persons, a person with all of the person's related history, or any other row. The operator
// is asked first; history deletions cannot be undone.
class HistoryDeletion
{
public:
    static void deleteCurrentRow(rt::ui::DataWindowControl *grid);
    // The grid's history row `row` is already in the delete buffer and its deletion failed: the
    // row leaves the delete buffer. Still in the database, it is shown again at its place
    // (false); already gone (another operator deleted it), it leaves the grid (true).
    static bool settleFailedDeletion(rt::ui::DataWindowControl *grid, long row);
    // The text telling that another operator had already deleted a history row.
    static QString alreadyDeletedText();

private:
    static bool deleteHousehold(rt::ui::DataWindowControl *grid, long row, bool &writeBack);
    static bool deletePerson(rt::ui::DataWindowControl *grid, long row);
    // 删除户 (household) or 删除人员 for the row's key (model::HistoryRowDeletion::deleteByProcedure);
    // true once the deletion is saved, else the operator is told what the register holds.
    static bool runProcedure(bool household, const QString &key, const char *failureMessage);
    // Writes the grid's deletion and commits; the operator is told either way. When the update
    // or the commit fails nothing stays in the delete buffer (no later Update may send it
    // again): the row is shown again at `row`, or, already deleted by another operator, leaves
    // the grid.
    static void writeBack(rt::ui::DataWindowControl *grid, long row);
    // After 删除户 (household) or 删除人员: every row the procedure deleted leaves the grids of the
    // sheet that holds `grid` — the household's snapshots, the person's snapshots and related
    // records — not only the row the operator chose.
    static void dropProcedureRows(rt::ui::DataWindowControl *grid, bool household, const QString &key);
};

} // namespace hm
