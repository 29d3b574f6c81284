#include "ModuleFixture.h"

#include "host/ui/HostWindows.h"
#include "host/ui/uo_button.h"
#include "host/ui/uo_dwform.h"
#include "host/ui/w_print_preview.h"
#include "platform/ui/Controls.h"
#include "platform/ui/DwFreeView.h"
#include "record/w_hismodify.h"
#include "sheets/uo_tabpg_histab.h"

#include <QTest>

// The record window, opened from the grid page as the operator opens it (Enter or a double click).
class RecordWindowTest : public ModuleFixture
{
protected:
    static void SetUpTestSuite()
    {
        ModuleFixture::SetUpTestSuite();
        host::HostWindows::registerWindows();
    }

    hm::uo_tabpg_hisgrid *gridPage()
    {
        if (hm::uo_tabpg_histab *personal = personalPage())
            return qobject_cast<hm::uo_tabpg_hisgrid *>(personal->tab_1->Control().value(personal->tab_1->SelectedTab() - 1));
        return singlePage();
    }
    // Opens the record window on the grid's row and lets `act` work with it; closes it after.
    void openRecord(long row, const std::function<void(hm::w_hismodify *)> &act)
    {
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        dw->SetRow(row);
        bool opened = false;
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *r = qobject_cast<hm::w_hismodify *>(w);
            ASSERT_NE(r, nullptr);
            opened = true;
            act(r);
            if (!r->isClosed())
                r->Close();
        });
        gridPage()->ue_enter();
        op.clearHooks();
        EXPECT_TRUE(opened);
    }
    struct Buttons
    {
        bool first, prior, next, last;
        bool operator==(const Buttons &) const = default;
    };
    static Buttons states(hm::w_hismodify *w)
    {
        return {w->cb_first->isButtonEnabled(), w->cb_prior->isButtonEnabled(), w->cb_next->isButtonEnabled(),
                w->cb_last->isButtonEnabled()};
    }
    static Value shown(hm::w_hismodify *w) { return w->dw_1->dataStore().GetItem(1, "hisid"); }
};

TEST_F(RecordWindowTest, ButtonsAtTheFirstAndLastRowAndOnAOneRowGrid)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long n = dw->RowCount();
    openRecord(1, [&](hm::w_hismodify *w) {
        EXPECT_EQ(states(w), (Buttons{false, false, true, true}));
        EXPECT_EQ(shown(w), dw->dataStore().GetItem(1, "hisid"));
        EXPECT_EQ(w->dw_1->RowCount(), 1);
        EXPECT_EQ(w->dw_1->DataObject(), QStringLiteral("dh_sv_elderinfo_f"));
        EXPECT_EQ(w->Title(), QString::fromUtf8("老年人信息"));
        EXPECT_EQ(w->dw_1->Describe(QStringLiteral("datawindow.readonly")), QStringLiteral("yes"));
        EXPECT_EQ(w->dw_1->GetItemStatus(1, 0, rt::DwBuffer::Primary), rt::DwItemStatus::NotModified);
    });
    openRecord(n, [&](hm::w_hismodify *w) { EXPECT_EQ(states(w), (Buttons{true, true, false, false})); });
    ASSERT_EQ(dw->SetFilter(QStringLiteral("hisid = ") + dw->dataStore().GetItem(1, "hisid").toText()), 1);
    ASSERT_EQ(dw->Filter(), 1);
    ASSERT_EQ(dw->RowCount(), 1);
    openRecord(1, [&](hm::w_hismodify *w) { EXPECT_EQ(states(w), (Buttons{false, false, false, false})); });
}

// RWN-01
TEST_F(RecordWindowTest, NavigationMovesTheGridWithTheForm)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long n = dw->RowCount();
    ASSERT_GT(n, 3);
    openRecord(2, [&](hm::w_hismodify *w) {
        w->cb_next->click();
        EXPECT_EQ(dw->GetRow(), 3);
        EXPECT_EQ(shown(w), dw->dataStore().GetItem(3, "hisid"));
        w->cb_last->click();
        EXPECT_EQ(dw->GetRow(), n);
        EXPECT_EQ(shown(w), dw->dataStore().GetItem(n, "hisid"));
        EXPECT_EQ(states(w), (Buttons{true, true, false, false}));
        w->cb_next->click(); // disabled: nothing
        EXPECT_EQ(dw->GetRow(), n);
        w->cb_first->click();
        EXPECT_EQ(dw->GetRow(), 1);
        EXPECT_EQ(shown(w), dw->dataStore().GetItem(1, "hisid"));
        w->cb_prior->click();
        EXPECT_EQ(dw->GetRow(), 1);
        w->cb_next->click();
        w->cb_prior->click();
        EXPECT_EQ(dw->GetRow(), 1);
        EXPECT_EQ(w->dw_1->RowCount(), 1) << "the form always holds the one row shown";
        EXPECT_EQ(w->dw_1->GetItemStatus(1, 0, rt::DwBuffer::Primary), rt::DwItemStatus::NotModified);
    });
}

