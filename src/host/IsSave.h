#pragma once

#include <QString>

namespace host {

// The codes of a snapshot's issave column that the module reads or writes. A live record's
// own code is live(); the others mark snapshots that no live record carries.
struct IsSave
{
    static QString live() { return QStringLiteral("0"); }
    // The copy of a live record's state kept when a recovery replaced it: no snapshot of its own.
    static QString replaced() { return QStringLiteral("4"); }
    // A household cancelled, with the members cancelled with it.
    static QString cancelledHousehold() { return QStringLiteral("5"); }
    // A person removed from the live register.
    static QString removedPerson() { return QStringLiteral("6"); }
};

} // namespace host
