#include "ColorLong.h"

namespace rt::ui {

QColor ColorLong::toColor(long value, const QPalette &palette)
{
    switch (value) {
    case WindowText: return palette.color(QPalette::WindowText);
    case ButtonFace: return palette.color(QPalette::Button);
    case AppWorkspace: return palette.color(QPalette::Dark);
    case Shadow3D: return palette.color(QPalette::Dark);
    case Transparent: return QColor();
    default: break;
    }
    if (value < 0 || value > White)
        return palette.color(QPalette::WindowText); // another system colour: the plain text colour
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

long ColorLong::fromColor(const QColor &color)
{
    return long(color.blue()) * 65536 + long(color.green()) * 256 + long(color.red());
}

} // namespace rt::ui
