#include "ModuleFixture.h"

#include "Faults.h"
#include "host/ui/HostWindows.h"
#include "host/ui/w_datawindow_sort.h"
#include "host/ui/w_print_preview.h"
#include "platform/core/Cursor.h"
#include "platform/core/Functions.h"
#include "platform/ui/DwPrintRenderer.h"
#include "platform/ui/DwGridView.h"
#include "platform/ui/DwTableModel.h"
#include "record/w_hismodify.h"
#include "record/w_hisrecovprompt.h"
#include "record/w_hisreplace.h"
#include "toolbar/w_hisdelprompt.h"
#include "host/ui/uo_dwform.h"
#include "platform/ui/PbEditMask.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QScrollBar>

// Grids larger than what they have read: every operation of the module on a grid that holds its
// first rows only, the rest still in the database. The grids here read a few rows at a time, so
// that the demo register's tables are many pages long.
class LargeGridTest : public ModuleFixture
{
protected:
    static constexpr long Portion = 7;

    static void SetUpTestSuite()
    {
        ModuleFixture::SetUpTestSuite();
        host::HostWindows::registerWindows();
    }
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        makeOwnDemo(40, 23);
        if (HasFatalFailure())
            return;
        ModuleFixture::SetUp();
    }

    // The grid of a category, read again a few rows at a time.
    rt::ui::DataWindowControl *paged(const char *button)
    {
        click(button);
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        dw->setRetrieveAsNeeded(Portion);
        EXPECT_EQ(dw->Retrieve(), Portion);
        EXPECT_TRUE(dw->canRetrieveMore());
        return dw;
    }
    QStringList column(const QString &sql)
    {
        QStringList out;
        rt::Cursor cursor(host::g().photosqlca, sql);
        cursor.open();
        QList<Value> row{Value::null(rt::ValueType::String)};
        while (cursor.fetch(row) == 0)
            out << row[0].toText();
        cursor.close();
        return out;
    }
    static QStringList hisids(rt::ui::DataWindowControl *dw)
    {
        QStringList out;
        for (long r = 1; r <= dw->RowCount(); ++r)
            out << dw->dataStore().GetItem(r, "hisid").toText();
        return out;
    }
    // Read to the end as an operator scrolling down would: the view asks the model for more.
    static void scrollToTheEnd(rt::ui::DataWindowControl *dw)
    {
        rt::ui::DwTableModel *model = dw->model();
        for (int guard = 0; model->canFetchMore(QModelIndex()) && guard < 1000; ++guard)
            model->fetchMore(QModelIndex());
        QApplication::processEvents();
    }
    QLabel *rowsLine(rt::ui::DataWindowControl *dw) { return dw->findChild<QLabel *>(QStringLiteral("rows_line")); }
};

TEST_F(LargeGridTest, TheFirstRowsShowAtOnceTheTotalFollowsAndScrollingReadsTheRest)
{
    for (const char *button : {"p_rprinfo", "p_eldinfo", "p_personinfo"}) {
        click(button);
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        EXPECT_TRUE(dw->rowsText().startsWith(QString::fromUtf8("共 "))) << button << " opens as needed too";
    }
    rt::ui::DataWindowControl *dw = paged("p_rprinfo");
    QAbstractItemModelTester tester(dw->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const long all = count(QStringLiteral("SELECT count(*) FROM th_ge_rpr"));
    ASSERT_GT(all, 4 * Portion);
    // The view reads what fills its screen, no more.
    const QString read = QString::number(dw->RowCount());
    EXPECT_LT(dw->RowCount(), all);
    const QString before = rowsLine(dw)->text();
    EXPECT_TRUE(before == QString::fromUtf8("已读取 %1 条，正在统计总数……").arg(read)
                || before == QString::fromUtf8("已读取 %1 条，共 %2 条").arg(read).arg(all))
        << before.toStdString();
    EXPECT_EQ(dw->waitForTotal(), all);
    EXPECT_EQ(rowsLine(dw)->text(), QString::fromUtf8("已读取 %1 条，共 %2 条").arg(read).arg(all));
    EXPECT_EQ(dw->model()->rowCount(), dw->RowCount());
    scrollToTheEnd(dw);
    EXPECT_EQ(dw->RowCount(), all);
    EXPECT_EQ(dw->model()->rowCount(), all);
    EXPECT_EQ(hisids(dw), column(QStringLiteral("SELECT hisid FROM th_ge_rpr ORDER BY hisid")));
    EXPECT_EQ(rowsLine(dw)->text(), QString::fromUtf8("共 %1 条").arg(all));
}

TEST_F(LargeGridTest, DeletingAndPruningLeaveUnreadRowsUnreadAndGone)
{
    rt::ui::DataWindowControl *dw = paged("p_eldinfo");
    const long all = count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo"));
    dw->waitForTotal();
    dw->SetRow(3);
    const Value hisid = dw->dataStore().GetItem(3, "hisid");
    op.answer(1); // Yes
    frame->ue_del(1);
    EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("删除成功!"));
    EXPECT_EQ(dw->RowCount(), Portion - 1);
    EXPECT_EQ(dw->totalRows(), all - 1) << "the total follows the deletion";
    EXPECT_EQ(dw->GetRow(), 3) << "the position is kept";

    // A batch deletion by saving date: what the grid has not read yet is gone from the table and
    // is simply never read.
    const QString from = rt::fn::RelativeDate(rt::fn::Today(), -900).toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = rt::fn::Today().toString(QStringLiteral("yyyy-MM-dd"));
    op.answer(1);
    batchByDates(from, to);
    scrollToTheEnd(dw);
    EXPECT_EQ(hisids(dw), column(QStringLiteral("SELECT hisid FROM th_sv_elderinfo ORDER BY hisid")));
    EXPECT_LT(dw->RowCount(), all - 1) << "the range took rows";
    EXPECT_FALSE(hisids(dw).contains(hisid.toText()));
    EXPECT_EQ(dw->totalRows(), dw->RowCount());
}

