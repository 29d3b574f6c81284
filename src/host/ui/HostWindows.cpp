#include "host/ui/HostWindows.h"

#include "host/ui/w_print_preview.h"
#include "platform/ui/Windows.h"

namespace host {

void HostWindows::registerWindows()
{
    rt::ui::Windows::registerClass(QStringLiteral("w_print_preview"), []() -> rt::ui::PbWindow * { return new w_print_preview(); });
}

} // namespace host
