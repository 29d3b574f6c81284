#include "PbMenu.h"

#include "OperatorDialogs.h"
#include "PbWindow.h"
#include "Units.h"

#include <QMenu>
#include <QMenuBar>

namespace rt::ui {

PbMenuItem::PbMenuItem(const QString &name, const QString &text, QObject *parent) : QObject(parent), m_text(text)
{
    setObjectName(name);
}

PbMenuItem *PbMenuItem::addItem(const QString &name, const QString &text, const QString &microHelp)
{
    auto *item = new PbMenuItem(name, text, this);
    item->setMicroHelp(microHelp);
    m_items << item;
    return item;
}

PbMenuItem *PbMenuItem::addSeparator(const QString &name)
{
    return addItem(name, QStringLiteral("-"));
}

PbMenuItem *PbMenuItem::item(const QString &name) const
{
    for (PbMenuItem *i : m_items) {
        if (i->name() == name)
            return i;
        if (PbMenuItem *found = i->item(name))
            return found;
    }
    return nullptr;
}

PbWindow *PbMenuItem::ParentWindow() const
{
    for (const QObject *o = this; o; o = o->parent()) {
        if (const auto *menu = qobject_cast<const PbMenu *>(o))
            return menu->parentWindow();
    }
    return nullptr;
}

void PbMenuItem::trigger()
{
    if (!m_enabled || !m_visible)
        return;
    onClicked();
    Q_EMIT clicked();
}

void PbMenuItem::fillMenu(QMenu *menu)
{
    for (PbMenuItem *i : m_items) {
        if (!i->Visible())
            continue;
        if (i->isSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (!i->items().isEmpty()) {
            QMenu *sub = menu->addMenu(i->Text());
            sub->setEnabled(i->Enabled());
            i->fillMenu(sub);
            continue;
        }
        QAction *a = menu->addAction(i->Text());
        a->setObjectName(i->name());
        a->setEnabled(i->Enabled());
        a->setStatusTip(i->MicroHelp());
        connect(a, &QAction::triggered, i, &PbMenuItem::trigger);
    }
}

PbMenu::PbMenu(const QString &className, QObject *parent) : PbMenuItem(className, QString(), parent) {}

void PbMenu::setParentWindow(PbWindow *window)
{
    m_window = window;
}

PbWindow *PbMenu::parentWindow() const
{
    return qobject_cast<PbWindow *>(m_window.data());
}

void PbMenu::fillMenuBar(QMenuBar *bar)
{
    bar->clear();
    for (PbMenuItem *i : items()) {
        // A hidden item is not on the bar at all, so neither mouse nor keyboard reaches it.
        if (!i->Visible())
            continue;
        if (i->items().isEmpty()) {
            QAction *a = bar->addAction(i->Text());
            a->setObjectName(i->name());
            a->setEnabled(i->Enabled());
            connect(a, &QAction::triggered, i, &PbMenuItem::trigger);
            continue;
        }
        QMenu *m = bar->addMenu(i->Text());
        m->setObjectName(i->name());
        m->setEnabled(i->Enabled());
        i->fillMenu(m);
    }
}

int PbMenu::PopMenu(PbMenuItem *item, int x, int y)
{
    return PopMenu(item, parentWindow(), x, y);
}

int PbMenu::PopMenu(PbMenuItem *item, PbWindow *window, int x, int y)
{
    if (!item)
        return -1;
    QMenu menu;
    item->fillMenu(&menu);
    QPoint at(Units::toPixelsX(x), Units::toPixelsY(y));
    if (window)
        at = window->client()->mapToGlobal(at);
    m_popup = &menu;
    // The chosen action triggers its item through the connection fillMenu made, once.
    OperatorDialogs::runMenu(menu, at);
    m_popup = nullptr;
    return 1;
}

} // namespace rt::ui
