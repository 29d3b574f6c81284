#include "ModuleFixture.h"

#include "host/ui/HostWindows.h"
#include "host/ui/w_datawindow_sort.h"

#include <QComboBox>
#include "host/ui/DateField.h"
#include "host/ui/w_filter_his.h"
#include "host/ui/w_setshow_his.h"
#include "toolbar/uo_toolbar_his.h"
#include "Faults.h"
#include "LayoutCheck.h"

#include "platform/ui/DwGridView.h"

#include <QCalendarWidget>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

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
    // Answers the next save-as dialog with this file, as the operator types a name and saves.
    // kind: the index of the kind of file chosen in the dialog (0 CSV, 1 PDF).
    void saveNextDialogAs(const QString &file, int kind = 0)
    {
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, file, kind]() {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<QFileDialog *>(w); dialog && dialog->isVisible()) {
                    poll->deleteLater();
                    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                    ASSERT_NE(name, nullptr);
                    if (auto *kinds = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                        kinds->setCurrentIndex(kind);
                    name->setText(file);
                    QTest::keyClick(name, Qt::Key_Return);
                    return;
                }
            }
        });
        poll->start(20);
    }
    // The file's mode bits (0600: its owner's alone).
    static int modeOf(const QString &file)
    {
        struct stat st{};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    }
    static QString readAll(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
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

// GRD-24
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

// GRD-31
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
        if (a == b) {
            ASSERT_LE(dw->GetItemDateTime(r - 1, "SaveTime").dateTime().toCanonical(),
                      dw->GetItemDateTime(r, "SaveTime").dateTime().toCanonical());
        }
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

// GRD-25
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
// GRD-14
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

// 查询 on a date column takes the date as typed or refuses it: a date half typed ("2024-1-5") or
// typed over part of the field, or a day that does not exist, is told and nothing is queried;
// the operator is taken back to the field. Keys, as the operator types.
// GRD-27
TEST_F(GridWindowsTest, AQueryOnADateTakesTheDateAsTypedOrRefusesIt)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long all = dw->RowCount();
    const int saveTime = dw->dataStore().definition().findColumn(QStringLiteral("SaveTime"));
    host::g().gs_querystr = QStringLiteral("(before)");
    const QString refused = QString::fromUtf8("“保存时间”的日期不正确，请按“年-月-日”输入一个存在的日期。");
    open<host::w_filter_his>("w_filter_his", [&](host::w_filter_his *q) {
        q->removeTerm(0);
        q->addTerm({false, saveTime, host::QueryTerm::Op::Equal, QString()});
        QWidget *field = q->conditions->cellWidget(0, 3);
        ASSERT_NE(field, nullptr);
        const auto typeAndQuery = [&](const std::function<void()> &select, const char *keys) {
            field->setFocus();
            select();
            QTest::keyClicks(field, QString::fromLatin1(keys));
            q->cb_query->setFocus();
            QTest::keyClick(q->cb_query, Qt::Key_Space);
        };
        const auto everything = [&]() { QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier); };
        const auto year = [&]() {
            QTest::keyClick(field, Qt::Key_Home);
            for (int i = 0; i < 4; ++i)
                QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
        };
        const struct
        {
            std::function<void()> select;
            const char *keys;
            const char *what;
        } cases[] = {{everything, "2024-1-5", "month and day half typed"},
                     {year, "2024-1-5", "typed over the year"},
                     {everything, "2023-02-30", "a day that does not exist"}};
        for (const auto &c : cases) {
            const qsizetype boxes = op.boxes.size();
            typeAndQuery(c.select, c.keys);
            ASSERT_EQ(op.boxes.size(), boxes + 1) << c.what << ": told";
            EXPECT_EQ(op.boxes.last().text, refused) << c.what;
            EXPECT_EQ(q->focusWidget(), field) << c.what << ": back to the field";
            EXPECT_EQ(host::g().gs_querystr, QStringLiteral("(before)")) << c.what << ": nothing queried";
            EXPECT_EQ(dw->RowCount(), all) << c.what;
        }
        // Typed in full, Enter in the field queries that very day.
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, QStringLiteral("2024-06-01"));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(host::g().gs_querystr, QString::fromUtf8("保存时间 = '2024-06-01'"));
        // The calendar, from the keyboard: F4, a day, Enter.
        QTest::keyClick(field, Qt::Key_F4);
        QCalendarWidget *calendar = qobject_cast<host::DateField *>(field)->calendar();
        ASSERT_NE(calendar, nullptr);
        EXPECT_TRUE(calendar->isVisible());
        EXPECT_EQ(calendar->selectedDate(), QDate(2024, 6, 1)) << "it opens on the field's date";
        calendar->setSelectedDate(QDate(2024, 2, 29));
        QTest::keyClick(calendar->findChild<QTableView *>(), Qt::Key_Return);
        EXPECT_FALSE(calendar->isVisible());
        EXPECT_EQ(q->terms().value(0).value, QStringLiteral("2024-02-29"));
    });
}

