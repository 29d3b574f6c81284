#pragma once

#include <QString>

namespace hm {

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
    // history is handled once; the person's history rows of this household (never those of
    // another household, nor the copies of replaced states, issave 4) are deleted only when the
    // person has a live row; otherwise they are kept and a note names the person. False once
    // the recovery has failed.
    static bool wf_rprrecovery(const QString &as_rprno, RecoveryTransaction &tx);
    // The person cascade for person as_personno: from each related history table the first row
    // of the person's latest SaveTime moves into the cascade target, inserted or replacing the
    // person's live record there, and exactly that row is deleted from history. False once the
    // recovery has failed.
    static bool wf_personrecovery(const QString &as_personno, RecoveryTransaction &tx);
};

} // namespace hm
