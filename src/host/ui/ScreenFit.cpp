#include "host/ui/ScreenFit.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace host {

void ScreenFit::keepOnScreen(QWidget *window)
{
    const QScreen *s = window ? window->screen() : nullptr;
    if (!s)
        return;
    // The frame around the client (title bar, borders) counts too.
    const QRect room = s->availableGeometry();
    const QSize extra = window->frameGeometry().size() - window->size();
    const QSize most = room.size() - extra;
    if (window->width() > most.width() || window->height() > most.height())
        window->resize(std::min(window->width(), most.width()), std::min(window->height(), most.height()));
    const QRect frame = window->frameGeometry();
    QPoint at = frame.topLeft();
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - frame.width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height())));
    if (at != frame.topLeft())
        window->move(at);
}

} // namespace host
