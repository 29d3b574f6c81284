#pragma once

#include "model/Category.h"
#include "platform/core/Value.h"

#include <QList>
#include <QString>

namespace rt {
class DataStore;
class Transaction;
} // namespace rt

namespace model {

// Whether the live register holds a record. Unknown means the read itself failed: the caller
// must not take it for an answer.
struct LiveState
{
    enum Kind { Absent, Present, Unknown };
    Kind kind = Unknown;
    QString error; // Unknown: the database's reason

    bool present() const { return kind == Present; }
    bool unknown() const { return kind == Unknown; }
};

// One history row that a recovery would move into the live register.
struct PlannedMove
{
    const Category *category = nullptr;
    rt::Value hisid;       // the history row
    QString key;           // the live key it arrives under
    LiveState live;        // Present: the row replaces the live record; Absent: it is inserted
};

// A person of a household's person history, and what the household cascade does with them.
struct MemberPlan
{
    enum Fate {
        Live, // in the live register: related records recovered, this household's person history deleted
        Back, // not live, cancelled with the household (the latest snapshot in it has issave 5): comes
              // back into the live register from that snapshot (which leaves history; their older
              // snapshots stay), then their related records as for a live member
        Kept  // not live and not cancelled with the household: every row of their history stays
    };
    QString personno;
    QString name;           // as the latest row in the household names them
    Fate fate = Kept;
    bool cancelled = false; // their latest snapshot in the household has issave 5 (live or not)
    rt::Value snapshot;     // Back: the hisid of the snapshot the person comes back from
};

// What a recovery will do, read before anything is written. The recovery prompt counts with
// these functions and the cascades move with them, so the counts are what the cascades do.
class RecoveryPlan
{
public:
    // The live record of the category with that key (a household by RprNo, a person by
    // PersonNo, a related record by personno), on the live connection.
    static LiveState liveState(rt::Transaction &live, const Category &category, const QString &key);
    // Makes `current` the category's live target over the one record of a key, the key bound as
    // the retrieve's argument: then current.Retrieve({key}). False (current unchanged) when the
    // category has no live target.
    static bool selectLiveRecord(rt::DataStore &current, const Category &category, rt::Transaction &live);

    // The row a person's cascade moves from one related history table: the first row (lowest
    // surrogate key) of the person's latest SaveTime there. Copies of replaced live states
    // (issave 4) are passed over: they are kept states, not snapshots to recover. A null hisid
    // when the person has no such row in the table; false with the reason when the read failed.
    static bool latestRow(rt::Transaction &history, const Category &category, const QString &personno, rt::Value &hisid,
                          QString &error);

    // The person cascade's moves, in cascade order, each with where it arrives. False with the
    // reason when a read failed (the moves found so far are kept in out).
    static bool relatedMoves(rt::Transaction &history, rt::Transaction &live, const QString &personno,
                             QList<PlannedMove> &out, QString &error);

    // The persons of a household's person history, each once, in the order of their first row.
    static bool householdPersons(rt::Transaction &history, const QString &rprno, QStringList &out, QString &error);
    // Those persons with their fates, in the same order. False with the reason ("姓名（编号）：…")
    // when a read failed (nothing is then to be done: a fate unknown is no fate).
    static bool householdMembers(rt::Transaction &history, rt::Transaction &live, const QString &rprno,
                                 QList<MemberPlan> &out, QString &error);

    // A household cascade's members in words, a group each (who comes back, whose person
    // history is deleted without moving, who keeps everything): the journal entry's detail and
    // the recovery prompt's counts say it alike. Each list holds "姓名（人员编号）".
    static QString membersText(const QStringList &back, const QStringList &live, const QStringList &kept);
};

} // namespace model
