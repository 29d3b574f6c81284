#include "RecoveryFixture.h"

#include "PgProxy.h"

#include "host/LockHint.h"
#include "platform/core/Functions.h"

// A COMMIT whose answer never comes back, on a real wire to the server: the proxy between the
// program and the test cluster either lets the server commit and then cuts the connection before
// the answer, or cuts it before the server sees the COMMIT. Either way the program knows only
// that the connection broke; what it tells, what the journal keeps and what the grid shows must
// follow what the register really holds, and the next operation must work on a new connection.

namespace {

struct Wire
{
    const char *name;
    PgProxy::Loss loss;
};

void PrintTo(const Wire &w, std::ostream *os)
{
    *os << w.name;
}

const Wire Wires[] = {{"AnswerLostAfterTheServerCommitted", PgProxy::Loss::AnswerAfterCommit},
                      {"CommitLostBeforeTheServerSawIt", PgProxy::Loss::CommitBeforeServer}};

std::string wireName(const ::testing::TestParamInfo<Wire> &info)
{
    return info.param.name;
}

int backendPid(rt::Transaction &t)
{
    QList<Value> pid{Value::null(rt::ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0) << t.SQLErrText().toStdString();
    return int(pid[0].longValue());
}

// Entries of the journal with this action and outcome.
long journal(const char *action, const char *outcome)
{
    QList<Value> n{Value::null(rt::ValueType::Long)};
    EXPECT_EQ(host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM hm_journal WHERE action = ? AND outcome = ?"),
                                              {Value(QString::fromUtf8(action)), Value(QString::fromUtf8(outcome))}, n),
              0)
        << host::g().photosqlca.SQLErrText().toStdString();
    return long(n[0].longValue());
}

bool shows(rt::ui::DataWindowControl *grid, const Value &hisid)
{
    for (long r = 1; r <= grid->RowCount(); ++r) {
        if (grid->GetItem(r, "hisid").toText() == hisid.toText())
            return true;
    }
    return false;
}

} // namespace

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
        Fixture::TearDown();
        proxy.reset();
    }

    bool saved() const { return GetParam().loss == PgProxy::Loss::AnswerAfterCommit; }

    // The next COMMIT is lost as the test's parameter says; it is to be the one of t's connection.
    void armFor(rt::Transaction &t)
    {
        armedPid = backendPid(t);
        acceptedBefore = proxy->accepted();
        proxy->arm(GetParam().loss);
    }
    // The proxy cut exactly that connection, once, and the program has connected again since.
    void expectCut(rt::Transaction &t)
    {
        EXPECT_EQ(proxy->fired(), 1);
        EXPECT_FALSE(proxy->armed());
        EXPECT_EQ(proxy->cutBackends(), std::vector<int>{armedPid}) << "the COMMIT lost was the change's own";
        EXPECT_FALSE(host::g().sqlca.inTransaction());
        EXPECT_FALSE(host::g().photosqlca.inTransaction());
        EXPECT_FALSE(t.connectionLost()) << "reading the register connected again";
        EXPECT_GT(proxy->accepted(), acceptedBefore);
        EXPECT_NE(backendPid(t), armedPid);
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

    std::unique_ptr<PgProxy> proxy;
    int armedPid = 0;
    int acceptedBefore = 0;
};

