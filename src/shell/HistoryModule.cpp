#include "shell/HistoryModule.h"

#include "platform/ui/Windows.h"
#include "shell/w_histmanage.h"

namespace hm {

void HistoryModule::registerWindows()
{
    rt::ui::Windows::registerClass(QStringLiteral("w_histmanage"), []() -> rt::ui::PbWindow * { return new w_histmanage(); });
}

} // namespace hm
