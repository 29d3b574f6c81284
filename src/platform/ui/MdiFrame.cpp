#include "MdiFrame.h"

#include "ColorLong.h"
#include "Units.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace rt::ui {

MdiFrame::MdiFrame(const QString &className, QWidget *parent) : PbWindow(className, Kind::MdiFrame, parent)
{
    mdi_1 = new QMdiArea(client());
    mdi_1->setObjectName(QStringLiteral("mdi_1"));
    mdi_1->setFrameShape(QFrame::NoFrame);
}

void MdiFrame::setMdiBackColor(long color)
{
    const QColor c = ColorLong::toColor(color, mdi_1->palette());
    if (c.isValid())
        mdi_1->setBackground(c);
}

void MdiFrame::placeMdi(int x, int y, int width, int height)
{
    mdi_1->setGeometry(Units::toPixels(x, y, std::max(0, width), std::max(0, height)));
}

int MdiFrame::mdiUnitsWidth() const
{
    return Units::fromPixelsX(mdi_1->width());
}

int MdiFrame::mdiUnitsHeight() const
{
    return Units::fromPixelsY(mdi_1->height());
}

PbWindow *MdiFrame::GetActiveSheet() const
{
    auto usable = [](QMdiSubWindow *sub) -> PbWindow * {
        auto *w = sub ? qobject_cast<PbWindow *>(sub->widget()) : nullptr;
        return w && !w->isClosed() && !sub->isHidden() ? w : nullptr;
    };
    if (PbWindow *w = usable(mdi_1->currentSubWindow()))
        return w;
    // Without window focus (or right after the active sheet closed) Qt may have no current
    // sub-window: the most recently active sheet still open is the active one.
    const auto history = mdi_1->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = history.crbegin(); it != history.crend(); ++it) {
        if (PbWindow *w = usable(*it))
            return w;
    }
    return nullptr;
}

QList<PbWindow *> MdiFrame::sheets() const
{
    QList<PbWindow *> out;
    for (QMdiSubWindow *sub : mdi_1->subWindowList()) {
        auto *w = qobject_cast<PbWindow *>(sub->widget());
        if (w && !w->isClosed())
            out << w;
    }
    return out;
}

void MdiFrame::openSheet(PbWindow *sheet, bool frameless, bool maximized)
{
    sheet->setParentFrame(this);
    QMdiSubWindow *sub = mdi_1->addSubWindow(sheet, frameless ? Qt::FramelessWindowHint : Qt::SubWindow);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sheet->show();
    if (maximized)
        sub->showMaximized();
    else
        sub->show();
    mdi_1->setActiveSubWindow(sub);
    sheet->runOpen();
}

} // namespace rt::ui
