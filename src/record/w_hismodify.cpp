#include "record/w_hismodify.h"

#include "record/m_hismodify.h"

#include "host/ui/Globals.h"
#include "host/ui/uo_button.h"
#include "host/ui/uo_dwform.h"
#include "host/ui/ModuleWindows.h"
#include "model/ReadFailure.h"
#include "platform/ui/Controls.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/Windows.h"

#include <QPushButton>

namespace hm {

namespace {

host::uo_button *button(QWidget *parent, const char *name, const char *picture, const char *tip, int x, int y, int w, int h)
{
    auto *b = new host::uo_button(parent);
    b->setObjectName(QString::fromLatin1(name));
    rt::ui::Controls::place(b, x, y, w, h);
    b->setOriginalSize(true);
    b->setPictureName(QString::fromLatin1(picture));
    b->setToolTip(QString::fromUtf8(tip));
    return b;
}

int number(const QString &described)
{
    return described.toInt(); // "!" or "?" count as 0
}

} // namespace

w_hismodify::w_hismodify(QWidget *parent) : host::w_response(QStringLiteral("w_hismodify"), parent)
{
    QWidget *c = client();
    dw_1 = new host::uo_dwform(c);
    dw_1->setObjectName(QStringLiteral("dw_1"));
    dw_1->setUnitsGeometry(27, 20, 2651, 1220);
    cb_first = button(c, "cb_first", "bmp\\cb_First.bmp", "第一条记录", 41, 1280, 91, 76);
    cb_prior = button(c, "cb_prior", "bmp\\cb_prior.bmp", "上一条记录", 160, 1280, 91, 76);
    cb_next = button(c, "cb_next", "bmp\\cb_Next.bmp", "下一条记录", 279, 1280, 91, 76);
    cb_last = button(c, "cb_last", "bmp\\cb_Last.bmp", "最后一条记录", 398, 1280, 91, 76);
    cb_exit = button(c, "cb_exit", "bmp\\cb_exit.bmp", "关闭窗口(Esc)", 2363, 1272, 279, 96);
    cb_compare = new QPushButton(QString::fromUtf8("对比当前"), c);
    cb_compare->setObjectName(QStringLiteral("cb_compare"));
    cb_compare->setToolTip(QString::fromUtf8("与现有人口信息中的同一记录逐项对比"));
    rt::ui::Controls::setFont(cb_compare, QString::fromUtf8("宋体"), 9);
    rt::ui::Controls::place(cb_compare, 560, 1280, 300, 76);
    connect(cb_compare, &QPushButton::clicked, this,
            [this]() { rt::ui::Windows::OpenByName(QStringLiteral("w_hiscompare"), QString(), dw_1); });
    cb_timeline = new QPushButton(QString::fromUtf8("历史轨迹"), c);
    cb_timeline->setObjectName(QStringLiteral("cb_timeline"));
    cb_timeline->setToolTip(QString::fromUtf8("这条记录的全部状态，从新到旧，以及每次的变化"));
    rt::ui::Controls::setFont(cb_timeline, QString::fromUtf8("宋体"), 9);
    rt::ui::Controls::place(cb_timeline, 880, 1280, 300, 76);
    connect(cb_timeline, &QPushButton::clicked, this,
            [this]() { rt::ui::Windows::OpenByName(QStringLiteral("w_histimeline"), QString(), dw_1); });
    for (host::uo_button *b : {cb_first, cb_prior, cb_next, cb_last})
        connect(b, &host::uo_button::clickedEvent, this, [this, b]() { navigate(b); });
    connect(cb_exit, &host::uo_button::clickedEvent, this, [this]() { Close(); });
    connect(dw_1, &rt::ui::DataWindowControl::rbuttondown, this, [this]() { dw_1_rbuttondown(); });
    connect(dw_1, &rt::ui::DataWindowControl::keyDown, this, [this](int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Escape)
            cb_exit->click();
    });
    connect(dw_1, &rt::ui::DataWindowControl::dberror, this,
            [this](long code, const QString &text, const QString &, long) { dw_1_dberror(code, text); });
    setUnitsSize(2738, 1488);
}

