#include "record/m_hisgridrbutton.h"

#include "platform/ui/ColorLong.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/Windows.h"

namespace hm {

m_hisgridrbutton::m_hisgridrbutton(QObject *parent) : rt::ui::PbMenu(QStringLiteral("m_hisgridrbutton"), parent)
{
    m_gridmenu = addItem(QStringLiteral("m_gridmenu"), QString::fromUtf8("Grid 窗口右键操作"), QString::fromUtf8("Grid 窗口右键操作"));
    m_alignleft = m_gridmenu->addItem(QStringLiteral("m_alignleft"), QString::fromUtf8("左对齐(&L)"), QString::fromUtf8("左对齐"));
    m_aligncenter = m_gridmenu->addItem(QStringLiteral("m_aligncenter"), QString::fromUtf8("居中(&M)"), QString::fromUtf8("居中"));
    m_alignright = m_gridmenu->addItem(QStringLiteral("m_alignright"), QString::fromUtf8("右对齐(&R)"), QString::fromUtf8("右对齐"));
    m_gridmenu->addSeparator(QStringLiteral("m_-1"));
    m_color = m_gridmenu->addItem(QStringLiteral("m_color"), QString::fromUtf8("列颜色设置(&O)"), QString::fromUtf8("列颜色设置"));
    m_nocolor = m_gridmenu->addItem(QStringLiteral("m_nocolor"), QString::fromUtf8("取消列颜色(&U)"),
                                    QString::fromUtf8("取消列已经设置的颜色"));
    m_gridmenu->addSeparator(QStringLiteral("m_-2"));
    m_saveas = m_gridmenu->addItem(QStringLiteral("m_saveas"), QString::fromUtf8("数据导出(&S)..."), QString::fromUtf8("数据导出"));
    m_print = m_gridmenu->addItem(QStringLiteral("m_print"), QString::fromUtf8("打印"), QString::fromUtf8("打印当前窗口"));
    m_gridmenu->addSeparator(QStringLiteral("m_-3"));
    m_timeline = m_gridmenu->addItem(QStringLiteral("m_timeline"), QString::fromUtf8("历史轨迹(&T)..."),
                                     QString::fromUtf8("这一行所属记录的全部状态和每次的变化"));
    connect(m_alignleft, &rt::ui::PbMenuItem::clicked, this, [this]() { align(0); });
    connect(m_aligncenter, &rt::ui::PbMenuItem::clicked, this, [this]() { align(2); });
    connect(m_alignright, &rt::ui::PbMenuItem::clicked, this, [this]() { align(1); });
    connect(m_color, &rt::ui::PbMenuItem::clicked, this, &m_hisgridrbutton::chooseColor);
    connect(m_nocolor, &rt::ui::PbMenuItem::clicked, this, &m_hisgridrbutton::noColor);
    connect(m_saveas, &rt::ui::PbMenuItem::clicked, this, &m_hisgridrbutton::saveAs);
    connect(m_print, &rt::ui::PbMenuItem::clicked, this, &m_hisgridrbutton::print);
    connect(m_timeline, &rt::ui::PbMenuItem::clicked, this, [this]() {
        if (idw_data && idw_data->GetRow() > 0)
            rt::ui::Windows::OpenByName(QStringLiteral("w_histimeline"), QString(), idw_data);
    });
}

void m_hisgridrbutton::mf_setdw(rt::ui::DataWindowControl *adw_data)
{
    idw_data = adw_data;
}

int m_hisgridrbutton::clickedColumn() const
{
    return idw_data ? idw_data->GetClickedColumn() : 0;
}

void m_hisgridrbutton::align(int alignment)
{
    const int c = clickedColumn();
    if (c < 1)
        return;
    idw_data->Modify(QStringLiteral("#%1.alignment = %2").arg(c).arg(alignment));
}

void m_hisgridrbutton::chooseColor()
{
    const int c = clickedColumn();
    if (c < 1)
        return;
    long color = 0;
    if (rt::ui::ChooseColor(color) != 1)
        return;
    idw_data->Modify(QStringLiteral("#%1.Color = %2").arg(c).arg(color));
}

void m_hisgridrbutton::noColor()
{
    const int c = clickedColumn();
    if (c < 1)
        return;
    idw_data->Modify(QStringLiteral("#%1.Color = %2").arg(c).arg(rt::ui::ColorLong::WindowText));
}

void m_hisgridrbutton::saveAs()
{
    // The grid the menu was opened on, through the grid's own save-as dialog, as 打印 prints it.
    // (The design sent ue_saveas to the host's page in view, guo_tabpg_now, which the history
    // pages never answer: the item did nothing.)
    if (idw_data && idw_data->saveAsWithDialog() == -1)
        rt::ui::MessageBox(QString::fromUtf8("数据导出"), QString::fromUtf8("数据导出失败，文件没有保存：\r\n") + idw_data->lastError(),
                           rt::ui::MsgIcon::Exclamation);
}

void m_hisgridrbutton::print()
{
    // The print preview of the grid (a host window).
    if (idw_data)
        rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), idw_data.data());
}

} // namespace hm
