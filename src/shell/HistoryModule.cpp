#include "shell/HistoryModule.h"

#include "platform/ui/Windows.h"
#include "record/w_hiscompare.h"
#include "record/w_histimeline.h"
#include "record/w_hismodify.h"
#include "record/w_hisrecovprompt.h"
#include "record/w_hisreplace.h"
#include "sheets/w_histabsheet.h"
#include "shell/w_histmanage.h"
#include "toolbar/ToolbarObjects.h"
#include "toolbar/w_hisdelprompt.h"
#include "toolbar/w_hisjournal.h"

namespace hm {

void HistoryModule::registerWindows()
{
    rt::ui::Windows::registerClass(QStringLiteral("w_histmanage"), []() -> rt::ui::PbWindow * { return new w_histmanage(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_histabsheet"), []() -> rt::ui::PbWindow * { return new w_histabsheet(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_hiscompare"), []() -> rt::ui::PbWindow * { return new w_hiscompare(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_hismodify"), []() -> rt::ui::PbWindow * { return new w_hismodify(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_histimeline"), []() -> rt::ui::PbWindow * { return new w_histimeline(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_hisrecovprompt"),
                                   []() -> rt::ui::PbWindow * { return new w_hisrecovprompt(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_hisreplace"), []() -> rt::ui::PbWindow * { return new w_hisreplace(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_hisdelprompt"), []() -> rt::ui::PbWindow * { return new w_hisdelprompt(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_hisjournal"), []() -> rt::ui::PbWindow * { return new w_hisjournal(); });
}

bool HistoryModule::registerObjects(rt::DwLibrary &library, QString &errorText)
{
    return ToolbarObjects::addTo(library, errorText);
}

} // namespace hm
