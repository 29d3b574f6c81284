#include "platform/ui/DataWindowControl.h"
#include "platform/ui/DwFreeView.h"
#include "platform/ui/DwGridView.h"
#include "platform/ui/DwTableModel.h"
#include "platform/ui/Units.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QSignalSpy>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace rt;
using namespace rt::ui;

namespace {

const char *GridSyntax = R"json({
  "style": "grid", "title": "户籍历史", "detail.height": 76, "header.height": 88,
  "objects": [
    {"type": "column", "name": "hisid", "coltype": "long", "key": "yes", "visible": 0, "width": 200},
    {"type": "text", "name": "hisid_t", "band": "header", "text": "序号", "visible": 0},
    {"type": "column", "name": "RprNo", "coltype": "char(14)", "width": 420},
    {"type": "text", "name": "RprNo_t", "band": "header", "text": "户号"},
    {"type": "column", "name": "hostname", "coltype": "char(20)", "width": 500},
    {"type": "text", "name": "hostname_t", "band": "header", "text": "户主姓名"},
    {"type": "column", "name": "amount", "coltype": "decimal(2)", "width": 300, "alignment": 1},
    {"type": "text", "name": "amount_t", "band": "header", "text": "金额"},
    {"type": "column", "name": "SaveTime", "coltype": "datetime", "width": 560},
    {"type": "text", "name": "SaveTime_t", "band": "header", "text": "保存时间"}
  ]})json";

void fill(DataStore &ds, long rows)
{
    ds.bulkLoad([rows](RowStore &store, SlotList &primary) {
    for (long i = 1; i <= rows; ++i) {
        const auto s = store.newRow();
        store.setStatus(s, DwItemStatus::NotModified);
        store.putInt(s, 0, i);
        store.putText(s, 1, QStringLiteral("3201020000%1").arg(i, 4, 10, QLatin1Char('0')).toStdString());
        if (i % 5 != 0)
            store.setValue(s, 2, Value(i % 2 ? QStringLiteral("王伟, 长子") : QStringLiteral("李\"娜\"")));
        store.putInt(s, 3, i * 101);
        store.setValue(s, 4, Value(QStringLiteral("2024-05-06 07:08:09.123456")));
        primary.append(s);
    }
    });
}

class ControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString errors;
        ASSERT_EQ(dw.Create(QString::fromUtf8(GridSyntax), errors), 1) << errors.toStdString();
        fill(dw.dataStore(), 20);
        dw.SetRow(1);
        dw.resize(700, 400);
        dw.show();
        QApplication::processEvents();
    }
    QPoint cellCenter(long row, int column)
    {
        DwGridView *g = dw.gridView();
        return g->visualRect(dw.model()->index(int(row - 1), column - 1)).center();
    }
    DataWindowControl dw;
};

} // namespace

