#pragma once

#include <QString>

namespace rt {
class DataStore;
}
namespace rt::ui {
class DataWindowControl;
}

namespace hm {

// The recovery cascades: a person's latest related records table by table, and for a household
// the same for each of its persons. Every step commits on its own connection; the live rows are
// committed before their history rows are deleted, and only the rows that were moved are deleted.
// A related record the live register already holds is replaced (LiveReplacement), its present
// state kept as history.
class RecoveryCascades
{
public:
    // The household cascade for the household of the grid's current row. Each person of the
    // household's person history is handled once; the person's history rows of this household
    // (never those of another household, nor the copies of replaced states, issave 4) are
    // deleted only when the person has a live row;
    // otherwise, or when that cannot be read, they are kept and the operator is told once.
    // The household is the grid's current row, or as_rprno when given (the recovery moves the
    // household first, and its row has then left the grid).
    static void wf_rprrecovery(rt::ui::DataWindowControl *adw_datawindow, const QString &as_rprno = QString());
    // The person cascade for the person of the grid's current row (ai_flag 1) or of the
    // DataStore's current row (2): from each related history table the first row of the
    // person's latest SaveTime moves into the cascade target, inserted or replacing the person's
    // live record there, and exactly that row is deleted from history.
    // as_personno, when given, names the person instead.
    static void wf_personrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore, int ai_flag,
                                  const QString &as_personno = QString());
};

} // namespace hm
