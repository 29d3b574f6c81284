#include "shell/w_histmanage.h"

#include <QAction>
#include <QLabel>
#include <QTime>
#include <algorithm>

#include "host/ui/Globals.h"
#include "host/ui/uo_button.h"
#include "host/ui/ModuleWindows.h"
#include "platform/ui/Controls.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/PbPicture.h"
#include "platform/ui/Windows.h"
#include "sheets/w_hisexplore.h"
#include "shell/HistoryDeletion.h"
#include "shell/HistoryRecovery.h"
#include "shell/m_hismain.h"
#include "platform/ui/DataWindowControl.h"
#include "toolbar/uo_toolbar_his.h"
#include "toolbar/uo_transparent_st.h"

#include <QMdiArea>

namespace hm {

namespace {

// A category button: the host's clicked script, then the sheet request with its fixed name.
class CategoryButton : public host::uo_button
{
public:
    CategoryButton(QWidget *parent, w_histmanage *window, QString sheetName)
        : host::uo_button(parent), m_window(window), m_sheetName(std::move(sheetName))
    {
    }

protected:
    void onClicked() override
    {
        host::uo_button::onClicked();
        rt::ui::LateBinding::triggerEvent(m_window, "ue_opensheet", m_sheetName);
    }
    // ue_lbuttondown / ue_lbuttonup: no script, not even the ancestor's.
    void onLeftButtonDown() override {}
    void onLeftButtonUp() override {}

private:
    w_histmanage *m_window;
    QString m_sheetName;
};

} // namespace

w_histmanage::w_histmanage(QWidget *parent) : rt::ui::MdiFrame(QStringLiteral("w_histmanage"), parent)
{
    setTitle(QString::fromUtf8("历史信息维护"));
    setIconName(QStringLiteral("bmp\\bag.ico"));
    setBackColor(67108864);
    setMenu(new m_hismain(this));
    setMdiBackColor(268435456);

    // Creation order; earlier controls lie on top of later ones (the labels and buttons over
    // the strip).
    QList<QWidget *> order;
    order << mdi_1;
    order << (st_rprinfo = addLabel("st_rprinfo", "户籍信息", 360));
    order << (p_rprinfo = addCategory("p_rprinfo", "p_rprinfo", "bmp\\GE_Rpr.bmp", 208, false));
    order << (st_minprotect = addLabel("st_minprotect", "低保人员信息", 2064));
    order << (p_minlivingprotect = addCategory("p_minlivingprotect", "p_minlivingprotect", "bmp\\SV_MinLivingProtect.bmp",
                                               1912, true));
    order << (st_lostjobperson = addLabel("st_lostjobperson", "失业人员信息", 1780));
    order << (p_oowpersoninfo = addCategory("p_oowpersoninfo", "p_oowpersoninfo", "bmp\\SV_OOWPersonInfo.bmp", 1628, false));
    order << (st_womaninfo = addLabel("st_womaninfo", "育龄妇女信息", 1496));
    order << (p_womaninfo = addCategory("p_womaninfo", "p_womaninfo", "bmp\\MH_AdultWomanInfo.bmp", 1344, false));
    order << (st_childreninfo = addLabel("st_childreninfo", "儿童信息", 1212));
    order << (p_children = addCategory("p_children", "p_Children", "bmp\\SV_Children.bmp", 1060, false));
    order << (st_eldinfo = addLabel("st_eldinfo", "老年人信息", 928));
    order << (p_eldinfo = addCategory("p_eldinfo", "p_eldinfo", "bmp\\SV_ElderInfo.bmp", 776, false));
    order << (st_personinfo = addLabel("st_personinfo", "个人信息", 644));
    order << (p_personinfo = addCategory("p_personinfo", "p_personinfo", "bmp\\GE_PersonInfo.bmp", 492, false));
    p_speedbar = new rt::ui::PbPicture(client());
    p_speedbar->setObjectName(QStringLiteral("p_speedbar"));
    p_speedbar->setPictureName(QStringLiteral("bmp\\bg.jpg"));
    p_speedbar->setBorder(true);
    rt::ui::Controls::place(p_speedbar, 0, 176, 494, 2000);
    order << p_speedbar;
    dw_maintoolbar = new uo_toolbar_his(client());
    dw_maintoolbar->setWidth(4352);
    order << dw_maintoolbar;
    // The toolbar's commands answer their keys anywhere in the frame; the right mouse button on
    // the category strip lists them too.
    addActions(dw_maintoolbar->commandActions());
    p_speedbar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(p_speedbar, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { dw_maintoolbar->popCommands(p_speedbar->mapToGlobal(at)); });
    // F10, the key that opens a window's menus, opens the same list under the toolbar's first
    // command, from wherever the focus is.
    auto *commandsMenu = new QAction(this);
    commandsMenu->setObjectName(QStringLiteral("a_commandsmenu"));
    commandsMenu->setShortcut(QKeySequence(Qt::Key_F10));
    commandsMenu->setShortcutContext(Qt::WindowShortcut);
    connect(commandsMenu, &QAction::triggered, this,
            [this] { dw_maintoolbar->popCommands(dw_maintoolbar->mapToGlobal(QPoint(0, dw_maintoolbar->height()))); });
    addAction(commandsMenu);
    st_status = new QLabel(client());
    st_status->setObjectName(QStringLiteral("st_status"));
    st_status->setIndent(6);
    st_status->setFrameShape(QFrame::StyledPanel);
    rt::ui::Controls::setFont(st_status, QString::fromUtf8("宋体"), 9);
    order << st_status;
    st_link = new QLabel(st_status);
    st_link->setObjectName(QStringLiteral("st_link"));
    st_link->setAlignment(Qt::AlignCenter);
    st_link->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
    st_link->hide();
    for (auto it = order.crbegin(); it != order.crend(); ++it)
        (*it)->raise();

    // Wide enough for the whole command strip, 操作记录 and 历史统计 included.
    setUnitsSize(3440, 2512);
}

w_histmanage::~w_histmanage() = default;

uo_transparent_st *w_histmanage::addLabel(const char *name, const char *text, int y)
{
    auto *label = new uo_transparent_st(client());
    label->setObjectName(QString::fromLatin1(name));
    label->setText(QString::fromUtf8(text));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    rt::ui::Controls::setFont(label, QString::fromUtf8("宋体"), 9);
    rt::ui::Controls::place(label, 41, y, 421, 72);
    return label;
}

host::uo_button *w_histmanage::addCategory(const char *name, const char *sheetName, const char *picture, int y, bool stretch)
{
    auto *button = new CategoryButton(client(), this, QString::fromLatin1(sheetName));
    button->setObjectName(QString::fromLatin1(name));
    rt::ui::Controls::place(button, 160, y, 178, 144);
    // Six pictures show at their image's own size; the last is drawn into its box.
    button->setOriginalSize(!stretch);
    button->setPictureName(QString::fromLatin1(picture));
    return button;
}

host::uo_button *w_histmanage::categoryButton(const QString &name) const
{
    for (host::uo_button *b : {p_rprinfo, p_personinfo, p_eldinfo, p_children, p_womaninfo, p_oowpersoninfo,
                               p_minlivingprotect}) {
        if (b->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return b;
    }
    return nullptr;
}

void w_histmanage::onOpen()
{
    host::ModuleWindows::w_histmanage() = this;
    rt::ui::LateBinding::triggerEvent(this, "ue_postopen");
    if (host::g().w_main)
        host::g().w_main->Hide();
    host::g().gs_querystr = QString(QLatin1String(""));
}

void w_histmanage::ue_postopen()
{
    SetRedraw(false);
    auto *sheet = new hm::w_hisexplore();
    rt::ui::Windows::OpenSheet(sheet, this, true);
    w_hisexplore = sheet;
    sheet->Move(0, 0);
    sheet->Resize(mdiUnitsWidth(), mdiUnitsHeight());
    SetRedraw(true);
}

void w_histmanage::onResize(int, int newWidth, int newHeight)
{
    SetRedraw(false);
    const int toolbarBottom = dw_maintoolbar->Y() + dw_maintoolbar->Height();
    dw_maintoolbar->setUnitsGeometry(0, 0, newWidth, dw_maintoolbar->Height());
    // The status line takes its text's height (units: 4 a pixel down) along the bottom edge.
    const int statusHeight = (st_status->sizeHint().height() + 2) * 4;
    const int below = newHeight - toolbarBottom - statusHeight;
    rt::ui::Controls::place(p_speedbar, 0, toolbarBottom + 2, rt::ui::Controls::unitsWidth(p_speedbar), below);
    const int mdiX = rt::ui::Controls::unitsX(p_speedbar) + rt::ui::Controls::unitsWidth(p_speedbar) + 2;
    placeMdi(mdiX, rt::ui::Controls::unitsY(p_speedbar), newWidth - mdiX - 2, below);
    rt::ui::Controls::place(st_status, 0, newHeight - statusHeight, newWidth, statusHeight);
    showStatus();
    SetRedraw(true);
}

void w_histmanage::ue_opensheet(const QString &as_sheetname)
{
    if (!rt::ui::IsValid(w_histabsheet)) {
        // The history tab sheet is made by its class name, so the shell needs no link to it.
        QPointer<rt::ui::PbWindow> opened = rt::ui::Windows::createByName(QStringLiteral("w_histabsheet"));
        if (!opened) {
            rt::ui::Windows::OpenByName(QStringLiteral("w_histabsheet"), QString()); // reports the missing window
            return;
        }
        // The sheet fills the client area and lays itself out from its size.
        rt::ui::Windows::OpenSheet(opened, this, true, true);
        w_histabsheet = opened;
    }
    rt::ui::LateBinding::callFunction(w_histabsheet.data(), "wf_open", as_sheetname.toLower());
}

void w_histmanage::ue_del(int ai_flag)
{
    rt::ui::PbWindow *lw_sheet = GetActiveSheet();
    if (!rt::ui::IsValid(lw_sheet) || lw_sheet->ClassName() != QLatin1String("w_histabsheet"))
        return;
    rt::ui::DataWindowControl *ldw_datawindow = nullptr;
    rt::ui::LateBinding::callFunctionR(lw_sheet, "wf_getcurrentdw", ldw_datawindow);
    if (ai_flag == 2) {
        rt::ui::Windows::OpenByName(QStringLiteral("w_hisdelprompt"), QString());
        return;
    }
    if (ai_flag != 1 || !ldw_datawindow)
        return;
    HistoryDeletion::deleteCurrentRow(ldw_datawindow);
}

void w_histmanage::ue_recovery()
{
    rt::ui::PbWindow *lw_sheet = GetActiveSheet();
    if (!rt::ui::IsValid(lw_sheet) || lw_sheet->ClassName() != QLatin1String("w_histabsheet"))
        return;
    rt::ui::DataWindowControl *ldw_datawindow = nullptr;
    rt::ui::LateBinding::callFunctionR(lw_sheet, "wf_getcurrentdw", ldw_datawindow);
    if (ldw_datawindow)
        HistoryRecovery::recoverCurrentRow(ldw_datawindow);
}

void w_histmanage::onClose()
{
    host::g().gs_querystr = QString(QLatin1String(""));
    if (host::g().w_main)
        host::g().w_main->Show();
    if (host::ModuleWindows::w_histmanage() == this)
        host::ModuleWindows::w_histmanage() = nullptr;
}

void w_histmanage::wf_setstatus(const QString &as_text)
{
    m_status = as_text.isEmpty() ? QString() : QTime::currentTime().toString(QStringLiteral("HH:mm")) + QStringLiteral("  ") + as_text;
    showStatus();
}

void w_histmanage::wf_setlinkstatus(const QString &as_text)
{
    st_link->setText(as_text);
    st_link->setToolTip(as_text.isEmpty() ? QString() : QString::fromUtf8("与数据库服务器之间的连接不安全：%1").arg(as_text));
    showStatus();
}

void w_histmanage::showStatus()
{
    // The link's words keep their place at the right end; the message has what is left.
    int linkWidth = 0;
    if (!st_link->text().isEmpty()) {
        linkWidth = st_link->sizeHint().width() + 2 * st_status->indent();
        const QRect inside = st_status->contentsRect();
        st_link->setGeometry(inside.right() + 1 - linkWidth, inside.top(), linkWidth, inside.height());
    }
    st_link->setVisible(linkWidth > 0);
    // One line: what does not fit is elided, and the whole text is the line's tip.
    const int room = std::max(0, st_status->contentsRect().width() - 2 * st_status->indent() - linkWidth);
    const QString shown = st_status->fontMetrics().elidedText(m_status, Qt::ElideRight, room);
    st_status->setText(shown);
    st_status->setToolTip(shown == m_status ? QString() : m_status);
}

} // namespace hm
