#pragma once

#include <QString>

namespace model {
struct MemberPlan;
}

namespace model {

class RecoveryTransaction;

// The recovery cascades: a person's latest related records table by table, and for a household
// the same for each of its persons. Every step runs in the recovery's transaction; the first
// that fails ends it (RecoveryTransaction::fail), and the record with all its dependants stays
// where it was. Only the rows that were moved are deleted from history. A related record the
// live register already holds is replaced (LiveReplacement), its present state kept as history.
class RecoveryCascades
{
public:
    // The household cascade for household as_rprno. Each person of the household's person
    // history is handled once, by their fate (model::RecoveryPlan::householdMembers):
    //  - live: their related records are recovered, then their person history of this household
    //    (never that of another household, nor the copies of replaced states, issave 4) is
    //    deleted;
    //  - cancelled with the household and not live: they come back into the live register from
    //    that snapshot (which leaves history; their older snapshots stay), then their related
    //    records as for a live member;
    //  - anyone else: nothing of theirs is written into the live register, every row of their
    //    history stays, and a note names them.
    // The entry's detail names each group. False once the recovery has failed.
    static bool wf_rprrecovery(const QString &as_rprno, RecoveryTransaction &tx);
    // The person cascade for person as_personno: from each related history table the first row
    // of the person's latest SaveTime moves into the cascade target, inserted or replacing the
    // person's live record there, and exactly that row is deleted from history. False once the
    // recovery has failed.
    static bool wf_personrecovery(const QString &as_personno, RecoveryTransaction &tx);

private:
    // A member cancelled with the household comes back into the live register from their
    // snapshot (issave 5 written as 0). False once the recovery has failed.
    static bool bringBack(const model::MemberPlan &member, RecoveryTransaction &tx);
};

} // namespace model
