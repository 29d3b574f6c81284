#pragma once

#include "platform/ui/PbPicture.h"

namespace host {

// The host's picture button: a picture that raises clicked; uf_setenabled greys it out and
// stops its clicks.
class uo_button : public rt::ui::PbPicture
{
    Q_OBJECT
public:
    explicit uo_button(QWidget *parent = nullptr);
    Q_INVOKABLE void uf_setenabled(bool enabled);
    bool isButtonEnabled() const { return m_enabled; }
    // Runs the button's clicked script as if the operator had clicked it.
    void click();

Q_SIGNALS:
    // The clicked event for the window's script: after the button's own part, only while the
    // button is enabled.
    void clickedEvent();

protected:
    // The clicked script. The host's own part shows the press; subclasses call it first.
    virtual void onClicked();
    // ue_lbuttondown / ue_lbuttonup: the host's own press look.
    virtual void onLeftButtonDown();
    virtual void onLeftButtonUp();

private:
    bool m_enabled = true;
};

} // namespace host
