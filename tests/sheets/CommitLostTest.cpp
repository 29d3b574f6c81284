#include "RecoveryFixture.h"

#include "LossyWire.h"

#include "model/journal/Journal.h"
#include "host/RegisterDatabases.h"
#include "model/CategoryTable.h"
#include "platform/core/Functions.h"
#include "platform/core/SqlQuote.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <signal.h>

// A COMMIT whose answer never comes back, on a real wire to the server (LossyWire.h): the server
// committed and its answer was lost, or the COMMIT never reached it, or it reached it and the
// wire went at once, while the server was still committing.

namespace {

const Wire Wires[] = {{"AnswerLostAfterTheServerCommitted", PgProxy::Loss::AnswerAfterCommit},
                      {"CommitLostBeforeTheServerSawIt", PgProxy::Loss::CommitBeforeServer}};
const Wire CutWhileCommitting[] = {{"CutWhileTheServerIsStillCommitting", PgProxy::Loss::CutWithCommit}};
const Wire Swallowed[] = {{"CommitSwallowedAndTheServerLeftWaiting", PgProxy::Loss::CommitSwallowed}};

const char *UnknownSentence = "现在无法读取人口信息库，不能确定这次操作是否已经保存。";

} // namespace

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

// JRN-05, REC-04 (every test of this suite)
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

// With its persons: P1 and P2, cancelled with the household, come back with their related
// records, and P3's related records too, all in the one transaction whose COMMIT is lost.
TEST_P(CommitLostRecoveryTest, AHouseholdRecoveryWithItsPersonsIsToldAsTheRegisterHoldsIt)
{
    rt::ui::DataWindowControl *grid = gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const Value hisid = grid->GetItem(grid->GetRow(), "hisid");
    armFor(host::g().sqlca);
    recover(QStringLiteral("2"));
    expectCut(host::g().sqlca);
    expectRecoveryOutcome(grid, hisid, QStringLiteral("th_ge_rpr"), QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'"));
    // Every part of it held, or none did.
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo IN ('P1', 'P2')")), saved() ? 2 : 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = 'R''1'")), saved() ? 1 : 4)
        << "P1's older snapshot stays";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P1'")), saved() ? 1 : 2);
    for (const char *table : {"ge_company", "sv_children", "ge_foreignorregistry", "ge_personotherinfo"}) {
        const QString name = QString::fromLatin1(table);
        EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM %1").arg(name)), saved() ? 1 : 0) << table;
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_%1").arg(name)), saved() ? 0 : 1) << table;
    }
    expectNextRecoveryWorks();
}

