#include "ScriptedOperatorDialogs.h"

#include <QGuiApplication>

#include "platform/ui/PbWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

ScriptedOperatorDialogs::ScriptedOperatorDialogs()
{
    rt::ui::OperatorDialogs::install(this);
}

ScriptedOperatorDialogs::~ScriptedOperatorDialogs()
{
    rt::ui::OperatorDialogs::install(nullptr);
}

int ScriptedOperatorDialogs::messageBox(const QString &title, const QString &text, rt::ui::MsgIcon icon,
                                        rt::ui::MsgButtons buttons, int defaultButton)
{
    boxes << Box{title, text, icon, buttons, defaultButton, QGuiApplication::overrideCursor() != nullptr};
    return m_answers.isEmpty() ? defaultButton : m_answers.takeFirst();
}

int ScriptedOperatorDialogs::chooseColor(long &color)
{
    ++colorDialogs;
    if (m_colors.isEmpty())
        return 0;
    const auto c = m_colors.takeFirst();
    if (!c.second)
        return 0;
    color = c.first;
    return 1;
}

int ScriptedOperatorDialogs::showHelp(const QString &file, const QString &keyword)
{
    helps << file + QLatin1Char('|') + keyword;
    return 1;
}

bool ScriptedOperatorDialogs::yield()
{
    QCoreApplication::processEvents();
    return false;
}

void ScriptedOperatorDialogs::responseWindowOpened(rt::ui::PbWindow *window)
{
    if (m_hooks.isEmpty()) {
        // An unscripted response window would wait for an operator who is not there.
        errors << QStringLiteral("unscripted response window %1").arg(window->ClassName());
        window->Close();
        return;
    }
    auto hook = m_hooks.takeFirst();
    hook(window);
}

QAction *ScriptedOperatorDialogs::popupMenu(QMenu &menu, const QPoint &)
{
    QList<MenuItemState> states;
    for (QAction *a : menu.actions())
        states << MenuItemState{a->objectName(), a->text(), a->isEnabled(), a->isSeparator()};
    menus << states;
    const QString choice = m_menuChoices.isEmpty() ? QString() : m_menuChoices.takeFirst();
    for (QAction *a : menu.actions()) {
        if (!choice.isEmpty() && a->objectName() == choice)
            return a->isEnabled() ? a : nullptr;
    }
    return nullptr;
}

void ScriptedOperatorDialogs::runtimeError(const QString &text)
{
    errors << text;
}
