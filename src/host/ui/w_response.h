#pragma once

#include "platform/ui/PbWindow.h"

namespace host {

// The host's ancestor of modal response windows.
class w_response : public rt::ui::PbWindow
{
    Q_OBJECT
public:
    explicit w_response(const QString &className, QWidget *parent = nullptr)
        : rt::ui::PbWindow(className, Kind::Response, parent)
    {
    }
};

} // namespace host
