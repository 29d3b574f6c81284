#include "DwFreeView.h"

#include "DataWindowControl.h"
#include "DwObjectPainter.h"
#include "DwValueFormat.h"
#include "Units.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace rt::ui {

namespace {

int bandRank(const QString &band)
{
    if (band == QLatin1String("background"))
        return 0;
    if (band == QLatin1String("foreground"))
        return 3;
    if (band == QLatin1String("header"))
        return 1;
    return 2;
}

QString bandOf(const rt::DwObjectDef &o)
{
    const QString b = o.prop(QStringLiteral("band"));
    if (!b.isEmpty())
        return b;
    return o.kind() == rt::DwObjectKind::Column ? QStringLiteral("detail") : QStringLiteral("header");
}

bool visible(const rt::DwObjectDef &o)
{
    return o.intProp(QStringLiteral("visible"), 1) != 0;
}

} // namespace

DwFreeView::DwFreeView(DataWindowControl *control) : QWidget(control), m_control(control)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
}

QSize DwFreeView::contentSize() const
{
    QRect all;
    for (const rt::DwObjectDef &o : m_control->dataStore().definition().objects()) {
        if (o.kind() != rt::DwObjectKind::Line)
            all = all.united(DwObjectPainter::boxOf(o));
    }
    return QSize(all.right() + 1, all.bottom() + 1);
}

void DwFreeView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const rt::DataStore &ds = m_control->dataStore();
    const rt::DwDefinition &def = ds.definition();
    const long row = ds.GetRow() > 0 ? ds.GetRow() : (ds.RowCount() > 0 ? 1 : 0);
    for (int rank = 0; rank <= 3; ++rank) {
        // Pictures first within a band, so captions lie over them.
        for (int pass = 0; pass < 2; ++pass) {
            for (const rt::DwObjectDef &o : def.objects()) {
                if (!visible(o) || bandRank(bandOf(o)) != rank)
                    continue;
                const bool picture = o.kind() == rt::DwObjectKind::Bitmap;
                if ((pass == 0) != picture)
                    continue;
                const QRect box = DwObjectPainter::boxOf(o);
                switch (o.kind()) {
                case rt::DwObjectKind::Bitmap: DwObjectPainter::drawPicture(p, box, o); break;
                case rt::DwObjectKind::Text:
                    DwObjectPainter::drawTextBox(p, box, o.prop(QStringLiteral("text")), o, palette());
                    break;
                case rt::DwObjectKind::Column: {
                    const int c = def.findColumn(o.name());
                    const QString text = row > 0 ? DwValueFormat::display(ds.GetItem(row, c + 1), o) : QString();
                    DwObjectPainter::drawTextBox(p, box, text, o, palette());
                    break;
                }
                case rt::DwObjectKind::Line: DwObjectPainter::drawLine(p, o, palette()); break;
                case rt::DwObjectKind::Rectangle: {
                    p.setPen(Qt::NoPen);
                    p.fillRect(box, palette().color(QPalette::Window));
                    break;
                }
                }
            }
        }
    }
}

QString DwFreeView::objectAt(const QPoint &pos) const
{
    const rt::DwDefinition &def = m_control->dataStore().definition();
    QString text, picture, background, column;
    for (const rt::DwObjectDef &o : def.objects()) {
        if (!visible(o) || o.kind() == rt::DwObjectKind::Line || !DwObjectPainter::boxOf(o).contains(pos))
            continue;
        switch (o.kind()) {
        case rt::DwObjectKind::Text: text = o.name(); break;
        case rt::DwObjectKind::Column: column = o.name(); break;
        case rt::DwObjectKind::Bitmap:
            if (bandOf(o) == QLatin1String("background"))
                background = o.name();
            else
                picture = o.name();
            break;
        default: break;
        }
    }
    if (!text.isEmpty())
        return text;
    if (!column.isEmpty())
        return column;
    if (!picture.isEmpty())
        return picture;
    return background;
}

QString DwFreeView::toolTipAt(const QPoint &pos) const
{
    const rt::DataStore &ds = m_control->dataStore();
    const rt::DwDefinition &def = ds.definition();
    const QString name = objectAt(pos);
    // An object's own tip first (a toolbar button says what it does and its key).
    if (const rt::DwObjectDef *tipped = def.object(name); tipped && !tipped->prop(QStringLiteral("tooltip.tip")).isEmpty())
        return tipped->prop(QStringLiteral("tooltip.tip"));
    const int c = def.findColumn(name);
    const rt::DwObjectDef *o = c >= 0 ? def.object(name) : nullptr;
    const long row = ds.GetRow() > 0 ? ds.GetRow() : (ds.RowCount() > 0 ? 1 : 0);
    if (!o || row < 1)
        return QString();
    return DwValueFormat::display(ds.GetItem(row, c + 1), *o);
}

bool DwFreeView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

void DwFreeView::emitMouse(QMouseEvent *event, int kind)
{
    const QPoint pos = event->position().toPoint();
    const QString dwo = objectAt(pos);
    const rt::DwDefinition &def = m_control->dataStore().definition();
    const int column = def.findColumn(dwo);
    const long row = column >= 0 ? m_control->GetRow() : 0;
    const QPoint inControl = mapTo(m_control, pos);
    const int x = Units::fromPixelsX(inControl.x()), y = Units::fromPixelsY(inControl.y());
    switch (kind) {
    case 0:
        m_control->setClickedColumn(column + 1);
        if (event->button() == Qt::RightButton)
            Q_EMIT m_control->rbuttondown(x, y, row, dwo);
        else
            Q_EMIT m_control->clicked(x, y, row, dwo);
        break;
    case 1: Q_EMIT m_control->lbuttonUp(x, y, row, dwo); break;
    case 2: Q_EMIT m_control->mouseMove(x, y, row, dwo); break;
    case 3: Q_EMIT m_control->doubleclicked(x, y, row, dwo); break;
    }
}

void DwFreeView::mousePressEvent(QMouseEvent *event)
{
    emitMouse(event, 0);
}

void DwFreeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emitMouse(event, 1);
}

void DwFreeView::mouseMoveEvent(QMouseEvent *event)
{
    emitMouse(event, 2);
}

void DwFreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    emitMouse(event, 3);
}

void DwFreeView::keyPressEvent(QKeyEvent *event)
{
    Q_EMIT m_control->keyDown(event->key(), event->modifiers());
}

} // namespace rt::ui
