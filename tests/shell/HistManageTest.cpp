#include "ScriptedOperatorDialogs.h"

#include "host/ui/Globals.h"
#include "host/ui/uo_button.h"
#include "host/ui/w_main.h"
#include "host/ui/ModuleWindows.h"
#include "platform/ui/Controls.h"

#include <QLabel>
#include "platform/ui/PbPicture.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Units.h"
#include "platform/ui/Windows.h"
#include "sheets/w_hisexplore.h"
#include "shell/w_histmanage.h"
#include "toolbar/uo_toolbar_his.h"
#include "toolbar/ToolbarObjects.h"
#include "toolbar/uo_transparent_st.h"

#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QTimer>
#include <QTest>
#include <QMenu>
#include <QContextMenuEvent>
#include <gtest/gtest.h>

using rt::ui::Controls;

namespace {

// Stands in for the history tab sheet: records the keys wf_open receives.
class SheetDouble : public rt::ui::PbWindow
{
    Q_OBJECT
public:
    SheetDouble() : rt::ui::PbWindow(QStringLiteral("w_histabsheet"), Kind::Sheet) { ++created; }
    Q_INVOKABLE void wf_open(const QString &key) { keys << key; }
    static inline int created = 0;
    static inline QStringList keys;
};

// Units survive a round trip through pixels to within a pixel's width.
constexpr int Slack = 5;

} // namespace

class HistManageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SheetDouble::created = 0;
        SheetDouble::keys.clear();
        rt::ui::Windows::registerClass(QStringLiteral("w_histabsheet"), []() -> rt::ui::PbWindow * { return new SheetDouble; });
        mainWindow = new host::w_main;
        host::g().w_main = mainWindow;
        mainWindow->Show();
        host::g().gs_querystr = QStringLiteral("personname like '%王%'");
        window = new hm::w_histmanage;
        rt::ui::Windows::Open(window);
        QApplication::processEvents();
    }
    void TearDown() override
    {
        rt::ui::Windows::Close(window);
        rt::ui::Windows::Close(mainWindow);
        rt::ui::Windows::unregisterClass(QStringLiteral("w_histabsheet"));
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ScriptedOperatorDialogs op;
    QPointer<host::w_main> mainWindow;
    QPointer<hm::w_histmanage> window;
};

TEST_F(HistManageTest, OpensAsDefinedHidingTheHostWindow)
{
    EXPECT_EQ(window->Title(), QString::fromUtf8("历史信息维护"));
    EXPECT_NEAR(window->UnitsWidth(), 3440, Slack);
    EXPECT_NEAR(window->UnitsHeight(), 2512, Slack);
    EXPECT_FALSE(mainWindow->isVisible()) << "the host's main window is hidden";
    EXPECT_EQ(host::g().gs_querystr, QString());
    EXPECT_FALSE(host::g().gs_querystr.isNull());
    EXPECT_EQ(host::ModuleWindows::w_histmanage(), window.data());
    EXPECT_TRUE(window->menuBar()->actions().isEmpty()) << "m_hismain offers nothing";
    // The background sheet fills the MDI client.
    ASSERT_TRUE(rt::ui::IsValid(window->w_hisexplore));
    auto *explore = static_cast<hm::w_hisexplore *>(window->w_hisexplore.data());
    EXPECT_EQ(window->GetActiveSheet(), explore);
    EXPECT_NEAR(explore->UnitsWidth(), window->mdiUnitsWidth(), Slack);
    EXPECT_NEAR(explore->UnitsHeight(), window->mdiUnitsHeight(), Slack);
    EXPECT_EQ(explore->p_1->geometry(), explore->client()->rect()) << "the picture covers the client area";
}

