#pragma once

#include "platform/ui/MdiFrame.h"

#include <QPointer>

namespace host {

// The module's global window reference to its main window (w_histmanage): set while that window
// is open, invalid otherwise. The background sheet and the batch dialog look through it.
class ModuleWindows
{
public:
    static QPointer<rt::ui::MdiFrame> &w_histmanage();
};

} // namespace host
