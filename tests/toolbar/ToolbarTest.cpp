#include "ModifyLog.h"
#include "ScriptedOperatorDialogs.h"

#include "host/ui/Globals.h"
#include "host/ui/uo_button.h"
#include "host/ui/w_main.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/MdiFrame.h"
#include "platform/ui/Units.h"
#include "platform/ui/Windows.h"
#include "toolbar/ToolbarObjects.h"
#include "toolbar/uo_toolbar_his.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using hm::uo_toolbar_his;

namespace {


// A frame holding the toolbar, with the events the toolbar raises, and a sheet to act on.
class Frame : public rt::ui::MdiFrame
{
    Q_OBJECT
public:
    Frame() : rt::ui::MdiFrame(QStringLiteral("w_histmanage")) {}
    Q_INVOKABLE void ue_del(int ai_flag) { events << QStringLiteral("ue_del %1").arg(ai_flag); }
    Q_INVOKABLE void ue_recovery() { events << QStringLiteral("ue_recovery"); }
    QStringList events;
};

class Sheet : public rt::ui::PbWindow
{
    Q_OBJECT
public:
    Sheet() : rt::ui::PbWindow(QStringLiteral("w_histabsheet"), Kind::Sheet)
    {
        grid = new rt::ui::DataWindowControl(this);
        QString errors;
        grid->Create(QStringLiteral(R"json({"style": "grid", "table.select": "SELECT 1 AS a", "objects": [{"type": "column", "name": "a", "coltype": "long"}]})json"),
                     errors);
    }
    Q_INVOKABLE rt::ui::DataWindowControl *wf_getcurrentdw() { return grid; }
    Q_INVOKABLE QString wf_getcurrentsql() { return sql; }
    rt::ui::DataWindowControl *grid;
    QString sql = QStringLiteral("SELECT 1 AS a");
};

} // namespace

class ToolbarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(hm::ToolbarObjects::addTo(library, error)) << error.toStdString();
        rt::DwLibrary::setDefaultLibrary(&library);
        frame = new Frame;
        toolbar = new uo_toolbar_his(frame->client());
        rt::ui::Windows::Open(frame);
        log = std::make_unique<ModifyLog>(toolbar->dataStore());
    }
    void TearDown() override
    {
        log.reset();
        rt::ui::Windows::Close(frame);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rt::DwLibrary::setDefaultLibrary(nullptr);
    }
    QString d(const QString &e) { return toolbar->Describe(e); }
    void openSheet()
    {
        sheet = new Sheet;
        rt::ui::Windows::OpenSheet(sheet, frame);
    }
    void press(const char *dwo) { toolbar->clicked_event(0, 0, 0, QString::fromLatin1(dwo)); }
    void move(const char *dwo) { toolbar->ue_dwnmousemove(0, 0, 0, QString::fromLatin1(dwo)); }
    void release(const char *dwo) { toolbar->ue_dwnlbuttonup(0, 0, 0, QString::fromLatin1(dwo)); }

    ScriptedOperatorDialogs op;
    rt::DwLibrary library;
    QPointer<Frame> frame;
    uo_toolbar_his *toolbar = nullptr;
    QPointer<Sheet> sheet;
    std::unique_ptr<ModifyLog> log;
};

TEST_F(ToolbarTest, HoverFramesTheButtonOneUnitOutsideAndPressExchangesTheColours)
{
    move("p_retrieve");
    EXPECT_EQ(toolbar->is_object, QStringLiteral("p_retrieve"));
    EXPECT_EQ(d(QStringLiteral("l_h1.x1 l_h1.x2 l_h1.y1 l_h1.y2")), QStringLiteral("32\n275\n7\n7")) << "top, white";
    EXPECT_EQ(d(QStringLiteral("l_h2.y1 l_h2.y2")), QStringLiteral("161\n161")) << "bottom, shadow";
    EXPECT_EQ(d(QStringLiteral("l_v1.x1 l_v1.y1 l_v1.y2")), QStringLiteral("32\n7\n161"));
    EXPECT_EQ(d(QStringLiteral("l_v2.x1 l_v2.y1 l_v2.y2")), QStringLiteral("275\n7\n161"));
    EXPECT_EQ(d(QStringLiteral("l_v1.visible l_v2.visible l_h1.visible l_h2.visible")), QStringLiteral("1\n1\n1\n1"));
    press("p_retrieve");
    EXPECT_EQ(d(QStringLiteral("l_h2.y1 l_h1.y1")), QStringLiteral("7\n161")) << "the shadow line on top now";
    EXPECT_EQ(d(QStringLiteral("l_v2.x1 l_v1.x1")), QStringLiteral("32\n275"));
}

