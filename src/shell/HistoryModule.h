#pragma once

namespace hm {

// Makes the module's windows known to the runtime by class name (the host opens w_histmanage
// by name from its menu; the frame opens its history sheet by name).
class HistoryModule
{
public:
    static void registerWindows();
};

} // namespace hm
