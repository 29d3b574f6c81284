#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>

namespace rt {
class DataStore;
}

namespace model {

class RecoveryTransaction;

// What the row a recovery moves is (the recovery window's ai_way 2, 1 and 0).
enum class RecoveryWay {
    Related = 0,   // a related or service record: may bring a removed person back
    Person = 1,
    Household = 2,
};

// The move of one history row into the live register, inside a recovery's transaction: the
// copy into the live target (or the replacement of the live record), then the history row taken
// out of history. The windows call it through wf_hisrecovery; the cascades call it too.
class RecoveryMove
{
public:
    // Moves row `row` of `source` (over a history table) into the live target `target` (a
    // tc_<stem> object) and out of history, in tx. With replace, the row replaces the live record
    // with its key (LiveReplacement); shown: the live record as the replace question showed it.
    // A related record of a person removed from the live register (their latest snapshot
    // marked removed) brings the person back (proc_JustifyDelPerson). True when the move is
    // written (it holds once tx commits); false once tx has failed, or when there is no target
    // or row (tx untouched).
    static bool move(const rt::DataStore &source, long row, const QString &target, RecoveryWay way, RecoveryTransaction &tx,
                     bool replace = false, const QList<rt::Value> *shown = nullptr);
    // The copy itself: columns read by position from the source row, written by name into a new
    // row of the target (targetRow 0) or over an existing row. SaveTime is never copied; an
    // issave of a copy, a cancelled household or a removed person becomes the live code; an
    // orderno the target numbers itself is left to it. Into a new row nulls are not written (the
    // live defaults stay); over an existing row they are, and the target's key columns are left
    // as they are. The target row, or -1.
    static long copyColumns(const rt::DataStore &source, long row, rt::DataStore &target, long targetRow = 0);
};

} // namespace model
