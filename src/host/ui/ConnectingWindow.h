#pragma once

#include <QDialog>

namespace host {

// "正在连接服务器…" with the server and database, and a moving bar, shown while the program
// connects instead of nothing at all. It has no buttons (the connection ends by itself within
// its connect timeout); closing it from the window manager is ignored.
class ConnectingWindow : public QDialog
{
    Q_OBJECT
public:
    ConnectingWindow(const QString &server, const QString &database, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace host