TEST_F(RecordWindowTest, EveryCategorysGridOpensItsForm)
{
    for (const char *button : {"p_rprinfo", "p_eldinfo", "p_children", "p_womaninfo", "p_oowpersoninfo", "p_minlivingprotect"}) {
        click(button);
        openRecord(1, [&](hm::w_hismodify *w) {
            EXPECT_EQ(shown(w), sheet()->wf_getcurrentdw()->dataStore().GetItem(1, "hisid")) << button;
            EXPECT_EQ(w->dw_1->DataObject(), sheet()->wf_getcurrentdw()->DataObject() + QStringLiteral("_f"));
        });
    }
    click("p_personinfo");
    for (int tab = 1; tab <= 4; ++tab) {
        personalPage()->tab_1->SelectTab(tab);
        QApplication::processEvents();
        openRecord(1, [&](hm::w_hismodify *w) {
            EXPECT_EQ(w->Title(), sheet()->wf_gettitle());
            EXPECT_EQ(shown(w), sheet()->wf_getcurrentdw()->dataStore().GetItem(1, "hisid")) << tab;
        });
    }
}

// A value longer than its field can be read whole: the form shows it as the pointer's tip.
// RWN-03
TEST_F(RecordWindowTest, AnyValueCanBeReadWhole)
{
    click("p_rprinfo");
    const QString address = sheet()->wf_getcurrentdw()->GetItemString(1, "address");
    ASSERT_FALSE(address.isEmpty());
    openRecord(1, [&](hm::w_hismodify *w) {
        auto *view = w->dw_1->findChild<rt::ui::DwFreeView *>();
        ASSERT_NE(view, nullptr);
        const int x = w->dw_1->Describe(QStringLiteral("address.x")).toInt(), y = w->dw_1->Describe(QStringLiteral("address.y")).toInt();
        const QRect box = rt::ui::Units::toPixels(x, y, w->dw_1->Describe(QStringLiteral("address.width")).toInt(),
                                                  w->dw_1->Describe(QStringLiteral("address.height")).toInt());
        EXPECT_EQ(view->toolTipAt(box.center()), address);
        EXPECT_EQ(view->toolTipAt(QPoint(1, 1)), QString()) << "no tip off the fields";
    });
}

// RWN-01
TEST_F(RecordWindowTest, TheFormAndTheWindowAreSizedToTheLayout)
{
    click("p_rprinfo");
    openRecord(1, [&](hm::w_hismodify *w) {
        QStringList moves;
        const int count = w->dw_1->Describe(QStringLiteral("datawindow.column.count")).toInt();
        for (int i = 1; i <= count; ++i)
            moves << QStringLiteral("#%1.x=100 #%1.width=300 #%1.y=40 #%1.height=76").arg(i);
        moves << QStringLiteral("#3.x=1500 #3.width=500 #5.y=600 #5.height=80"); // 2000 across, 680 down
        ASSERT_EQ(w->dw_1->Modify(moves.join(QLatin1Char(' '))), QString());
        w->wf_setsize();
        EXPECT_EQ(w->dw_1->Width(), 2080);
        EXPECT_NEAR(w->dw_1->Height(), 730, 4) << "units round to whole pixels (4 units down)";
        EXPECT_NEAR(w->UnitsWidth(), 2080 + 2 * w->dw_1->X(), 5);
        EXPECT_NEAR(rt::ui::Controls::unitsX(w->cb_first), w->dw_1->X() + 20, 5);
        EXPECT_NEAR(rt::ui::Controls::unitsY(w->cb_first), w->dw_1->Y() + 730 + 10, 5);
        EXPECT_NEAR(rt::ui::Controls::unitsX(w->cb_exit) + rt::ui::Controls::unitsWidth(w->cb_exit), w->dw_1->X() + 2080 - 20, 5);
        EXPECT_NEAR(w->UnitsHeight(), rt::ui::Controls::unitsY(w->cb_exit) + rt::ui::Controls::unitsHeight(w->cb_exit) + 120, 5);
    });
}

