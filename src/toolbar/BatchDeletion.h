#pragma once

#include <QDate>
#include <QString>

namespace rt::ui {
class DataWindowControl;
}

namespace hm {

// What the batch delete dialog holds when 确定 is clicked.
struct BatchRequest
{
    bool byKind = false;  // rb_delkind checked
    bool byRange = false; // rb_deldate checked
    QString kind;         // ddlb_kind's text, "" when none is chosen
    QString startText, endText;
    QDate start, end;     // invalid for an impossible or incomplete date
    bool householdTicked = false;
};

// The batch deletion on the grid of the active history sheet: the statement or the household
// procedure on photosqlca, COMMIT or ROLLBACK, the operator's message and the grid pruned to
// exactly the rows the database lost. Returns a line for the dialog's status (the count
// deleted), or a null string when nothing was attempted.
class BatchDeletion
{
public:
    // On the grid of the active history sheet of w_histmanage; nothing without one.
    static QString run(const BatchRequest &request);
    // On the given history grid (bound to photosqlca).
    static QString execute(rt::ui::DataWindowControl *grid, const BatchRequest &request);
};

} // namespace hm
