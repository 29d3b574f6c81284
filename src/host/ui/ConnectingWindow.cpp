#include "host/ui/ConnectingWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace host {

ConnectingWindow::ConnectingWindow(const QString &server, const QString &database, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("w_connecting"));
    setWindowTitle(QString::fromUtf8("历史信息维护"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    auto *title = new QLabel(QString::fromUtf8("正在连接服务器…"), this);
    title->setObjectName(QStringLiteral("st_title"));
    QFont bigger = title->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.2);
    bigger.setBold(true);
    title->setFont(bigger);
    layout->addWidget(title);
    auto *where = new QLabel(QString::fromUtf8("服务器：%1    数据库：%2").arg(server, database), this);
    where->setObjectName(QStringLiteral("st_where"));
    layout->addWidget(where);
    // A bar that moves by itself: the window is seen to be alive while the server is awaited.
    auto *bar = new QProgressBar(this);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    layout->addWidget(bar);
    setMinimumWidth(360);
}

void ConnectingWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

void ConnectingWindow::keyPressEvent(QKeyEvent *event)
{
    // Esc would end a dialog; this one ends when the connection has.
    event->ignore();
}

} // namespace host
