#pragma once

#include <QWidget>

namespace rt::ui {

// Placing and styling of controls in the runtime's units, in one place.
class Controls
{
public:
    static void place(QWidget *control, int x, int y, int width, int height);
    static void setFont(QWidget *control, const QString &face, int points, bool bold = false);
    // Text colour and background as colour longs; a transparent background paints nothing.
    static void setColors(QWidget *control, long textColor, long backColor);
    static int unitsX(const QWidget *control);
    static int unitsY(const QWidget *control);
    static int unitsWidth(const QWidget *control);
    static int unitsHeight(const QWidget *control);
};

} // namespace rt::ui
