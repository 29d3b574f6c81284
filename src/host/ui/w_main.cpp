#include "host/ui/w_main.h"

#include "host/ui/Globals.h"
#include "platform/ui/PbMenu.h"
#include "platform/ui/Windows.h"

#include <QApplication>
#include <QLayout>
#include <QMdiArea>
#include <QStatusBar>

namespace host {

w_main::w_main(QWidget *parent) : rt::ui::MdiFrame(QStringLiteral("w_main"), parent)
{
    setTitle(QString::fromUtf8("人口信息管理系统"));
    setIconName(QStringLiteral("bmp\\bag.ico"));
    auto *menu = new rt::ui::PbMenu(QStringLiteral("m_main"));
    rt::ui::PbMenuItem *system = menu->addItem(QStringLiteral("m_system"), QString::fromUtf8("系统(&S)"));
    rt::ui::PbMenuItem *history = system->addItem(QStringLiteral("m_histmanage"), QString::fromUtf8("历史信息维护(&H)"),
                                                  QString::fromUtf8("浏览、删除和恢复历史信息"));
    system->addSeparator(QStringLiteral("m_sep1"));
    rt::ui::PbMenuItem *exit = system->addItem(QStringLiteral("m_exit"), QString::fromUtf8("退出(&X)"));
    connect(history, &rt::ui::PbMenuItem::clicked, this, &w_main::openHistoryModule);
    connect(exit, &rt::ui::PbMenuItem::clicked, this, [this]() { Close(); });
    setMenu(menu);
    m_status = new QStatusBar(this);
    layout()->addWidget(m_status);
    setMdiBackColor(268435456);
    setUnitsSize(3600, 2600);
}

void w_main::setStatusText(const QString &text)
{
    m_status->showMessage(text);
}

void w_main::onOpen()
{
    if (!g().dataDirectory.isEmpty())
        setStatusText(QString::fromUtf8("数据目录：%1").arg(g().dataDirectory));
}

void w_main::onResize(int, int newWidth, int newHeight)
{
    placeMdi(0, 0, newWidth, newHeight);
}

void w_main::openHistoryModule()
{
    rt::ui::Windows::OpenByName(QStringLiteral("w_histmanage"), QString());
}

} // namespace host