void w_hismodify::onOpen()
{
    const QString object = rt::ui::Message::instance().StringParm.trimmed();
    dw_1->SetDataObject(object + QStringLiteral("_f"));
    dw_1->SetTransObject(&host::g().photosqlca);
    dw_1->DeleteRow(dw_1->InsertRow(0));
    wf_setsize();
    rt::ui::PbWindow *sheet = nullptr;
    if (rt::ui::IsValid(host::ModuleWindows::w_histmanage()))
        rt::ui::LateBinding::callFunctionR(host::ModuleWindows::w_histmanage().data(), "GetActiveSheet", sheet);
    if (rt::ui::IsValid(sheet) && sheet->ClassName() == QLatin1String("w_histabsheet")) {
        rt::ui::DataWindowControl *grid = nullptr;
        rt::ui::LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
        idw_datawindow = grid;
        if (grid)
            il_row = grid->GetRow();
        QString title;
        rt::ui::LateBinding::callFunctionR(sheet, "wf_gettitle", title);
        setTitle(title);
    }
    // Every later step needs the grid and its row: without them there is nothing to show.
    if (!idw_datawindow || il_row < 1) {
        Close();
        return;
    }
    idw_datawindow->RowsCopy(il_row, il_row, rt::DwBuffer::Primary, dw_1->dataStore(), 999999, rt::DwBuffer::Primary);
    showCopiedRow();
    dw_1->Modify(QStringLiteral("DataWindow.ReadOnly = Yes"));
    wf_scroll();
}

// The copied row, which arrives new, becomes the current, unmodified row of the form.
void w_hismodify::showCopiedRow()
{
    const long rows = dw_1->RowCount();
    if (rows < 1)
        return;
    dw_1->SetRow(rows);
    dw_1->ScrollToRow(rows);
    dw_1->SetItemStatus(rows, 0, rt::DwBuffer::Primary, rt::DwItemStatus::DataModified);
    dw_1->SetItemStatus(rows, 0, rt::DwBuffer::Primary, rt::DwItemStatus::NotModified);
}

void w_hismodify::wf_setsize()
{
    const int count = number(dw_1->Describe(QStringLiteral("datawindow.column.count")));
    int right = 0, bottom = 0;
    for (int i = 1; i <= count; ++i) {
        const QString c = QStringLiteral("#%1").arg(i);
        right = std::max(right, number(dw_1->Describe(c + QStringLiteral(".x"))) + number(dw_1->Describe(c + QStringLiteral(".width"))));
        bottom = std::max(bottom, number(dw_1->Describe(c + QStringLiteral(".y"))) + number(dw_1->Describe(c + QStringLiteral(".height"))));
    }
    dw_1->setWidth(right + 80);
    dw_1->setHeight(bottom + 50);
    const int width = 2 * dw_1->X() + dw_1->Width();
    const int y = dw_1->Y() + dw_1->Height() + 10;
    int x = dw_1->X() + 20;
    for (host::uo_button *b : {cb_first, cb_prior, cb_next, cb_last}) {
        rt::ui::Controls::place(b, x, y, rt::ui::Controls::unitsWidth(b), rt::ui::Controls::unitsHeight(b));
        x += rt::ui::Controls::unitsWidth(b) + 20;
    }
    rt::ui::Controls::place(cb_compare, x + 20, y, rt::ui::Controls::unitsWidth(cb_compare), rt::ui::Controls::unitsHeight(cb_last));
    rt::ui::Controls::place(cb_timeline, x + 40 + rt::ui::Controls::unitsWidth(cb_compare), y,
                            rt::ui::Controls::unitsWidth(cb_timeline), rt::ui::Controls::unitsHeight(cb_last));
    rt::ui::Controls::place(cb_exit, dw_1->X() + dw_1->Width() - rt::ui::Controls::unitsWidth(cb_exit) - 20, y,
                            rt::ui::Controls::unitsWidth(cb_exit), rt::ui::Controls::unitsHeight(cb_exit));
    setUnitsSize(width, rt::ui::Controls::unitsY(cb_exit) + rt::ui::Controls::unitsHeight(cb_exit) + 120);
}

void w_hismodify::wf_getdata()
{
    dw_1->DeleteRow(dw_1->GetRow());
    idw_datawindow->RowsCopy(il_row, il_row, rt::DwBuffer::Primary, dw_1->dataStore(), 1, rt::DwBuffer::Primary);
    showCopiedRow();
    // The grid follows the window.
    idw_datawindow->SetRow(il_row);
    idw_datawindow->ScrollToRow(il_row);
}

void w_hismodify::wf_scroll()
{
    if (!idw_datawindow)
        return;
    const long r = idw_datawindow->GetRow(), n = idw_datawindow->RowCount();
    cb_first->uf_setenabled(r != 1);
    cb_prior->uf_setenabled(r != 1);
    // Rows not read yet are still ahead of the last one read.
    const bool more = idw_datawindow->canRetrieveMore();
    cb_last->uf_setenabled(r != n || more);
    cb_next->uf_setenabled(r != n || more);
    for (host::uo_button *b : {cb_first, cb_prior, cb_next, cb_last})
        b->setVisible(true);
}

