#pragma once

#include "host/Journal.h"

#include <QString>

namespace rt {
class DataStore;
}
namespace model {
struct Category;
}

namespace hm {

// Replaces a live record with a history row, losing nothing. In this order, each step checked:
//  1. the live record is held (a write lock on it, on sqlca) and read: the state saved next is
//     exactly the state that will be overwritten;
//  2. that present state is written as a new history row (SaveTime now, issave "4") and
//     committed on photosqlca;
//  3. the live record is updated to the history row's values and committed on sqlca.
// A failure rolls back its own step, tells the operator which step failed (with the database's
// reason) and returns false; when step 3 fails, the copy of step 2 is taken back out of history
// (it would only repeat the live state). The caller deletes the history row afterwards.
//
// On register files the hold of step 1 is the live file's write lock, kept until step 3
// commits: another program writing the live file waits meanwhile (up to its busy timeout). On
// the server it is the record's row lock.
class LiveReplacement
{
public:
    // Row `row` of `source` (a history grid or DataStore over the category's history table)
    // replaces the live record with the same key. True once the live update is committed.
    // context, when given, ends each failure message (a cascade names the table and person).
    // journal, when given, is appended in the transaction of the live update: without it the
    // record is not replaced.
    static bool replace(const rt::DataStore &source, long row, const model::Category &category,
                        const QString &context = QString(), const host::Journal::Entry *journal = nullptr);
};

} // namespace hm
