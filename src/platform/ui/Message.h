#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

namespace rt::ui {

// The runtime's Message object: carries a window's opening parameter and a response window's
// answer. One per application, on the user-interface thread.
struct Message
{
    QString StringParm;
    QPointer<QObject> PowerObjectParm;
    double DoubleParm = 0;

    static Message &instance();
};

} // namespace rt::ui
