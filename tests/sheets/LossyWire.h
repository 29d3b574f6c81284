#pragma once

#include "ModuleFixture.h"
#include "PgProxy.h"

#include "host/LockHint.h"

#include <ostream>

// A fixture of the module whose connections to the register run through a proxy in front of the
// test cluster that loses one COMMIT, or its answer, as the test's parameter says. The program
// then knows only that the connection broke; what it tells, what the journal keeps and what the
// grid shows must follow what the register really holds, and the next operation must work on a
// new connection.

struct Wire
{
    const char *name;
    PgProxy::Loss loss;
};

inline void PrintTo(const Wire &w, std::ostream *os)
{
    *os << w.name;
}

inline std::string wireName(const ::testing::TestParamInfo<Wire> &info)
{
    return info.param.name;
}

// Either fixture, with both of the register's connections (and any the module opens from their
// settings) going through the proxy.
template <class Fixture>
class OverALossyWire : public Fixture, public ::testing::WithParamInterface<Wire>
{
protected:
    void SetUp() override
    {
        if (!TestRegister::onServer())
            GTEST_SKIP() << "the register's files have no wire to lose an answer on";
        Fixture::SetUp();
        if (this->IsSkipped() || this->HasFatalFailure())
            return;
        std::string why;
        proxy = PgProxy::forTestCluster(why);
        ASSERT_NE(proxy, nullptr) << why;
        QString error;
        ASSERT_EQ(TestRegister::connectVia(QString::fromStdString(proxy->folder()), host::g().sqlca, host::g().photosqlca, error), 0)
            << error.toStdString();
        ASSERT_EQ(proxy->accepted(), 2) << "both connections go through the proxy";
    }
    void TearDown() override
    {
        if (slow) {
            // On a connection of its own: the module's may be the ones a test left unreadable.
            rt::Transaction live(QStringLiteral("owner_live")), history(QStringLiteral("owner_history"));
            QString error;
            EXPECT_EQ(TestRegister::connect(this->dir->path(), live, history, error), 0) << error.toStdString();
            EXPECT_EQ(history.executeImmediate(QStringLiteral("DROP TRIGGER hm_test_slow_commit ON history.hm_journal; "
                                                              "DROP FUNCTION history.hm_test_slow_commit()")),
                      0)
                << history.SQLErrText().toStdString();
            EXPECT_EQ(history.commit(), 0);
            slow = false;
        }
        Fixture::TearDown();
        proxy.reset();
    }

    // Whether the server got to commit the change whose COMMIT the wire loses.
    bool saved() const { return GetParam().loss == PgProxy::Loss::AnswerAfterCommit || GetParam().loss == PgProxy::Loss::CutWithCommit; }

    // Every COMMIT that carries a journal entry takes a second longer on the server, as a slow
    // disk or a synchronous standby makes it: a deferred trigger sleeps in the commit itself.
    // Made by the register's owner, not through the proxy; dropped at the end of the test.
    void slowJournalCommits()
    {
        rt::Transaction live(QStringLiteral("owner_live")), history(QStringLiteral("owner_history"));
        QString error;
        ASSERT_EQ(TestRegister::connect(this->dir->path(), live, history, error), 0) << error.toStdString();
        ASSERT_EQ(history.executeImmediate(QStringLiteral(
                      "CREATE FUNCTION history.hm_test_slow_commit() RETURNS trigger LANGUAGE plpgsql AS "
                      "$$ BEGIN PERFORM pg_sleep(1); RETURN NULL; END $$; "
                      "CREATE CONSTRAINT TRIGGER hm_test_slow_commit AFTER INSERT ON history.hm_journal DEFERRABLE INITIALLY "
                      "DEFERRED FOR EACH ROW EXECUTE FUNCTION history.hm_test_slow_commit()")),
                  0)
            << history.SQLErrText().toStdString();
        ASSERT_EQ(history.commit(), 0);
        slow = true;
    }

    // The next COMMIT is lost as the test's parameter says; it is to be the one of t's connection.
    // refuseAfter: from then on the proxy refuses every new connection (the server is out of reach).
    void armFor(rt::Transaction &t, bool refuseAfter = false)
    {
        armedPid = backendPid(t);
        acceptedBefore = proxy->accepted();
        proxy->arm(GetParam().loss, refuseAfter);
    }
    // The proxy cut exactly that connection, once, and the program has connected again since.
    void expectCut(rt::Transaction &t)
    {
        expectCutOnly();
        EXPECT_FALSE(host::g().sqlca.inTransaction());
        EXPECT_FALSE(host::g().photosqlca.inTransaction());
        EXPECT_FALSE(t.connectionLost()) << "reading the register connected again";
        EXPECT_GT(proxy->accepted(), acceptedBefore);
        EXPECT_NE(backendPid(t), armedPid);
    }
    void expectCutOnly()
    {
        EXPECT_EQ(proxy->fired(), 1);
        EXPECT_FALSE(proxy->armed());
        EXPECT_EQ(proxy->cutBackends(), std::vector<int>{armedPid}) << "the COMMIT lost was the change's own";
    }
    // A box telling a failure, or that the outcome could not be found out.
    bool failureTold() const
    {
        for (const auto &b : this->op.boxes) {
            if (b.text.contains(QString::fromUtf8("失败")) || b.text.contains(host::LockHint::unknownText()))
                return true;
        }
        return false;
    }
    void expectNotToldUnknown() const
    {
        for (const auto &b : this->op.boxes)
            EXPECT_FALSE(b.text.contains(host::LockHint::unknownText())) << "the register was readable: " << b.text.toStdString();
    }

    static int backendPid(rt::Transaction &t)
    {
        QList<Value> pid{Value::null(rt::ValueType::Long)};
        EXPECT_EQ(t.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0) << t.SQLErrText().toStdString();
        return int(pid[0].longValue());
    }
    // Entries of the journal with this action and outcome.
    static long journal(const char *action, const char *outcome)
    {
        QList<Value> n{Value::null(rt::ValueType::Long)};
        rt::Transaction &h = host::g().photosqlca;
        EXPECT_EQ(h.selectInto(QStringLiteral("SELECT count(*) FROM hm_journal WHERE action = ? AND outcome = ?"),
                               {Value(QString::fromUtf8(action)), Value(QString::fromUtf8(outcome))}, n),
                  0)
            << h.SQLErrText().toStdString();
        return long(n[0].longValue());
    }
    static bool shows(rt::ui::DataWindowControl *grid, const Value &hisid)
    {
        for (long r = 1; r <= grid->RowCount(); ++r) {
            if (grid->GetItem(r, "hisid").toText() == hisid.toText())
                return true;
        }
        return false;
    }

    std::unique_ptr<PgProxy> proxy;
    int armedPid = 0;
    int acceptedBefore = 0;
    bool slow = false;
};
