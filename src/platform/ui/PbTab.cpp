#include "PbTab.h"

#include "Controls.h"
#include "Units.h"

#include <QTabBar>

namespace rt::ui {

PbTab::PbTab(QWidget *parent) : QTabWidget(parent)
{
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_adding)
            return;
        const int now = index + 1;
        if (now == m_lastIndex)
            return;
        const int old = m_lastIndex;
        m_lastIndex = now;
        onSelectionChanged(old, now);
        Q_EMIT selectionchanged(old, now);
    });
    connect(this, &QTabWidget::tabBarClicked, this, [this](int index) {
        onClicked(index + 1);
        Q_EMIT tabClicked(index + 1);
    });
}

PbTabPage *PbTab::OpenTabWithParm(const std::function<PbTabPage *()> &factory, const QString &parm, int index)
{
    Message::instance().StringParm = parm;
    PbTabPage *page = factory();
    if (page)
        page->constructor();
    return OpenTab(page, index);
}

PbTabPage *PbTab::OpenTab(PbTabPage *page, int index)
{
    if (!page)
        return nullptr;
    const bool first = count() == 0;
    m_adding = true;
    if (index <= 0 || index > count())
        addTab(page, page->Text());
    else
        insertTab(index - 1, page, page->Text());
    m_adding = false;
    if (first) {
        // The first page is selected at once; that is a selection change from none.
        m_lastIndex = 1;
        onSelectionChanged(0, 1);
        Q_EMIT selectionchanged(0, 1);
    } else {
        m_lastIndex = currentIndex() + 1;
    }
    return page;
}

int PbTab::CloseTab(PbTabPage *page)
{
    const int i = indexOf(page);
    if (i < 0)
        return -1;
    m_adding = true;
    removeTab(i);
    m_adding = false;
    page->deleteLater();
    page->hide();
    m_lastIndex = count() > 0 ? currentIndex() + 1 : 0;
    return 1;
}

int PbTab::SelectTab(int index)
{
    if (index < 1 || index > count())
        return -1;
    setCurrentIndex(index - 1);
    return 1;
}

int PbTab::SelectTab(PbTabPage *page)
{
    return SelectTab(indexOf(page) + 1);
}

QList<PbTabPage *> PbTab::Control() const
{
    QList<PbTabPage *> pages;
    for (int i = 0; i < count(); ++i) {
        if (auto *p = qobject_cast<PbTabPage *>(widget(i)))
            pages << p;
    }
    return pages;
}

void PbTab::setUnitsGeometry(int x, int y, int width, int height)
{
    setGeometry(Units::toPixels(x, y, width, height));
}

int PbTab::UnitsWidth() const
{
    return Units::fromPixelsX(width());
}

int PbTab::UnitsHeight() const
{
    return Units::fromPixelsY(height());
}

void PbTab::setColors(long textColor, long backColor)
{
    Controls::setColors(this, textColor, backColor);
}

void PbTab::pageTextChanged(PbTabPage *page)
{
    const int i = indexOf(page);
    if (i >= 0)
        setTabText(i, page->Text());
}

void PbTab::onSelectionChanged(int, int) {}

void PbTab::onClicked(int) {}

} // namespace rt::ui