void w_hismodify::navigate(host::uo_button *b)
{
    if (wf_closequery() != 0)
        return;
    if (b == cb_first)
        il_row = 1;
    else if (b == cb_prior)
        il_row = il_row - 1;
    else if (b == cb_next)
        il_row = il_row + 1;
    else
        il_row = 0; // the last row, once every row is read
    // The grid reads the rows that the step reaches; a read that fails is told and the window
    // stays at the last row read.
    const bool more = idw_datawindow->canRetrieveMore();
    if (more && (il_row == 0 || il_row > idw_datawindow->RowCount())) {
        const long read = il_row == 0 ? idw_datawindow->RetrieveAll() : idw_datawindow->RetrieveMore();
        if (read < 0)
            rt::ui::MessageBox(QString::fromUtf8("提示"), model::ReadFailure::historyText(host::g().photosqlca),
                               rt::ui::MsgIcon::StopSign);
    }
    if (il_row == 0 || il_row > idw_datawindow->RowCount())
        il_row = idw_datawindow->RowCount();
    wf_getdata();
    wf_scroll();
}

int w_hismodify::wf_closequery()
{
    const rt::DwItemStatus status = dw_1->GetItemStatus(1, 0, rt::DwBuffer::Primary);
    if (status != rt::DwItemStatus::DataModified && status != rt::DwItemStatus::NewModified)
        return 0;
    return rt::ui::MessageBox(QString::fromUtf8("系统提示"), QString::fromUtf8("当前记录已修改，是否保存?"),
                              rt::ui::MsgIcon::Question, rt::ui::MsgButtons::YesNo, 2)
                   == 1
               ? 1
               : 0;
}

int w_hismodify::onCloseQuery()
{
    return wf_closequery();
}

void w_hismodify::onKey(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape)
        cb_exit->click();
}

void w_hismodify::ue_print()
{
    rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), dw_1);
}

void w_hismodify::dw_1_rbuttondown()
{
    // A new menu for every right click, not destroyed by the window (it goes with the window).
    auto *lm_menu = new m_hismodify(this);
    lm_menu->setParentWindow(this);
    lm_menu->PopMenu(lm_menu->m_editinput, PointerX(), PointerY());
}

QString w_hismodify::wf_getpkey()
{
    const int count = number(dw_1->Describe(QStringLiteral("Datawindow.Column.Count")));
    QString keys;
    for (int i = 1; i <= count; ++i) {
        const QString c = dw_1->Describe(QStringLiteral("#%1.Name").arg(i));
        QString t = dw_1->Describe(c + QStringLiteral("_t.Text"));
        if (dw_1->Describe(c + QStringLiteral(".Visible")) == QLatin1String("0") || t == QLatin1String("!"))
            continue;
        if (t.endsWith(QLatin1Char(':')))
            t.chop(1);
        if (dw_1->Describe(c + QStringLiteral(".Key")) == QLatin1String("yes"))
            keys += t + QString::fromUtf8("，");
    }
    if (keys.endsWith(QString::fromUtf8("，")))
        keys.chop(1);
    return keys;
}

QString w_hismodify::dberrorText(long code, const QString &text)
{
    // SQLite's extended codes for the failures the runtime's codes name.
    switch (code) {
    case 14:   // cannot open the database file
    case 26:   // not a database
        code = -1;
        break;
    case 1555: // a primary key repeated
        code = -193;
        break;
    case 1299: // NOT NULL
        code = -195;
        break;
    case 2067: // UNIQUE
        code = -196;
        break;
    default: break;
    }
    switch (code) {
    case -1:
    case -2: return QString::fromUtf8("数据保存失败！原因：无法连接到数据库，请重新启动系统！");
    case -193: {
        const QString k = wf_getpkey();
        return k.isEmpty() ? QString::fromUtf8("数据保存失败！原因：主键数据重复。")
                           : QString::fromUtf8("数据保存失败！原因：【") + k + QString::fromUtf8("】数据重复。");
    }
    case -195: return QString::fromUtf8("数据保存失败！原因：数据存在空值。");
    case -196: return QString::fromUtf8("数据保存失败！原因：表中的值不唯一。");
    default: return QString::fromUtf8("数据保存失败！原因：") + text;
    }
}

long w_hismodify::dw_1_dberror(long sqldbcode, const QString &sqlerrtext)
{
    dw_1->dberror_event(sqldbcode, sqlerrtext); // the control class's part first
    rt::ui::MessageBox(QString::fromUtf8("警告信息"), dberrorText(sqldbcode, sqlerrtext), rt::ui::MsgIcon::Exclamation,
                       rt::ui::MsgButtons::OK, 1);
    return sqldbcode;
}

} // namespace hm
