#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace rt::ui {

// The runtime's units, converted to pixels in this one place. At 96 dpi one pixel is 32/7 units
// across and 4 units down.
class Units
{
public:
    static int toPixelsX(int units) { return int((long long)units * 7 / 32); }
    static int toPixelsY(int units) { return units / 4; }
    static int fromPixelsX(int pixels) { return int(((long long)pixels * 32 + 6) / 7); }
    static int fromPixelsY(int pixels) { return pixels * 4; }
    static QRect toPixels(int x, int y, int width, int height)
    {
        return QRect(toPixelsX(x), toPixelsY(y), toPixelsX(width), toPixelsY(height));
    }
    static QSize toPixels(QSize units) { return QSize(toPixelsX(units.width()), toPixelsY(units.height())); }
    static QPoint fromPixels(QPoint p) { return QPoint(fromPixelsX(p.x()), fromPixelsY(p.y())); }
};

} // namespace rt::ui
