#pragma once

#include "host/ui/uo_tab.h"

namespace hm {

// The tab control of the history sheet and of the category page: after the host's own
// selectionchanged, a real change of tab clears the query condition; clicked does nothing.
class HisTab : public host::uo_tab
{
    Q_OBJECT
public:
    explicit HisTab(QWidget *parent = nullptr) : host::uo_tab(parent) {}

protected:
    void onSelectionChanged(int oldindex, int newindex) override;
    void onClicked(int) override {}
};

} // namespace hm
