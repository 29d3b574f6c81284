#include "ModuleFixture.h"

#include "Faults.h"
#include "host/ui/HostWindows.h"
#include "host/ui/w_datawindow_sort.h"
#include "host/ui/w_print_preview.h"
#include "platform/core/ChineseOrder.h"
#include "platform/core/Cursor.h"
#include "platform/core/Functions.h"
#include "platform/dw/DwPageRows.h"
#include "platform/ui/DwPrintRenderer.h"
#include "platform/ui/ReadAside.h"
#include "platform/ui/DwGridView.h"
#include "platform/ui/DwTableModel.h"
#include "record/w_hismodify.h"
#include "record/w_hisrecovprompt.h"
#include "record/w_hisreplace.h"
#include "toolbar/w_hisdelprompt.h"
#include "host/ui/uo_dwform.h"
#include "platform/ui/PbEditMask.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QProgressDialog>
#include <QTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QScrollBar>
#include <QSpinBox>

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
    // The grid's rows read whole and sorted in memory, ties by hisid: the order a grid read page
    // by page must give (text in the order a Chinese reader expects on both).
    static QStringList sortedInMemory(rt::ui::DataWindowControl *dw, const QString &sort)
    {
        rt::DataStore whole;
        whole.SetDataObject(dw->DataObject());
        whole.SetTransObject(&host::g().photosqlca);
        EXPECT_GT(whole.Retrieve(), 0);
        EXPECT_EQ(whole.SetSort(sort + QStringLiteral(", hisid A")), 1);
        EXPECT_EQ(whole.Sort(), 1);
        QStringList out;
        for (long r = 1; r <= whole.RowCount(); ++r)
            out << whole.GetItem(r, "hisid").toText();
        return out;
    }
    // The person history copied onto itself until it is many more rows than a preview reads
    // around a page (rt::DwPageRows::WindowRows).
    void growPersonHistory(rt::ui::DataWindowControl *dw)
    {
        QStringList columns;
        const rt::DwDefinition &def = dw->dataStore().definition();
        for (int c = 0; c < def.columnCount(); ++c) {
            if (def.column(c).name().compare(QLatin1String("hisid"), Qt::CaseInsensitive) != 0)
                columns << def.column(c).name();
        }
        const QString copy = QStringLiteral("INSERT INTO th_ge_personinfo (%1) SELECT %1 FROM th_ge_personinfo")
                                 .arg(columns.join(QLatin1Char(',')));
        while (count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo")) < 3 * rt::DwPageRows::WindowRows)
            ASSERT_EQ(host::g().photosqlca.execute(copy), 0) << host::g().photosqlca.SQLErrText().toStdString();
        ASSERT_EQ(host::g().photosqlca.commit(), 0);
    }
    // The window takes the keys, as the one the operator works in (Alt+letter needs it active).
    static void activate(QWidget *window)
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }
    // The hisids of rows first..last as a preview's pages hold them.
    static QStringList pageHisids(host::w_print_preview *preview, long first, long last)
    {
        const int hisid = preview->pageRows()->definition().findColumn(QStringLiteral("hisid")) + 1;
        QStringList out;
        for (long r = first; r <= last; ++r)
            out << preview->pageRows()->item(r, hisid).toText();
        return out;
    }
};

// GRD-06
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

// BAT-03
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

// GRD-06
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

// GRD-10
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

// GRD-09
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