TEST_F(RecordWindowTest, EscClosesFromTheWindowAndFromTheForm)
{
    click("p_eldinfo");
    bool closed = false;
    openRecord(1, [&](hm::w_hismodify *w) {
        QTest::keyClick(w, Qt::Key_Escape);
        closed = w->isClosed();
    });
    EXPECT_TRUE(closed);
    closed = false;
    openRecord(1, [&](hm::w_hismodify *w) {
        QTest::keyClick(w->dw_1->presentation(), Qt::Key_A);
        EXPECT_FALSE(w->isClosed()) << "other keys are left alone";
        QTest::keyClick(w->dw_1->presentation(), Qt::Key_Escape);
        closed = w->isClosed();
    });
    EXPECT_TRUE(closed);
}

TEST_F(RecordWindowTest, TheMenuPrintsTheForm)
{
    click("p_eldinfo");
    QPointer<rt::ui::DataWindowControl> previewed;
    rt::ui::DataWindowControl *form = nullptr;
    openRecord(1, [&](hm::w_hismodify *w) {
        form = w->dw_1;
        op.onNextResponseWindow([&](rt::ui::PbWindow *p) {
            auto *preview = qobject_cast<host::w_print_preview *>(p);
            ASSERT_NE(preview, nullptr);
            previewed = preview->datawindow();
            preview->Close();
        });
        op.chooseMenuItem(QStringLiteral("m_print"));
        w->dw_1_rbuttondown();
    });
    ASSERT_FALSE(op.menus.isEmpty());
    ASSERT_EQ(op.menus.last().size(), 1);
    EXPECT_EQ(op.menus.last()[0].text, QString::fromUtf8("打印当前窗口(&P)"));
    EXPECT_EQ(previewed.data(), form);
}

// RWN-02
TEST_F(RecordWindowTest, WithoutAHistorySheetNothingOpens)
{
    bool opened = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *) { opened = true; });
    rt::ui::Windows::OpenByName(QStringLiteral("w_hismodify"), QStringLiteral("dh_ge_rpr"));
    op.clearHooks();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(op.boxes.isEmpty());
}

// The key captions and the save-failure messages of the form, on a form made for them.
// RWN-04
TEST(RecordWindowMessages, KeyCaptionsAndSaveFailures)
{
    hm::w_hismodify w;
    QString errors;
    const QString syntax = QString::fromUtf8(R"json({"style": "form", "objects": [
        {"type": "column", "name": "a", "coltype": "char(4)", "key": "yes"},
        {"type": "column", "name": "b", "coltype": "char(4)", "key": "yes"},
        {"type": "column", "name": "c", "coltype": "char(4)", "key": "yes", "visible": 0},
        {"type": "column", "name": "d", "coltype": "char(4)", "key": "yes"},
        {"type": "column", "name": "e", "coltype": "char(4)"},
        {"type": "text", "name": "a_t", "text": "甲:"}, {"type": "text", "name": "b_t", "text": "乙："},
        {"type": "text", "name": "c_t", "text": "丙"}, {"type": "text", "name": "e_t", "text": "戊"}]})json");
    ASSERT_EQ(w.dw_1->Create(syntax, errors), 1) << errors.toStdString();
    EXPECT_EQ(w.wf_getpkey(), QString::fromUtf8("甲，乙："));
    const struct
    {
        long code;
        const char *text;
    } cases[] = {{-1, "数据保存失败！原因：无法连接到数据库，请重新启动系统！"},
                 {-2, "数据保存失败！原因：无法连接到数据库，请重新启动系统！"},
                 {-193, "数据保存失败！原因：【甲，乙：】数据重复。"},
                 {1555, "数据保存失败！原因：【甲，乙：】数据重复。"},
                 {-195, "数据保存失败！原因：数据存在空值。"},
                 {1299, "数据保存失败！原因：数据存在空值。"},
                 {-196, "数据保存失败！原因：表中的值不唯一。"},
                 {2067, "数据保存失败！原因：表中的值不唯一。"},
                 {5, "数据保存失败！原因：database is locked"}};
    for (const auto &c : cases)
        EXPECT_EQ(w.dberrorText(c.code, QStringLiteral("database is locked")), QString::fromUtf8(c.text)) << c.code;
    ASSERT_EQ(w.dw_1->Modify(QStringLiteral("a.key=no b.key=no d.key=no")), QString());
    EXPECT_EQ(w.dberrorText(-193, QString()), QString::fromUtf8("数据保存失败！原因：主键数据重复。"));
    ScriptedOperatorDialogs op;
    EXPECT_EQ(w.dw_1_dberror(-195, QString()), -195) << "the code goes back, so the runtime adds no message";
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(op.boxes[0].title, QString::fromUtf8("警告信息"));
}
