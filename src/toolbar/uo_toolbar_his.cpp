#include "toolbar/uo_toolbar_his.h"

namespace hm {

uo_toolbar_his::uo_toolbar_his(QWidget *parent) : rt::ui::DataWindowControl(parent)
{
    setObjectName(QStringLiteral("dw_maintoolbar"));
    setUnitsGeometry(0, 0, 3337, 176);
    setAutoFillBackground(true);
    SetDataObject(QStringLiteral("d_toolright_his"));
}

} // namespace hm
