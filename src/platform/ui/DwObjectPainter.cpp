#include "DwObjectPainter.h"

#include "ColorLong.h"
#include "FontMap.h"
#include "Pictures.h"
#include "Units.h"
#include "platform/dw/DwObjectDef.h"

namespace rt::ui {

QRect DwObjectPainter::boxOf(const rt::DwObjectDef &o)
{
    return Units::toPixels(o.intProp(QStringLiteral("x")), o.intProp(QStringLiteral("y")),
                           o.intProp(QStringLiteral("width")), o.intProp(QStringLiteral("height")));
}

Qt::Alignment DwObjectPainter::alignmentOf(const rt::DwObjectDef &o)
{
    const int a = o.intProp(QStringLiteral("alignment"));
    return (a == 1 ? Qt::AlignRight : (a == 2 ? Qt::AlignHCenter : Qt::AlignLeft)) | Qt::AlignVCenter;
}

void DwObjectPainter::drawBorder(QPainter &p, const QRect &r, int border, const QPalette &pal)
{
    const QRect b = r.adjusted(0, 0, -1, -1);
    switch (border) {
    case 1: // shadow box
        p.setPen(pal.color(QPalette::WindowText));
        p.drawRect(b);
        p.drawLine(b.left() + 2, b.bottom() + 1, b.right() + 1, b.bottom() + 1);
        break;
    case 2:
    case 3:
        p.setPen(pal.color(QPalette::WindowText));
        p.drawRect(b);
        break;
    case 4:
        p.setPen(pal.color(QPalette::WindowText));
        p.drawLine(b.bottomLeft(), b.bottomRight());
        break;
    case 5: // lowered
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(b.topLeft(), b.topRight());
        p.drawLine(b.topLeft(), b.bottomLeft());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
        break;
    case 6: // raised
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(b.topLeft(), b.topRight());
        p.drawLine(b.topLeft(), b.bottomLeft());
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
        break;
    default: break;
    }
}

void DwObjectPainter::drawTextBox(QPainter &p, const QRect &box, const QString &text, const rt::DwObjectDef &o,
                                  const QPalette &pal, double fontScale)
{
    const int mode = o.isSet(QStringLiteral("background.mode")) ? o.intProp(QStringLiteral("background.mode"))
                                                                : (o.kind() == rt::DwObjectKind::Column ? 1 : 0);
    if (mode != 1) {
        const long back = o.isSet(QStringLiteral("background.color")) ? o.prop(QStringLiteral("background.color")).toLong()
                                                                       : ColorLong::ButtonFace;
        const QColor c = ColorLong::toColor(back, pal);
        if (c.isValid())
            p.fillRect(box, c);
    }
    drawBorder(p, box, o.intProp(QStringLiteral("border")), pal);
    const long textColor = o.isSet(QStringLiteral("color")) ? o.prop(QStringLiteral("color")).toLong() : ColorLong::WindowText;
    p.setPen(ColorLong::toColor(textColor, pal));
    const QString face = o.prop(QStringLiteral("font.face"));
    const int height = o.intProp(QStringLiteral("font.height"), -9);
    QFont f = FontMap::font(face.isEmpty() ? QString::fromUtf8("宋体") : face, height,
                            o.intProp(QStringLiteral("font.weight"), 400) >= 700);
    if (fontScale != 1.0)
        f.setPointSizeF(f.pointSizeF() * fontScale);
    p.setFont(f);
    p.drawText(box.adjusted(2, 0, -2, 0), int(alignmentOf(o)) | Qt::TextSingleLine, text);
}

void DwObjectPainter::drawPicture(QPainter &p, const QRect &box, const rt::DwObjectDef &o)
{
    const QPixmap pix = Pictures::load(o.prop(QStringLiteral("filename")));
    if (pix.isNull())
        return;
    if (o.boolProp(QStringLiteral("originalsize")))
        p.drawPixmap(box.topLeft(), pix);
    else
        p.drawPixmap(box, pix);
}

void DwObjectPainter::drawLine(QPainter &p, const rt::DwObjectDef &l, const QPalette &pal)
{
    const long color = l.isSet(QStringLiteral("pen.color")) ? l.prop(QStringLiteral("pen.color")).toLong() : 0;
    QPen pen(ColorLong::toColor(color, pal));
    pen.setWidth(std::max(1, Units::toPixelsX(l.intProp(QStringLiteral("pen.width"), 4))));
    p.setPen(pen);
    p.drawLine(QPoint(Units::toPixelsX(l.intProp(QStringLiteral("x1"))), Units::toPixelsY(l.intProp(QStringLiteral("y1")))),
               QPoint(Units::toPixelsX(l.intProp(QStringLiteral("x2"))), Units::toPixelsY(l.intProp(QStringLiteral("y2")))));
}

} // namespace rt::ui
