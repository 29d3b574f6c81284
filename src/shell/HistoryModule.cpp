#include "shell/HistoryModule.h"

#include "platform/ui/DataWindowControl.h"
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
#include "toolbar/w_hisstats.h"

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
    rt::ui::Windows::registerClass(QStringLiteral("w_hisstats"), []() -> rt::ui::PbWindow * { return new w_hisstats(); });
}

bool HistoryModule::registerObjects(rt::DwLibrary &library, QString &errorText)
{
    return ToolbarObjects::addTo(library, errorText);
}

void HistoryModule::openOnGrid(const QString &name, rt::ui::DataWindowControl *grid)
{
    const long row = grid ? grid->GetRow() : 0;
    if (name == QLatin1String("w_hismodify")) {
        rt::ui::Windows::OpenByName(name, grid->DataObject());
    } else if (name == QLatin1String("w_hisrecovprompt")) {
        // The prompt's parameter: the key, then 1 for a household or 2 for a person.
        const bool household = grid->DataObject() == QLatin1String("dh_ge_rpr");
        rt::ui::Windows::OpenByName(name, grid->GetItemString(row, household ? "RprNo" : "PersonNo")
                                              + (household ? QStringLiteral(";1") : QStringLiteral(";2")));
    } else if (name == QLatin1String("w_hisjournal") || name == QLatin1String("w_hisstats")) {
        rt::ui::Windows::OpenByName(name, QString());
    } else {
        rt::ui::Windows::OpenByName(name, QString(), grid);
    }
}

} // namespace hm
