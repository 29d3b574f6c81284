#include "ModuleFixture.h"

#include "host/DemoRegister.h"
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "host/ui/Globals.h"
#include "host/ui/uo_button.h"
#include "host/ui/w_main.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/Message.h"
#include "platform/ui/Units.h"
#include "platform/ui/Windows.h"
#include "record/m_hisgridrbutton.h"
#include "sheets/HisTab.h"
#include "sheets/uo_tabpg_hisgrid.h"
#include "sheets/uo_tabpg_histab.h"
#include "sheets/w_histabsheet.h"
#include "shell/HistoryModule.h"
#include "shell/w_histmanage.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rt::Value;

using SheetsTest = ModuleFixture;

// MNT-50 (every test of this suite)
TEST_F(SheetsTest, EveryCategoryButtonShowsItsRetrievedHistory)
{
    const struct
    {
        const char *button, *grid, *table, *text;
    } rows[] = {{"p_rprinfo", "dh_ge_rpr", "th_ge_rpr", "户籍信息"},
                {"p_eldinfo", "dh_sv_elderinfo", "th_sv_elderinfo", "老年人信息"},
                {"p_children", "dh_sv_children", "th_sv_children", "儿童信息"},
                {"p_womaninfo", "dh_mh_adultwomaninfo", "th_mh_AdultWomaninfo", "育龄妇女信息"},
                {"p_oowpersoninfo", "dh_sv_oowpersoninfo", "th_sv_oowpersoninfo", "失业人员信息"},
                {"p_minlivingprotect", "dh_sv_mlpfamilyinfo", "th_sv_mlpfamilyinfo", "最低生活保障信息"}};
    for (const auto &r : rows) {
        click(r.button);
        ASSERT_NE(sheet(), nullptr);
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        ASSERT_NE(dw, nullptr) << r.button;
        EXPECT_EQ(dw->DataObject(), QString::fromLatin1(r.grid));
        EXPECT_EQ(dw->RowCount(), historyRows(QString::fromLatin1(r.table))) << r.button;
        EXPECT_GT(dw->RowCount(), 0) << r.button;
        EXPECT_EQ(sheet()->wf_gettitle(), QString::fromUtf8(r.text));
        EXPECT_EQ(sheet()->wf_getcurrentsql(), dw->GetSQLSelect());
        EXPECT_EQ(dw->Describe(QStringLiteral("datawindow.readonly")), QStringLiteral("yes"));
        EXPECT_EQ(dw->dataStore().transaction(), &host::g().photosqlca);
    }
    EXPECT_EQ(frame->GetActiveSheet()->ClassName(), QStringLiteral("w_histabsheet"));
    EXPECT_TRUE(sheet()->tab_1->isVisible());
    EXPECT_TRUE(op.errors.isEmpty()) << op.errors.join(QLatin1Char('\n')).toStdString();
}

// GRD-22
TEST_F(SheetsTest, SingleTablePageIsReusedForAnotherSingleTableCategory)
{
    click("p_rprinfo");
    hm::uo_tabpg_hisgrid *page = singlePage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Tag(), QStringLiteral("p_rprinfo"));
    click("p_eldinfo");
    EXPECT_EQ(singlePage(), page) << "the same page object";
    EXPECT_EQ(page->Text(), QString::fromUtf8("老年人信息"));
    EXPECT_EQ(page->Tag(), QStringLiteral("p_eldinfo"));
    EXPECT_EQ(page->dw_1->DataObject(), QStringLiteral("dh_sv_elderinfo"));
    EXPECT_EQ(page->dw_1->RowCount(), historyRows(QStringLiteral("th_sv_elderinfo")));
    EXPECT_EQ(sheet()->tab_1->pageCount(), 1);
    EXPECT_EQ(page->dw_1->Describe(QStringLiteral("datawindow.readonly")), QStringLiteral("yes"))
        << "history is never edited in place: a page reused for another category must stay read-only although its "
           "one-time set-up is not repeated for the new object";
    click("p_children");
    EXPECT_EQ(page->dw_1->Describe(QStringLiteral("datawindow.readonly")), QStringLiteral("yes"));
}

TEST_F(SheetsTest, TheCategoryShownIsNotRetrievedAgain)
{
    click("p_eldinfo");
    hm::uo_tabpg_hisgrid *page = singlePage();
    const long rows = page->dw_1->RowCount();
    page->dw_1->SetFilter(QStringLiteral("issave = '1'"));
    page->dw_1->Filter();
    const long filtered = page->dw_1->RowCount();
    ASSERT_LT(filtered, rows);
    click("p_eldinfo");
    EXPECT_EQ(singlePage(), page);
    EXPECT_EQ(page->dw_1->RowCount(), filtered) << "its data and its filter stay";
}

