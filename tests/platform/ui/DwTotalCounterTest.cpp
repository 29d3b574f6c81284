#include "platform/core/Transaction.h"
#include "platform/ui/DwTotalCounter.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rt;

// The total of a grid counted off the user-interface thread: a count started again gives the
// latest select's total only, a stopped one gives nothing, and a counter goes away while counting.
class DwTotalCounterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.Database = QDir(dir.path()).filePath(QStringLiteral("count.db"));
        t.AutoCreate = true;
        ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
        ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE n (v INTEGER)")), 0);
        // Enough rows that a count joined with itself runs long enough to be stopped.
        ASSERT_EQ(t.executeImmediate(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                                    "WHERE x < 3000) INSERT INTO n SELECT x FROM c")),
                  0);
        ASSERT_EQ(t.commit(), 0);
    }

    QTemporaryDir dir;
    Transaction t;
};

// GRD-06
TEST_F(DwTotalCounterTest, TheLatestCountIsTheOneToldAndAStoppedOneIsNot)
{
    ui::DwTotalCounter counter;
    QSignalSpy counted(&counter, &ui::DwTotalCounter::counted);
    QSignalSpy failed(&counter, &ui::DwTotalCounter::failed);
    const QString slow = QStringLiteral("SELECT a.v FROM n a, n b");
    counter.start(t, slow, {});
    counter.start(t, QStringLiteral("SELECT v FROM n WHERE v <= ?"), {Value(42)});
    counter.waitForFinished();
    ASSERT_EQ(counted.size(), 1) << "the first count was stopped for the second";
    EXPECT_EQ(counted[0][0].toLongLong(), 42);
    EXPECT_EQ(failed.size(), 0);

    counter.start(t, slow, {});
    counter.stop();
    counter.waitForFinished();
    QTest::qWait(20);
    EXPECT_EQ(counted.size(), 1) << "a stopped count tells nothing";
    EXPECT_EQ(failed.size(), 0);

    counter.start(t, QStringLiteral("SELECT v FROM nowhere"), {});
    counter.waitForFinished();
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains(QStringLiteral("nowhere")));
}

TEST_F(DwTotalCounterTest, ACounterGoesAwayWhileItCounts)
{
    QElapsedTimer timer;
    timer.start();
    {
        ui::DwTotalCounter counter;
        counter.start(t, QStringLiteral("SELECT a.v FROM n a, n b, n c"), {}); // hours, uninterrupted
        QTest::qWait(50);
    }
    EXPECT_LT(timer.elapsed(), 5000) << "the count is cancelled, not waited for";
}
