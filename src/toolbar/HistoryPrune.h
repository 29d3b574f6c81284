#pragma once

#include "platform/core/DateTime.h"

#include <QtGlobal>
#include <optional>

namespace rt::ui {
class DataWindowControl;
}

namespace hm {

// Removes from a history grid the rows a batch deletion removed from the database: every row of
// the first `rows` whose SaveTime lies within the bounds (both inclusive; a missing bound is
// open), compared in full — date and time — as the statement compared them. Rows without a
// SaveTime stay where a bound is given. With throughHisid, only rows up to that hisid (a batch
// stopped after some chunks, which went in the table's order). The rows leave the grid entirely
// (nothing is kept for a later Update, the database rows being gone already). Returns the
// number of rows removed.
class HistoryPrune
{
public:
    static long prune(rt::ui::DataWindowControl *grid, long rows, const std::optional<rt::DateTime> &from,
                      const std::optional<rt::DateTime> &to, const std::optional<qint64> &throughHisid = std::nullopt);
};

} // namespace hm