// The server out of reach after the break: what the register holds cannot be read, and the
// operator is told so. No failure is journalled (the change may have held), the row stays in the
// grid until a retrieve finds out, and once the server can be reached again the next recovery
// works.
TEST_P(CommitLostRecoveryTest, WhenTheRegisterCannotBeReadAfterwardsTheOutcomeIsToldAsUnknown)
{
    rt::ui::DataWindowControl *grid = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    const Value hisid = grid->GetItem(grid->GetRow(), "hisid");
    armFor(host::g().sqlca, true);
    op.answer(1); // 确认要恢复吗? 是
    recover(QString());
    expectCutOnly();
    EXPECT_GT(proxy->refused(), 0) << "the register was tried";
    EXPECT_TRUE(host::g().sqlca.connectionLost()) << "no new connection could be made";
    EXPECT_FALSE(host::g().sqlca.inTransaction());
    ASSERT_FALSE(op.boxes.isEmpty());
    const QString told = op.boxes.last().text;
    EXPECT_TRUE(told.startsWith(QString::fromUtf8("保存恢复数据时失败"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QString::fromUtf8(UnknownSentence))) << told.toStdString();
    EXPECT_FALSE(told.contains(QString::fromUtf8("整个恢复已撤销"))) << "nothing is told as undone: " << told.toStdString();
    EXPECT_TRUE(shows(grid, hisid));
    proxy->refuse(false);
    EXPECT_EQ(journal("恢复", "失败"), 0) << "no failure is journalled for an outcome not known";
    EXPECT_EQ(journal("恢复", "成功"), saved() ? 1 : 0) << "the change's own entry, there exactly when the server committed";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P1' AND pension = '200.75'")), saved() ? 1 : 0);
    expectNextRecoveryWorks();
}

INSTANTIATE_TEST_SUITE_P(Wire, CommitLostRecoveryTest, ::testing::ValuesIn(Wires), wireName);

// The server still committing when the break is noticed (each journalled COMMIT made a second
// slower): the entry is not there yet when a new connection first looks. The recovery is told
// as done, once, when its COMMIT has landed.
class SlowCommitRecoveryTest : public CommitLostRecoveryTest
{
protected:
    void SetUp() override
    {
        CommitLostRecoveryTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            slowJournalCommits();
    }
};

// JRN-05 (every test of this suite)
TEST_P(SlowCommitRecoveryTest, ARecoveryWhoseCommitLandsAfterTheBreakIsToldAsDoneOnce)
{
    rt::ui::DataWindowControl *grid = gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const Value hisid = grid->GetItem(grid->GetRow(), "hisid");
    armFor(host::g().sqlca);
    recover(QStringLiteral("1"));
    expectCut(host::g().sqlca);
    ASSERT_TRUE(saved());
    expectRecoveryOutcome(grid, hisid, QStringLiteral("th_ge_rpr"), QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'"));
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    expectNextRecoveryWorks();
}

INSTANTIATE_TEST_SUITE_P(Wire, SlowCommitRecoveryTest, ::testing::ValuesIn(CutWhileCommitting), wireName);

// A network gone for good: the COMMIT never arrives and the server's side of the connection stays
// open, so the server's process waits in its transaction holding the rows it changed, as it
// would for hours. The module works as an operator role made by scripts/operator-role.sql, which
// may end its own sessions: that session is ended, the recovery told as not saved, and the same
// record can be recovered again at once.
class CommitSwallowedTest : public CommitLostRecoveryTest
{
protected:
    void SetUp() override
    {
        CommitLostRecoveryTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        rt::Transaction &owner = host::g().sqlca;
        QString roleError;
        ASSERT_EQ(TestRegister::makeOperatorRole(owner, QStringLiteral("hm_clerk"), roleError), 0) << roleError.toStdString();
        // Through the proxy still, as the operator.
        QString error;
        ASSERT_EQ(host::RegisterDatabases::connectServer(owner.Database + QStringLiteral(" user=hm_clerk"), host::g().sqlca,
                                                         host::g().photosqlca, error),
                  0)
            << error.toStdString();
    }
};

// JRN-05, SRV-24 (every test of this suite)
TEST_P(CommitSwallowedTest, TheSessionLeftWaitingIsEndedAndItsRowsAreFreeAtOnce)
{
    QList<Value> who{Value::null(rt::ValueType::String)};
    ASSERT_EQ(host::g().sqlca.selectInto(QStringLiteral("SELECT current_user"), {}, who), 0);
    ASSERT_EQ(who[0].string(), QStringLiteral("hm_clerk"));
    const QString elderly = QStringLiteral("orderno = 12");
    rt::ui::DataWindowControl *grid = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), elderly);
    const Value hisid = grid->GetItem(grid->GetRow(), "hisid");
    const QString recovered = QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P1' AND pension = '200.75'");
    armFor(host::g().sqlca);
    op.answer(1); // 确认要恢复吗? 是
    QElapsedTimer timer;
    timer.start();
    recover(QString());
    const qint64 ms = timer.elapsed();
    expectCut(host::g().sqlca);
    ASSERT_FALSE(saved());
    expectRecoveryOutcome(grid, hisid, QStringLiteral("th_sv_elderinfo"), recovered);
    EXPECT_LT(ms, 4000) << "the waiting session was ended, not waited out";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = ?"), {Value(armedPid)}), 0);
    // Within the lock timeout: had the old session kept its rows, this recovery would fail.
    op.boxes.clear();
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), elderly);
    op.answer(1);
    recover(QString());
    EXPECT_FALSE(failureTold()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(live(recovered), 1);
    EXPECT_EQ(journal("恢复", "成功"), 1);
}

