#include "record/m_hismodify.h"

#include "platform/ui/LateBinding.h"
#include "platform/ui/PbWindow.h"

namespace hm {

m_hismodify::m_hismodify(QObject *parent) : rt::ui::PbMenu(QStringLiteral("m_hismodify"), parent)
{
    m_editinput = addItem(QStringLiteral("m_editinput"), QString::fromUtf8("输入框操作"), QString::fromUtf8("输入框操作"));
    m_print = m_editinput->addItem(QStringLiteral("m_print"), QString::fromUtf8("打印当前窗口(&P)"), QString::fromUtf8("打印当前窗口"));
    connect(m_print, &rt::ui::PbMenuItem::clicked, this,
            [this]() { rt::ui::LateBinding::triggerEvent(m_print->ParentWindow(), "ue_print"); });
}

} // namespace hm
