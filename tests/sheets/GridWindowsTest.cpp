#include "ModuleFixture.h"

#include "host/ui/HostWindows.h"
#include "host/ui/w_datawindow_sort.h"

#include <QComboBox>
#include "host/ui/w_filter_his.h"
#include "host/ui/w_setshow_his.h"
#include "toolbar/uo_toolbar_his.h"
#include "Faults.h"

#include "platform/ui/DwGridView.h"

#include <QFile>
#include <QHeaderView>
#include <QTableWidget>
#include <QStandardItemModel>

// The host's display, query and sort windows, each on the real grid of the sheet in view.
class GridWindowsTest : public ModuleFixture
{
protected:
    static void SetUpTestSuite()
    {
        ModuleFixture::SetUpTestSuite();
        host::HostWindows::registerWindows();
    }

    template<typename W>
    void open(const char *window, const std::function<void(W *)> &act)
    {
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *typed = qobject_cast<W *>(w);
            ASSERT_NE(typed, nullptr);
            act(typed);
            typed->Close();
        });
        rt::ui::Windows::OpenByName(QString::fromLatin1(window), QString(), sheet()->wf_getcurrentdw());
    }
    void toolbar(const char *button)
    {
        frame->dw_maintoolbar->ue_dwnmousemove(0, 0, 0, QString::fromLatin1(button));
        frame->dw_maintoolbar->ue_dwnlbuttonup(0, 0, 0, QString::fromLatin1(button));
    }
    QStringList csvHeader(rt::ui::DataWindowControl *dw)
    {
        const QString file = QDir(dir->path()).filePath(QStringLiteral("grid.csv"));
        EXPECT_EQ(dw->SaveAs(file, QStringLiteral("csv")), 1);
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readLine()).remove(QChar(0xFEFF)).trimmed().split(QLatin1Char(','));
    }
    static int rowOf(host::w_setshow_his *w, const char *column)
    {
        for (int r = 0; r < w->columns()->rowCount(); ++r) {
            if (w->columnName(r) == QLatin1String(column))
                return r;
        }
        return -1;
    }
};

TEST_F(GridWindowsTest, DisplayCustomisationHidesAndReordersAndRestoresTheDefaults)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const QStringList before = csvHeader(dw);
    ASSERT_EQ(before.value(0), QString::fromUtf8("户号"));
    ASSERT_TRUE(before.contains(QString::fromUtf8("户主姓名")));
    open<host::w_setshow_his>("w_setshow_his", [](host::w_setshow_his *w) {
        EXPECT_EQ(rowOf(w, "hisid"), -1) << "the surrogate key is not offered";
        w->columns()->item(rowOf(w, "hostname"), 0)->setCheckState(Qt::Unchecked);
        for (int r = rowOf(w, "address"); r > 0; --r)
            w->moveRow(r, -1);
        w->columns()->item(0, 2)->setData(777, Qt::EditRole);
        EXPECT_EQ(w->apply(), QString());
    });
    EXPECT_EQ(dw->Describe(QStringLiteral("hostname.visible")), QStringLiteral("0"));
    EXPECT_EQ(dw->Describe(QStringLiteral("address.width")), QStringLiteral("777"));
    const QStringList after = csvHeader(dw);
    EXPECT_EQ(after.value(0), QString::fromUtf8("住址")) << "the moved column comes first";
    EXPECT_EQ(after.value(1), QString::fromUtf8("户号"));
    EXPECT_FALSE(after.contains(QString::fromUtf8("户主姓名"))) << "a hidden column is not exported";
    EXPECT_EQ(after.size(), before.size() - 1);
    EXPECT_TRUE(dw->gridView()->isColumnHidden(dw->dataStore().columnIndex(rt::DwCol("hostname"))));
    EXPECT_EQ(dw->gridView()->horizontalHeader()->visualIndex(dw->dataStore().columnIndex(rt::DwCol("address"))),
              dw->gridView()->horizontalHeader()->visualIndex(dw->dataStore().columnIndex(rt::DwCol("RprNo"))) - 1);

    open<host::w_setshow_his>("w_setshow_his", [](host::w_setshow_his *w) {
        EXPECT_EQ(w->columns()->item(rowOf(w, "hostname"), 0)->checkState(), Qt::Unchecked) << "it shows the grid as it is";
        w->restoreDefaults();
        EXPECT_EQ(w->apply(), QString());
    });
    EXPECT_EQ(csvHeader(dw), before);
    EXPECT_EQ(dw->Describe(QStringLiteral("hostname.visible")), QStringLiteral("1"));
}

