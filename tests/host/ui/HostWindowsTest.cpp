#include "ScriptedOperatorDialogs.h"

#include "host/ui/Globals.h"
#include "host/ui/HostWindows.h"
#include "host/ui/w_print_preview.h"
#include "platform/ui/DataWindowControl.h"
#include "host/ui/uo_button.h"
#include "host/ui/uo_tab.h"
#include "host/ui/uo_tabpg_datawindow.h"
#include "host/ui/w_main.h"
#include "platform/ui/PbMenu.h"
#include "platform/ui/Windows.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QPushButton>
#include <QSpinBox>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

class Page : public host::uo_tabpg_datawindow
{
public:
    Page() : host::uo_tabpg_datawindow(QStringLiteral("uo_page")) {}
    int enters = 0;
    void ue_enter() override { ++enters; }
};

class Counting : public host::uo_button
{
public:
    int clicks = 0;

protected:
    void onClicked() override
    {
        host::uo_button::onClicked();
        ++clicks;
    }
};

} // namespace

TEST(HostPage, EnterAndDoubleClickRaiseUeEnterAndThePageInViewIsKnown)
{
    host::uo_tab tab;
    Page *a = new Page;
    Page *b = new Page;
    tab.OpenTab(a);
    tab.OpenTab(b);
    tab.resize(400, 300);
    tab.show();
    QApplication::processEvents();
    EXPECT_EQ(host::g().guo_tabpg_now, a);
    tab.SelectTab(2);
    QApplication::processEvents();
    EXPECT_EQ(host::g().guo_tabpg_now, b);
    Q_EMIT b->dw_1->keyDown(Qt::Key_Return, Qt::NoModifier);
    Q_EMIT b->dw_1->keyDown(Qt::Key_Enter, Qt::NoModifier);
    Q_EMIT b->dw_1->keyDown(Qt::Key_A, Qt::NoModifier);
    Q_EMIT b->dw_1->doubleclicked(0, 0, 1, QStringLiteral("hostname"));
    EXPECT_EQ(b->enters, 3);
    EXPECT_EQ(a->enters, 0);
}

TEST(HostButton, DisabledButtonsDoNotClick)
{
    Counting button;
    button.click();
    EXPECT_EQ(button.clicks, 1);
    button.uf_setenabled(false);
    EXPECT_FALSE(button.isButtonEnabled());
    button.click();
    EXPECT_EQ(button.clicks, 1);
    button.uf_setenabled(true);
    button.resize(40, 40);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(button.clicks, 2);
}

TEST(HostMain, MenuOpensTheModuleAndTheStatusLineNamesTheData)
{
    ScriptedOperatorDialogs op;
    host::g().dataDirectory = QStringLiteral("/srv/register");
    auto *w = new host::w_main;
    rt::ui::Windows::Open(w);
    EXPECT_TRUE(w->statusBar()->currentMessage().contains(QStringLiteral("/srv/register")));
    int opened = 0;
    rt::ui::Windows::registerClass(QStringLiteral("w_histmanage"), [&]() -> rt::ui::PbWindow * {
        ++opened;
        return new rt::ui::PbWindow(QStringLiteral("w_histmanage"), rt::ui::PbWindow::Kind::Main);
    });
    rt::ui::PbMenuItem *item = w->menu()->item(QStringLiteral("m_histmanage"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Text(), QString::fromUtf8("历史信息维护(&H)"));
    item->trigger();
    EXPECT_EQ(opened, 1);
    rt::ui::Windows::unregisterClass(QStringLiteral("w_histmanage"));
    item->trigger();
    EXPECT_EQ(op.errors.size(), 1) << "without the module the menu reports the missing window";
    rt::ui::Windows::Close(w);
}

TEST(PrintPreview, ShowsThePagesOfTheGridItIsGiven)
{
    ScriptedOperatorDialogs op;
    host::HostWindows::registerWindows();
    rt::ui::DataWindowControl grid;
    QString errors;
    ASSERT_EQ(grid.Create(QStringLiteral(R"json({"style": "grid", "title": "户籍历史", "objects": [
        {"type": "column", "name": "a", "coltype": "char(10)", "width": 600},
        {"type": "text", "name": "a_t", "band": "header", "text": "户号"}]})json"),
                          errors),
              1);
    for (int i = 0; i < 120; ++i) {
        const long r = grid.InsertRow(0);
        grid.SetItem(r, "a", rt::Value(QStringLiteral("R%1").arg(i)));
    }
    int pages = 0;
    QString title;
    QTemporaryDir dir;
    int saved = 0;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *preview = qobject_cast<host::w_print_preview *>(w);
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(preview->datawindow(), &grid);
        pages = preview->pageCount();
        title = preview->Title();
        // Only the page shown is painted; the others on demand.
        EXPECT_EQ(preview->pagesPainted(), 1);
        EXPECT_EQ(preview->currentPage(), 0);
        EXPECT_FALSE(preview->cb_prior->isEnabled());
        preview->cb_last->click();
        EXPECT_EQ(preview->currentPage(), pages - 1);
        EXPECT_FALSE(preview->cb_next->isEnabled());
        preview->sp_page->setValue(2);
        EXPECT_EQ(preview->currentPage(), 1) << "a page number jumps there";
        preview->cb_prior->click();
        EXPECT_EQ(preview->currentPage(), 0);
        EXPECT_EQ(preview->pagesPainted(), 4);
        EXPECT_EQ(preview->st_pages->text(), QString::fromUtf8("共 %1 页").arg(pages));
        saved = preview->savePdf(QDir(dir.path()).filePath(QStringLiteral("p.pdf")));
        w->Close();
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), &grid), 1);
    EXPECT_GT(pages, 1);
    EXPECT_TRUE(title.contains(QString::fromUtf8("户籍历史")));
    EXPECT_EQ(saved, 1);
    EXPECT_TRUE(op.errors.isEmpty());
}
