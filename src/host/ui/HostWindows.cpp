#include "host/ui/HostWindows.h"

#include "host/ui/w_datawindow_sort.h"
#include "host/ui/w_filter_his.h"
#include "host/ui/w_print_preview.h"
#include "host/ui/w_setshow_his.h"
#include "platform/ui/Windows.h"

namespace host {

void HostWindows::registerWindows()
{
    rt::ui::Windows::registerClass(QStringLiteral("w_print_preview"), []() -> rt::ui::PbWindow * { return new w_print_preview(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_setshow_his"), []() -> rt::ui::PbWindow * { return new w_setshow_his(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_filter_his"), []() -> rt::ui::PbWindow * { return new w_filter_his(); });
    rt::ui::Windows::registerClass(QStringLiteral("w_datawindow_sort"),
                                   []() -> rt::ui::PbWindow * { return new w_datawindow_sort(); });
}

} // namespace host
