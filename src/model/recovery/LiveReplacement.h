#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>

namespace rt {
class DataStore;
}
namespace model {
struct Category;
}

namespace model {

class RecoveryTransaction;

// Replaces a live record with a history row, losing nothing. Each step inside the recovery's
// transaction on sqlca, checked, in this order:
//  1. the live record is held (a write lock on it) and read; when the operator compared it in the
//     replace question, it must still be in the state shown;
//  2. its present state is written to history as a copy (SaveTime now, issave "4"), in the same
//     transaction as everything else of the recovery, so that the copy exists exactly when the
//     replacement does;
//  3. the live record is updated to the history row's values.
// A failure ends the recovery's transaction (fail(): everything rolled back, the step that
// failed named with the database's reason) and returns false. The caller takes the history row
// out of history in the same transaction.
//
// On register files the hold of step 1 is the live file's write lock, kept until the recovery
// commits: another program writing the live file waits meanwhile (up to its busy timeout). On
// the server it is the record's row lock.
class LiveReplacement
{
public:
    // Row `row` of `source` (a history grid or DataStore over the category's history table)
    // replaces the live record with the same key. True once the live update is written.
    // context, when given, ends each failure message (a cascade names the table and person).
    // shown, when given: the record as the replace question showed it (its live columns in the
    // table's order); a record held in another state is not replaced (another operator changed it
    // after the operator compared), and the recovery fails saying so.
    static bool replace(const rt::DataStore &source, long row, const model::Category &category, RecoveryTransaction &tx,
                        const QString &context = QString(), const QList<rt::Value> *shown = nullptr);
};

} // namespace model
