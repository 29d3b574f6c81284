#pragma once

#include "model/journal/ChangeOutcome.h"

#include <QString>

namespace rt {
class DataStore;
class Transaction;
class Value;
} // namespace rt

namespace model {

// 删除 and 删除户/删除人员 as changes of the register, each one JournalledChange on the history
// connection. The windows ask the operator first and turn the outcome into words; nothing here
// opens a dialog.
class HistoryRowDeletion
{
public:
    // Writes the history rows in `grid`'s delete buffer (a grid over a history table; the
    // operator's one row) with the journal's 删除 entry. The grid's flags are not reset: the
    // caller resets them once the outcome is saved, or puts the row back (settleFailed).
    // category: the category's tab text, keyColumn its record key, for the entry.
    static ChangeOutcome deleteRows(rt::DataStore &grid, rt::Transaction &history, const QString &category,
                                    const QString &keyColumn);
    // After a deletion that was not saved: whether the history row with `hisid` of `table` is
    // gone from the register (another operator deleted it). False when it is there or cannot
    // be read.
    static bool rowGone(rt::Transaction &history, const QString &table, const rt::Value &hisid);

    // 删除户 (household, the key a RprNo) or 删除人员 (a PersonNo): the history procedure deletes
    // every row of the household with its persons, or of the person with their related history,
    // counted first in its own transaction for the journal.
    static ChangeOutcome deleteByProcedure(rt::Transaction &history, bool household, const QString &key);
};

} // namespace model