// At the window's own size every command of the strip shows whole, with its picture, enabled or
// greyed out (a command added without a drawing showed its caption alone, half cut off).
// MNT-37
TEST_F(HistManageTest, EveryCommandShowsWholeWithItsPicture)
{
    rt::DwLibrary library;
    QString error;
    ASSERT_TRUE(hm::ToolbarObjects::addTo(library, error)) << error.toStdString();
    rt::DataStore strip;
    ASSERT_EQ(strip.SetDataObject(QStringLiteral("d_toolright_his"), &library), 1);
    const int left = window->dw_maintoolbar->x(), inside = window->client()->width();
    for (const hm::uo_toolbar_his::Command &c : hm::uo_toolbar_his::commands()) {
        SCOPED_TRACE(c.caption.toStdString());
        const QString caption = QStringLiteral("t_") + c.button.mid(2);
        for (const QString &o : {c.button, caption}) {
            const int right = strip.Describe(o + QStringLiteral(".x")).toInt() + strip.Describe(o + QStringLiteral(".width")).toInt();
            ASSERT_GT(right, 0) << o.toStdString();
            EXPECT_LE(left + rt::ui::Units::toPixelsX(right), inside) << o.toStdString();
        }
        // As designed, then as enabling and disabling name them after the command.
        const QString word = QStringLiteral("bmp\\") + c.button.mid(2);
        for (const QString &picture : {strip.Describe(c.button + QStringLiteral(".filename")), word + QStringLiteral(".bmp"),
                                       word + QStringLiteral("2.bmp")})
            EXPECT_FALSE(rt::ui::Pictures::load(picture).isNull()) << picture.toStdString();
    }
}

TEST_F(HistManageTest, CategoryButtonsAndLabelsSitWhereDesigned)
{
    struct Expected
    {
        const char *button;
        int y;
        const char *label;
        const char *text;
    };
    const Expected table[] = {{"p_rprinfo", 208, "st_rprinfo", "户籍信息"},
                              {"p_personinfo", 492, "st_personinfo", "个人信息"},
                              {"p_eldinfo", 776, "st_eldinfo", "老年人信息"},
                              {"p_children", 1060, "st_childreninfo", "儿童信息"},
                              {"p_womaninfo", 1344, "st_womaninfo", "育龄妇女信息"},
                              {"p_oowpersoninfo", 1628, "st_lostjobperson", "失业人员信息"},
                              {"p_minlivingprotect", 1912, "st_minprotect", "低保人员信息"}};
    for (const Expected &e : table) {
        auto *b = window->findChild<host::uo_button *>(QString::fromLatin1(e.button));
        ASSERT_NE(b, nullptr) << e.button;
        EXPECT_NEAR(Controls::unitsX(b), 160, Slack) << e.button;
        EXPECT_NEAR(Controls::unitsY(b), e.y, Slack) << e.button;
        EXPECT_TRUE(b->hasPicture()) << e.button;
        EXPECT_EQ(b->originalSize(), QLatin1String(e.button) != QLatin1String("p_minlivingprotect")) << e.button;
        auto *l = window->findChild<hm::uo_transparent_st *>(QString::fromLatin1(e.label));
        ASSERT_NE(l, nullptr) << e.label;
        EXPECT_EQ(l->text(), QString::fromUtf8(e.text));
        EXPECT_NEAR(Controls::unitsX(l), 41, Slack);
        EXPECT_EQ(l->BackColor(), 536870912) << "transparent";
        // Label and button lie over the strip.
        EXPECT_GT(window->client()->children().indexOf(b), window->client()->children().indexOf(window->p_speedbar))
            << "drawn after (over) the strip";
    }
}

