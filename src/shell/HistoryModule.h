#pragma once

#include <QString>

namespace rt {
class DwLibrary;
}
namespace rt::ui {
class DataWindowControl;
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
    // Opens a window of the module or the host by class name on the grid's current row, with
    // the parameter the toolbar or the grid's menu would give it (a response window returns only
    // once closed).
    static void openOnGrid(const QString &name, rt::ui::DataWindowControl *grid);
};

} // namespace hm
