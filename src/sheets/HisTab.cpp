#include "sheets/HisTab.h"

#include "host/ui/Globals.h"

namespace hm {

void HisTab::onSelectionChanged(int oldindex, int newindex)
{
    host::uo_tab::onSelectionChanged(oldindex, newindex);
    if (oldindex != newindex)
        host::g().gs_querystr = QString(QLatin1String(""));
}

} // namespace hm
