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
#include <QFile>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QLabel>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// GRD-15, GRD-30
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
        const mode_t was = ::umask(022);
        saved = preview->savePdf(QDir(dir.path()).filePath(QStringLiteral("p.pdf")));
        ::umask(was);
        w->Close();
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), &grid), 1);
    EXPECT_GT(pages, 1);
    EXPECT_TRUE(title.contains(QString::fromUtf8("户籍历史")));
    EXPECT_EQ(saved, 1);
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(QDir(dir.path()).filePath(QStringLiteral("p.pdf"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the PDF is its owner's alone";
    EXPECT_TRUE(op.errors.isEmpty());
}

namespace {

int pdfPages(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = f.readAll();
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "));
}

} // namespace

// The same grid comes out on as many pages in the preview, on the printer and in either PDF (the
// preview's and the grid's own 另存为), on the preview's paper and on another chosen for printing:
// all lay out the printable area of one page layout by one rule. They once differed, the preview
// laying out the whole sheet and the others the sheet less the device's margins.
// GRD-20
TEST(PrintPreview, PreviewPrintAndPdfCountTheSamePages)
{
    ScriptedOperatorDialogs op;
    host::HostWindows::registerWindows();
    rt::ui::DataWindowControl grid;
    QString errors;
    ASSERT_EQ(grid.Create(QStringLiteral(R"json({"style": "grid", "title": "个人信息", "objects": [
        {"type": "column", "name": "a", "coltype": "char(10)", "width": 900},
        {"type": "column", "name": "b", "coltype": "char(20)", "width": 900},
        {"type": "column", "name": "c", "coltype": "char(20)", "width": 900},
        {"type": "text", "name": "a_t", "band": "header", "text": "人员编号"}]})json"),
                          errors),
              1);
    for (int i = 0; i < 1000; ++i) {
        const long r = grid.InsertRow(0);
        grid.SetItem(r, "a", rt::Value(QStringLiteral("P%1").arg(i)));
    }
    QTemporaryDir dir;
    const auto file = [&dir](const char *name) { return QDir(dir.path()).filePath(QString::fromUtf8(name)); };
    struct Counts
    {
        int preview = 0, printed = 0, pdf = 0;
    } a4, letter;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *preview = qobject_cast<host::w_print_preview *>(w);
        ASSERT_NE(preview, nullptr);
        QPrinter *printer = preview->printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        const auto count = [&](Counts &c, const char *printed, const char *saved) {
            printer->setOutputFileName(file(printed));
            ASSERT_EQ(preview->printPages(), 1);
            c.preview = preview->pageCount();
            c.printed = pdfPages(file(printed));
            ASSERT_EQ(preview->savePdf(file(saved)), 1);
            c.pdf = pdfPages(file(saved));
            EXPECT_EQ(preview->st_pages->text(), QString::fromUtf8("共 %1 页").arg(c.preview));
        };
        count(a4, "printed-a4.pdf", "saved-a4.pdf");
        // Another paper, as chosen in the print dialog: printing lays the preview out again.
        printer->setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12),
                                           QPageLayout::Millimeter));
        count(letter, "printed-letter.pdf", "saved-letter.pdf");
        w->Close();
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), &grid), 1);
    EXPECT_GT(a4.preview, 2);
    EXPECT_EQ(a4.printed, a4.preview);
    EXPECT_EQ(a4.pdf, a4.preview);
    ASSERT_EQ(grid.SaveAs(file("grid.pdf"), QStringLiteral("pdf")), 1) << grid.lastError().toStdString();
    EXPECT_EQ(pdfPages(file("grid.pdf")), a4.preview) << "the grid's own PDF is on the preview's paper";
    EXPECT_NE(letter.preview, a4.preview);
    EXPECT_EQ(letter.printed, letter.preview);
    EXPECT_EQ(letter.pdf, letter.preview);
    EXPECT_TRUE(op.boxes.isEmpty());
}
