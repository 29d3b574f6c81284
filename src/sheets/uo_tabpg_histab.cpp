#include "sheets/uo_tabpg_histab.h"

#include "host/ui/Globals.h"
#include "sheets/HisTab.h"
#include "sheets/uo_tabpg_hisgrid.h"

#include <QResizeEvent>

namespace hm {

uo_tabpg_histab::uo_tabpg_histab() : rt::ui::PbTabPage(QStringLiteral("uo_tabpg_histab"))
{
    setText(QStringLiteral("none"));
    setColors(33554432, 67108864);
    setUnitsSize(2482, 1004);
    tab_1 = new HisTab(this);
    tab_1->setObjectName(QStringLiteral("tab_1"));
    tab_1->setUnitsGeometry(0, 0, 2331, 948);
    constructor();
}

void uo_tabpg_histab::constructor()
{
    tab_1->move(0, 0);
    setColors(host::g().gl_textcolor, host::g().gl_backcolor);
}

int uo_tabpg_histab::wf_resize(int ai_width, int ai_height)
{
    setUpdatesEnabled(false);
    tab_1->setUnitsGeometry(0, 0, ai_width, ai_height);
    tab_1->SelectTab(tab_1->SelectedTab());
    setUpdatesEnabled(true);
    return 0;
}

void uo_tabpg_histab::layOut()
{
    const int innerWidth = UnitsWidth() - 50, innerHeight = UnitsHeight() - 120;
    tab_1->setUnitsGeometry(0, 0, innerWidth, innerHeight);
    for (rt::ui::PbTabPage *inner : tab_1->Control()) {
        if (auto *g = qobject_cast<uo_tabpg_hisgrid *>(inner)) {
            g->dw_1->setWidth(innerWidth - 50);
            g->dw_1->setHeight(innerHeight - 120);
        }
    }
}

void uo_tabpg_histab::resizeEvent(QResizeEvent *event)
{
    rt::ui::PbTabPage::resizeEvent(event);
    layOut();
}

} // namespace hm