// 排序 by 姓名 on the demo register, ascending and descending, the grid read a few rows a page
// (sorted in the database) and then read whole (sorted in memory): the names come by pinyin
// (阿 before 丁, 张 before 赵) either way, every row once — not by character code, as they once did.
// GRD-01
TEST_F(LargeGridTest, SortingByNameInTheDialogOrdersByPinyin)
{
    rt::ui::DataWindowControl *dw = paged("p_personinfo");
    const int name = dw->dataStore().definition().findColumn(QStringLiteral("personname"));
    for (const auto &[ascending, inDatabase] : {std::pair{true, true}, {false, true}, {true, false}}) {
        if (inDatabase) {
            ASSERT_EQ(dw->Retrieve(), Portion);
        }
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *s = qobject_cast<host::w_datawindow_sort *>(w);
            ASSERT_NE(s, nullptr);
            s->keys->setRowCount(0);
            s->addKey(name, ascending);
            EXPECT_EQ(s->apply(), 1);
            s->Close();
        });
        rt::ui::Windows::OpenByName(QStringLiteral("w_datawindow_sort"), QString(), dw);
        EXPECT_EQ(dw->RowCount() == Portion, inDatabase) << "sorted in the database only while rows are unread";
        scrollToTheEnd(dw);
        EXPECT_EQ(hisids(dw), sortedInMemory(dw, ascending ? QStringLiteral("personname A") : QStringLiteral("personname D")));
        bool byCode = true, byPinyin = true;
        for (long r = 2; r <= dw->RowCount(); ++r) {
            const rt::Value a = dw->dataStore().GetItem(r - 1, "personname"), b = dw->dataStore().GetItem(r, "personname");
            if (a.isNull() || b.isNull())
                continue;
            const QString x = ascending ? a.toText() : b.toText(), y = ascending ? b.toText() : a.toText();
            byPinyin = byPinyin && rt::ChineseOrder::compare(x, y) <= 0;
            byCode = byCode && x <= y;
        }
        EXPECT_TRUE(byPinyin);
        EXPECT_FALSE(byCode) << "the demo's names in pinyin order are not in character code order";
    }
}

// A click on the 姓名 caption sorts by it as 排序 would, in pinyin order, ascending; a second click
// descending. A press dragged along the caption's edge (a resize) sorts nothing.
// GRD-02
TEST_F(LargeGridTest, ClickingACaptionSortsByItsColumnAndAgainTheOtherWay)
{
    rt::ui::DataWindowControl *dw = paged("p_personinfo");
    auto *view = dw->findChild<QTableView *>();
    ASSERT_NE(view, nullptr);
    QHeaderView *header = view->horizontalHeader();
    const int name = dw->dataStore().definition().findColumn(QStringLiteral("personname"));
    const QPoint onCaption(header->sectionViewportPosition(name) + header->sectionSize(name) / 2, header->height() / 2);
    for (const char *expected : {"personname A", "personname D"}) {
        ASSERT_EQ(dw->Retrieve(), Portion); // rows unread: the sort goes to the database
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onCaption);
        EXPECT_EQ(dw->dataStore().GetSort(), QString::fromLatin1(expected));
        EXPECT_EQ(dw->RowCount(), Portion) << "the first page read again in that order";
        scrollToTheEnd(dw);
        EXPECT_EQ(hisids(dw), sortedInMemory(dw, QString::fromLatin1(expected)));
    }
    EXPECT_TRUE(op.boxes.isEmpty());
    // Resizing the column by its edge is no click on the caption.
    const int edge = header->sectionViewportPosition(name) + header->sectionSize(name) - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, header->height() / 2));
    QTest::mouseMove(header->viewport(), QPoint(edge + 40, header->height() / 2));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 40, header->height() / 2));
    EXPECT_EQ(dw->dataStore().GetSort(), QStringLiteral("personname D"));
}

// GRD-11
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
        EXPECT_EQ(preview->currentPage(), pages - 1);
        EXPECT_EQ(dw->RowCount(), Portion) << "the last page is read by itself, not into the grid";
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
    renderer.layout(rt::ui::DwPrintRenderer::defaultPageLayout());
    EXPECT_EQ(pages, renderer.pageCount());
}

