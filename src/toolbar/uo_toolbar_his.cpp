#include "toolbar/uo_toolbar_his.h"

#include "host/ui/Globals.h"
#include "model/ReadFailure.h"
#include "platform/core/Functions.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/MdiFrame.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/Windows.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

namespace hm {

using rt::ui::LateBinding;

uo_toolbar_his::uo_toolbar_his(QWidget *parent) : rt::ui::DataWindowControl(parent)
{
    setObjectName(QStringLiteral("dw_maintoolbar"));
    setUnitsGeometry(0, 0, 3337, 176);
    setAutoFillBackground(true);
    SetDataObject(QStringLiteral("d_toolright_his"));
    connect(this, &rt::ui::DataWindowControl::clicked, this, &uo_toolbar_his::clicked_event);
    connect(this, &rt::ui::DataWindowControl::mouseMove, this, &uo_toolbar_his::ue_dwnmousemove);
    connect(this, &rt::ui::DataWindowControl::lbuttonUp, this, &uo_toolbar_his::ue_dwnlbuttonup);
    // Every command from the keyboard too: a key each, said in the button's tip, and the list of
    // them on the right mouse button.
    for (const Command &c : commands()) {
        auto *action = new QAction(c.caption, this);
        action->setObjectName(QStringLiteral("a_") + c.button.mid(2));
        action->setShortcut(c.key);
        connect(action, &QAction::triggered, this, [this, button = c.button] { runCommand(button); });
        m_actions << action;
        const QString tip = QStringLiteral("%1（%2）").arg(c.caption, c.key.toString(QKeySequence::NativeText));
        Modify(QStringLiteral("%1.tooltip.tip='%2' t_%3.tooltip.tip='%2'").arg(c.button, tip, c.button.mid(2)));
    }
    connect(this, &rt::ui::DataWindowControl::rbuttondown, this, [this](int, int, long, const QString &) { popCommands(QCursor::pos()); });
}

QString uo_toolbar_his::buttonKey(const QString &name)
{
    if (name.startsWith(QLatin1String("p_")) || name.startsWith(QLatin1String("t_")))
        return QStringLiteral("p_") + rt::fn::Mid(name, 3);
    return QString();
}

QString uo_toolbar_his::escapeCondition(const QString &sql)
{
    QString out = sql;
    std::int64_t at = rt::fn::Pos(out, QStringLiteral("where"));
    if (at <= 0)
        return out;
    at = rt::fn::Pos(out, QStringLiteral("'"), at);
    while (at > 0) {
        out = rt::fn::Replace(out, at, 1, QStringLiteral("~'"));
        at = rt::fn::Pos(out, QStringLiteral("'"), at + 2);
    }
    return out;
}

rt::ui::PbWindow *uo_toolbar_his::mainWindow() const
{
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *window = qobject_cast<rt::ui::PbWindow *>(w))
            return window;
    }
    return nullptr;
}

void uo_toolbar_his::drawFrame(const QString &o, Look look)
{
    const int X = int(rt::fn::Long(Describe(o + QStringLiteral(".x"))));
    const int Y = int(rt::fn::Long(Describe(o + QStringLiteral(".y"))));
    const int W = int(rt::fn::Long(Describe(o + QStringLiteral(".width"))));
    const int H = int(rt::fn::Long(Describe(o + QStringLiteral(".height"))));
    // The hover frame has l_h1 (white) on top; the pressed one exchanges the roles of the pairs.
    const bool hover = look == Look::Hover;
    const QString top = hover ? QStringLiteral("l_h1") : QStringLiteral("l_h2");
    const QString bottom = hover ? QStringLiteral("l_h2") : QStringLiteral("l_h1");
    const QString left = hover ? QStringLiteral("l_v1") : QStringLiteral("l_v2");
    const QString right = hover ? QStringLiteral("l_v2") : QStringLiteral("l_v1");
    const int x1 = X, x2 = X + W + 1, y1 = Y - 1, y2 = Y + H + 1;
    SetRedraw(false);
    Modify(QStringLiteral("%1.x1=%2 %1.x2=%3 %1.y1=%4 %1.y2=%4").arg(top).arg(x1).arg(x2).arg(y1));
    Modify(QStringLiteral("%1.x1=%2 %1.x2=%3 %1.y1=%4 %1.y2=%4").arg(bottom).arg(x1).arg(x2).arg(y2));
    Modify(QStringLiteral("%1.x1=%2 %1.x2=%2 %1.y1=%3 %1.y2=%4").arg(left).arg(x1).arg(y1).arg(y2));
    Modify(QStringLiteral("%1.x1=%2 %1.x2=%2 %1.y1=%3 %1.y2=%4").arg(right).arg(x2).arg(y1).arg(y2));
    Modify(QStringLiteral("l_v1.visible=1 l_v2.visible=1 l_h1.visible=1 l_h2.visible=1"));
    SetRedraw(true);
}