TEST_F(SheetsTest, PersonalLayoutIsBuiltAndTornDown)
{
    click("p_rprinfo");
    QPointer<hm::uo_tabpg_hisgrid> household = singlePage();
    click("p_personinfo");
    EXPECT_TRUE(household.isNull() || !household->isVisible()) << "the household page is closed";
    hm::uo_tabpg_histab *personal = personalPage();
    ASSERT_NE(personal, nullptr);
    EXPECT_EQ(personal->Text(), QString::fromUtf8("个人信息"));
    const auto inner = personal->tab_1->Control();
    ASSERT_EQ(inner.size(), 4);
    const char *objects[] = {"dh_ge_personinfo", "dh_ge_personotherinfo", "dh_ge_company", "dh_ge_foreignorregistry"};
    for (int i = 0; i < 4; ++i) {
        auto *g = qobject_cast<hm::uo_tabpg_hisgrid *>(inner[i]);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->dw_1->DataObject(), QString::fromLatin1(objects[i]));
        EXPECT_GT(g->dw_1->RowCount(), 0);
    }
    EXPECT_EQ(inner[3]->Tag(), QStringLiteral("p_personinfo"));
    EXPECT_EQ(personal->TabBackColor(), host::g().gl_backcolor);
    EXPECT_EQ(personal->TabTextColor(), host::g().gl_textcolor);

    // The third inner tab: the getters find the company grid.
    personal->tab_1->SelectTab(3);
    EXPECT_EQ(sheet()->wf_gettitle(), QString::fromUtf8("个人职业信息"));
    ASSERT_NE(sheet()->wf_getcurrentdw(), nullptr);
    EXPECT_EQ(sheet()->wf_getcurrentdw()->DataObject(), QStringLiteral("dh_ge_company"));
    // A repeated click changes nothing, not even the inner tab.
    click("p_personinfo");
    EXPECT_EQ(personalPage(), personal);
    EXPECT_EQ(personal->tab_1->SelectedTab(), 3);

    // Back to households: rebuilt and retrieved afresh.
    host::g().photosqlca.executeImmediate(QStringLiteral("DELETE FROM th_ge_rpr WHERE hisid = (SELECT min(hisid) FROM th_ge_rpr)"));
    host::g().photosqlca.commit();
    click("p_rprinfo");
    ASSERT_NE(singlePage(), nullptr);
    EXPECT_EQ(singlePage()->dw_1->RowCount(), historyRows(QStringLiteral("th_ge_rpr")));
    EXPECT_EQ(sheet()->tab_1->pageCount(), 1);
}

TEST_F(SheetsTest, QueryConditionIsClearedOnARealTabChangeOnly)
{
    click("p_personinfo");
    hm::uo_tabpg_histab *personal = personalPage();
    host::g().gs_querystr = QStringLiteral("sex = '女'");
    personal->tab_1->SelectTab(1);
    EXPECT_EQ(host::g().gs_querystr, QStringLiteral("sex = '女'")) << "the selected tab again";
    personal->tab_1->SelectTab(2);
    EXPECT_EQ(host::g().gs_querystr, QString());
}

TEST_F(SheetsTest, LayoutFollowsTheSheetSize)
{
    click("p_rprinfo");
    sheet()->wf_resize(1979, 1100);
    QApplication::processEvents();
    EXPECT_NEAR(rt::ui::Units::fromPixelsX(sheet()->tab_1->width()), 1969, Slack);
    EXPECT_NEAR(rt::ui::Units::fromPixelsY(sheet()->tab_1->height()), 1090, Slack);
    hm::uo_tabpg_hisgrid *page = singlePage();
    EXPECT_NEAR(page->dw_1->Width(), page->UnitsWidth() - 5, Slack);
    EXPECT_NEAR(page->dw_1->Height(), page->UnitsHeight() - 5, Slack);
}

// GRD-23
TEST_F(SheetsTest, AnEmptySheetAnswersWithoutAGrid)
{
    auto *empty = new hm::w_histabsheet;
    rt::ui::Windows::OpenSheet(empty, frame);
    EXPECT_EQ(empty->wf_getcurrentdw(), nullptr);
    EXPECT_EQ(empty->wf_gettitle(), QString());
    EXPECT_EQ(empty->wf_getcurrentsql(), QString());
    EXPECT_FALSE(empty->tab_1->isVisible());
    empty->wf_open(QStringLiteral("P_RPRINFO"));
    EXPECT_EQ(empty->tab_1->pageCount(), 0) << "names compare exactly";
    // The related categories have no button; an empty name must not find one of them.
    for (const char *name : {"", "ge_foreignorregistry", "dh_ge_company", " p_eldinfo"}) {
        empty->wf_open(QString::fromLatin1(name));
        EXPECT_EQ(empty->tab_1->pageCount(), 0) << '"' << name << '"';
    }
    rt::ui::Windows::Close(empty);
}

