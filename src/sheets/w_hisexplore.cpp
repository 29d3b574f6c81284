#include "sheets/w_hisexplore.h"

#include "host/ui/ModuleWindows.h"
#include "platform/ui/Controls.h"
#include "platform/ui/MdiFrame.h"
#include "platform/ui/PbPicture.h"

namespace hm {

w_hisexplore::w_hisexplore(QWidget *parent) : rt::ui::PbWindow(QStringLiteral("w_hisexplore"), Kind::Sheet, parent)
{
    setBackColor(67108864);
    setIconName(QStringLiteral("bmp\\ie.ico"));
    p_1 = new rt::ui::PbPicture(client());
    p_1->setObjectName(QStringLiteral("p_1"));
    p_1->setPictureName(QStringLiteral("bmp\\vel_history.jpg"));
    rt::ui::Controls::place(p_1, 0, 0, 3109, 2048);
    setUnitsSize(3141, 2076);
}

void w_hisexplore::onOpen()
{
    Move(0, 0);
    const QPointer<rt::ui::MdiFrame> &frame = host::ModuleWindows::w_histmanage();
    if (frame && !frame->isClosed())
        Resize(frame->mdiUnitsWidth(), frame->mdiUnitsHeight());
}

void w_hisexplore::onResize(int, int newWidth, int newHeight)
{
    SetRedraw(false);
    rt::ui::Controls::place(p_1, 0, 0, newWidth, newHeight);
    SetRedraw(true);
}

} // namespace hm
