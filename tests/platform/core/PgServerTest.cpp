#include "TestRegister.h"

#include "platform/core/Transaction.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <signal.h>

// The register on a server that stops answering: histmaint gives up within a stated bound
// instead of hanging the window.
class PgServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        // The test cluster's postmaster: its data folder is beside its socket.
        const QString conninfo = qEnvironmentVariable("HM_PG_CONNINFO");
        const QString host = QRegularExpression(QStringLiteral("host=(\\S+)")).match(conninfo).captured(1);
        QFile pidFile(host + QStringLiteral("/data/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            GTEST_SKIP() << "the server is not the test cluster of scripts/pgcluster";
        postmaster = pid_t(pidFile.readLine().trimmed().toLong());
        ASSERT_GT(postmaster, 0);
    }
    void TearDown() override
    {
        if (stopped)
            kill(postmaster, SIGCONT);
    }
    void freeze()
    {
        ASSERT_EQ(kill(postmaster, SIGSTOP), 0);
        stopped = true;
    }

    pid_t postmaster = 0;
    bool stopped = false;
};

TEST_F(PgServerTest, AFrozenServerIsGivenUpWithinTheConnectTimeout)
{
    freeze();
    rt::Transaction t(QStringLiteral("sqlca"));
    t.DBMS = QStringLiteral("PostgreSQL");
    t.Database = qEnvironmentVariable("HM_PG_CONNINFO"); // no connect_timeout of its own: the default holds
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(t.connect(), -1);
    const qint64 ms = timer.elapsed();
    EXPECT_LT(ms, 25000) << "connect gave up after " << ms << " ms";
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("timeout"), Qt::CaseInsensitive)) << t.SQLErrText().toStdString();
}
