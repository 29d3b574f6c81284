#pragma once

#include <QString>

namespace model {

// One information category of the register: where its history lives and where a recovered
// row goes. Every name is spelled exactly as the module uses it in SQL and object names.
struct Category
{
    QString stem;               // "ge_rpr"
    QString button;             // picture button on the main window; empty inside the personal sheet
    QString label;              // text under the button; empty without a button
    QString tabText;            // the sheet's tab text
    QString historyGrid;        // "dh_ge_rpr"
    QString historyTable;       // "th_ge_rpr" (th_mh_AdultWomaninfo keeps its capitals)
    QString singleRowTarget;    // "tc_ge_rpr"
    QString cascadeTarget;      // "d_ge_companyparm"; empty for households and persons
    int cascadeOrder = 0;       // 1..8 in the person cascade; 0 = not in it
    QString cascadeFailure;     // message when deleting the cascade's history rows fails

    bool hasButton() const { return !button.isEmpty(); }
    bool inCascade() const { return cascadeOrder > 0; }
};

} // namespace model