TEST_F(GridWindowsTest, SortByTwoKeysKeepsTheCurrentRecord)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    dw->SetRow(7);
    const Value current = dw->dataStore().GetItem(7, "hisid");
    const rt::DwDefinition &def = dw->dataStore().definition();
    open<host::w_datawindow_sort>("w_datawindow_sort", [&](host::w_datawindow_sort *w) {
        w->keys->setRowCount(0);
        w->addKey(def.findColumn(QStringLiteral("personno")), false);
        w->addKey(def.findColumn(QStringLiteral("SaveTime")), true);
        EXPECT_EQ(w->format(), QStringLiteral("personno D, SaveTime A"));
        EXPECT_EQ(w->apply(), 1);
    });
    for (long r = 2; r <= dw->RowCount(); ++r) {
        const QString a = dw->GetItemString(r - 1, "personno"), b = dw->GetItemString(r, "personno");
        ASSERT_GE(a, b) << "row " << r;
        if (a == b)
            ASSERT_LE(dw->GetItemDateTime(r - 1, "SaveTime").dateTime().toCanonical(),
                      dw->GetItemDateTime(r, "SaveTime").dateTime().toCanonical());
    }
    EXPECT_EQ(dw->dataStore().GetItem(dw->GetRow(), "hisid"), current) << "the current row is the same record";
    open<host::w_datawindow_sort>("w_datawindow_sort", [&](host::w_datawindow_sort *w) {
        EXPECT_EQ(w->format(), QStringLiteral("personno D, SaveTime A")) << "the present sort is shown";
    });
    // A key on a column hidden in 显示定制 is shown, marked, and kept on 确定.
    ASSERT_EQ(dw->Modify(QStringLiteral("personno.visible=0")), QString());
    open<host::w_datawindow_sort>("w_datawindow_sort", [&](host::w_datawindow_sort *w) {
        ASSERT_EQ(w->keyCount(), 2);
        EXPECT_TRUE(w->columnBox(0)->currentText().endsWith(QString::fromUtf8("（已隐藏）"))) << w->columnBox(0)->currentText().toStdString();
        EXPECT_EQ(w->format(), QStringLiteral("personno D, SaveTime A"));
        EXPECT_EQ(w->apply(), 1);
    });
    EXPECT_EQ(dw->dataStore().GetSort(), QStringLiteral("personno D, SaveTime A"));
}

TEST_F(GridWindowsTest, QueryFindsAValueWithAQuoteAndRetrieveRestoresTheSheet)
{
    rt::Transaction &h = host::g().photosqlca;
    ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_ge_rpr (RprNo, hostname, SaveTime) VALUES ('Q-1', ?, "
                                       "'2024-06-01 09:30:00')"),
                        {QStringLiteral("O'Brien")}),
              0);
    ASSERT_EQ(h.commit(), 0);
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long all = dw->RowCount();
    const rt::DwDefinition &def = dw->dataStore().definition();
    long found = -2;
    QString status;
    // Through the toolbar's 查询, as the operator opens it.
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *q = qobject_cast<host::w_filter_his *>(w);
        ASSERT_NE(q, nullptr);
        q->removeTerm(0);
        q->addTerm({false, def.findColumn(QStringLiteral("hostname")), host::QueryTerm::Op::Equal, QStringLiteral("O'Brien")});
        found = q->query();
        status = q->statusText();
        q->Close();
    });
    toolbar("p_query");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(dw->RowCount(), 1);
    EXPECT_EQ(dw->GetItemString(1, "RprNo"), QStringLiteral("Q-1"));
    EXPECT_EQ(host::g().gs_querystr, QString::fromUtf8("户主姓名 = 'O'Brien'"));
    EXPECT_TRUE(status.contains(QString::fromUtf8("查询到 1 条记录"))) << status.toStdString();

    // A date condition on the datetime column: the whole day.
    QList<Value> n{Value::null(rt::ValueType::Long)};
    h.selectInto(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE SaveTime >= '2024-06-01 00:00:00' AND SaveTime < "
                                "'2024-06-02 00:00:00'"),
                 {}, n);
    open<host::w_filter_his>("w_filter_his", [&](host::w_filter_his *q) {
        q->removeTerm(0);
        q->addTerm({false, def.findColumn(QStringLiteral("SaveTime")), host::QueryTerm::Op::Equal, QStringLiteral("2024-06-01")});
        EXPECT_EQ(q->terms().value(0).value, QStringLiteral("2024-06-01")) << "through the date editor";
        EXPECT_EQ(q->query(), n[0].longValue());
        // A value that is no number is told, and the grid keeps its rows.
        q->removeTerm(0);
        q->addTerm({false, def.findColumn(QStringLiteral("membercount")), host::QueryTerm::Op::Equal, QStringLiteral("多")});
        EXPECT_EQ(q->query(), -1);
    });
    EXPECT_TRUE(op.boxes.last().text.contains(QString::fromUtf8("不是数字")));
    EXPECT_EQ(dw->RowCount(), n[0].longValue());

    toolbar("p_retrieve");
    EXPECT_EQ(dw->RowCount(), all) << "数据检索 brings back the sheet's own rows";
    EXPECT_EQ(dw->GetSQLSelect(), sheet()->wf_getcurrentsql());
}

// A grid that cannot be read says so: never an empty grid that looks like no history. A failed
// 数据检索 keeps the rows shown.
TEST_F(GridWindowsTest, AFailedReadIsToldAndAReRetrieveKeepsTheRows)
{
    host::g().photosqlca.injectFault(lockedAt("FROM th_sv_children"));
    click("p_children");
    host::g().photosqlca.clearInjectedFaults();
    const QString told = QString::fromUtf8("读取历史信息失败：database is locked\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。");
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(op.boxes[0].text, told);
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long rows = dw->RowCount();
    ASSERT_GT(rows, 0);
    host::g().photosqlca.injectFault(lockedAt("FROM th_sv_elderinfo"));
    toolbar("p_retrieve");
    host::g().photosqlca.clearInjectedFaults();
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, told);
    EXPECT_EQ(dw->RowCount(), rows) << "the rows shown before stay";
}
