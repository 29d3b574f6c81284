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

private:
    static bool deleteHousehold(rt::ui::DataWindowControl *grid, long row, bool &writeBack);
    static bool deletePerson(rt::ui::DataWindowControl *grid, long row);
    // Runs a history procedure for the row's key; false (rolled back, operator told) on -1.
    static bool runProcedure(const char *declaration, const char *hostVariable, const QString &key,
                             const char *failureMessage);
    // Writes the grid's deletion and commits; the operator is told either way. When the commit
    // fails the row is shown again at `row`, as it still is in the database.
    static void writeBack(rt::ui::DataWindowControl *grid, long row);
    // Removes the row from the grid; the database rows are already gone, so nothing is kept
    // for a later Update to write.
    static void dropRow(rt::ui::DataWindowControl *grid, long row);
};

} // namespace hm
