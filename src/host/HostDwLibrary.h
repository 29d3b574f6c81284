#pragma once

#include <QString>

namespace rt {
class DwLibrary;
}

namespace host {

// The host's DataWindow library as built into the program.
class HostDwLibrary
{
public:
    // Loads the built-in objects into library and sets its override folder (may be empty).
    // False with errorText when the built-in file is missing or broken.
    static bool load(rt::DwLibrary &library, const QString &overrideFolder, QString &errorText);
};

} // namespace host
