#pragma once

namespace host {

// Makes the host windows the module opens by name known to the runtime.
class HostWindows
{
public:
    static void registerWindows();
};

} // namespace host