TEST_F(HistManageTest, ResizeLaysOutToolbarStripAndClient)
{
    window->resize(rt::ui::Units::toPixelsX(4000), rt::ui::Units::toPixelsY(3000) + window->menuBar()->height());
    QApplication::processEvents();
    const int w = window->UnitsWidth(), h = window->UnitsHeight();
    EXPECT_EQ(window->dw_maintoolbar->X(), 0);
    EXPECT_NEAR(window->dw_maintoolbar->Width(), w, Slack);
    const int toolbarBottom = window->dw_maintoolbar->Y() + window->dw_maintoolbar->Height();
    EXPECT_NEAR(toolbarBottom, 176, Slack);
    EXPECT_EQ(Controls::unitsX(window->p_speedbar), 0);
    EXPECT_NEAR(Controls::unitsY(window->p_speedbar), toolbarBottom + 2, Slack);
    // The status line along the bottom edge, a line of text high; the strip and the client above it.
    const int status = Controls::unitsHeight(window->st_status);
    EXPECT_GE(status, window->st_status->fontMetrics().height() * 4);
    EXPECT_NEAR(Controls::unitsY(window->st_status) + status, h, Slack);
    EXPECT_NEAR(Controls::unitsWidth(window->st_status), w, Slack);
    EXPECT_NEAR(Controls::unitsHeight(window->p_speedbar), h - toolbarBottom - status, Slack);
    const int mdiX = Controls::unitsX(window->mdi_1);
    EXPECT_NEAR(mdiX, Controls::unitsX(window->p_speedbar) + Controls::unitsWidth(window->p_speedbar) + 2, Slack);
    EXPECT_NEAR(window->mdiUnitsWidth(), w - mdiX - 2, Slack);
    EXPECT_NEAR(window->mdiUnitsHeight(), h - toolbarBottom - status, Slack);
    // The category buttons keep their design positions.
    EXPECT_NEAR(Controls::unitsY(window->p_rprinfo), 208, Slack);
}

TEST_F(HistManageTest, CategoryClicksReachOneSheetWithLowerCasedNames)
{
    window->p_children->click();
    window->p_eldinfo->click();
    window->p_eldinfo->click();
    EXPECT_EQ(SheetDouble::created, 1) << "one history sheet, reused";
    EXPECT_EQ(SheetDouble::keys, (QStringList{QStringLiteral("p_children"), QStringLiteral("p_eldinfo"),
                                              QStringLiteral("p_eldinfo")}));
    EXPECT_EQ(window->GetActiveSheet()->ClassName(), QStringLiteral("w_histabsheet"));
    // A sheet closed by the operator is opened anew by the next click.
    rt::ui::Windows::Close(window->w_histabsheet);
    window->p_rprinfo->click();
    EXPECT_EQ(SheetDouble::created, 2);
    EXPECT_EQ(SheetDouble::keys.last(), QStringLiteral("p_rprinfo"));
    EXPECT_TRUE(op.errors.isEmpty());
}

TEST_F(HistManageTest, WithoutAHistorySheetClassTheClickIsARuntimeError)
{
    rt::ui::Windows::unregisterClass(QStringLiteral("w_histabsheet"));
    window->p_rprinfo->click();
    ASSERT_EQ(op.errors.size(), 1);
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("w_histabsheet")));
}

TEST_F(HistManageTest, ClosingShowsTheHostWindowAndClearsTheQuery)
{
    host::g().gs_querystr = QStringLiteral("x");
    EXPECT_EQ(rt::ui::Windows::Close(window), 1);
    EXPECT_TRUE(mainWindow->isVisible());
    EXPECT_EQ(host::g().gs_querystr, QString());
    EXPECT_FALSE(rt::ui::IsValid(host::ModuleWindows::w_histmanage()));
}

TEST(BackgroundSheet, PictureFollowsTheSizeAndKeepsItsOwnWithoutAFrame)
{
    host::ModuleWindows::w_histmanage() = nullptr;
    auto *sheet = new hm::w_hisexplore;
    rt::ui::Windows::Open(sheet);
    EXPECT_EQ(sheet->X(), 0);
    EXPECT_EQ(sheet->Y(), 0);
    EXPECT_NEAR(sheet->UnitsWidth(), 3141, Slack) << "no main window: the defined size stays";
    EXPECT_NEAR(sheet->UnitsHeight(), 2076, Slack);
    sheet->Resize(2000, 1500);
    QApplication::processEvents();
    EXPECT_EQ(sheet->p_1->pos(), QPoint(0, 0));
    EXPECT_EQ(sheet->p_1->size(), sheet->client()->size());
    EXPECT_NEAR(Controls::unitsWidth(sheet->p_1), 2000, Slack);
    EXPECT_NEAR(Controls::unitsHeight(sheet->p_1), 1500, Slack);
    EXPECT_TRUE(sheet->p_1->hasPicture());
    EXPECT_EQ(sheet->p_1->pixmap().size(), QSize(915, 651));
    rt::ui::Windows::Close(sheet);
}