TEST_F(LargeGridTest, TheTotalIsCountedAgainAfterADeletionTookRowsNotRead)
{
    rt::ui::DataWindowControl *dw = paged("p_womaninfo");
    dw->waitForTotal();
    const QString from = rt::fn::RelativeDate(rt::fn::Today(), -700).toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = rt::fn::RelativeDate(rt::fn::Today(), -100).toString(QStringLiteral("yyyy-MM-dd"));
    op.answer(1);
    batchByDates(from, to);
    ASSERT_TRUE(dw->canRetrieveMore());
    const long left = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
    EXPECT_TRUE(QTest::qWaitFor([&]() { return dw->totalRows() == left; }, 10000))
        << dw->totalRows() << " shown, " << left << " in the table";
    EXPECT_EQ(rowsLine(dw)->text(), QString::fromUtf8("已读取 %1 条，共 %2 条").arg(dw->RowCount()).arg(left));
    // Printing counts afresh before it lays out pages.
    const QString pdf = QDir(dir->path()).filePath(QStringLiteral("grid.pdf"));
    EXPECT_EQ(dw->SaveAs(pdf, QStringLiteral("pdf")), 1) << dw->lastError().toStdString();
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(dw->canRetrieveMore()) << "printing did not read the rows into the grid";
}

TEST_F(LargeGridTest, TheRecordWindowStepsIntoUnreadRowsAndItsLastIsTheTrueLast)
{
    rt::ui::DataWindowControl *dw = paged("p_rprinfo");
    const QStringList all = column(QStringLiteral("SELECT hisid FROM th_ge_rpr ORDER BY hisid"));
    dw->SetRow(Portion);
    bool opened = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *r = qobject_cast<hm::w_hismodify *>(w);
        ASSERT_NE(r, nullptr);
        opened = true;
        EXPECT_TRUE(r->cb_next->isButtonEnabled()) << "rows not read yet are ahead";
        EXPECT_TRUE(r->cb_last->isButtonEnabled());
        r->cb_next->click();
        EXPECT_EQ(dw->GetRow(), Portion + 1);
        EXPECT_EQ(r->dw_1->dataStore().GetItem(1, "hisid").toText(), all[Portion]);
        r->cb_last->click();
        EXPECT_EQ(r->dw_1->dataStore().GetItem(1, "hisid").toText(), all.last());
        EXPECT_EQ(dw->GetRow(), long(all.size()));
        EXPECT_FALSE(r->cb_next->isButtonEnabled());
        r->Close();
    });
    singlePage()->ue_enter();
    op.clearHooks();
    EXPECT_TRUE(opened);
}

TEST_F(LargeGridTest, SortingAGridNotFullyReadSortsInTheDatabase)
{
    rt::ui::DataWindowControl *dw = paged("p_rprinfo");
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *s = qobject_cast<host::w_datawindow_sort *>(w);
        ASSERT_NE(s, nullptr);
        s->keys->setRowCount(0);
        s->addKey(dw->dataStore().definition().findColumn(QStringLiteral("SaveTime")), false); // descending
        EXPECT_EQ(s->apply(), 1);
        s->Close();
    });
    rt::ui::Windows::OpenByName(QStringLiteral("w_datawindow_sort"), QString(), dw);
    EXPECT_EQ(dw->RowCount(), Portion) << "sorted without reading everything";
    const QStringList order = column(QStringLiteral("SELECT hisid FROM th_ge_rpr ORDER BY SaveTime DESC, hisid"));
    scrollToTheEnd(dw);
    EXPECT_EQ(hisids(dw), order);
    // A re-retrieve with a condition (the query window's) reads in pages too, in the sort.
    dw->SetSQLSelect(dw->GetSQLSelect() + QStringLiteral(" WHERE hisid > 3"));
    EXPECT_EQ(dw->Retrieve(), Portion);
    scrollToTheEnd(dw);
    EXPECT_EQ(hisids(dw), column(QStringLiteral("SELECT hisid FROM th_ge_rpr WHERE hisid > 3 ORDER BY SaveTime DESC, hisid")));
}

