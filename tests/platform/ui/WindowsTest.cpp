#include "ScriptedOperatorDialogs.h"

#include "platform/ui/ColorLong.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/MdiFrame.h"
#include "platform/ui/Message.h"
#include "platform/ui/PbMenu.h"
#include "platform/ui/PbTab.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Units.h"
#include "platform/ui/Windows.h"

#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <gtest/gtest.h>

using namespace rt::ui;

namespace {

class Target : public PbWindow
{
    Q_OBJECT
public:
    Target() : PbWindow(QStringLiteral("w_target"), Kind::Main) {}
    Q_INVOKABLE void ue_del(int ai_flag) { flags << ai_flag; }
    Q_INVOKABLE QString wf_gettitle() { return QStringLiteral("户籍信息"); }
    QList<int> flags;
};

// A response window that answers what the test tells it to.
class Prompt : public PbWindow
{
    Q_OBJECT
public:
    Prompt() : PbWindow(QStringLiteral("w_prompt"), Kind::Response) {}
    QString seenParm;

protected:
    void onOpen() override { seenParm = Message::instance().StringParm; }
};

} // namespace

TEST(LateBinding, EventsTheTargetLacksAreIgnoredMissingFunctionsAreReported)
{
    ScriptedOperatorDialogs op;
    Target t;
    EXPECT_TRUE(LateBinding::triggerEvent(&t, "ue_del", 2));
    EXPECT_EQ(t.flags, QList<int>{2});
    EXPECT_FALSE(LateBinding::triggerEvent(&t, "ue_recovery"));
    EXPECT_FALSE(LateBinding::triggerEvent(&t, "ue_del")) << "wrong argument count is no match";
    EXPECT_TRUE(op.errors.isEmpty()) << "an ignored event is no error";
    QString title;
    EXPECT_TRUE(LateBinding::callFunctionR(&t, "wf_gettitle", title));
    EXPECT_EQ(title, QStringLiteral("户籍信息"));
    EXPECT_FALSE(LateBinding::callFunction(&t, "wf_open", QStringLiteral("p_rprinfo")));
    ASSERT_EQ(op.errors.size(), 1);
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("wf_open")));
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("w_target")));
    EXPECT_FALSE(LateBinding::callFunction(static_cast<QObject *>(nullptr), "wf_open"));
    EXPECT_EQ(op.errors.size(), 2);
}

// REC-16
TEST(ResponseWindows, AnswerThroughMessageAndTitleBarCloseAnswersNothing)
{
    ScriptedOperatorDialogs op;
    auto *prompt = new Prompt;
    QPointer<Prompt> ref(prompt);
    op.onNextResponseWindow([](PbWindow *w) { Windows::CloseWithReturn(w, QStringLiteral("2")); });
    Message::instance().StringParm = QStringLiteral("stale");
    EXPECT_EQ(Windows::OpenWithParm(prompt, QStringLiteral("R1;1")), 1);
    EXPECT_EQ(Message::instance().StringParm, QStringLiteral("2"));
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(ref.isNull()) << "a closed window is gone";

    auto *second = new Prompt;
    op.onNextResponseWindow([](PbWindow *w) {
        EXPECT_EQ(static_cast<Prompt *>(w)->seenParm, QStringLiteral("P1;2")) << "the parameter arrives while opening";
        w->close(); // the title bar's close box
    });
    Windows::OpenWithParm(second, QStringLiteral("P1;2"));
    EXPECT_EQ(Message::instance().StringParm, QString());
    EXPECT_TRUE(op.errors.isEmpty());
}

TEST(Windows, ReferencesTurnInvalidWhenAWindowCloses)
{
    auto *w = new Target;
    QPointer<Target> ref(w);
    Windows::Open(w);
    EXPECT_TRUE(IsValid(ref));
    EXPECT_EQ(Windows::Close(w), 1);
    EXPECT_FALSE(IsValid(ref)) << "invalid at once, before it is deleted";
    EXPECT_EQ(Windows::Close(ref), -1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(ref.isNull());
}

TEST(Windows, UnknownWindowClassIsARuntimeError)
{
    ScriptedOperatorDialogs op;
    EXPECT_EQ(Windows::OpenByName(QStringLiteral("w_print_preview"), QString()), -1);
    ASSERT_EQ(op.errors.size(), 1);
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("w_print_preview")));
}

TEST(MdiFrame, ActiveSheetIsTheLastOpenedAndInvalidWithoutSheets)
{
    auto *frame = new MdiFrame(QStringLiteral("w_frame"));
    frame->setUnitsSize(3000, 2000);
    Windows::Open(frame);
    EXPECT_EQ(frame->GetActiveSheet(), nullptr);
    auto *a = new PbWindow(QStringLiteral("w_a"), PbWindow::Kind::Sheet);
    auto *b = new PbWindow(QStringLiteral("w_b"), PbWindow::Kind::Sheet);
    Windows::OpenSheet(a, frame);
    Windows::OpenSheet(b, frame);
    ASSERT_NE(frame->GetActiveSheet(), nullptr);
    EXPECT_EQ(frame->GetActiveSheet()->ClassName(), QStringLiteral("w_b"));
    Windows::Close(b);
    QApplication::processEvents();
    ASSERT_NE(frame->GetActiveSheet(), nullptr);
    EXPECT_EQ(frame->GetActiveSheet()->ClassName(), QStringLiteral("w_a"));
    Windows::Close(a);
    QApplication::processEvents();
    EXPECT_EQ(frame->GetActiveSheet(), nullptr);
    Windows::Close(frame);
}