// 末页 of a grid sorted by 姓名 reads the last page's rows from the end of the order, and the
// grid reads nothing more; it once read every row into the grid first, the window frozen. A read
// that waits (here for another session's lock) shows a progress dialog after half a second while
// the window goes on working, and its 取消 (Escape) stops it and leaves the page shown, with
// nothing told. Alt+L is 末页 from anywhere in the window.
// GRD-16, GRD-19
TEST_F(LargeGridTest, ThePreviewsLastPageIsReadFromTheEndAndALongWaitCanBeCancelled)
{
    rt::ui::DataWindowControl *dw = paged("p_personinfo");
    growPersonHistory(dw);
    ASSERT_EQ(dw->SetSort(QStringLiteral("personname A")), 1);
    ASSERT_EQ(dw->Sort(), 1);
    ASSERT_EQ(dw->RowCount(), Portion);
    const QStringList order = sortedInMemory(dw, QStringLiteral("personname A"));
    ASSERT_EQ(dw->waitForTotal(true), order.size());
    // Another session holds the person history so that no one can read it.
    rt::Transaction holder{QStringLiteral("holder")};
    holder.copySettingsFrom(host::g().photosqlca);
    ASSERT_EQ(holder.connect(), 0) << holder.SQLErrText().toStdString();
    const bool server = holder.DBMS == QLatin1String("PostgreSQL");
    const auto hold = [&]() {
        if (server)
            return holder.executeImmediate(QStringLiteral("LOCK TABLE th_ge_personinfo IN ACCESS EXCLUSIVE MODE"));
        // The files: a connection that keeps its exclusive lock once it has written.
        if (holder.executeImmediate(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) != 0
            || holder.executeImmediate(QStringLiteral("CREATE TABLE hm_held (x INTEGER)")) != 0)
            return -1;
        return holder.commit();
    };
    int pages = 0, lastShown = -1;
    qint64 dialogAfterMs = -1, cancelledAfterMs = -1;
    int ticks = 0;
    QStringList lastPage;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *preview = qobject_cast<host::w_print_preview *>(w);
        ASSERT_NE(preview, nullptr);
        pages = preview->pageCount();
        ASSERT_GT(pages, 2);
        ASSERT_EQ(hold(), 0) << holder.SQLErrText().toStdString();
        QElapsedTimer clock;
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&]() {
            ++ticks; // the window's own events go on while the page is read
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *progress = qobject_cast<QProgressDialog *>(top);
                if (!progress || !progress->isVisible() || dialogAfterMs >= 0)
                    continue;
                dialogAfterMs = clock.elapsed();
                QTest::keyClick(progress, Qt::Key_Escape);
            }
        });
        clock.start();
        watch.start();
        QTest::mouseClick(preview->cb_last, Qt::LeftButton);
        cancelledAfterMs = clock.elapsed();
        watch.stop();
        EXPECT_EQ(preview->currentPage(), 0) << "a cancelled read leaves the page shown";
        EXPECT_EQ(preview->sp_page->value(), 1);
        EXPECT_EQ(preview->st_pages->text(), QString::fromUtf8("共 %1 页").arg(pages)) << "nothing said of the stopped read";
        EXPECT_TRUE(preview->cb_last->isEnabled());
        if (server)
            holder.rollback();
        else
            holder.disconnect();
        // Now by the keyboard, from the page number's field: Alt+L is 末页.
        activate(preview);
        preview->sp_page->setFocus();
        QTest::keyClick(preview->sp_page, Qt::Key_L, Qt::AltModifier);
        (void)QTest::qWaitFor([&]() { return preview->currentPage() != 0; }); // a mnemonic clicks a moment later
        lastShown = preview->currentPage();
        const int hisid = dw->dataStore().definition().findColumn(QStringLiteral("hisid")) + 1;
        for (long r = preview->pageRows()->rowCount(); r > 0 && lastPage.size() < 5; --r)
            lastPage.prepend(preview->pageRows()->item(r, hisid).toText());
        w->Close();
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), dw), 1);
    EXPECT_GE(dialogAfterMs, rt::ui::ReadAside::ProgressAfterMs - 20);
    EXPECT_LT(dialogAfterMs, 2500) << "shown while the read still waits";
    EXPECT_GT(ticks, 10);
    if (server) {
        EXPECT_LT(cancelledAfterMs - dialogAfterMs, 1500) << "取消 stops the statement at once";
    }
    EXPECT_TRUE(op.boxes.isEmpty()) << "a read the operator stopped is no failure to tell";
    EXPECT_EQ(lastShown, pages - 1);
    EXPECT_EQ(lastPage, order.mid(order.size() - 5)) << "the true last rows of the order";
    EXPECT_EQ(dw->RowCount(), Portion) << "nothing read into the grid";
}