TEST_F(ToolbarTest, TheFrameIsRebuiltOnlyWhenTheTrackedButtonChanges)
{
    move("p_sort");
    const int afterFirst = int(log->expressions.size());
    move("p_sort");
    move("t_sort"); // its own caption: the same button
    EXPECT_EQ(log->expressions.size(), afterFirst);
    move("toolbarb"); // the strip's background: no button
    EXPECT_EQ(toolbar->is_object, QString());
    EXPECT_EQ(d(QStringLiteral("l_h1.visible")), QStringLiteral("0"));
    move("p_sort");
    EXPECT_GT(log->expressions.size(), afterFirst + 1) << "back on a button: framed again";
}

TEST_F(ToolbarTest, AfterACommandTheFrameStaysHiddenUntilAnotherButton)
{
    openSheet();
    move("p_retrieve");
    press("p_retrieve");
    release("p_retrieve");
    EXPECT_EQ(d(QStringLiteral("l_h1.visible")), QStringLiteral("0"));
    EXPECT_EQ(toolbar->is_object, QStringLiteral("p_retrieve")) << "is_object keeps its value";
    move("p_retrieve");
    EXPECT_EQ(d(QStringLiteral("l_h1.visible")), QStringLiteral("0")) << "resting on the same button";
    move("p_query");
    EXPECT_EQ(d(QStringLiteral("l_h1.visible")), QStringLiteral("1"));
}

TEST_F(ToolbarTest, DisabledButtonsGreyOutHoverButNeitherPressNorRun)
{
    toolbar->uf_setenabled(QStringLiteral("p_query"), false);
    EXPECT_EQ(d(QStringLiteral("p_query.filename p_query.tag t_query.color")), QStringLiteral("bmp\\query2.bmp\n0\n10855844"));
    move("p_query");
    EXPECT_EQ(d(QStringLiteral("l_h1.visible")), QStringLiteral("1")) << "hover ignores the mark";
    const int before = int(log->expressions.size());
    press("p_query");
    EXPECT_EQ(log->expressions.size(), before) << "no pressed look";
    openSheet();
    release("p_query");
    EXPECT_TRUE(op.errors.isEmpty()) << "a disabled button runs nothing";
    toolbar->uf_setenabled(QStringLiteral("p_sort"), false);
    toolbar->uf_setenabled(QStringLiteral("p_sort"), true);
    EXPECT_EQ(d(QStringLiteral("p_sort.filename p_sort.tag t_sort.color")), QStringLiteral("bmp\\sort.bmp\n1\n0"));
    EXPECT_TRUE(log->expressions.contains(QStringLiteral("p_sort.FileName = 'bmp\\sort.bmp'")));
}

TEST_F(ToolbarTest, ReleaseRunsTheTrackedButtonsCommand)
{
    openSheet();
    press("t_query");
    release("p_query"); // caption and picture are one button
    ASSERT_EQ(op.errors.size(), 1);
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("w_filter_his"))) << "the host's query window is opened by name";
    press("p_del");
    move("p_batchdel");
    release("p_batchdel");
    press("p_del");
    release("p_recoverdata"); // the move was missed: only the tracking changes
    EXPECT_EQ(toolbar->is_object, QStringLiteral("p_recoverdata"));
    release("toolbarb"); // over the background: the tracked button runs
    EXPECT_EQ(frame->events, (QStringList{QStringLiteral("ue_del 2"), QStringLiteral("ue_recovery")}));
    press("p_help");
    release("p_help");
    EXPECT_EQ(op.helps, QStringList{QString::fromUtf8("Quenmark.chm|历史信息维护")});
}

TEST_F(ToolbarTest, SheetCommandsNeedAHistorySheetTheOthersDoNot)
{
    press("p_query");
    release("p_query");
    press("p_close");
    release("p_close");
    EXPECT_TRUE(op.errors.isEmpty()) << "no sheet: nothing, silently";
    press("p_del");
    release("p_del");
    EXPECT_EQ(frame->events, QStringList{QStringLiteral("ue_del 1")});
    openSheet();
    QPointer<Sheet> s = sheet;
    press("p_close");
    release("p_close");
    EXPECT_FALSE(rt::ui::IsValid(s.data()));
    press("p_exit");
    release("p_exit");
    EXPECT_FALSE(rt::ui::IsValid(frame.data()));
}

