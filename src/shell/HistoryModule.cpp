#include "shell/HistoryModule.h"

#include "platform/ui/Windows.h"
#include "sheets/w_histabsheet.h"
#include "shell/w_histmanage.h"

namespace hm {

void HistoryModule::registerWindows()
{
    rt::ui::Windows::registerClass(QStringLiteral("w_histmanage"), []() -> rt::ui::PbWindow * { return new w_histmanage(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_histabsheet"), []() -> rt::ui::PbWindow * { return new w_histabsheet(); });
}

} // namespace hm
