#pragma once

#include "platform/ui/DataWindowControl.h"

namespace host {

// The host's form control (the record window's). Its dberror script returns the code it gets;
// a window's own dberror script runs after it.
class uo_dwform : public rt::ui::DataWindowControl
{
    Q_OBJECT
public:
    explicit uo_dwform(QWidget *parent = nullptr) : rt::ui::DataWindowControl(parent) {}
    virtual long dberror_event(long code, const QString &) { return code; }
};

} // namespace host
