#include "LayoutCheck.h"
#include "TestRegister.h"

#include "host/ui/BusyWindow.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString labelTexts(const QWidget &w)
{
    QStringList texts;
    for (const QLabel *l : w.findChildren<QLabel *>())
        texts << l->text();
    return texts.join(QLatin1Char('|'));
}

// A window behind the busy window that counts its paints.
class Behind final : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

// The window itself, told of a wait as the engine tells it: hidden for the first second, then
// modal with the seconds waited; 取消 by Esc or by Enter on it asks for the cancel, and the window
// stays until the wait has ended.
// SRV-21
TEST(BusyWindow, ShowsAfterASecondAndCancelsByKey)
{
    host::BusyWindow w;
    EXPECT_FALSE(w.stillWaiting(100));
    EXPECT_FALSE(w.stillWaiting(999));
    EXPECT_FALSE(w.isVisible()) << "a wait under a second shows nothing";

    EXPECT_FALSE(w.stillWaiting(1000));
    ASSERT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(labelTexts(w).contains(QString::fromUtf8("正在等待服务器答复…")));
    EXPECT_FALSE(w.stillWaiting(2400));
    EXPECT_TRUE(labelTexts(w).contains(QString::fromUtf8("已等待 2 秒"))) << labelTexts(w).toStdString();
    const QStringList problems = LayoutCheck::problems(&w);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.stillWaiting(2500)) << "Esc asks for the cancel";
    EXPECT_TRUE(w.isVisible()) << "until the server has answered it";
    EXPECT_TRUE(labelTexts(w).contains(QString::fromUtf8("正在取消…")));
    w.waitEnded();
    EXPECT_FALSE(w.isVisible());

    // The next wait starts afresh; Enter on 取消, which holds the focus.
    EXPECT_FALSE(w.stillWaiting(500));
    EXPECT_FALSE(w.stillWaiting(1100));
    auto *cancel = qobject_cast<QPushButton *>(w.focusWidget());
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QString::fromUtf8("取消"));
    QTest::keyClick(cancel, Qt::Key_Return);
    EXPECT_TRUE(w.stillWaiting(1200));
    w.waitEnded();
    EXPECT_FALSE(w.stillWaiting(1300)) << "a cancel belongs to the wait it was asked in";
    w.waitEnded();
}

// A wait that begins while the window processes the events of another (a repaint reading on
// the other transaction) is waited untold: it processes nothing and does not hide the window.
// SRV-22
TEST(BusyWindow, AWaitInsideAnotherIsWaitedUntold)
{
    host::BusyWindow w;
    bool innerRan = false, innerCancel = true, shownAfterInner = false;
    QTimer::singleShot(0, &w, [&]() {
        innerRan = true;
        innerCancel = w.stillWaiting(5000);
        w.waitEnded();
        shownAfterInner = w.isVisible();
    });
    for (int i = 0; i < 50 && !innerRan; ++i)
        w.stillWaiting(1000 + i);
    ASSERT_TRUE(innerRan);
    EXPECT_FALSE(innerCancel);
    EXPECT_TRUE(shownAfterInner) << "the outer wait still shows";
    w.waitEnded();
}

// On the server: a statement held by another session's lock shows the window, the windows
// behind repaint meanwhile, a grid's next page waits rather than entering the busy connection,
// and Esc cancels the statement; the session goes on.
// SRV-21, SRV-22
TEST(BusyWindow, CancelsAStatementTheServerHoldsAndTheWindowsBehindRepaint)
{
    TEST_REGISTER_REQUIRED();
    if (!TestRegister::onServer())
        GTEST_SKIP() << "the register files never wait for a server";
    QTemporaryDir dir;
    rt::Transaction t(QStringLiteral("sqlca")), holder(QStringLiteral("holder"));
    QString error;
    t.BusyTimeoutMs = 30000; // only the cancel ends the wait in time
    ASSERT_EQ(TestRegister::connectPlain(dir.path(), t, true, error), 0) << error.toStdString();
    ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE person (no INTEGER PRIMARY KEY, name VARCHAR(20));"
                                                "INSERT INTO person SELECT n, 'p' || n FROM generate_series(1, 30) n")),
              0)
        << t.SQLErrText().toStdString();
    ASSERT_EQ(t.commit(), 0);
    rt::DataStore grid;
    ASSERT_EQ(grid.Create(QStringLiteral(R"json({"style": "grid", "table.select": "SELECT no, name FROM person ORDER BY no",
        "table.updatetable": "person", "objects": [{"type": "column", "name": "no", "coltype": "long", "key": "yes"},
        {"type": "column", "name": "name", "coltype": "char(20)"}]})json"),
                          error),
              1)
        << error.toStdString();
    grid.SetTransObject(&t);
    grid.setRetrievePortion(10);
    ASSERT_EQ(grid.Retrieve(), 10);
    ASSERT_EQ(TestRegister::connectPlain(dir.path(), holder, false, error), 0) << error.toStdString();
    ASSERT_EQ(holder.executeImmediate(QStringLiteral("LOCK TABLE person IN ACCESS EXCLUSIVE MODE")), 0);

    Behind behind;
    behind.resize(200, 100);
    behind.show();
    host::BusyWindow busy;
    busy.watch(t);
    int ticksShown = 0, paintsBefore = -1;
    long pageInside = -2;
    QTimer operatorAtWork;
    QObject::connect(&operatorAtWork, &QTimer::timeout, &busy, [&]() {
        if (!busy.isVisible())
            return;
        if (++ticksShown == 1) {
            paintsBefore = behind.paints;
            pageInside = grid.RetrieveMore();
        }
        behind.update();
        if (ticksShown == 5)
            QTest::keyClick(&busy, Qt::Key_Escape);
    });
    operatorAtWork.start(60);
    QElapsedTimer timer;
    timer.start();
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    const int rc = t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n);
    const qint64 ms = timer.elapsed();
    operatorAtWork.stop();

    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(t.cancelled()) << t.SQLErrText().toStdString();
    EXPECT_GE(ms, host::BusyWindow::ShowAfterMs);
    EXPECT_LT(ms, 4000);
    EXPECT_GE(ticksShown, 5);
    EXPECT_GT(behind.paints, paintsBefore) << "the window behind repainted during the wait";
    EXPECT_EQ(pageInside, 0) << "the grid's next page waits for the busy connection";
    EXPECT_EQ(grid.RowCount(), 10);
    EXPECT_FALSE(busy.isVisible());

    ASSERT_EQ(holder.rollback(), 0);
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n), 0) << t.SQLErrText().toStdString();
    EXPECT_EQ(n[0].longValue(), 30);
    EXPECT_EQ(grid.RetrieveMore(10), 10) << "and reads once the wait is over";
}
