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
};

} // namespace hm
