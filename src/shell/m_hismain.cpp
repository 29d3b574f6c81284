#include "shell/m_hismain.h"

namespace hm {

m_hismain::m_hismain(QObject *parent) : rt::ui::PbMenu(QStringLiteral("m_hismain"), parent)
{
    m_m_t = addItem(QStringLiteral("m_m_t"), QStringLiteral("m_t"));
    m_m_t->setVisible(false);
    m_m_t->setEnabled(false);
}

} // namespace hm
