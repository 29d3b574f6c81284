#pragma once

#include "platform/dw/DwDefinition.h"

#include <QByteArray>
#include <QMap>
#include <QString>

namespace host {

// The host's DataWindow objects, made from the schema catalogue: for every category the history
// grid dh_<stem>, its form dh_<stem>_f, the single-row target tc_<stem> and, for the eight
// related categories, the cascade target d_<stem>parm.
class DwLibraryBuilder
{
public:
    static QMap<QString, rt::DwDefinition> build();
    // The library file built into the program: {"name": definition, …}.
    static QByteArray libraryJson();
};

} // namespace host
