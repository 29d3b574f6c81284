#include "QtOperatorDialogs.h"

#include "ColorLong.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace rt::ui {

namespace {

OperatorDialogs *g_service = nullptr;
QString g_helpRoot = QStringLiteral(":/help");

} // namespace

OperatorDialogs &OperatorDialogs::instance()
{
    static QtOperatorDialogs qtDialogs;
    return g_service ? *g_service : qtDialogs;
}

void OperatorDialogs::install(OperatorDialogs *service)
{
    g_service = service;
}

int MessageBox(const QString &title, const QString &text, MsgIcon icon, MsgButtons buttons, int defaultButton)
{
    return OperatorDialogs::instance().messageBox(title, text, icon, buttons, defaultButton);
}

int ChooseColor(long &color)
{
    return OperatorDialogs::instance().chooseColor(color);
}

int ShowHelp(const QString &file, const QString &keyword)
{
    return OperatorDialogs::instance().showHelp(file, keyword);
}

bool Yield()
{
    return OperatorDialogs::instance().yield();
}

void QtOperatorDialogs::setHelpRoot(const QString &root)
{
    g_helpRoot = root;
}

int QtOperatorDialogs::messageBox(const QString &title, const QString &text, MsgIcon icon, MsgButtons buttons,
                                  int defaultButton)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::StopSign: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
    }
    QList<QAbstractButton *> order;
    auto add = [&](const char *label, QMessageBox::ButtonRole role) {
        order << box.addButton(QString::fromUtf8(label), role);
    };
    switch (buttons) {
    case MsgButtons::OK: add("确定", QMessageBox::AcceptRole); break;
    case MsgButtons::OKCancel:
        add("确定", QMessageBox::AcceptRole);
        add("取消", QMessageBox::RejectRole);
        break;
    case MsgButtons::YesNo:
        add("是(&Y)", QMessageBox::YesRole);
        add("否(&N)", QMessageBox::NoRole);
        break;
    case MsgButtons::YesNoCancel:
        add("是(&Y)", QMessageBox::YesRole);
        add("否(&N)", QMessageBox::NoRole);
        add("取消", QMessageBox::RejectRole);
        break;
    case MsgButtons::RetryCancel:
        add("重试(&R)", QMessageBox::AcceptRole);
        add("取消", QMessageBox::RejectRole);
        break;
    }
    if (defaultButton >= 1 && defaultButton <= order.size())
        box.setDefaultButton(qobject_cast<QPushButton *>(order[defaultButton - 1]));
    box.setEscapeButton(order.last());
    box.exec();
    const int index = int(order.indexOf(box.clickedButton()));
    return index >= 0 ? index + 1 : int(order.size());
}

int QtOperatorDialogs::chooseColor(long &color)
{
    const QColor chosen = QColorDialog::getColor(ColorLong::toColor(color), QApplication::activeWindow());
    if (!chosen.isValid())
        return 0;
    color = ColorLong::fromColor(chosen);
    return 1;
}

int QtOperatorDialogs::showHelp(const QString &file, const QString &keyword)
{
    // The help is a set of HTML pages named after the help file; the keyword is the page's anchor.
    const QString page = g_helpRoot + QLatin1Char('/') + QFileInfo(file).completeBaseName() + QStringLiteral(".html");
    QFile f(page);
    if (!f.open(QIODevice::ReadOnly)) {
        messageBox(QString::fromUtf8("帮助"), QString::fromUtf8("找不到帮助文件 %1").arg(file), MsgIcon::Exclamation,
                   MsgButtons::OK, 1);
        return -1;
    }
    auto *dialog = new QDialog(QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QString::fromUtf8("帮助 - %1").arg(keyword));
    auto *browser = new QTextBrowser(dialog);
    browser->setHtml(QString::fromUtf8(f.readAll()));
    browser->scrollToAnchor(keyword);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(browser);
    dialog->resize(720, 560);
    dialog->show();
    return 1;
}

bool QtOperatorDialogs::yield()
{
    QCoreApplication::sendPostedEvents();
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
}

QAction *OperatorDialogs::runMenu(QMenu &menu, const QPoint &globalPosition)
{
    // The action may run a whole modal window before the menu answers: it runs once, never
    // again on the answer.
    bool triggered = false;
    QObject::connect(&menu, &QMenu::triggered, &menu, [&triggered]() { triggered = true; });
    QAction *chosen = instance().popupMenu(menu, globalPosition);
    if (chosen && !triggered)
        chosen->trigger();
    return chosen;
}

QAction *QtOperatorDialogs::popupMenu(QMenu &menu, const QPoint &globalPosition)
{
    return menu.exec(globalPosition);
}

void QtOperatorDialogs::runtimeError(const QString &text)
{
    messageBox(QString::fromUtf8("运行错误"), text, MsgIcon::StopSign, MsgButtons::OK, 1);
}

} // namespace rt::ui