// The preview's pages anywhere in a grid that holds its first rows only: a page number typed
// (the middle), pages turned back from the end, after a sort the other way — each with the rows
// one read of the whole order puts there, and the grid reads nothing. Tab from the page number
// reaches 下一页. A filter kept in memory has no place in the database to read at: the grid reads
// on to the page, and once it has read its end the pages are laid out for the rows the filter
// leaves (the count had counted them all); 末页 then shows the last of those, where it showed an
// empty page.
// GRD-17, GRD-19
TEST_F(LargeGridTest, PreviewPagesAnywhereAfterASortAndUnderAFilter)
{
    rt::ui::DataWindowControl *dw = paged("p_personinfo");
    growPersonHistory(dw);
    ASSERT_EQ(dw->SetSort(QStringLiteral("personname D")), 1);
    ASSERT_EQ(dw->Sort(), 1);
    const QStringList order = sortedInMemory(dw, QStringLiteral("personname D"));
    ASSERT_EQ(dw->waitForTotal(true), order.size());
    const auto expected = [](const QStringList &rows, std::pair<long, long> page) {
        return rows.mid(page.first - 1, page.second - page.first + 1);
    };
    int pages = 0;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        const auto closing = qScopeGuard([w]() { w->Close(); }); // also when an assertion ends the hook
        auto *preview = qobject_cast<host::w_print_preview *>(w);
        ASSERT_NE(preview, nullptr);
        activate(preview);
        pages = preview->pageCount();
        ASSERT_GT(pages, 6);
        preview->sp_page->setFocus();
        QTest::keyClick(preview->sp_page, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), preview->cb_next);
        QTest::keyClick(preview->cb_next, Qt::Key_Space);
        EXPECT_EQ(preview->currentPage(), 1);
        const int middle = pages / 2;
        preview->sp_page->setFocus();
        preview->sp_page->selectAll();
        QTest::keyClicks(preview->sp_page, QString::number(middle + 1));
        QTest::keyClick(preview->sp_page, Qt::Key_Return);
        ASSERT_EQ(preview->currentPage(), middle);
        EXPECT_EQ(pageHisids(preview, preview->rowsOf(middle).first, preview->rowsOf(middle).second),
                  expected(order, preview->rowsOf(middle)));
        QTest::keyClick(preview, Qt::Key_L, Qt::AltModifier);
        (void)QTest::qWaitFor([&]() { return preview->currentPage() == pages - 1; }); // a mnemonic clicks a moment later
        ASSERT_EQ(preview->currentPage(), pages - 1);
        for (int back = 1; back <= 3; ++back) {
            QTest::keyClick(preview, Qt::Key_B, Qt::AltModifier);
            (void)QTest::qWaitFor([&]() { return preview->currentPage() == pages - 1 - back; });
            const int page = preview->currentPage();
            ASSERT_EQ(page, pages - 1 - back);
            EXPECT_EQ(pageHisids(preview, preview->rowsOf(page).first, preview->rowsOf(page).second),
                      expected(order, preview->rowsOf(page)))
                << "page " << page;
        }
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), dw), 1);
    EXPECT_EQ(dw->RowCount(), Portion) << "nothing read into the grid";
    EXPECT_TRUE(op.boxes.isEmpty());

    // Under a filter kept in memory: the rows with the lower half of the hisids.
    const long half = order.size() / 2;
    ASSERT_EQ(dw->dataStore().SetFilter(QStringLiteral("hisid <= %1").arg(half)), 1);
    ASSERT_EQ(dw->dataStore().Filter(), 1);
    QStringList kept;
    for (const QString &h : order) {
        if (h.toLong() <= half)
            kept << h;
    }
    int filteredPages = 0, shown = -1;
    QStringList lastRows;
    QString pagesText;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        const auto closing = qScopeGuard([w]() { w->Close(); });
        auto *preview = qobject_cast<host::w_print_preview *>(w);
        ASSERT_NE(preview, nullptr);
        activate(preview);
        QTest::keyClick(preview, Qt::Key_L, Qt::AltModifier);
        (void)QTest::qWaitFor([&]() { return preview->currentPage() > 0; });
        filteredPages = preview->pageCount();
        shown = preview->currentPage();
        const auto rows = preview->rowsOf(shown);
        lastRows = pageHisids(preview, rows.first, rows.second);
        EXPECT_EQ(rows.second, kept.size());
        pagesText = preview->st_pages->text();
    });
    EXPECT_EQ(rt::ui::Windows::OpenByName(QStringLiteral("w_print_preview"), QString(), dw), 1);
    EXPECT_LT(filteredPages, pages);
    EXPECT_EQ(shown, filteredPages - 1);
    EXPECT_EQ(pagesText, QString::fromUtf8("共 %1 页").arg(filteredPages));
    ASSERT_FALSE(lastRows.isEmpty());
    EXPECT_EQ(lastRows, kept.mid(kept.size() - lastRows.size())) << "the last rows the filter leaves";
    EXPECT_EQ(dw->RowCount(), kept.size()) << "read into the grid, as scrolling would";
    EXPECT_TRUE(op.boxes.isEmpty());
}

// GRD-12
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

// REC-05
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
