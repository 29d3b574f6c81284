#include "LayoutCheck.h"
#include "ModuleFixture.h"

#include "host/ui/HostWindows.h"
#include "shell/HistoryModule.h"

#include <QTimer>

// Every window of the module opened as the operator opens it, over a row of the demo register,
// at its design size with the fonts at hand: no text cut off, no control out of the window.
// Run under Xvfb with the real fonts as well as offscreen.
struct WindowCase
{
    const char *window;
    const char *button; // the category it is opened over
    int tab;            // the page of 个人信息
};

inline void PrintTo(const WindowCase &c, std::ostream *os)
{
    *os << c.window << " over " << c.button;
}

class LayoutCheckTest : public ModuleFixture, public ::testing::WithParamInterface<WindowCase>
{
protected:
    void SetUp() override
    {
        ModuleFixture::SetUp();
        host::HostWindows::registerWindows(); // the host's windows on the grid (query, sort, …)
    }
};

// SRV-27 (every test of this suite)
// GRD-35
TEST_P(LayoutCheckTest, NothingIsCutOffOrOutOfReach)
{
    const WindowCase &c = GetParam();
    frame->resize(1280, 900);
    click(c.button);
    if (hm::uo_tabpg_histab *personal = personalPage())
        personal->tab_1->SelectTab(c.tab);
    rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
    ASSERT_NE(grid, nullptr);
    ASSERT_GT(grid->RowCount(), 0);
    grid->SetRow(1);
    const QString name = QString::fromLatin1(c.window);
    if (name == QLatin1String("w_histmanage")) {
        QApplication::processEvents();
        const QStringList problems = LayoutCheck::problems(frame);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
        return;
    }
    bool seen = false;
    QStringList problems;
    const auto look = [&](rt::ui::PbWindow *w) {
        if (!w || w->ClassName() != name)
            return;
        seen = true;
        QApplication::processEvents();
        problems = LayoutCheck::problems(w);
        w->Close();
    };
    // Response windows run modally: looked at from inside; the others once open.
    op.onNextResponseWindow(look);
    hm::HistoryModule::openOnGrid(name, grid);
    op.clearHooks();
    if (!seen) {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<rt::ui::PbWindow *>(w); window && window->isVisible() && window->ClassName() == name)
                look(window);
        }
    }
    ASSERT_TRUE(seen) << "the window opened";
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

// MNT-48 (case w_hisstats_rprinfo)
INSTANTIATE_TEST_SUITE_P(
    Windows, LayoutCheckTest,
    ::testing::Values(WindowCase{"w_histmanage", "p_personinfo", 1}, WindowCase{"w_histmanage", "p_rprinfo", 1},
                      WindowCase{"w_hisdelprompt", "p_rprinfo", 1}, WindowCase{"w_hisrecovprompt", "p_rprinfo", 1},
                      WindowCase{"w_hisrecovprompt", "p_personinfo", 1}, WindowCase{"w_hisreplace", "p_eldinfo", 1},
                      WindowCase{"w_hiscompare", "p_personinfo", 1}, WindowCase{"w_histimeline", "p_personinfo", 1},
                      WindowCase{"w_hismodify", "p_personinfo", 1}, WindowCase{"w_hismodify", "p_rprinfo", 1},
                      WindowCase{"w_hisjournal", "p_rprinfo", 1}, WindowCase{"w_hisstats", "p_rprinfo", 1},
                      WindowCase{"w_filter_his", "p_eldinfo", 1},
                      WindowCase{"w_setshow_his", "p_personinfo", 1}, WindowCase{"w_datawindow_sort", "p_eldinfo", 1},
                      WindowCase{"w_print_preview", "p_eldinfo", 1}),
    [](const ::testing::TestParamInfo<WindowCase> &info) {
        return std::string(info.param.window) + "_" + std::string(info.param.button).substr(2);
    });
