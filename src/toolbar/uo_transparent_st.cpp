#include "toolbar/uo_transparent_st.h"

#include "platform/ui/ColorLong.h"
#include "platform/ui/Controls.h"
#include "platform/ui/OperatorDialogs.h"

namespace hm {

uo_transparent_st::uo_transparent_st(QWidget *parent) : QLabel(parent)
{
    setText(QStringLiteral("none"));
    rt::ui::Controls::place(this, 0, 0, 457, 72);
    rt::ui::Controls::setFont(this, QStringLiteral("Arial"), 12);
    setFocusPolicy(Qt::NoFocus);
    // constructor: the runtime's transparent background (2 to the power 29).
    m_backColor = 536870912;
    rt::ui::Controls::setColors(this, rt::ui::ColorLong::WindowText, m_backColor);
}

long uo_transparent_st::ue_paint(long)
{
    if (ib_painting)
        return 0;
    ib_painting = true;
    setVisible(false);
    while (rt::ui::Yield()) {
    }
    setVisible(true);
    ib_painting = false;
    return 0;
}

} // namespace hm
