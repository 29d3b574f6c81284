#include "host/ui/ModuleWindows.h"

namespace host {

QPointer<rt::ui::MdiFrame> &ModuleWindows::w_histmanage()
{
    static QPointer<rt::ui::MdiFrame> window;
    return window;
}

} // namespace host