// Recovery: the record's live write, its history row's deletion and the journal's entry commit
// together on sqlca.
class CommitLostRecoveryTest : public OverALossyWire<RecoveryFixture>
{
protected:
    void expectRecoveryOutcome(rt::ui::DataWindowControl *grid, const Value &hisid, const QString &historyTable,
                               const QString &liveCount)
    {
        const long inHistory = history(QStringLiteral("SELECT count(*) FROM %1 WHERE hisid = ?").arg(historyTable), {hisid});
        if (saved()) {
            EXPECT_EQ(live(liveCount), 1) << "the record arrived in the live register";
            EXPECT_EQ(inHistory, 0) << "and left history";
            EXPECT_EQ(journal("恢复", "成功"), 1);
            EXPECT_EQ(journal("恢复", "失败"), 0) << "a saved recovery is not journalled as failed";
            EXPECT_FALSE(failureTold()) << texts().join(QLatin1Char('|')).toStdString();
            EXPECT_FALSE(shows(grid, hisid)) << "the recovered row left the grid";
        } else {
            EXPECT_EQ(live(liveCount), 0) << "nothing arrived in the live register";
            EXPECT_EQ(inHistory, 1) << "the history row is still there";
            EXPECT_EQ(journal("恢复", "成功"), 0) << "nothing saved is journalled as done";
            EXPECT_EQ(journal("恢复", "失败"), 1);
            ASSERT_FALSE(op.boxes.isEmpty());
            const QString told = op.boxes.last().text;
            EXPECT_TRUE(told.startsWith(QString::fromUtf8("保存恢复数据时失败"))) << told.toStdString();
            EXPECT_TRUE(told.contains(QString::fromUtf8("整个恢复已撤销"))) << told.toStdString();
            EXPECT_TRUE(shows(grid, hisid)) << "the row is still in the grid";
        }
        expectNotToldUnknown();
    }
    // Another recovery afterwards, on the connection made again: P6's elderly record.
    void expectNextRecoveryWorks()
    {
        const long done = journal("恢复", "成功");
        op.boxes.clear();
        gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 13"));
        op.answer(1);
        recover(QString());
        EXPECT_FALSE(failureTold()) << texts().join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P6'")), 1);
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 13")), 0);
        EXPECT_EQ(journal("恢复", "成功"), done + 1);
        EXPECT_EQ(proxy->fired(), 1) << "an arming cuts one connection only";
    }
};

TEST_P(CommitLostRecoveryTest, AHouseholdRecoveryIsToldAsTheRegisterHoldsIt)
{
    rt::ui::DataWindowControl *grid = gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const Value hisid = grid->GetItem(grid->GetRow(), "hisid");
    ASSERT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'")), 0);
    armFor(host::g().sqlca);
    recover(QStringLiteral("1"));
    expectCut(host::g().sqlca);
    expectRecoveryOutcome(grid, hisid, QStringLiteral("th_ge_rpr"), QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'"));
    if (saved()) {
        EXPECT_TRUE(op.boxes.isEmpty()) << "a recovery that held says nothing, as any other: "
                                        << texts().join(QLatin1Char('|')).toStdString();
    }
    expectNextRecoveryWorks();
}

TEST_P(CommitLostRecoveryTest, ARelatedRecordRecoveryIsToldAsTheRegisterHoldsIt)
{
    rt::ui::DataWindowControl *grid = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    const Value hisid = grid->GetItem(grid->GetRow(), "hisid");
    armFor(host::g().sqlca);
    op.answer(1); // 确认要恢复吗? 是
    recover(QString());
    expectCut(host::g().sqlca);
    expectRecoveryOutcome(grid, hisid, QStringLiteral("th_sv_elderinfo"),
                          QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P1' AND pension = '200.75'"));
    expectNextRecoveryWorks();
}

INSTANTIATE_TEST_SUITE_P(Wire, CommitLostRecoveryTest, ::testing::ValuesIn(Wires), wireName);

// Deletions in history: the grid's own (删除) and the batch (批量删除), each with its journal's
// entry, commit on photosqlca. Each test on a demo register of its own.
class CommitLostDeletionTest : public OverALossyWire<ModuleFixture>
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        if (TestRegister::onServer()) {
            makeOwnDemo(20, 23);
            if (HasFatalFailure())
                return;
        }
        OverALossyWire<ModuleFixture>::SetUp();
    }
    // Another deletion afterwards, on the connection made again: the first elderly row.
    void expectNextDeletionWorks()
    {
        click("p_eldinfo");
        rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
        ASSERT_GT(grid->RowCount(), 0);
        grid->SetRow(1);
        const Value hisid = grid->GetItem(1, "hisid");
        const long done = journal("删除", "成功");
        op.answer(1);
        frame->ue_del(1);
        ASSERT_FALSE(op.boxes.isEmpty());
        EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("删除成功!"));
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE hisid = ?"), {hisid}), 0);
        EXPECT_EQ(journal("删除", "成功"), done + 1);
        EXPECT_EQ(proxy->fired(), 1) << "an arming cuts one connection only";
    }
};

