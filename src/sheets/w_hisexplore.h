#pragma once

#include "platform/ui/PbWindow.h"

namespace rt::ui {
class PbPicture;
}

namespace hm {

// The background sheet: the module's picture stretched over the MDI client until a category
// is chosen.
class w_hisexplore : public rt::ui::PbWindow
{
    Q_OBJECT
public:
    explicit w_hisexplore(QWidget *parent = nullptr);
    rt::ui::PbPicture *p_1 = nullptr;

protected:
    void onOpen() override;
    void onResize(int sizetype, int newWidth, int newHeight) override;
};

} // namespace hm
