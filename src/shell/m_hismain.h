#pragma once

#include "platform/ui/PbMenu.h"

namespace hm {

// The menu of the history maintenance window: one item, hidden and disabled, so the frame's
// menu bar offers nothing (every command is on the toolbar and the category buttons).
class m_hismain : public rt::ui::PbMenu
{
    Q_OBJECT
public:
    explicit m_hismain(QObject *parent = nullptr);
    rt::ui::PbMenuItem *m_m_t = nullptr;
};

} // namespace hm