namespace {
class Page : public PbTabPage
{
public:
    Page() : PbTabPage(QStringLiteral("uo_page")) { parm = Message::instance().StringParm; }
    QString parm;
};

class RecordingTab : public PbTab
{
public:
    QList<std::pair<int, int>> changes;

protected:
    void onSelectionChanged(int oldindex, int newindex) override { changes << std::make_pair(oldindex, newindex); }
};
} // namespace

TEST(Tabs, OpenTabWithParmAndSelectionEventsWithOldAndNewIndex)
{
    RecordingTab tab;
    Page *first = tab.OpenTabWithParm<Page>(QStringLiteral("dh_ge_personinfo"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parm, QStringLiteral("dh_ge_personinfo"));
    Page *second = tab.OpenTabWithParm<Page>(QStringLiteral("dh_ge_company"));
    first->setText(QString::fromUtf8("个人信息"));
    EXPECT_EQ(tab.tabText(0), QString::fromUtf8("个人信息"));
    EXPECT_EQ(tab.SelectedTab(), 1);
    EXPECT_EQ(tab.SelectTab(2), 1);
    EXPECT_EQ(tab.SelectedTab(), 2);
    EXPECT_EQ(tab.SelectTab(2), 1);
    EXPECT_EQ(tab.SelectTab(3), -1);
    EXPECT_EQ(tab.changes, (QList<std::pair<int, int>>{{0, 1}, {1, 2}})) << "a repeated selection is no change";
    EXPECT_EQ(tab.Control(), (QList<PbTabPage *>{first, second}));
    EXPECT_EQ(tab.CloseTab(second), 1);
    EXPECT_EQ(tab.pageCount(), 1);
    EXPECT_EQ(tab.SelectedTab(), 1);
}

TEST(Menus, HiddenItemLeavesTheBarEmptyAndItemsKnowTheirWindow)
{
    PbWindow w(QStringLiteral("w_menu"), PbWindow::Kind::Main);
    auto *menu = new PbMenu(QStringLiteral("m_test"));
    PbMenuItem *hidden = menu->addItem(QStringLiteral("m_m_t"), QStringLiteral("m_t"));
    hidden->setVisible(false);
    hidden->setEnabled(false);
    w.setMenu(menu);
    ASSERT_NE(w.menuBar(), nullptr);
    EXPECT_TRUE(w.menuBar()->actions().isEmpty());
    int clicks = 0;
    QObject::connect(hidden, &PbMenuItem::clicked, [&]() { ++clicks; });
    hidden->trigger();
    EXPECT_EQ(clicks, 0) << "a hidden, disabled item cannot be reached";

    PbMenu popup(QStringLiteral("m_popup"));
    PbMenuItem *grid = popup.addItem(QStringLiteral("m_gridmenu"), QStringLiteral("grid"));
    PbMenuItem *left = grid->addItem(QStringLiteral("m_alignleft"), QString::fromUtf8("左对齐(&L)"), QStringLiteral("help"));
    grid->addSeparator(QStringLiteral("m_-"));
    popup.setParentWindow(&w);
    EXPECT_EQ(left->ParentWindow(), &w);
    EXPECT_EQ(popup.item(QStringLiteral("m_alignleft")), left);
    QMenu qmenu;
    grid->fillMenu(&qmenu);
    ASSERT_EQ(qmenu.actions().size(), 2);
    EXPECT_TRUE(qmenu.actions()[1]->isSeparator());
    EXPECT_EQ(qmenu.actions()[0]->text(), QString::fromUtf8("左对齐(&L)"));
    EXPECT_EQ(qmenu.actions()[0]->statusTip(), QStringLiteral("help"));
}

TEST(Conversions, UnitsColoursAndPictures)
{
    EXPECT_EQ(Units::toPixelsX(3378), 738);
    EXPECT_EQ(Units::toPixelsY(2512), 628);
    EXPECT_EQ(Units::toPixelsX(32), 7);
    EXPECT_EQ(Units::toPixelsY(4), 1);
    EXPECT_EQ(Units::fromPixelsX(7), 32);
    EXPECT_EQ(Units::fromPixelsY(1), 4);
    EXPECT_EQ(ColorLong::toColor(255), QColor(255, 0, 0));
    EXPECT_EQ(ColorLong::toColor(16711680), QColor(0, 0, 255));
    EXPECT_EQ(ColorLong::toColor(16777215), QColor(255, 255, 255));
    EXPECT_EQ(ColorLong::toColor(10855844), QColor(164, 165, 165));
    QPalette pal;
    EXPECT_EQ(ColorLong::toColor(33554432, pal), pal.color(QPalette::WindowText));
    EXPECT_EQ(ColorLong::toColor(67108864, pal), pal.color(QPalette::Button));
    EXPECT_FALSE(ColorLong::toColor(536870912).isValid());
    EXPECT_EQ(ColorLong::fromColor(QColor(128, 0, 0)), 128);
}

TEST(Windows, AnObjectParameterTravelsInPowerObjectParm)
{
    ScriptedOperatorDialogs op;
    QObject grid;
    grid.setObjectName(QStringLiteral("dw_1"));
    QPointer<QObject> seen;
    op.onNextResponseWindow([&](PbWindow *w) {
        seen = Message::instance().PowerObjectParm;
        w->Close();
    });
    Windows::OpenWithParm(new Prompt, &grid);
    EXPECT_EQ(seen.data(), &grid);
    // Open without a parameter leaves no stale answer behind.
    Message::instance().StringParm = QStringLiteral("old");
    op.onNextResponseWindow([](PbWindow *w) { w->Close(); });
    Windows::Open(new Prompt);
    EXPECT_EQ(Message::instance().StringParm, QString());
    // An unscripted response window is closed by the scripted operator and reported.
    Windows::Open(new Prompt);
    EXPECT_EQ(op.errors.size(), 1);
}

#include "WindowsTest.moc"
