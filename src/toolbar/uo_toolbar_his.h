#pragma once

#include "platform/ui/DataWindowControl.h"

namespace hm {

// The command toolbar of the history maintenance window: a DataWindow control that shows the
// drawing d_toolright_his (3337 × 176 units, no border). is_object names the tracked button.
class uo_toolbar_his : public rt::ui::DataWindowControl
{
    Q_OBJECT
public:
    explicit uo_toolbar_his(QWidget *parent = nullptr);
    QString is_object;
};

} // namespace hm
