#pragma once

#include "platform/ui/PbTab.h"

namespace host {

// The host's tab control. Its selectionchanged script runs before a subclass's own (subclasses
// call uo_tab::onSelectionChanged first): it keeps the host's page-in-view global current.
class uo_tab : public rt::ui::PbTab
{
    Q_OBJECT
public:
    explicit uo_tab(QWidget *parent = nullptr);

protected:
    void onSelectionChanged(int oldindex, int newindex) override;
};

} // namespace host