TEST_F(SheetsTest, GridPageFlattensVisibleHeaderTextsExactlyAsWritten)
{
    rt::ui::Message::instance().StringParm = QStringLiteral("dh_ge_rpr");
    hm::uo_tabpg_hisgrid page;
    ModifyLog log(page.dw_1->dataStore());
    page.constructor();
    EXPECT_EQ(page.dw_1->DataObject(), QStringLiteral("dh_ge_rpr"));
    EXPECT_EQ(page.is_sql, page.dw_1->Describe(QStringLiteral("datawindow.table.select")));
    ASSERT_GE(log.expressions.size(), 4);
    EXPECT_EQ(log.expressions[0], QStringLiteral("Datawindow.ReadOnly=true"));
    EXPECT_EQ(log.expressions[1], QStringLiteral("RprNo_t.Border = '0'"));
    EXPECT_EQ(log.expressions[2], QStringLiteral("RprNo_t.Background.Color = '16777215'"));
    EXPECT_EQ(log.expressions[3], QStringLiteral("RprNo_t.Background.Mode\t = '1'"));
    EXPECT_EQ(page.dw_1->Describe(QStringLiteral("RprNo_t.border RprNo_t.background.color RprNo_t.background.mode")),
              QStringLiteral("0\n16777215\n1"));
    EXPECT_EQ(page.dw_1->Describe(QStringLiteral("hisid_t.border")), QStringLiteral("6")) << "a hidden text is left alone";
    EXPECT_FALSE(log.expressions.join(QLatin1Char('|')).contains(QStringLiteral("hisid_t")));
}

TEST_F(SheetsTest, GetObjectsTestsEveryNameIncludingTheLast)
{
    rt::ui::Message::instance().StringParm = QStringLiteral("dh_ge_rpr");
    hm::uo_tabpg_hisgrid page;
    page.constructor();
    QStringList list;
    const int n = page.wf_getobjects(page.dw_1, list, QStringLiteral("text"), QStringLiteral("header"), true);
    EXPECT_EQ(n, 12) << "visible captions, hisid_t excluded";
    EXPECT_EQ(list.last(), QStringLiteral("SaveTime_t")) << "the name after the last tab";
    QStringList all;
    EXPECT_EQ(page.wf_getobjects(page.dw_1, all, QStringLiteral("*"), QStringLiteral("*"), false), 26);
    // A drawing with one object: no tab at all, the whole string is the name.
    rt::ui::DataWindowControl one;
    QString errors;
    ASSERT_EQ(one.Create(QStringLiteral(R"json({"objects": [{"type": "text", "name": "t_only", "band": "header"}]})json"), errors), 1);
    QStringList single;
    EXPECT_EQ(page.wf_getobjects(&one, single, QStringLiteral("text"), QStringLiteral("header"), true), 1);
    EXPECT_EQ(single, QStringList{QStringLiteral("t_only")});
    QStringList none;
    EXPECT_EQ(page.wf_getobjects(&one, none, QStringLiteral("bitmap"), QStringLiteral("*"), false), 0);
}

TEST_F(SheetsTest, CurrentRowIsTheOnlyHighlightedRowAndEnterOpensTheRecord)
{
    rt::ui::Windows::registerClass(QStringLiteral("w_hismodify"), []() -> rt::ui::PbWindow * { return new RecordDouble; });
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    dw->SetRow(3);
    dw->SetRow(5);
    for (long r = 1; r <= std::min<long>(dw->RowCount(), 10); ++r)
        EXPECT_EQ(dw->IsSelected(r), r == 5) << r;
    op.onNextResponseWindow([](rt::ui::PbWindow *w) { w->Close(); });
    singlePage()->ue_enter();
    EXPECT_EQ(RecordDouble::parms, QStringList{QStringLiteral("dh_sv_elderinfo")});
    // An empty grid opens nothing.
    dw->Reset();
    singlePage()->ue_enter();
    EXPECT_EQ(RecordDouble::parms.size(), 1);
}