// However long the values typed, the query window keeps within its screen with its buttons in
// reach, of the pointer and of Tab: a value scrolls inside its field, the line of what was found
// is cut (whole in its tool tip). Counts have the thousands separator.
// GRD-28
TEST_F(GridWindowsTest, ALongValueKeepsTheQueryWindowOnScreenAndItsButtonsInReach)
{
    rt::Transaction &h = host::g().photosqlca;
    for (int i = 0; i < 1200; ++i)
        ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_ge_rpr (RprNo, hostname, SaveTime) VALUES (?, 'Q-many', "
                                           "'2024-06-01 09:30:00')"),
                            {QStringLiteral("Q-%1").arg(i)}),
                  0)
            << h.SQLErrText().toStdString();
    ASSERT_EQ(h.commit(), 0);
    click("p_rprinfo");
    const rt::DwDefinition &def = sheet()->wf_getcurrentdw()->dataStore().definition();
    const QString longValue = QString::fromUtf8("长").repeated(1020);
    open<host::w_filter_his>("w_filter_his", [&](host::w_filter_his *q) {
        q->removeTerm(0);
        q->addTerm({false, def.findColumn(QStringLiteral("hostname")), host::QueryTerm::Op::Equal, QStringLiteral("Q-many")});
        q->addTerm({true, def.findColumn(QStringLiteral("hostname")), host::QueryTerm::Op::Equal, longValue});
        ASSERT_EQ(q->query(), 1000) << "the first rows; the total follows";
        EXPECT_TRUE(QTest::qWaitFor([&]() { return q->statusText().startsWith(QString::fromUtf8("查询到")); }, 10000));
        EXPECT_TRUE(q->statusText().startsWith(QString::fromUtf8("查询到 1,200 条记录：户主姓名 = 'Q-many' 或者 户主姓名 = '长长")))
            << q->statusText().left(60).toStdString();
        QApplication::processEvents();
        const QRect room = q->screen()->availableGeometry();
        EXPECT_LE(q->frameGeometry().width(), room.width()) << "the window is " << q->frameGeometry().width() << " px wide";
        for (QPushButton *b : {q->cb_query, q->cb_all, q->cb_close}) {
            const QRect at(b->mapToGlobal(QPoint(0, 0)), b->size());
            EXPECT_TRUE(room.contains(at)) << b->text().toStdString() << " lies off the screen";
        }
        const QStringList problems = LayoutCheck::problems(q);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
        // Tab goes on from the last value to every button (it went round the table's cells).
        q->conditions->cellWidget(1, 3)->setFocus();
        QSet<QWidget *> reached;
        for (int i = 0; i < 8 && q->focusWidget(); ++i) {
            QTest::keyClick(q->focusWidget(), Qt::Key_Tab);
            reached << q->focusWidget();
        }
        for (QPushButton *b : {q->cb_add, q->cb_remove, q->cb_query, q->cb_all, q->cb_close})
            EXPECT_TRUE(reached.contains(b)) << b->text().toStdString() << " is out of the keyboard's reach";
    });
}

// 数据导出 in the grid's context menu exports the grid it was opened on, through the grid's own
// save-as dialog, every row as 打印 prints them; the file is its owner's alone.
// GRD-29, GRD-30
TEST_F(GridWindowsTest, TheContextMenuExportsTheGridItWasOpenedOn)
{
    const mode_t was = ::umask(022);
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    ASSERT_GT(dw->RowCount(), 0);
    const QString expected = QDir(dir->path()).filePath(QStringLiteral("expected.csv"));
    ASSERT_EQ(dw->SaveAs(expected, QStringLiteral("csv")), 1);
    const QString chosen = QDir(dir->path()).filePath(QStringLiteral("menu-export.csv"));
    QFile::remove(chosen);
    saveNextDialogAs(chosen);
    dw->setClickedColumn(2);
    op.chooseMenuItem(QStringLiteral("m_saveas"));
    Q_EMIT dw->rbuttondown(0, 0, 1, QString());
    ::umask(was);
    ASSERT_TRUE(QFile::exists(chosen)) << "nothing was exported";
    EXPECT_EQ(readAll(chosen), readAll(expected)) << "the grid's rows, as its own SaveAs writes them";
    EXPECT_EQ(modeOf(chosen), 0600) << "readable by its owner only";

    // PDF chosen as the kind, the name typed without an ending: a PDF, private too.
    const QString bare = QDir(dir->path()).filePath(QStringLiteral("menu-export"));
    saveNextDialogAs(bare, 1);
    op.chooseMenuItem(QStringLiteral("m_saveas"));
    Q_EMIT dw->rbuttondown(0, 0, 1, QString());
    ASSERT_TRUE(QFile::exists(bare + QStringLiteral(".pdf")));
    EXPECT_TRUE(readAll(bare + QStringLiteral(".pdf")).startsWith(QStringLiteral("%PDF")));
    EXPECT_EQ(modeOf(bare + QStringLiteral(".pdf")), 0600);
    EXPECT_TRUE(op.boxes.isEmpty());

    // A file that cannot be written is told, not passed over.
    saveNextDialogAs(QDir(dir->path()).filePath(QStringLiteral("no-such-folder/x.csv")));
    op.chooseMenuItem(QStringLiteral("m_saveas"));
    Q_EMIT dw->rbuttondown(0, 0, 1, QString());
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_TRUE(op.boxes[0].text.startsWith(QString::fromUtf8("数据导出失败，文件没有保存："))) << op.boxes[0].text.toStdString();
}