TEST_P(CommitLostDeletionTest, ARowDeletionIsToldAsTheRegisterHoldsIt)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
    const long rows = grid->RowCount();
    ASSERT_GE(rows, 3);
    grid->SetRow(2);
    const Value hisid = grid->GetItem(2, "hisid");
    armFor(host::g().photosqlca);
    op.answer(1); // 删除后将无法进行恢复，确定要删除该记录? 是
    frame->ue_del(1);
    expectCut(host::g().photosqlca);
    ASSERT_EQ(op.boxes.size(), 2);
    const QString told = op.boxes.last().text;
    const long inHistory = count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE hisid = ?"), {hisid});
    if (saved()) {
        EXPECT_EQ(told, QString::fromUtf8("删除成功!"));
        EXPECT_EQ(inHistory, 0);
        EXPECT_EQ(journal("删除", "成功"), 1);
        EXPECT_EQ(journal("删除", "失败"), 0);
        EXPECT_EQ(grid->RowCount(), rows - 1);
        EXPECT_FALSE(shows(grid, hisid));
        EXPECT_EQ(grid->DeletedCount(), 0) << "nothing is kept for a later Update to delete again";
    } else {
        EXPECT_TRUE(told.startsWith(QString::fromUtf8("删除失败!"))) << told.toStdString();
        EXPECT_EQ(inHistory, 1);
        EXPECT_EQ(journal("删除", "成功"), 0);
        EXPECT_EQ(journal("删除", "失败"), 1);
        EXPECT_EQ(grid->RowCount(), rows);
        EXPECT_TRUE(shows(grid, hisid));
        EXPECT_EQ(grid->GetItem(2, "hisid").toText(), hisid.toText()) << "back where it was";
        EXPECT_EQ(grid->DeletedCount(), 0);
    }
    expectNotToldUnknown();
    expectNextDeletionWorks();
}

// 删除人员: the procedure deletes the person's history, counted beforehand in the same
// transaction; the grid loses the person's rows only when they are gone.
TEST_P(CommitLostDeletionTest, APersonDeletionThroughTheProcedureIsToldAsTheRegisterHoldsIt)
{
    click("p_personinfo");
    rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
    ASSERT_GT(grid->RowCount(), 0);
    grid->SetRow(1);
    const QString person = grid->GetItemString(1, "PersonNo");
    const auto inGrid = [&] {
        long n = 0;
        for (long r = 1; r <= grid->RowCount(); ++r)
            n += grid->GetItemString(r, "PersonNo") == person ? 1 : 0;
        return n;
    };
    const QString snapshots = QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?");
    const long before = count(snapshots, {person});
    const long shown = inGrid();
    ASSERT_GT(before, 0);
    armFor(host::g().photosqlca);
    op.answer(1); // 删除个人历史信息时，将删除个人相关的所有信息 … 是
    frame->ue_del(1);
    expectCut(host::g().photosqlca);
    if (saved()) {
        EXPECT_EQ(op.boxes.size(), 1) << "the question only, as for any deletion through the procedure: "
                                      << op.boxes.last().text.toStdString();
        EXPECT_EQ(count(snapshots, {person}), 0);
        EXPECT_EQ(journal("删除人员", "成功"), 1);
        EXPECT_EQ(journal("删除人员", "失败"), 0);
        EXPECT_EQ(inGrid(), 0) << "the person's rows left the grid";
    } else {
        ASSERT_EQ(op.boxes.size(), 2);
        EXPECT_TRUE(op.boxes.last().text.startsWith(QString::fromUtf8("删除个人历史信息失败!"))) << op.boxes.last().text.toStdString();
        EXPECT_EQ(count(snapshots, {person}), before);
        EXPECT_EQ(journal("删除人员", "成功"), 0);
        EXPECT_EQ(journal("删除人员", "失败"), 1);
        EXPECT_EQ(inGrid(), shown) << "the grid still shows the person's rows";
    }
    expectNotToldUnknown();
    expectNextDeletionWorks();
}

