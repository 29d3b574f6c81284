#pragma once

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
class RecoveryCascades
{
public:
    // The household cascade for the household of the grid's current row. Each person of the
    // household's person history is handled once; a person's own history rows are deleted only
    // when the person has a live row (otherwise they are kept, and the operator is told once).
    static void wf_rprrecovery(rt::ui::DataWindowControl *adw_datawindow);
    // The person cascade for the person of the grid's current row (ai_flag 1) or of the
    // DataStore's current row (2): in each related history table the rows of the person's latest
    // SaveTime move into the cascade target.
    static void wf_personrecovery(rt::ui::DataWindowControl *adw_datawindow, rt::DataStore *ads_datastore, int ai_flag);
};

} // namespace hm
