#include "PbTabPage.h"

#include "Controls.h"
#include "PbTab.h"
#include "Units.h"

namespace rt::ui {

PbTabPage::PbTabPage(const QString &className, QWidget *parent) : QWidget(parent), m_className(className)
{
    setObjectName(className);
    setAutoFillBackground(true);
}

void PbTabPage::setText(const QString &text)
{
    m_text = text;
    if (PbTab *t = tab())
        t->pageTextChanged(this);
}

void PbTabPage::setColors(long textColor, long backColor)
{
    m_textColor = textColor;
    m_backColor = backColor;
    Controls::setColors(this, textColor, backColor);
}

void PbTabPage::setUnitsSize(int width, int height)
{
    // A page inside a tab control fills the control's page area, whatever it is asked: sized
    // to the whole control it would reach under the tab bar's height, and what it holds along
    // its bottom edge (a grid's count line, its scroll bar) would be cut off until the control
    // laid its pages out again.
    if (tab() && parentWidget()) {
        resize(parentWidget()->size());
        return;
    }
    resize(Units::toPixelsX(width), Units::toPixelsY(height));
}

int PbTabPage::UnitsWidth() const
{
    return Units::fromPixelsX(width());
}

int PbTabPage::UnitsHeight() const
{
    return Units::fromPixelsY(height());
}

PbTab *PbTabPage::tab() const
{
    for (QWidget *p = parentWidget(); p; p = p->parentWidget()) {
        if (auto *t = qobject_cast<PbTab *>(p))
            return t;
    }
    return nullptr;
}

} // namespace rt::ui
