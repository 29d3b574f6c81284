#pragma once

#include "platform/ui/PbTabPage.h"

namespace hm {

class HisTab;

// The personal-information category page: a second row of tabs (tab_1) holding its grid pages.
class uo_tabpg_histab : public rt::ui::PbTabPage
{
    Q_OBJECT
public:
    uo_tabpg_histab();

    HisTab *tab_1 = nullptr;

    void constructor() override;
    Q_INVOKABLE int wf_resize(int ai_width, int ai_height);
    Q_INVOKABLE void wf_refreshtab() {}
    // Lays its own tab_1 and the grids in it out from the page's size: tab_1 50 units narrower
    // and 120 lower than the page, each grid as much again inside tab_1. The sheet asks for it
    // in its layout pass; the page does it again whenever the tab control that holds it gives it
    // a new size (a page laid out before its tab control was shown would keep a wrong one).
    void layOut();

protected:
    void resizeEvent(QResizeEvent *event) override;
};

} // namespace hm