void uo_toolbar_his::hideFrame()
{
    Modify(QStringLiteral("l_v1.visible=0 l_v2.visible=0 l_h1.visible=0 l_h2.visible=0"));
}

void uo_toolbar_his::clicked_event(int, int, long, const QString &dwo)
{
    is_object = buttonKey(dwo);
    if (is_object.isEmpty())
        return;
    if (Describe(is_object + QStringLiteral(".tag")) == QLatin1String("0"))
        return; // a disabled button shows no pressed look
    drawFrame(is_object, Look::Pressed);
}

void uo_toolbar_his::ue_dwnmousemove(int, int, long, const QString &dwo)
{
    const QString key = buttonKey(dwo);
    if (key.isEmpty()) {
        is_object.clear();
        hideFrame();
        return;
    }
    if (key == is_object)
        return; // the frame is rebuilt only when the tracked button changes
    is_object = key;
    drawFrame(key, Look::Hover);
}

void uo_toolbar_his::ue_dwnlbuttonup(int xpos, int ypos, long row, const QString &dwo)
{
    const QString key = buttonKey(dwo);
    if (!key.isEmpty() && key != is_object) {
        ue_dwnmousemove(xpos, ypos, row, dwo);
        return;
    }
    hideFrame();
    runCommand(is_object);
}

