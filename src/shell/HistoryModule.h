#pragma once

#include <QString>

namespace rt {
class DwLibrary;
}

namespace hm {

// Makes the module's windows known to the runtime by class name (the host opens w_histmanage
// by name from its menu; the frame opens its history sheet by name).
class HistoryModule
{
public:
    static void registerWindows();
    // Adds the module's own DataWindow objects (the toolbar's drawing) to the library.
    static bool registerObjects(rt::DwLibrary &library, QString &errorText);
};

} // namespace hm
