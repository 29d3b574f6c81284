#include "Controls.h"

#include "ColorLong.h"
#include "FontMap.h"
#include "Units.h"

namespace rt::ui {

void Controls::place(QWidget *control, int x, int y, int width, int height)
{
    control->setGeometry(Units::toPixels(x, y, width, height));
}

void Controls::setFont(QWidget *control, const QString &face, int points, bool bold)
{
    control->setFont(FontMap::font(face, points, bold));
}

void Controls::setColors(QWidget *control, long textColor, long backColor)
{
    QPalette pal = control->palette();
    const QColor text = ColorLong::toColor(textColor, pal);
    if (text.isValid()) {
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::Text, text);
        pal.setColor(QPalette::ButtonText, text);
    }
    if (ColorLong::isTransparent(backColor)) {
        control->setAutoFillBackground(false);
        control->setAttribute(Qt::WA_TranslucentBackground, true);
    } else {
        const QColor back = ColorLong::toColor(backColor, pal);
        pal.setColor(QPalette::Window, back);
        pal.setColor(QPalette::Button, back);
        control->setAutoFillBackground(true);
    }
    control->setPalette(pal);
}

int Controls::unitsX(const QWidget *control)
{
    return Units::fromPixelsX(control->x());
}
int Controls::unitsY(const QWidget *control)
{
    return Units::fromPixelsY(control->y());
}
int Controls::unitsWidth(const QWidget *control)
{
    return Units::fromPixelsX(control->width());
}
int Controls::unitsHeight(const QWidget *control)
{
    return Units::fromPixelsY(control->height());
}

} // namespace rt::ui