TEST(TransparentText, APaintPassDuringAPassDoesNothing)
{
    hm::uo_transparent_st st;
    st.show();
    st.ib_painting = true;
    EXPECT_EQ(st.ue_paint(0), 0);
    EXPECT_TRUE(st.isVisible());
    EXPECT_TRUE(st.ib_painting) << "the running pass is left alone";
    st.ib_painting = false;
    EXPECT_EQ(st.ue_paint(0), 0);
    EXPECT_TRUE(st.isVisible());
    EXPECT_FALSE(st.ib_painting);
}

#include "HistManageTest.moc"

TEST(ToolbarDrawing, ElevenButtonsWithCaptionsAndHiddenFrameLines)
{
    rt::DwLibrary library;
    QString error;
    ASSERT_TRUE(hm::ToolbarObjects::addTo(library, error)) << error.toStdString();
    rt::DataStore ds;
    ASSERT_EQ(ds.SetDataObject(QStringLiteral("d_toolright_his"), &library), 1);
    EXPECT_EQ(ds.definition().style, rt::DwStyle::Drawing);
    EXPECT_EQ(ds.Describe(QStringLiteral("datawindow.column.count")), QStringLiteral("0"));
    const struct
    {
        const char *word;
        int x;
        const char *picture;
        const char *caption;
    } buttons[] = {{"retrieve", 32, "bmp\\retrieve.bmp", "数据检索"}, {"recoverdata", 293, "bmp\\add.bmp", "恢复数据"},
                   {"batchdel", 567, "bmp\\modify.bmp", "批量删除"},   {"del", 823, "bmp\\del.bmp", "删除"},
                   {"setshow", 1074, "bmp\\sorter.bmp", "显示定制"},   {"query", 1330, "bmp\\manage.bmp", "查询"},
                   {"sort", 1586, "bmp\\help.bmp", "排序"},            {"print", 1842, "bmp\\setshow.bmp", "打印"},
                   {"help", 2117, "bmp\\filter.bmp", "帮助"},          {"close", 2373, "bmp\\close.bmp", "关闭"},
                   {"exit", 2629, "bmp\\exit.bmp", "返回"}};
    for (const auto &b : buttons) {
        const QString p = QStringLiteral("p_") + QString::fromLatin1(b.word);
        const QString t = QStringLiteral("t_") + QString::fromLatin1(b.word);
        EXPECT_EQ(ds.Describe(p + QStringLiteral(".x")), QString::number(b.x)) << b.word;
        EXPECT_EQ(ds.Describe(p + QStringLiteral(".y ") + p + QStringLiteral(".height")), QStringLiteral("8\n152"));
        EXPECT_EQ(ds.Describe(p + QStringLiteral(".filename")), QString::fromLatin1(b.picture));
        EXPECT_EQ(ds.Describe(p + QStringLiteral(".tag")), QStringLiteral("1"));
        EXPECT_EQ(ds.Describe(t + QStringLiteral(".text")), QString::fromUtf8(b.caption));
    }
    EXPECT_EQ(ds.Describe(QStringLiteral("p_del.width")), QStringLiteral("238"));
    for (const char *line : {"l_h1", "l_h2", "l_v1", "l_v2"})
        EXPECT_EQ(ds.Describe(QString::fromLatin1(line) + QStringLiteral(".visible")), QStringLiteral("0")) << line;
    EXPECT_EQ(ds.Describe(QStringLiteral("l_h2.pen.color")), QStringLiteral("134217745"));
    EXPECT_EQ(ds.Describe(QStringLiteral("l_6.x1 l_8.x1")), QStringLiteral("549\n2098"));
}

