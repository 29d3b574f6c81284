#pragma once

#include "platform/ui/PbMenu.h"

namespace hm {

// The record window's context menu: one group, 输入框操作, holding 打印当前窗口, which raises
// ue_print on the menu's parent window by name (a window without it is no error).
class m_hismodify : public rt::ui::PbMenu
{
    Q_OBJECT
public:
    explicit m_hismodify(QObject *parent = nullptr);

    rt::ui::PbMenuItem *m_editinput = nullptr;
    rt::ui::PbMenuItem *m_print = nullptr;
};

} // namespace hm
