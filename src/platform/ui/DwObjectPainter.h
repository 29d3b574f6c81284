#pragma once

#include <QPainter>
#include <QRect>
#include <QString>

namespace rt {
class DwObjectDef;
}

namespace rt::ui {

// Draws DataWindow objects with their properties — text boxes (border, background colour and
// mode, text colour, alignment, font), pictures and lines — for the form, drawing and printed
// presentations and the grid's header.
class DwObjectPainter
{
public:
    // Box in pixels. background.mode 1 paints no background.
    static void drawTextBox(QPainter &p, const QRect &box, const QString &text, const rt::DwObjectDef &object,
                            const QPalette &palette, double fontScale = 1.0);
    // The border codes: 0 none, 1 shadow box, 2 box, 3 resize, 4 underline, 5 lowered, 6 raised.
    static void drawBorder(QPainter &p, const QRect &box, int border, const QPalette &palette);
    static void drawPicture(QPainter &p, const QRect &box, const rt::DwObjectDef &object);
    static void drawLine(QPainter &p, const rt::DwObjectDef &line, const QPalette &palette);
    static QRect boxOf(const rt::DwObjectDef &object);
    static Qt::Alignment alignmentOf(const rt::DwObjectDef &object);
};

} // namespace rt::ui