TEST_P(CommitLostDeletionTest, ABatchDeletionIsToldAsTheRegisterHoldsIt)
{
    click("p_womaninfo");
    rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
    const QString from = rt::fn::RelativeDate(rt::fn::Today(), -600).toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = rt::fn::RelativeDate(rt::fn::Today(), -200).toString(QStringLiteral("yyyy-MM-dd"));
    const QString inRange = QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo WHERE SaveTime >= ? AND SaveTime <= ?");
    const QList<Value> range{QString(from + QStringLiteral(" 00:00:00")), QString(to + QStringLiteral(" 00:00:00"))};
    const long inside = count(inRange, range);
    const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
    ASSERT_GT(inside, 0);
    ASSERT_GT(all, inside);
    ASSERT_EQ(grid->RowCount(), all);
    armFor(host::g().photosqlca);
    batchByDates(from, to);
    expectCut(host::g().photosqlca);
    ASSERT_EQ(op.boxes.size(), 2) << "the question with the count, then the outcome";
    EXPECT_TRUE(op.boxes[0].text.startsWith(QString::fromUtf8("将删除 %1 条历史记录：").arg(inside))) << op.boxes[0].text.toStdString();
    const QString told = op.boxes.last().text;
    if (saved()) {
        EXPECT_EQ(told, QString::fromUtf8("删除记录成功!"));
        EXPECT_EQ(count(inRange, range), 0);
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), all - inside);
        EXPECT_EQ(journal("批量删除", "成功"), 1);
        EXPECT_EQ(journal("批量删除", "失败"), 0);
        EXPECT_EQ(grid->RowCount(), all - inside) << "the deleted rows left the grid";
    } else {
        EXPECT_TRUE(told.startsWith(QString::fromUtf8("删除记录失败!"))) << told.toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), all);
        EXPECT_EQ(journal("批量删除", "成功"), 0);
        EXPECT_EQ(journal("批量删除", "失败"), 1);
        EXPECT_EQ(grid->RowCount(), all) << "the grid still shows every row";
    }
    expectNotToldUnknown();
    expectNextDeletionWorks();
}

// What the proxy does, seen without the module: a plain insert and COMMIT. The COMMIT fails as a
// lost connection either way, and the register then holds the row exactly when the server got
// to commit it. The cases above stand on this.
TEST_P(CommitLostDeletionTest, TheWireLosesWhatItIsArmedFor)
{
    rt::Transaction &t = host::g().photosqlca;
    const QString marked = QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P-WIRE'");
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO th_sv_elderinfo (orderno, personno, health, issave, SaveTime) VALUES "
                                       "(9999, 'P-WIRE', 'x', '1', '2024-01-01 00:00:00')")),
              0)
        << t.SQLErrText().toStdString();
    armFor(t);
    EXPECT_EQ(t.commit(), -1);
    EXPECT_TRUE(t.connectionLost());
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("not known"))) << t.SQLErrText().toStdString();
    t.rollback();
    EXPECT_EQ(count(marked), saved() ? 1 : 0) << "read on a new connection";
    expectCut(t);
}

INSTANTIATE_TEST_SUITE_P(Wire, CommitLostDeletionTest, ::testing::ValuesIn(Wires), wireName);