TEST(Control, ChangesAcrossPortionsOfALargeBufferKeepTheModelInStep)
{
    QString errors;
    DataWindowControl dw;
    ASSERT_EQ(dw.Create(QString::fromUtf8(GridSyntax), errors), 1);
    // (The item-model tester fetches more rows from inside its own reset check, which Qt 6.4's
    // tester then reports as a change in flight; the counts are checked here directly.)
    QSignalSpy inserted(dw.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(dw.model(), &QAbstractItemModel::rowsRemoved);
    fill(dw.dataStore(), DwTableModel::FirstPortion + 100);
    dw.DeleteRow(DwTableModel::FirstPortion + 50); // beyond what views know: no signal needed
    dw.DeleteRow(1);
    dw.model()->fetchMore(QModelIndex());
    EXPECT_EQ(dw.model()->rowCount(), DwTableModel::FirstPortion + 98);
    dw.InsertRow(0);
    EXPECT_EQ(dw.model()->rowCount(), DwTableModel::FirstPortion + 99);
    EXPECT_EQ(removed.size(), 1) << "only the removal the views could see";
    EXPECT_EQ(inserted.size(), 2);
    EXPECT_EQ(dw.model()->data(dw.model()->index(0, 1)).toString(), QStringLiteral("32010200000002"));
}

TEST_F(ControlTest, ModelPassesTheTesterThroughEveryKindOfChange)
{
    QAbstractItemModelTester tester(dw.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(dw.model()->rowCount(), 20);
    dw.InsertRow(3);
    dw.DeleteRow(1);
    dw.SetItem(2, "hostname", Value(QStringLiteral("赵六")));
    // A burst of removals is folded into one reset when the event loop next runs.
    for (long r = dw.RowCount(); r >= 1; r -= 1)
        dw.DeleteRow(r);
    QApplication::processEvents();
    EXPECT_EQ(dw.model()->rowCount(), 0);
    fill(dw.dataStore(), 5);
    EXPECT_EQ(dw.model()->rowCount(), 5);
    dw.dataStore().Reset();
    EXPECT_EQ(dw.model()->rowCount(), 0);
    dw.Modify(QStringLiteral("#3.color = 255"));
}

TEST_F(ControlTest, ValuesReadAsTheirColumnsShowThem)
{
    DwTableModel *m = dw.model();
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), QStringLiteral("32010200000001"));
    EXPECT_EQ(m->data(m->index(0, 3)).toString(), QStringLiteral("1.01")) << "decimals with their scale";
    EXPECT_EQ(m->data(m->index(0, 4)).toString(), QStringLiteral("2024-05-06 07:08:09")) << "datetimes to the second";
    EXPECT_EQ(m->data(m->index(4, 2)).toString(), QString()) << "null shows nothing";
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), QString::fromUtf8("户主姓名"));
    EXPECT_FALSE(m->data(m->index(99, 0)).isValid());
}

TEST_F(ControlTest, ModifiedPropertiesReachTheViewAtOnce)
{
    DwGridView *g = dw.gridView();
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->isColumnHidden(0)) << "visible 0";
    EXPECT_FALSE(g->isColumnHidden(1));
    EXPECT_EQ(g->columnWidth(1), Units::toPixelsX(420));
    EXPECT_EQ(dw.Modify(QStringLiteral("#2.width = 800")), QString());
    EXPECT_EQ(g->columnWidth(1), Units::toPixelsX(800));
    EXPECT_EQ(dw.Modify(QStringLiteral("#3.alignment = 2")), QString());
    EXPECT_EQ(dw.model()->data(dw.model()->index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              int(Qt::AlignHCenter));
    EXPECT_EQ(dw.Modify(QStringLiteral("#3.Color = 255")), QString());
    EXPECT_EQ(dw.model()->data(dw.model()->index(0, 2), Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    EXPECT_EQ(dw.Modify(QStringLiteral("hostname.visible = 0")), QString());
    EXPECT_TRUE(g->isColumnHidden(2));
}

TEST_F(ControlTest, ClicksNameTheColumnTheHeaderTextOrNothing)
{
    QSignalSpy clicks(&dw, &DataWindowControl::clicked);
    QSignalSpy right(&dw, &DataWindowControl::rbuttondown);
    DwGridView *g = dw.gridView();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, cellCenter(3, 3));
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][2].toLongLong(), 3);
    EXPECT_EQ(clicks[0][3].toString(), QStringLiteral("hostname"));
    EXPECT_EQ(dw.GetClickedColumn(), 3);
    EXPECT_EQ(dw.GetRow(), 3) << "a click makes the row current";

    const int headerX = g->horizontalHeader()->sectionViewportPosition(1) + 5;
    QTest::mouseClick(g->horizontalHeader()->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(headerX, 5));
    ASSERT_EQ(right.size(), 1);
    EXPECT_EQ(right[0][3].toString(), QStringLiteral("RprNo_t"));
    EXPECT_EQ(dw.GetClickedColumn(), 0) << "a header text is no column";

    dw.resize(700, 2000);
    QApplication::processEvents();
    QTest::mouseClick(g->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(5, g->viewport()->height() - 3));
    ASSERT_EQ(right.size(), 2);
    EXPECT_EQ(right[1][3].toString(), QString());
    EXPECT_EQ(right[1][2].toLongLong(), 0);
    EXPECT_EQ(dw.GetClickedColumn(), 0);
}

