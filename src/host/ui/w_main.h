#pragma once

#include "platform/ui/MdiFrame.h"

class QStatusBar;

namespace host {

// The host application's main window: the population register's frame. Its menu opens the
// history maintenance module; its status line names the open data directory.
class w_main : public rt::ui::MdiFrame
{
    Q_OBJECT
public:
    explicit w_main(QWidget *parent = nullptr);
    void setStatusText(const QString &text);
    QStatusBar *statusBar() const { return m_status; }

protected:
    void onOpen() override;
    void onResize(int sizetype, int newWidth, int newHeight) override;

private:
    void openHistoryModule();
    QStatusBar *m_status = nullptr;
};

} // namespace host