TEST_F(SheetsTest, ContextMenuItemStatesFollowTheClickedPosition)
{
    click("p_rprinfo");
    hm::uo_tabpg_hisgrid *page = singlePage();
    rt::ui::DataWindowControl *dw = page->dw_1;
    auto states = [&](int column) {
        dw->setClickedColumn(column);
        Q_EMIT dw->rbuttondown(0, 0, column > 0 ? 1 : 0, QString());
        QMap<QString, bool> enabled;
        for (const auto &item : op.menus.last()) {
            if (!item.separator)
                enabled.insert(item.name, item.enabled);
        }
        return enabled;
    };
    const auto plain = states(3);
    EXPECT_FALSE(plain[QStringLiteral("m_nocolor")]);
    EXPECT_TRUE(plain[QStringLiteral("m_alignleft")] && plain[QStringLiteral("m_aligncenter")] &&
                plain[QStringLiteral("m_alignright")] && plain[QStringLiteral("m_color")]);
    dw->Modify(QStringLiteral("#3.Color = 255"));
    const auto coloured = states(3);
    for (auto it = coloured.cbegin(); it != coloured.cend(); ++it)
        EXPECT_TRUE(it.value()) << it.key().toStdString();
    const auto off = states(0);
    EXPECT_EQ(off.size(), 8);
    for (auto it = off.cbegin(); it != off.cend(); ++it)
        EXPECT_EQ(it.value(), it.key() == QLatin1String("m_saveas") || it.key() == QLatin1String("m_print")
                                  || it.key() == QLatin1String("m_timeline"))
            << it.key().toStdString();
    ASSERT_FALSE(op.menus.isEmpty());
    const auto &first = op.menus.first();
    ASSERT_EQ(first.size(), 11);
    EXPECT_EQ(first[0].text, QString::fromUtf8("左对齐(&L)"));
    EXPECT_TRUE(first[3].separator);
    EXPECT_EQ(first[7].text, QString::fromUtf8("数据导出(&S)..."));
    EXPECT_EQ(first[10].text, QString::fromUtf8("历史轨迹(&T)..."));
}

TEST_F(SheetsTest, MenuCommandsSendExactlyTheirExpressions)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = singlePage()->dw_1;
    ModifyLog log(dw->dataStore());
    auto run = [&](int column, const char *item) {
        dw->setClickedColumn(column);
        op.chooseMenuItem(QString::fromLatin1(item));
        Q_EMIT dw->rbuttondown(0, 0, 1, QString());
    };
    run(2, "m_aligncenter");
    run(2, "m_alignright");
    run(4, "m_alignleft");
    op.answerColor(255);
    run(4, "m_color");
    op.answerColor(0, false);
    run(4, "m_color"); // cancelled: nothing
    run(4, "m_nocolor");
    EXPECT_EQ(log.expressions, (QStringList{QStringLiteral("#2.alignment = 2"), QStringLiteral("#2.alignment = 1"),
                                            QStringLiteral("#4.alignment = 0"), QStringLiteral("#4.Color = 255"),
                                            QStringLiteral("#4.Color = 33554432")}));
    EXPECT_EQ(dw->Describe(QStringLiteral("#4.color")), QStringLiteral("33554432"));
    EXPECT_EQ(op.colorDialogs, 2);
    // Print opens the host's preview window by name (not registered in this test, so the runtime
    // reports it). 数据导出 is GridWindowsTest.TheContextMenuExportsTheGridItWasOpenedOn.
    run(3, "m_print");
    ASSERT_EQ(op.errors.size(), 1);
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("w_print_preview")));
}

// The line under a grid ("已读取…/共…") and its bottom edge stay in view whatever category was
// shown before: a page is never larger than the area its tab control shows.
// GRD-34
TEST_F(SheetsTest, TheCountLineStaysInViewWhateverCategoryCameBefore)
{
    frame->resize(1200, 800);
    QApplication::processEvents();
    const auto inView = [&](const char *after) {
        QApplication::processEvents();
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        ASSERT_NE(dw, nullptr) << after;
        QWidget *page = dw->parentWidget();
        const QRect shown = QRect(QPoint(0, 0), page->parentWidget()->size());
        EXPECT_TRUE(shown.contains(page->geometry())) << after << ": the page reaches past its tab's area";
        auto *line = dw->findChild<QWidget *>(QStringLiteral("rows_line"));
        ASSERT_NE(line, nullptr) << after;
        const QRect lineInPage(line->mapTo(page, QPoint(0, 0)), line->size());
        EXPECT_TRUE(page->rect().contains(lineInPage)) << after << ": the count line is cut off";
    };
    click("p_personinfo");
    inView("个人信息 first");
    click("p_eldinfo");
    inView("老年人信息 after 个人信息");
    click("p_children");
    inView("儿童信息 after 老年人信息");
    click("p_personinfo");
    inView("个人信息 after 儿童信息");
}
