#pragma once

#include "platform/ui/OperatorDialogs.h"

#include <QList>
#include <QString>
#include <functional>

// The operator, scripted: answers come from a queue, every box is recorded, and hooks act on a
// response window when it opens. Installed for the life of the object.
class ScriptedOperatorDialogs : public rt::ui::OperatorDialogs
{
public:
    struct Box
    {
        QString title;
        QString text;
        rt::ui::MsgIcon icon;
        rt::ui::MsgButtons buttons;
        int defaultButton;
        bool underBusyCursor; // a busy cursor was still shown when the box opened
    };

    ScriptedOperatorDialogs();
    ~ScriptedOperatorDialogs() override;

    // The next message box is answered with this button number (1 = first). Without a queued
    // answer a box gets its default button.
    void answer(int button) { m_answers << button; }
    void answerColor(long color, bool chosen = true) { m_colors << std::make_pair(color, chosen); }
    // Runs once, on the next response window that opens.
    void onNextResponseWindow(std::function<void(rt::ui::PbWindow *)> hook) { m_hooks << std::move(hook); }
    // Drops hooks no window used (they may refer to what no longer exists).
    void clearHooks() { m_hooks.clear(); }

    // The next pop-up menu chooses the action of this item name ("" chooses nothing).
    void chooseMenuItem(const QString &name) { m_menuChoices << name; }
    struct MenuItemState
    {
        QString name;
        QString text;
        bool enabled;
        bool separator;
    };
    QList<QList<MenuItemState>> menus; // every pop-up, item by item

    QList<Box> boxes;
    QStringList errors;         // run-time errors
    QStringList helps;          // "file|keyword"
    int colorDialogs = 0;

    int messageBox(const QString &title, const QString &text, rt::ui::MsgIcon icon, rt::ui::MsgButtons buttons,
                   int defaultButton) override;
    int chooseColor(long &color) override;
    int showHelp(const QString &file, const QString &keyword) override;
    bool yield() override;
    void responseWindowOpened(rt::ui::PbWindow *window) override;
    void runtimeError(const QString &text) override;
    QAction *popupMenu(QMenu &menu, const QPoint &globalPosition) override;

private:
    QList<int> m_answers;
    QStringList m_menuChoices;
    QList<std::pair<long, bool>> m_colors;
    QList<std::function<void(rt::ui::PbWindow *)>> m_hooks;
};