const QList<uo_toolbar_his::Command> &uo_toolbar_his::commands()
{
    // In the order of the strip; the keys are those an office's other programs use where they
    // have the same command (F5 refresh, Ctrl+F find, Ctrl+P print, F1 help, Ctrl+W close).
    static const QList<Command> all{
        {QStringLiteral("p_retrieve"), QString::fromUtf8("数据检索"), QKeySequence(Qt::Key_F5)},
        {QStringLiteral("p_recoverdata"), QString::fromUtf8("恢复数据"), QKeySequence(Qt::CTRL | Qt::Key_R)},
        {QStringLiteral("p_batchdel"), QString::fromUtf8("批量删除"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete)},
        {QStringLiteral("p_del"), QString::fromUtf8("删除"), QKeySequence(Qt::Key_Delete)},
        {QStringLiteral("p_setshow"), QString::fromUtf8("显示定制"), QKeySequence(Qt::CTRL | Qt::Key_L)},
        {QStringLiteral("p_query"), QString::fromUtf8("查询"), QKeySequence(Qt::CTRL | Qt::Key_F)},
        {QStringLiteral("p_sort"), QString::fromUtf8("排序"), QKeySequence(Qt::CTRL | Qt::Key_O)},
        {QStringLiteral("p_print"), QString::fromUtf8("打印"), QKeySequence(Qt::CTRL | Qt::Key_P)},
        {QStringLiteral("p_help"), QString::fromUtf8("帮助"), QKeySequence(Qt::Key_F1)},
        {QStringLiteral("p_close"), QString::fromUtf8("关闭"), QKeySequence(Qt::CTRL | Qt::Key_W)},
        {QStringLiteral("p_exit"), QString::fromUtf8("返回"), QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {QStringLiteral("p_journal"), QString::fromUtf8("操作记录"), QKeySequence(Qt::CTRL | Qt::Key_J)},
        {QStringLiteral("p_stats"), QString::fromUtf8("历史统计"), QKeySequence(Qt::CTRL | Qt::Key_T)},
    };
    return all;
}

void uo_toolbar_his::popCommands(const QPoint &globalPosition)
{
    QMenu menu;
    menu.setObjectName(QStringLiteral("m_toolbarcommands"));
    menu.addActions(m_actions);
    rt::ui::OperatorDialogs::runMenu(menu, globalPosition);
}

void uo_toolbar_his::runCommand(const QString &button)
{
    if (button.isEmpty())
        return;
    // A button marked disabled runs nothing (the operator sees it greyed out).
    if (Describe(button + QStringLiteral(".tag")) == QLatin1String("0"))
        return;
    rt::ui::PbWindow *main = mainWindow();
    bool sheetReady = true;
    rt::ui::PbWindow *sheet = nullptr;
    rt::ui::DataWindowControl *grid = nullptr;
    QString sql;
    if (!main || !LateBinding::callFunctionR(main, "GetActiveSheet", sheet) || !rt::ui::IsValid(sheet))
        sheetReady = false;
    else if (sheet->ClassName() != QLatin1String("w_histabsheet"))
        sheetReady = false;
    else {
        LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
        LateBinding::callFunctionR(sheet, "wf_getcurrentsql", sql);
    }
    const QString &o = button;
    if (o == QLatin1String("p_retrieve")) {
        if (sheetReady && grid)
            retrieveWithSheetSql(grid, sql);
    } else if (o == QLatin1String("p_recoverdata")) {
        LateBinding::triggerEvent(main, "ue_recovery");
    } else if (o == QLatin1String("p_batchdel")) {
        LateBinding::triggerEvent(main, "ue_del", 2);
    } else if (o == QLatin1String("p_del")) {
        LateBinding::triggerEvent(main, "ue_del", 1);
    } else if (o == QLatin1String("p_setshow") || o == QLatin1String("p_query") || o == QLatin1String("p_sort")
               || o == QLatin1String("p_print")) {
        static const QHash<QString, QString> windows{{QStringLiteral("p_setshow"), QStringLiteral("w_setshow_his")},
                                                     {QStringLiteral("p_query"), QStringLiteral("w_filter_his")},
                                                     {QStringLiteral("p_sort"), QStringLiteral("w_datawindow_sort")},
                                                     {QStringLiteral("p_print"), QStringLiteral("w_print_preview")}};
        if (sheetReady && grid)
            rt::ui::Windows::OpenByName(windows.value(o), QString(), grid);
    } else if (o == QLatin1String("p_help")) {
        rt::ui::ShowHelp(QStringLiteral("Quenmark.chm"), QString::fromUtf8("历史信息维护"));
    } else if (o == QLatin1String("p_close")) {
        if (sheetReady)
            rt::ui::Windows::Close(sheet);
    } else if (o == QLatin1String("p_exit")) {
        rt::ui::Windows::Close(main);
    } else if (o == QLatin1String("p_journal")) {
        rt::ui::Windows::OpenByName(QStringLiteral("w_hisjournal"), QString());
    } else if (o == QLatin1String("p_stats")) {
        rt::ui::Windows::OpenByName(QStringLiteral("w_hisstats"), QString());
    }
}

void uo_toolbar_his::retrieveWithSheetSql(rt::ui::DataWindowControl *grid, const QString &sql)
{
    const QString previous = grid->GetSQLSelect();
    grid->Modify(QStringLiteral("datawindow.table.select='") + escapeCondition(sql) + QStringLiteral("'"));
    grid->SetTransObject(&host::g().photosqlca);
    // A failed re-retrieve keeps the rows shown and says so.
    if (grid->Retrieve() < 0) {
        const QString told = model::ReadFailure::historyText(host::g().photosqlca);
        grid->SetSQLSelect(previous); // the select goes with the rows it shows
        rt::ui::MessageBox(QString::fromUtf8("提示"), told, rt::ui::MsgIcon::StopSign);
    }
}

void uo_toolbar_his::uf_setenabled(const QString &as_object, bool ab_enabled)
{
    const QString w = rt::fn::Mid(as_object, 3);
    if (ab_enabled) {
        Modify(as_object + QStringLiteral(".FileName = 'bmp\\") + w + QStringLiteral(".bmp'"));
        Modify(as_object + QStringLiteral(".tag = '1'"));
        Modify(QStringLiteral("t_") + w + QStringLiteral(".color = ") + QString::number(rt::fn::RGB(0, 0, 0)));
    } else {
        Modify(as_object + QStringLiteral(".FileName = 'bmp\\") + w + QStringLiteral("2.bmp'"));
        Modify(as_object + QStringLiteral(".tag = '0'"));
        Modify(QStringLiteral("t_") + w + QStringLiteral(".color = ") + QString::number(rt::fn::RGB(164, 165, 165)));
    }
}

} // namespace hm