TEST_F(ToolbarTest, RetrieveWritesTheSheetsSqlBackWithItsQuotes)
{
    EXPECT_EQ(uo_toolbar_his::escapeCondition(QStringLiteral("select a from t where b = 'x' and c = 'y'")),
              QStringLiteral("select a from t where b = ~'x~' and c = ~'y~'"));
    EXPECT_EQ(uo_toolbar_his::escapeCondition(QStringLiteral("select 'k' from t WHERE b = 'x'")),
              QStringLiteral("select 'k' from t WHERE b = 'x'")) << "only a lower-case where is found";
    EXPECT_EQ(uo_toolbar_his::escapeCondition(QStringLiteral("select 'q' from t where b = 'x'")),
              QStringLiteral("select 'q' from t where b = ~'x~'")) << "quotes before the where stay";
    openSheet();
    rt::Transaction &t = host::g().photosqlca;
    t.Database = QStringLiteral(":memory:");
    t.AutoCreate = true;
    ASSERT_EQ(t.connect(), 0);
    sheet->sql = QStringLiteral("SELECT 7 AS a where 'x' = 'x'");
    press("p_retrieve");
    release("p_retrieve");
    EXPECT_EQ(sheet->grid->GetSQLSelect(), sheet->sql);
    EXPECT_EQ(sheet->grid->RowCount(), 1);
    EXPECT_EQ(sheet->grid->GetItemNumber(1, "a").number(), 7);
    t.disconnect();
}

TEST_F(ToolbarTest, RealMouseOverTheDrawingReachesTheCommands)
{
    QWidget *view = toolbar->presentation();
    ASSERT_NE(view, nullptr);
    ASSERT_GT(view->width(), 600) << "the drawing fills the control";
    const QPoint overHelp(rt::ui::Units::toPixelsX(2117 + 50), rt::ui::Units::toPixelsY(40));
    // (The offscreen platform moves no real pointer, so the move is sent as an event.)
    QMouseEvent moveEvent(QEvent::MouseMove, QPointF(overHelp), QPointF(view->mapToGlobal(overHelp)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &moveEvent);
    EXPECT_EQ(toolbar->is_object, QStringLiteral("p_help"));
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, overHelp);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, overHelp);
    EXPECT_EQ(op.helps.size(), 1);
}

#include "ToolbarTest.moc"

// Every command from the keyboard: its key answers anywhere in the window that holds the
// toolbar (as the history maintenance window adds the toolbar's actions to itself), each
// button's tip says it, and the right mouse button lists the commands with their keys.
// GRD-32
TEST_F(ToolbarTest, EveryCommandHasAKeyItsTipSaysAndAMenuLists)
{
    ScriptedOperatorDialogs op;
    frame->addActions(toolbar->commandActions());
    QApplication::setActiveWindow(frame);
    frame->activateWindow();
    toolbar->setFocus();
    QApplication::processEvents();
    QTest::keyClick(toolbar, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(toolbar, Qt::Key_Delete);
    QTest::keyClick(toolbar, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(frame->events, (QStringList{QStringLiteral("ue_del 2"), QStringLiteral("ue_del 1"), QStringLiteral("ue_recovery")}));
    EXPECT_EQ(d(QStringLiteral("p_batchdel.tooltip.tip")), QString::fromUtf8("批量删除（Ctrl+Shift+Del）"));
    EXPECT_EQ(d(QStringLiteral("t_query.tooltip.tip")), QString::fromUtf8("查询（Ctrl+F）"));
    QStringList keys;
    for (const uo_toolbar_his::Command &c : uo_toolbar_his::commands()) {
        EXPECT_FALSE(c.key.isEmpty()) << c.button.toStdString();
        EXPECT_FALSE(keys.contains(c.key.toString())) << "one key a command: " << c.key.toString().toStdString();
        keys << c.key.toString();
    }
    EXPECT_EQ(keys.size(), 13) << "the eleven buttons, 操作记录 and 历史统计";
    EXPECT_EQ(d(QStringLiteral("p_stats.tooltip.tip")), QString::fromUtf8("历史统计（Ctrl+T）"));
    // The right mouse button: the commands, each with its key; choosing one runs it.
    frame->events.clear();
    op.chooseMenuItem(QStringLiteral("a_batchdel"));
    Q_EMIT toolbar->rbuttondown(10, 10, 0, QString());
    ASSERT_EQ(op.menus.size(), 1);
    ASSERT_EQ(op.menus[0].size(), 13);
    EXPECT_EQ(op.menus[0][2].text, QString::fromUtf8("批量删除"));
    EXPECT_EQ(frame->events, QStringList{QStringLiteral("ue_del 2")});
}

