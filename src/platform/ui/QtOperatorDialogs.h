#pragma once

#include "OperatorDialogs.h"

namespace rt::ui {

// The operator dialogs of the application: Qt message boxes, colour dialog and help window.
class QtOperatorDialogs final : public OperatorDialogs
{
public:
    int messageBox(const QString &title, const QString &text, MsgIcon icon, MsgButtons buttons, int defaultButton) override;
    int chooseColor(long &color) override;
    int showHelp(const QString &file, const QString &keyword) override;
    bool yield() override;
    void responseWindowOpened(PbWindow *) override {}
    void runtimeError(const QString &text) override;
    QAction *popupMenu(QMenu &menu, const QPoint &globalPosition) override;

    // Where showHelp finds its pages: file name -> HTML resource or folder (set by the host).
    static void setHelpRoot(const QString &root);
};

} // namespace rt::ui