TEST_F(ControlTest, SelectionIsIndependentOfTheCurrentRow)
{
    QSignalSpy focus(&dw, &DataWindowControl::rowfocuschanged);
    EXPECT_EQ(dw.SelectRow(2, true), 1);
    EXPECT_EQ(dw.SetRow(5), 1);
    ASSERT_EQ(focus.size(), 1);
    EXPECT_EQ(focus[0][0].toLongLong(), 5);
    EXPECT_TRUE(dw.IsSelected(2));
    EXPECT_FALSE(dw.IsSelected(5));
    EXPECT_EQ(dw.gridView()->currentIndex().row(), 4);
    EXPECT_EQ(dw.model()->data(dw.model()->index(1, 1), Qt::BackgroundRole).value<QBrush>().color(),
              QApplication::palette().color(QPalette::Highlight));
    dw.SelectRow(0, false);
    EXPECT_FALSE(dw.IsSelected(2));
    EXPECT_EQ(dw.SelectRow(99, true), -1);
    // Keys move the current row.
    QTest::keyClick(dw.gridView(), Qt::Key_Down);
    EXPECT_EQ(dw.GetRow(), 6);
}

TEST(Control, AMillionRowGridOpensWithoutAWidgetPerRow)
{
    QString errors;
    DataWindowControl dw;
    ASSERT_EQ(dw.Create(QString::fromUtf8(GridSyntax), errors), 1);
    fill(dw.dataStore(), 1'000'000);
    dw.resize(800, 600);
    dw.show();
    QApplication::processEvents();
    EXPECT_EQ(dw.RowCount(), 1'000'000);
    // The view learns of the rows in growing portions, so opening does not grow with the table.
    EXPECT_EQ(dw.model()->rowCount(), DwTableModel::FirstPortion);
    EXPECT_TRUE(dw.model()->canFetchMore(QModelIndex()));
    dw.model()->fetchMore(QModelIndex());
    EXPECT_EQ(dw.model()->rowCount(), 2 * DwTableModel::FirstPortion);
    dw.ScrollToRow(1'000'000);
    QApplication::processEvents();
    EXPECT_EQ(dw.model()->rowCount(), 1'000'000) << "a row asked for is reachable at once";
    EXPECT_FALSE(dw.model()->canFetchMore(QModelIndex()));
    EXPECT_EQ(dw.model()->data(dw.model()->index(999'999, 1)).toString(), QStringLiteral("32010200001000000"));
    EXPECT_EQ(dw.gridView()->currentIndex().row(), 999'999);
    EXPECT_LT(dw.gridView()->viewport()->findChildren<QWidget *>().size(), 5);
}

TEST_F(ControlTest, CsvKeepsChineseTextAndNulls)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_EQ(dw.SaveAs(path, QStringLiteral("csv")), 1) << dw.lastError().toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "byte-order mark";
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], QString::fromUtf8("户号,户主姓名,金额,保存时间")) << "visible columns, by caption";
    EXPECT_EQ(lines[1], QString::fromUtf8("32010200000001,\"王伟, 长子\",1.01,2024-05-06 07:08:09.123456"));
    EXPECT_EQ(lines[2], QString::fromUtf8("32010200000002,\"李\"\"娜\"\"\",2.02,2024-05-06 07:08:09.123456"));
    EXPECT_EQ(lines[5], QString::fromUtf8("32010200000005,,5.05,2024-05-06 07:08:09.123456")) << "null: an empty field";
    EXPECT_EQ(dw.SaveAs(dir.filePath(QStringLiteral("no/such/dir/x.csv")), QStringLiteral("csv")), -1);
    EXPECT_FALSE(dw.lastError().isEmpty());
}

TEST_F(ControlTest, PdfOfManyRowsHasSeveralPagesWithTheirNumbers)
{
    fill(dw.dataStore(), 300);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    ASSERT_EQ(dw.SaveAs(path, QStringLiteral("pdf")), 1) << dw.lastError().toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_GT(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "), 1);
}

// An export tells how far it has come, and stopped halfway it leaves no file, and a file it
// would have replaced as it was: CSV by rows written a portion at a time, PDF by pages.
// GRD-29
TEST_F(ControlTest, AnExportStoppedHalfwayLeavesNothingBehind)
{
    fill(dw.dataStore(), 9000);
    QTemporaryDir dir;
    for (const QString &type : {QStringLiteral("csv"), QStringLiteral("pdf")}) {
        const QString path = dir.filePath(QStringLiteral("earlier.") + type);
        {
            QFile earlier(path);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write("an earlier export");
        }
        QList<std::pair<int, int>> told;
        EXPECT_EQ(dw.SaveAs(path, type, [&told](int done, int of) {
            told << std::pair(done, of);
            return told.size() < 2;
        }),
                  -1);
        EXPECT_EQ(dw.lastError(), QStringLiteral("cancelled"));
        ASSERT_EQ(told.size(), 2) << type.toStdString();
        EXPECT_LT(told[0].first, told[1].first) << "progress moves on";
        if (type == QLatin1String("pdf")) {
            EXPECT_GT(told[0].second, 2) << "the pages there are";
        }
        QFile kept(path);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("an earlier export"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), type == QLatin1String("csv") ? 1 : 2) << "no temporary file left";
    }
}

// Exports hold personal data: CSV and PDF files are their owner's alone (0600) whatever the
// umask, also where they replace a file others could read.
// GRD-30
TEST_F(ControlTest, ExportsAreReadableByTheirOwnerOnly)
{
    const auto modeOf = [](const QString &file) {
        struct stat st{};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    QTemporaryDir dir;
    const QString replaced = dir.filePath(QStringLiteral("earlier.csv"));
    {
        QFile earlier(replaced);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier export");
    }
    ::chmod(QFile::encodeName(replaced).constData(), 0644);
    const mode_t was = ::umask(022);
    for (const QString &name : {QStringLiteral("new.csv"), QStringLiteral("earlier.csv"), QStringLiteral("new.pdf")}) {
        const QString path = dir.filePath(name);
        EXPECT_EQ(dw.SaveAs(path, name.section(QLatin1Char('.'), -1)), 1) << dw.lastError().toStdString();
        EXPECT_EQ(modeOf(path), 0600) << name.toStdString();
    }
    ::umask(was);
}

TEST(Control, DrawingHitTestsPreferCaptionsOverPicturesAndKnowTheBackground)
{
    const char *syntax = R"json({"style": "drawing", "objects": [
        {"type": "bitmap", "name": "toolbar_bg", "band": "background", "filename": "bmp\\none.bmp", "x": 0, "y": 0, "width": 3337, "height": 176},
        {"type": "bitmap", "name": "p_query", "band": "detail", "filename": "bmp\\none.bmp", "x": 1330, "y": 8, "width": 242, "height": 152},
        {"type": "text", "name": "t_query", "band": "detail", "text": "查询", "x": 1390, "y": 100, "width": 151, "height": 56, "background.mode": 1},
        {"type": "line", "name": "l_h1", "band": "foreground", "x1": 0, "y1": 7, "x2": 100, "y2": 7, "visible": 0}]})json";
    DataWindowControl dw;
    QString errors;
    ASSERT_EQ(dw.Create(QString::fromUtf8(syntax), errors), 1) << errors.toStdString();
    dw.setUnitsGeometry(0, 0, 3337, 176);
    dw.show();
    QApplication::processEvents();
    auto *view = qobject_cast<DwFreeView *>(dw.presentation());
    ASSERT_NE(view, nullptr);
    auto at = [](int x, int y) { return QPoint(Units::toPixelsX(x), Units::toPixelsY(y)); };
    EXPECT_EQ(view->objectAt(at(1450, 120)), QStringLiteral("t_query")) << "the caption over its picture";
    EXPECT_EQ(view->objectAt(at(1340, 40)), QStringLiteral("p_query"));
    EXPECT_EQ(view->objectAt(at(3000, 40)), QStringLiteral("toolbar_bg"));
    QSignalSpy moves(&dw, &DataWindowControl::mouseMove);
    QSignalSpy ups(&dw, &DataWindowControl::lbuttonUp);
    QTest::mouseMove(view, at(1340, 40));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, at(1450, 120));
    ASSERT_GE(moves.size(), 1);
    EXPECT_EQ(moves.last()[3].toString(), QStringLiteral("p_query"));
    ASSERT_EQ(ups.size(), 1);
    EXPECT_EQ(ups[0][3].toString(), QStringLiteral("t_query"));
    // Making the frame line visible by Modify draws it at once (it is an object of the drawing).
    EXPECT_EQ(dw.Modify(QStringLiteral("l_h1.visible = 1")), QString());
    EXPECT_EQ(dw.Describe(QStringLiteral("l_h1.visible")), QStringLiteral("1"));
}