// A session that cannot be ended (its process frozen here, so that even the signal to end it
// waits): whether the change it held was saved is not settled while it is there, and is not told
// as settled. Once it ends, the entry's absence is the answer.
TEST_P(CommitSwallowedTest, WhileTheSessionLeftWaitingCannotBeEndedTheOutcomeIsUnknown)
{
    rt::Transaction &t = host::g().photosqlca;
    const model::Journal::Entry entry{QString::fromUtf8("删除"), QStringLiteral("test"), QStringLiteral("K"), {},
                                     QString::fromUtf8("成功"), QString()};
    ASSERT_EQ(model::Journal::append(t, entry), 0) << t.SQLErrText().toStdString();
    armFor(t);
    EXPECT_EQ(t.commit(), -1);
    ASSERT_TRUE(t.connectionLost());
    expectCutOnly();
    ASSERT_EQ(::kill(pid_t(armedPid), SIGSTOP), 0);
    QString error;
    QElapsedTimer timer;
    timer.start();
    const model::Journal::Outcome outcome = model::Journal::settle(t, entry, error);
    const qint64 ms = timer.elapsed();
    ::kill(pid_t(armedPid), SIGCONT);
    EXPECT_EQ(outcome, model::Journal::Outcome::Unknown);
    EXPECT_TRUE(error.contains(QString::number(armedPid))) << error.toStdString();
    EXPECT_GE(ms, 4000) << "it was given time to end";
    EXPECT_LT(ms, 15000);
    EXPECT_FALSE(t.connectionLost()) << "the register itself was readable";
    EXPECT_EQ(model::Journal::settle(t, entry, error), model::Journal::Outcome::NotSaved) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Wire, CommitSwallowedTest, ::testing::ValuesIn(Swallowed), wireName);

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

    // The batches' dates: from 600 to 200 days before today, and the same as SaveTime values.
    struct Dates
    {
        QString from, to;
        QList<Value> range;
    };
    static Dates dates()
    {
        Dates d;
        d.from = rt::fn::RelativeDate(rt::fn::Today(), -600).toString(QStringLiteral("yyyy-MM-dd"));
        d.to = rt::fn::RelativeDate(rt::fn::Today(), -200).toString(QStringLiteral("yyyy-MM-dd"));
        d.range = {QString(d.from + QStringLiteral(" 00:00:00")), QString(d.to + QStringLiteral(" 00:00:00"))};
        return d;
    }
    // Every row of every history table.
    long allHistoryRows()
    {
        QSet<QString> tables;
        for (const model::Category &c : model::CategoryTable::all())
            tables.insert(c.historyTable);
        long rows = 0;
        for (const QString &table : tables)
            rows += count(QStringLiteral("SELECT count(*) FROM %1").arg(table));
        return rows;
    }

    // 批量删除 on the adult women's grid, its COMMIT lost on the wire.
    void expectWomenBatchToldAsTheRegisterHoldsIt()
    {
        click("p_womaninfo");
        rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
        const Dates d = dates();
        const QString inRange = QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo WHERE SaveTime >= ? AND SaveTime <= ?");
        const long inside = count(inRange, d.range);
        const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
        ASSERT_GT(inside, 0);
        ASSERT_GT(all, inside);
        ASSERT_EQ(grid->RowCount(), all);
        armFor(host::g().photosqlca);
        batchByDates(d.from, d.to);
        expectCut(host::g().photosqlca);
        ASSERT_EQ(op.boxes.size(), 2) << "the question with the count, then the outcome";
        EXPECT_TRUE(op.boxes[0].text.startsWith(QString::fromUtf8("将删除 %1 条历史记录：").arg(inside))) << op.boxes[0].text.toStdString();
        const QString told = op.boxes.last().text;
        if (saved()) {
            EXPECT_EQ(told, QString::fromUtf8("删除记录成功!")) << told.toStdString();
            EXPECT_EQ(count(inRange, d.range), 0);
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
};

// JRN-05, REC-04 (every test of this suite)
// DEL-03
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
    expectWomenBatchToldAsTheRegisterHoldsIt();
}

