#include "host/ui/uo_button.h"

namespace host {

uo_button::uo_button(QWidget *parent) : rt::ui::PbPicture(parent)
{
    setCursor(Qt::PointingHandCursor);
    connect(this, &rt::ui::PbPicture::clicked, this, [this]() { click(); });
    connect(this, &rt::ui::PbPicture::leftButtonDown, this, [this]() { onLeftButtonDown(); });
    connect(this, &rt::ui::PbPicture::leftButtonUp, this, [this]() { onLeftButtonUp(); });
}

void uo_button::uf_setenabled(bool enabled)
{
    m_enabled = enabled;
    setEnabledLook(enabled);
    setCursor(enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void uo_button::click()
{
    if (!m_enabled)
        return;
    onClicked();
    Q_EMIT clickedEvent();
}

void uo_button::onClicked() {}

void uo_button::onLeftButtonDown()
{
    if (m_enabled)
        move(pos() + QPoint(1, 1));
}

void uo_button::onLeftButtonUp()
{
    if (m_enabled)
        move(pos() - QPoint(1, 1));
}

} // namespace host
