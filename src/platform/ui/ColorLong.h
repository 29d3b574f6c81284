#pragma once

#include <QColor>
#include <QPalette>

namespace rt::ui {

// Colour longs (blue × 65536 + green × 256 + red) and the runtime's special values, converted to
// Qt colours in this one place.
class ColorLong
{
public:
    static constexpr long White = 16777215;
    static constexpr long WindowText = 33554432;
    static constexpr long ButtonFace = 67108864;
    static constexpr long AppWorkspace = 268435456;
    static constexpr long Transparent = 536870912;
    static constexpr long Shadow3D = 134217745;

    static bool isTransparent(long value) { return value == Transparent; }
    // A system colour comes from the palette; an invalid colour for "transparent".
    static QColor toColor(long value, const QPalette &palette = QPalette());
    static long fromColor(const QColor &color);
};

} // namespace rt::ui
