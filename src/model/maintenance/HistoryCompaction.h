#pragma once

#include "model/maintenance/HistoryMaintenance.h"

#include <QList>
#include <utility>

namespace rt {
class Transaction;
}

namespace model {

// Gives the history's free space back after deletions that took more than a tenth of a table:
// the history file's VACUUM when no other program has it open (else the pages freed at its end,
// where the file keeps that list), VACUUM (ANALYZE) of the tables on the server where the role
// may run it (else said skipped). `deletedOfRowsBefore`: each history table touched, with the
// rows deleted and the rows it had before. 0, with the result's `compacted` and `compactText`;
// or -1 with the reason in its `error`. HistoryMaintenance::compact is this on its history
// connection.
class HistoryCompaction
{
public:
    static int compact(rt::Transaction &history,
                       const QList<std::pair<HistoryMaintenance::TableCount, long long>> &deletedOfRowsBefore,
                       HistoryMaintenance::RunResult &result);
};

} // namespace model
