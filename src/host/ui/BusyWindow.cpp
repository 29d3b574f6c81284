#include "host/ui/BusyWindow.h"

#include "platform/core/Transaction.h"
#include "platform/ui/AsideWait.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace host {

namespace {

QString waitingText()
{
    return QString::fromUtf8("正在等待服务器答复…");
}

} // namespace

BusyWindow::BusyWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("请稍候"));
    setWindowModality(Qt::ApplicationModal);
    rt::ui::AsideWait::markWaitWindow(this);
    m_text = new QLabel(waitingText(), this);
    m_seconds = new QLabel(this);
    m_cancel = new QPushButton(QString::fromUtf8("取消"), this);
    // Enter presses 取消 as the window's one button; it holds the focus from the start.
    m_cancel->setDefault(true);
    m_cancel->setAutoDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &BusyWindow::cancel);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(10);
    layout->addWidget(m_text);
    layout->addWidget(m_seconds);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(320);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &BusyWindow::unwatchAll);
}

BusyWindow::~BusyWindow()
{
    unwatchAll();
}

void BusyWindow::unwatchAll()
{
    for (rt::Transaction *t : std::as_const(m_watched))
        t->setWaitObserver(nullptr);
    m_watched.clear();
}

void BusyWindow::watch(rt::Transaction &t)
{
    t.setWaitObserver(this);
    if (!m_watched.contains(&t))
        m_watched.append(&t);
}

void BusyWindow::showWait()
{
    m_cancelAsked = false;
    m_text->setText(waitingText());
    m_cancel->setEnabled(true);
    show();
    raise();
    activateWindow();
    m_cancel->setFocus(Qt::OtherFocusReason);
}

bool BusyWindow::stillWaiting(int waitedMs)
{
    if (m_processing > 0 || waitedMs < ShowAfterMs)
        return false;
    if (!isVisible())
        showWait();
    m_seconds->setText(QString::fromUtf8("已等待 %1 秒").arg(waitedMs / 1000));
    ++m_processing;
    rt::ui::AsideWait::deliverPending();
    --m_processing;
    return m_cancelAsked;
}

void BusyWindow::waitEnded()
{
    if (m_processing > 0)
        return; // a wait inside the one shown: that one goes on
    hide();
    m_cancelAsked = false;
}

void BusyWindow::reject()
{
    if (isVisible())
        cancel();
}

void BusyWindow::cancel()
{
    if (m_cancelAsked)
        return;
    m_cancelAsked = true;
    // The server is asked at the next tick; its answer, or the cancel's grace, ends the wait.
    m_text->setText(QString::fromUtf8("正在取消…"));
    m_cancel->setEnabled(false);
}

} // namespace host
