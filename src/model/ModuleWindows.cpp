#include "model/ModuleWindows.h"

namespace model {

QPointer<rt::ui::MdiFrame> &ModuleWindows::w_histmanage()
{
    static QPointer<rt::ui::MdiFrame> window;
    return window;
}

} // namespace model
