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

// SRV-08
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

// The server ends the session (as a restart does): a read connects again and is not troubled, a
// COMMIT whose answer never came is not a success, and the next operation connects again.
// JRN-12, SRV-07
TEST_F(PgServerTest, ALostConnectionIsToldAndTheNextOperationConnectsAgain)
{
    rt::Transaction t(QStringLiteral("sqlca")), admin(QStringLiteral("admin"));
    for (rt::Transaction *c : {&t, &admin}) {
        c->DBMS = QStringLiteral("PostgreSQL");
        c->Database = qEnvironmentVariable("HM_PG_CONNINFO");
        ASSERT_EQ(c->connect(), 0) << c->SQLErrText().toStdString();
    }
    ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS note (n INTEGER)")), 0);
    ASSERT_EQ(t.commit(), 0);
    const auto endSession = [&]() {
        QList<rt::Value> pid{rt::Value::null(rt::ValueType::Long)};
        ASSERT_EQ(t.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0);
        QList<rt::Value> done{rt::Value::null(rt::ValueType::String)};
        ASSERT_EQ(admin.selectInto(QStringLiteral("SELECT pg_terminate_backend(?)::text"), {pid[0]}, done), 0)
            << admin.SQLErrText().toStdString();
    };

    endSession();
    QList<rt::Value> one{rt::Value::null(rt::ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT 1"), {}, one), 0) << "a read finds the session gone and reads again: "
                                                                      << t.SQLErrText().toStdString();
    EXPECT_FALSE(t.connectionLost());
    EXPECT_FALSE(t.inTransaction());

    // A write whose connection goes before its COMMIT: not reported as saved.
    ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE IF NOT EXISTS public.hm_lost (n INTEGER)")), 0);
    ASSERT_EQ(t.commit(), 0);
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO public.hm_lost (n) VALUES (1)")), 0);
    endSession();
    EXPECT_EQ(t.commit(), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("not known"))) << t.SQLErrText().toStdString();
    EXPECT_EQ(t.rollback(), 0);
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM public.hm_lost"), {}, n), 0) << t.SQLErrText().toStdString();
    EXPECT_EQ(n[0].longValue(), 0) << "the server ended the transaction: nothing of it stays";
    t.executeImmediate(QStringLiteral("DROP TABLE public.hm_lost"));
    t.commit();
}

// The server away when a read finds its session ended: the read connects again once, which
// fails (in the connect timeout) and says so, and the operation after, with the server back,
// connects.
// SRV-07
TEST_F(PgServerTest, AServerStillAwayIsTriedAgainAtEachOperation)
{
    rt::Transaction t(QStringLiteral("sqlca")), admin(QStringLiteral("admin"));
    for (rt::Transaction *c : {&t, &admin}) {
        c->DBMS = QStringLiteral("PostgreSQL");
        c->Database = qEnvironmentVariable("HM_PG_CONNINFO") + QStringLiteral(" connect_timeout=2");
        ASSERT_EQ(c->connect(), 0) << c->SQLErrText().toStdString();
    }
    QList<rt::Value> pid{rt::Value::null(rt::ValueType::Long)}, one{rt::Value::null(rt::ValueType::Long)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0);
    freeze();
    QList<rt::Value> done{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(admin.selectInto(QStringLiteral("SELECT pg_terminate_backend(?)::text"), {pid[0]}, done), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT 1"), {}, one), -1) << "the server is away";
    EXPECT_LT(timer.elapsed(), 8000) << "connected again once, not over and over";
    EXPECT_TRUE(t.connectionLost());
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT 1"), {}, one), -1) << "still away";
    EXPECT_TRUE(t.connectionLost()) << "and the connection is still known to be lost";
    kill(postmaster, SIGCONT);
    stopped = false;
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT 1"), {}, one), 0) << t.SQLErrText().toStdString();
}

// A session whose server process stops in the middle (stopped, not dead: the socket stays open)
// does not hold the window: the answer is awaited the statement timeout and a margin, a cancel
// two seconds more, and then the connection is given up as lost; the next operation connects
// again.
// SRV-08
TEST_F(PgServerTest, AFrozenSessionIsGivenUpWithinTheStatementTimeout)
{
    rt::Transaction t(QStringLiteral("sqlca"));
    t.DBMS = QStringLiteral("PostgreSQL");
    t.Database = qEnvironmentVariable("HM_PG_CONNINFO");
    t.StatementTimeoutMs = 1000;
    ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
    QList<rt::Value> pid{rt::Value::null(rt::ValueType::Long)}, one{rt::Value::null(rt::ValueType::Long)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0);
    const pid_t backend = pid_t(pid[0].longValue());
    ASSERT_EQ(kill(backend, SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    const int rc = t.selectInto(QStringLiteral("SELECT 1"), {}, one);
    const qint64 ms = timer.elapsed();
    kill(backend, SIGCONT);
    EXPECT_EQ(rc, -1);
    EXPECT_LT(ms, 15000) << "gave up after " << ms << " ms";
    EXPECT_TRUE(t.connectionLost());
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("did not answer"))) << t.SQLErrText().toStdString();
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT 1"), {}, one), 0) << "the next one connects again: " << t.SQLErrText().toStdString();
}
