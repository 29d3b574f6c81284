#include "TestRegister.h"

#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <thread>

using namespace rt;

namespace {

// An operator in a test: answers "cancel" at its nth call, and keeps what it was told.
class ScriptedWait final : public DbWaitObserver
{
public:
    explicit ScriptedWait(int cancelAt = 0) : cancelAt(cancelAt) {}
    bool stillWaiting(int waitedMs) override
    {
        waited.push_back(waitedMs);
        return cancelAt > 0 && int(waited.size()) >= cancelAt;
    }
    void waitEnded() override { ++ended; }

    int cancelAt;
    std::vector<int> waited;
    int ended = 0;
};

QString definitionText()
{
    return QStringLiteral(R"json({
  "style": "grid",
  "table.select": "SELECT no, name FROM person ORDER BY no",
  "table.updatetable": "person",
  "objects": [
    {"type": "column", "name": "no", "coltype": "long", "key": "yes"},
    {"type": "column", "name": "name", "coltype": "char(20)"}
  ]
})json");
}

} // namespace

// Waits for the server and lost sessions: a read that finds its session ended by the server
// reads again on a new one, silently; a change cut short is not; a statement that waits can be
// cancelled by whoever watches the wait, and the statement timeout still bounds it. The files
// have no session to lose and nothing to wait for but their busy timeout: these run on the
// server only.
class ServerWaitTest : public ::testing::Test
{
protected:
    static constexpr int Rows = 30;

    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        if (!TestRegister::onServer())
            GTEST_SKIP() << "the register files have no server session to lose or wait for";
        QString error;
        ASSERT_EQ(TestRegister::connectPlain(dir.path(), t, true, error), 0) << error.toStdString();
        ASSERT_EQ(TestRegister::connectPlain(dir.path(), admin, false, error), 0) << error.toStdString();
        ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE person (no INTEGER PRIMARY KEY, name VARCHAR(20))")), 0)
            << t.SQLErrText().toStdString();
        for (int i = 1; i <= Rows; ++i)
            ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person VALUES (?, ?)"), {Value(i), Value(QStringLiteral("p%1").arg(i))}), 0);
        ASSERT_EQ(t.commit(), 0);
    }

    // The server ends t's session, as a restart or an administrator does.
    void endSession()
    {
        const int pid = t.backendPid();
        ASSERT_GT(pid, 0);
        QList<Value> done{Value::null(ValueType::String)};
        ASSERT_EQ(admin.selectInto(QStringLiteral("SELECT pg_terminate_backend(?)::text"), {Value(pid)}, done), 0)
            << admin.SQLErrText().toStdString();
        // Until the process has gone, its socket may still take a request.
        for (int i = 0; i < 100; ++i) {
            QList<Value> n{Value::null(ValueType::Long)};
            admin.selectInto(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = ?"), {Value(pid)}, n);
            if (n[0].longValue() == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    long count(Transaction &on)
    {
        QList<Value> n{Value::null(ValueType::Long)};
        EXPECT_EQ(on.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n), 0) << on.SQLErrText().toStdString();
        return long(n[0].longValue());
    }

    // Another session holds the table until it rolls back.
    void lockTable(Transaction &holder)
    {
        QString error;
        ASSERT_EQ(TestRegister::connectPlain(dir.path(), holder, false, error), 0) << error.toStdString();
        ASSERT_EQ(holder.executeImmediate(QStringLiteral("LOCK TABLE person IN ACCESS EXCLUSIVE MODE")), 0)
            << holder.SQLErrText().toStdString();
    }

    QTemporaryDir dir;
    Transaction t{QStringLiteral("sqlca")};
    Transaction admin{QStringLiteral("admin")};
};

// SRV-07
TEST_F(ServerWaitTest, AReadFindingItsSessionEndedReadsAgainOnANewOne)
{
    DataStore whole, paged;
    QString errors;
    for (DataStore *ds : {&whole, &paged}) {
        ASSERT_EQ(ds->Create(definitionText(), errors), 1) << errors.toStdString();
        ds->SetTransObject(&t);
    }
    paged.setRetrievePortion(10);

    // A whole retrieve (its rows come as a COPY).
    const int first = t.backendPid();
    endSession();
    EXPECT_EQ(whole.Retrieve(), Rows) << whole.lastError().toStdString();
    EXPECT_EQ(t.SQLCode(), 0);
    EXPECT_EQ(whole.GetItemString(Rows, QStringLiteral("name")), QStringLiteral("p%1").arg(Rows));
    EXPECT_NE(t.backendPid(), first) << "read on a new session";

    // The next page of a grid that reads as it is scrolled.
    ASSERT_EQ(paged.Retrieve(), 10) << paged.lastError().toStdString();
    endSession();
    EXPECT_EQ(paged.RetrieveMore(10), 10) << paged.lastError().toStdString();
    ASSERT_EQ(paged.RowCount(), 20);
    EXPECT_EQ(paged.GetItemNumber(11, QStringLiteral("no")).toText(), QStringLiteral("11"));
    EXPECT_EQ(paged.GetItemNumber(20, QStringLiteral("no")).toText(), QStringLiteral("20"));

    // SELECT … INTO through a statement prepared on the old session, which the new one has not.
    EXPECT_EQ(count(t), Rows);
    endSession();
    EXPECT_EQ(count(t), Rows);

    // The new session is set up as at connect: its search path (the table's schema is found
    // above), its timeouts.
    QList<Value> lockTimeout{Value::null(ValueType::String)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT current_setting('lock_timeout')"), {}, lockTimeout), 0);
    EXPECT_EQ(lockTimeout[0].string(), QStringLiteral("3s"));
    EXPECT_FALSE(t.connectionLost());
}

// A change whose session went is not run again, nor is anything after it until it is ended:
// its outcome is settled by its caller (a rollback; for a COMMIT, the journal).
// SRV-07
TEST_F(ServerWaitTest, AReadInsideAChangeCutShortFailsAsBefore)
{
    ASSERT_EQ(t.execute(QStringLiteral("UPDATE person SET name = 'changed' WHERE no = 1")), 0);
    endSession();
    QList<Value> n{Value::null(ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n), -1);
    EXPECT_TRUE(t.connectionLost());
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n), -1) << "the change is ended first";
    EXPECT_EQ(t.rollback(), 0);
    QList<Value> name{Value::null(ValueType::String)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = 1"), {}, name), 0) << t.SQLErrText().toStdString();
    EXPECT_EQ(name[0].string(), QStringLiteral("p1"));
}

// Another session holds what a statement needs: whoever watches the wait cancels it, the
// statement fails with the server's cancel error within moments, and the session goes on.
// SRV-21
TEST_F(ServerWaitTest, AStatementWaitingForALockIsCancelledByItsObserver)
{
    t.BusyTimeoutMs = 30000; // only the cancel can end this wait in time
    ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
    ScriptedWait observer(5);
    t.setWaitObserver(&observer);
    const int session = t.backendPid();
    Transaction holder{QStringLiteral("holder")};
    lockTable(holder);

    QElapsedTimer timer;
    timer.start();
    QList<Value> n{Value::null(ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n), -1);
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_TRUE(t.cancelled());
    EXPECT_EQ(t.SQLDBCode(), 57014);
    EXPECT_EQ(t.SQLErrText(), QString::fromUtf8("操作已取消。 [SQLSTATE 57014]")) << "what the operator asked for, not the server's words";
    EXPECT_FALSE(t.connectionLost());
    ASSERT_GE(observer.waited.size(), 5u) << "told until the cancel is answered";
    EXPECT_EQ(observer.ended, 1);
    for (std::size_t i = 1; i < observer.waited.size(); ++i)
        EXPECT_GT(observer.waited[i], observer.waited[i - 1]);
    EXPECT_LT(observer.waited.back(), 1000) << "told every tick, not every second";

    ASSERT_EQ(holder.rollback(), 0);
    EXPECT_EQ(count(t), Rows) << "the same session goes on";

    // A change waiting for another's row: cancelled, it stays open for its caller to end.
    ASSERT_EQ(holder.execute(QStringLiteral("UPDATE person SET name = 'held' WHERE no = 2")), 0);
    observer = ScriptedWait(3);
    EXPECT_EQ(t.execute(QStringLiteral("UPDATE person SET name = 'x' WHERE no = 2")), -1);
    EXPECT_TRUE(t.cancelled());
    EXPECT_TRUE(t.inTransaction());
    EXPECT_EQ(t.rollback(), 0);
    ASSERT_EQ(holder.rollback(), 0);
    EXPECT_EQ(t.backendPid(), session);
}

// The statement timeout still bounds a statement whose observer never cancels, and is told as
// such; a statement run by another thread (a transaction lent to a batch run) tells nobody.
// SRV-22, SRV-23
TEST_F(ServerWaitTest, TheTimeoutStillBoundsAWaitAndOtherThreadsWaitUntold)
{
    t.StatementTimeoutMs = 1000;
    ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
    ScriptedWait observer;
    t.setWaitObserver(&observer);
    QList<Value> slept{Value::null(ValueType::String)};
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT pg_sleep(5)::text"), {}, slept), -1);
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_FALSE(t.cancelled());
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("statement timeout"))) << t.SQLErrText().toStdString();
    EXPECT_GE(observer.waited.size(), 5u);
    EXPECT_EQ(observer.ended, 1);

    observer = ScriptedWait(1);
    int rc = 0;
    std::thread worker([&]() { rc = t.selectInto(QStringLiteral("SELECT pg_sleep(0.3)::text"), {}, slept); });
    worker.join();
    EXPECT_EQ(rc, 0) << t.SQLErrText().toStdString();
    EXPECT_TRUE(observer.waited.empty());
    EXPECT_EQ(observer.ended, 0);
}

// A session whose server process is stopped (not dead) no longer holds the operator for the
// whole statement timeout: a cancel unanswered for two seconds gives the connection up, that
// read is not run again (a new session might wait as long), and the next operation connects.
// SRV-23
TEST_F(ServerWaitTest, ACancelOfAStoppedSessionGivesItUpWithinMoments)
{
    ScriptedWait observer(3);
    t.setWaitObserver(&observer);
    const pid_t backend = pid_t(t.backendPid());
    ASSERT_EQ(kill(backend, SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    QList<Value> n{Value::null(ValueType::Long)};
    const int rc = t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n);
    const qint64 ms = timer.elapsed();
    kill(backend, SIGCONT);
    EXPECT_EQ(rc, -1);
    EXPECT_LT(ms, 4000);
    EXPECT_TRUE(t.cancelled());
    EXPECT_TRUE(t.connectionLost());
    EXPECT_TRUE(t.SQLErrText().startsWith(QString::fromUtf8("操作已取消。"))) << t.SQLErrText().toStdString();
    observer = ScriptedWait();
    EXPECT_EQ(count(t), Rows);
    EXPECT_NE(t.backendPid(), int(backend));
}