// 批量删除 with the household box ticked: the procedure, its counts read beforehand in its own
// transaction (REPEATABLE READ), the households with their persons' history.
TEST_P(CommitLostDeletionTest, AHouseholdBatchThroughTheProcedureIsToldAsTheRegisterHoldsIt)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
    const Dates d = dates();
    const QString inRange = QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE SaveTime >= ? AND SaveTime <= ?");
    const long inside = count(inRange, d.range);
    const long all = count(QStringLiteral("SELECT count(*) FROM th_ge_rpr"));
    const long rows = allHistoryRows();
    ASSERT_GT(inside, 0);
    ASSERT_GT(all, inside);
    ASSERT_EQ(grid->RowCount(), all);
    armFor(host::g().photosqlca);
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *dialog = qobject_cast<hm::w_hisdelprompt *>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->em_start->setText(d.from);
        dialog->em_end->setText(d.to);
        dialog->cbx_rpr->setChecked(true);
        op.answer(1); // 是 to the question with the count
        dialog->p_ok_clicked();
        dialog->p_close_clicked();
    });
    frame->ue_del(2);
    op.clearHooks();
    expectCut(host::g().photosqlca);
    ASSERT_EQ(op.boxes.size(), 2) << "the question with the count, then the outcome";
    const QRegularExpressionMatch asked
        = QRegularExpression(QString::fromUtf8("^将删除 (\\d+) 条历史记录：")).match(op.boxes[0].text);
    ASSERT_TRUE(asked.hasMatch()) << op.boxes[0].text.toStdString();
    const long counted = asked.captured(1).toLong();
    EXPECT_GE(counted, inside);
    const QString told = op.boxes.last().text;
    if (saved()) {
        EXPECT_EQ(told, QString::fromUtf8("删除记录成功!")) << told.toStdString();
        EXPECT_EQ(count(inRange, d.range), 0);
        EXPECT_EQ(allHistoryRows(), rows - counted) << "what the question counted, and nothing else";
        EXPECT_EQ(journal("批量删除", "成功"), 1);
        EXPECT_EQ(journal("批量删除", "失败"), 0);
        EXPECT_EQ(grid->RowCount(), all - inside) << "the deleted households left the grid";
    } else {
        EXPECT_TRUE(told.startsWith(QString::fromUtf8("删除户籍历史信息失败!"))) << told.toStdString();
        EXPECT_EQ(allHistoryRows(), rows);
        EXPECT_EQ(journal("批量删除", "成功"), 0);
        EXPECT_EQ(journal("批量删除", "失败"), 1);
        EXPECT_EQ(grid->RowCount(), all) << "the grid still shows every household";
    }
    expectNotToldUnknown();
    expectNextDeletionWorks();
}

// The server out of reach after the break: the operator is told that the outcome cannot be read,
// nothing is journalled as failed, the grid keeps every row; then, with the server back, the
// register holds what the server did and the next deletion works.
TEST_P(CommitLostDeletionTest, WhenTheRegisterCannotBeReadAfterwardsABatchIsToldAsUnknown)
{
    click("p_womaninfo");
    rt::ui::DataWindowControl *grid = sheet()->wf_getcurrentdw();
    const Dates d = dates();
    const long inside = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo WHERE SaveTime >= ? AND SaveTime <= ?"), d.range);
    const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
    ASSERT_GT(inside, 0);
    ASSERT_EQ(grid->RowCount(), all);
    armFor(host::g().photosqlca, true);
    batchByDates(d.from, d.to);
    expectCutOnly();
    EXPECT_GT(proxy->refused(), 0) << "the register was tried";
    EXPECT_TRUE(host::g().photosqlca.connectionLost()) << "no new connection could be made";
    EXPECT_FALSE(host::g().photosqlca.inTransaction());
    ASSERT_EQ(op.boxes.size(), 2) << "the question with the count, then the outcome";
    const QString told = op.boxes.last().text;
    EXPECT_TRUE(told.startsWith(QString::fromUtf8("删除记录失败!"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QString::fromUtf8(UnknownSentence))) << told.toStdString();
    EXPECT_EQ(grid->RowCount(), all) << "nothing is taken from the grid while the outcome is not known";
    proxy->refuse(false);
    EXPECT_EQ(journal("批量删除", "失败"), 0) << "no failure is journalled for an outcome not known";
    EXPECT_EQ(journal("批量删除", "成功"), saved() ? 1 : 0) << "the change's own entry, there exactly when the server committed";
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), saved() ? all - inside : all);
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

// A batch whose COMMIT the server is still working on (each journalled COMMIT made a second
// slower) when the wire goes: told as done, journalled once, its rows gone from the grid.
class SlowCommitDeletionTest : public CommitLostDeletionTest
{
protected:
    void SetUp() override
    {
        CommitLostDeletionTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            slowJournalCommits();
    }
};

// JRN-05 (every test of this suite)
TEST_P(SlowCommitDeletionTest, ABatchWhoseCommitLandsAfterTheBreakIsToldAsDoneOnce)
{
    ASSERT_TRUE(saved());
    expectWomenBatchToldAsTheRegisterHoldsIt();
}

INSTANTIATE_TEST_SUITE_P(Wire, SlowCommitDeletionTest, ::testing::ValuesIn(CutWhileCommitting), wireName);