// The frame answers the toolbar's keys wherever the focus is in it, and the right mouse button
// on the category strip lists the commands (批量删除 among them).
// GRD-32
TEST_F(HistManageTest, TheFrameAnswersTheToolbarsKeysAndTheStripListsThem)
{
    for (QAction *a : window->dw_maintoolbar->commandActions())
        EXPECT_TRUE(window->actions().contains(a)) << a->text().toStdString();
    const auto listed = [this](int menus) {
        EXPECT_EQ(op.menus.size(), menus);
        QStringList texts;
        if (!op.menus.isEmpty())
            for (const auto &item : op.menus.last())
                texts << item.text;
        EXPECT_TRUE(texts.contains(QString::fromUtf8("批量删除"))) << texts.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(texts.contains(QString::fromUtf8("历史统计"))) << texts.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(texts.size(), 13);
    };
    // The right mouse button (or the menu key) on the category strip.
    QContextMenuEvent onStrip(QContextMenuEvent::Mouse, QPoint(5, 5), window->p_speedbar->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window->p_speedbar, &onStrip);
    listed(1);
    // F10 from wherever the focus is in the frame.
    window->activateWindow();
    window->p_speedbar->setFocus();
    QTest::keyClick(window->p_speedbar, Qt::Key_F10);
    listed(2);
}

namespace {

// The operator at a real menu: Qt's own menu, an item chosen with the keys.
class KeysAtTheMenu : public ScriptedOperatorDialogs
{
public:
    QString choose;
    QAction *popupMenu(QMenu &menu, const QPoint &at) override
    {
        QTimer::singleShot(0, &menu, [this, &menu]() {
            for (QAction *a : menu.actions())
                if (a->text() == choose) {
                    menu.setActiveAction(a);
                    QTest::keyClick(&menu, Qt::Key_Return);
                    return;
                }
            menu.close();
        });
        return menu.exec(at);
    }
};

} // namespace

// Qt's menu runs the chosen command before it answers which one it was: the command runs once,
// not again on the answer (删除 twice would delete the row that became current after the first).
// GRD-33
TEST_F(HistManageTest, ACommandChosenFromTheMenuRunsOnce)
{
    KeysAtTheMenu hand;
    hand.choose = QString::fromUtf8("数据检索");
    QAction *retrieve = nullptr;
    for (QAction *a : window->dw_maintoolbar->commandActions())
        if (a->text() == hand.choose)
            retrieve = a;
    ASSERT_NE(retrieve, nullptr);
    int runs = 0;
    QObject::connect(retrieve, &QAction::triggered, window, [&runs] { ++runs; });
    window->activateWindow();
    QTest::keyClick(window->p_speedbar, Qt::Key_F10);
    QApplication::processEvents();
    EXPECT_EQ(runs, 1);
    rt::ui::OperatorDialogs::install(&op);
}

// SRV-18
TEST_F(HistManageTest, TheLinksWarningStaysAtTheStatusLinesEndWhateverIsSaid)
{
    EXPECT_FALSE(window->st_link->isVisible()) << "a safe link takes no room";
    window->wf_setlinkstatus(QString::fromUtf8("未加密连接"));
    const QString longText = QString::fromUtf8("已删除 老年人信息 的历史记录 ").repeated(20);
    window->wf_setstatus(longText);
    QApplication::processEvents();
    ASSERT_TRUE(window->st_link->isVisible());
    EXPECT_EQ(window->st_link->text(), QString::fromUtf8("未加密连接"));
    EXPECT_GE(window->st_link->width(), window->st_link->fontMetrics().horizontalAdvance(window->st_link->text()))
        << "its words are not cut";
    EXPECT_EQ(window->st_link->geometry().right(), window->st_status->contentsRect().right()) << "at the right end";
    // The message is shortened before the link's words: it ends left of them.
    EXPECT_LE(window->st_status->fontMetrics().horizontalAdvance(window->st_status->text()) + window->st_status->indent(),
              window->st_link->x());
    EXPECT_TRUE(window->st_status->toolTip().endsWith(longText)) << "the whole message is its tip";
    window->resize(window->width() - 200, window->height());
    QApplication::processEvents();
    EXPECT_EQ(window->st_link->geometry().right(), window->st_status->contentsRect().right()) << "it follows a resize";
    window->wf_setstatus(QString());
    EXPECT_TRUE(window->st_link->isVisible()) << "a status emptied leaves it";
    window->wf_setlinkstatus(QString());
    EXPECT_FALSE(window->st_link->isVisible());
}