TEST_F(LargeGridTest, PrintingAndExportGoThroughEveryRowWithoutKeepingThem)
{
    rt::ui::DataWindowControl *dw = paged("p_personinfo");
    const QStringList all = column(QStringLiteral("SELECT hisid FROM th_ge_personinfo ORDER BY hisid"));
    // CSV: every row, and the grid still holds what it held.
    const QString csv = QDir(dir->path()).filePath(QStringLiteral("all.csv"));
    ASSERT_EQ(dw->SaveAs(csv, QStringLiteral("csv")), 1) << dw->lastError().toStdString();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("\r\n"), all.size() + 1);
    EXPECT_EQ(dw->RowCount(), Portion);

    // The preview lays out pages for every row and reads only those of the page shown.
    int pages = 0, saved = 0;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *preview = qobject_cast<host::w_print_preview *>(w);
        ASSERT_NE(preview, nullptr);
        dw->waitForTotal();
        QApplication::processEvents();
        pages = preview->pageCount();
        EXPECT_EQ(preview->st_pages->text(), QString::fromUtf8("共 %1 页").arg(pages));
        EXPECT_LT(dw->RowCount(), long(all.size())) << "the first page read only its rows";
        saved = preview->savePdf(QDir(dir->path()).filePath(QStringLiteral("all.pdf")));
        EXPECT_LT(dw->RowCount(), long(all.size())) << "the PDF read the rest without keeping it";
        preview->cb_last->click();
        EXPECT_EQ(dw->RowCount(), long(all.size())) << "the last page shown reads to the end";
        w->Close();
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), dw), 1);
    EXPECT_EQ(saved, 1);
    EXPECT_GE(pages, 1);
    // Laid out from every row, the page count is that of the grid read whole.
    rt::DataStore whole;
    whole.SetDataObject(dw->DataObject());
    whole.SetTransObject(&host::g().photosqlca);
    ASSERT_EQ(whole.Retrieve(), long(all.size()));
    rt::ui::DwPrintRenderer renderer(whole, QStringLiteral("t"));
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    renderer.layout(printer.pageLayout().fullRectPixels(printer.resolution()).size(), printer.resolution());
    EXPECT_EQ(pages, renderer.pageCount());
}

TEST_F(LargeGridTest, APageThatFailsIsToldOnceAndTheRowsReadStay)
{
    rt::ui::DataWindowControl *dw = paged("p_rprinfo");
    host::g().photosqlca.injectFault(lockedAt("hm_page"));
    dw->model()->fetchMore(QModelIndex());
    QApplication::processEvents();
    EXPECT_EQ(dw->RowCount(), Portion);
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_TRUE(op.boxes[0].text.startsWith(QString::fromUtf8("读取历史信息失败："))) << op.boxes[0].text.toStdString();
    EXPECT_FALSE(dw->model()->canFetchMore(QModelIndex())) << "not asked again at every scroll";
    EXPECT_EQ(dw->Retrieve(), Portion);
    EXPECT_TRUE(dw->model()->canFetchMore(QModelIndex())) << "a retrieve starts afresh";
}

TEST_F(LargeGridTest, ARecoveredRowLeavesTheGridWhichKeepsItsPlaceAndItsUnreadRows)
{
    rt::ui::DataWindowControl *dw = paged("p_eldinfo");
    dw->SetRow(3);
    const Value hisid = dw->dataStore().GetItem(3, "hisid");
    const long held = dw->RowCount();
    const auto respond = [&](rt::ui::PbWindow *w) {
        if (auto *q = qobject_cast<hm::w_hisreplace *>(w))
            q->cb_replace_clicked();
        else if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(w))
            p->p_ok_clicked();
    };
    op.onNextResponseWindow(respond);
    op.onNextResponseWindow(respond);
    op.answer(1);
    frame->ue_recovery();
    op.clearHooks();
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << b.text.toStdString();
    EXPECT_EQ(dw->RowCount(), held - 1);
    EXPECT_EQ(dw->GetRow(), 3);
    EXPECT_TRUE(dw->canRetrieveMore());
    scrollToTheEnd(dw);
    // What replacing a live record saved of it arrives with the rows read later: it is history.
    EXPECT_EQ(hisids(dw), column(QStringLiteral("SELECT hisid FROM th_sv_elderinfo ORDER BY hisid")));
    EXPECT_FALSE(hisids(dw).contains(hisid.toText()));
}