TEST(Control, FormShowsTheCurrentRowAtItsLayout)
{
    const char *syntax = R"json({"style": "form", "objects": [
        {"type": "column", "name": "RprNo", "coltype": "char(14)", "x": 500, "y": 40, "width": 640, "height": 76, "border": 5},
        {"type": "text", "name": "RprNo_t", "band": "detail", "text": "户号：", "x": 37, "y": 48, "width": 480, "height": 64}]})json";
    DataWindowControl dw;
    QString errors;
    ASSERT_EQ(dw.Create(QString::fromUtf8(syntax), errors), 1);
    dw.InsertRow(0);
    dw.SetItem(1, "RprNo", Value(QStringLiteral("R1")));
    dw.resize(400, 100);
    dw.show();
    QApplication::processEvents();
    auto *view = qobject_cast<DwFreeView *>(dw.presentation());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->objectAt(QPoint(Units::toPixelsX(600), Units::toPixelsY(60))), QStringLiteral("RprNo"));
    EXPECT_EQ(view->contentSize(), QSize(Units::toPixelsX(1140), Units::toPixelsY(116)));
    QSignalSpy clicks(&dw, &DataWindowControl::clicked);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(Units::toPixelsX(600), Units::toPixelsY(60)));
    EXPECT_EQ(dw.GetClickedColumn(), 1);
    const QImage shot = dw.grab().toImage();
    EXPECT_FALSE(shot.isNull());
}

TEST_F(ControlTest, ABurstOfDeletionsReachesTheViewAsOneReset)
{
    fill(dw.dataStore(), 500);
    QSignalSpy resets(dw.model(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(dw.model(), &QAbstractItemModel::rowsRemoved);
    dw.SelectRow(2, true);
    for (long r = dw.RowCount(); r >= 1; r -= 2)
        dw.DeleteRow(r);
    EXPECT_TRUE(dw.model()->inBurst());
    QApplication::processEvents();
    EXPECT_FALSE(dw.model()->inBurst());
    EXPECT_EQ(resets.size(), 1);
    EXPECT_LE(removed.size(), DwTableModel::BurstThreshold);
    EXPECT_EQ(dw.model()->rowCount(), 260) << "520 rows, every other one deleted";
    EXPECT_EQ(dw.RowCount(), 260);
    EXPECT_FALSE(dw.IsSelected(2)) << "a reset clears the highlight";
    EXPECT_EQ(dw.model()->data(dw.model()->index(0, 1)).toString(), QStringLiteral("32010200000001"));
}
