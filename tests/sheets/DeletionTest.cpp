#include "ModuleFixture.h"
#include "Faults.h"

using DeletionTest = ModuleFixture;

namespace {
const QString Title = QString::fromUtf8("提示");
const QString Generic = QString::fromUtf8("删除后将无法进行恢复，确定要删除该记录?");
const QString Household = QString::fromUtf8("删除户籍历史信息时,是否删除该户中所有人员的信息?");
const QString Person = QString::fromUtf8("删除个人历史信息时，将删除个人相关的所有信息，\r\n确定要删除该记录?");
} // namespace

TEST_F(DeletionTest, AnyOtherRowAsksTheGenericQuestionAndDeletesThroughTheGrid)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long rows = dw->RowCount();
    dw->SetRow(2);
    const Value hisid = dw->dataStore().GetItem(2, "hisid");
    op.answer(2); // No
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(op.boxes[0].title, Title);
    EXPECT_EQ(op.boxes[0].text, Generic);
    EXPECT_EQ(op.boxes[0].buttons, rt::ui::MsgButtons::YesNo);
    EXPECT_EQ(op.boxes[0].defaultButton, 2);
    EXPECT_EQ(dw->RowCount(), rows);
    op.answer(1); // Yes
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 3);
    EXPECT_EQ(op.boxes[2].text, QString::fromUtf8("删除成功!"));
    EXPECT_EQ(dw->RowCount(), rows - 1);
    EXPECT_EQ(historyRows(QStringLiteral("th_sv_elderinfo")), rows - 1);
    QList<Value> n{Value::null(rt::ValueType::Long)};
    host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE hisid = ?"), {hisid}, n);
    EXPECT_EQ(n[0].longValue(), 0) << "exactly that snapshot";
}

// DEL-01, DEL-02
TEST_F(DeletionTest, HouseholdCancelNoAndYes)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long rows = dw->RowCount();
    op.answer(3); // Cancel
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(op.boxes[0].text, Household);
    EXPECT_EQ(op.boxes[0].buttons, rt::ui::MsgButtons::YesNoCancel);
    EXPECT_EQ(op.boxes[0].defaultButton, 3);
    EXPECT_EQ(dw->RowCount(), rows) << "Cancel changes nothing";

    // Yes: the household with all its persons, through the procedure; no success message.
    dw->SetRow(1);
    const QString rprNo = dw->GetItemString(1, "RprNo");
    const long personsBefore = historyRows(QStringLiteral("th_ge_personinfo"));
    long snapshots = 0;
    for (long r = 1; r <= dw->RowCount(); ++r)
        snapshots += dw->GetItemString(r, "RprNo") == rprNo ? 1 : 0;
    ASSERT_GT(snapshots, 1) << "the demo keeps several snapshots of a household";
    op.answer(1);
    frame->ue_del(1);
    EXPECT_EQ(op.boxes.size(), 2);
    QList<Value> n{Value::null(rt::ValueType::Long)};
    host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = ?"), {rprNo}, n);
    EXPECT_EQ(n[0].longValue(), 0);
    EXPECT_LT(historyRows(QStringLiteral("th_ge_personinfo")), personsBefore);
    EXPECT_EQ(dw->RowCount(), rows - snapshots) << "every snapshot the procedure deleted leaves the grid";
    for (long r = 1; r <= dw->RowCount(); ++r)
        EXPECT_NE(dw->GetItemString(r, "RprNo"), rprNo);

    // No afterwards: the household row alone, written through the grid. The row the procedure
    // removed must not stay in the grid's delete buffer: this Update would try to delete it a
    // second time, find it gone and report "删除失败!" for a deletion that is fine.
    EXPECT_EQ(dw->DeletedCount(), 0) << "a row the procedure already deleted is not kept for a later Update";
    const long other = 1;
    const long households = historyRows(QStringLiteral("th_ge_rpr"));
    dw->SetRow(other);
    op.answer(2);
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 4);
    EXPECT_EQ(op.boxes[3].text, QString::fromUtf8("删除成功!"));
    EXPECT_EQ(historyRows(QStringLiteral("th_ge_rpr")), households - 1);
}

// DEL-01
TEST_F(DeletionTest, PersonGoesThroughThePersonQuestionWithItsLineBreak)
{
    click("p_personinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    ASSERT_EQ(dw->DataObject(), QStringLiteral("dh_ge_personinfo"));
    // A person whose related records show in the sheet's other grids too.
    QList<Value> found{Value::null(rt::ValueType::String)};
    ASSERT_EQ(host::g().photosqlca.selectInto(QStringLiteral("SELECT min(personno) FROM th_ge_company WHERE personno IN "
                                                             "(SELECT PersonNo FROM th_ge_personinfo)"),
                                              {}, found),
              0);
    const QString personNo = found[0].string();
    long row = 0;
    for (long r = 1; r <= dw->RowCount() && row == 0; ++r)
        row = dw->GetItemString(r, "PersonNo") == personNo ? r : 0;
    ASSERT_GT(row, 0);
    dw->SetRow(row);
    QList<rt::ui::DataWindowControl *> grids;
    for (int tab = 1; tab <= 4; ++tab) {
        personalPage()->tab_1->SelectTab(tab);
        grids << sheet()->wf_getcurrentdw();
    }
    personalPage()->tab_1->SelectTab(1);
    const auto shown = [&](rt::ui::DataWindowControl *g) {
        long n = 0;
        for (long r = 1; r <= g->RowCount(); ++r)
            n += g->GetItemString(r, grids.indexOf(g) == 0 ? "PersonNo" : "personno") == personNo ? 1 : 0;
        return n;
    };
    ASSERT_GT(shown(grids[2]), 0) << "the person's occupation is shown in its grid";
    op.answer(2);
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(op.boxes[0].text, Person);
    EXPECT_EQ(op.boxes[0].defaultButton, 2);
    op.answer(1);
    frame->ue_del(1);
    EXPECT_EQ(op.boxes.size(), 2) << "no message after the procedure";
    QList<Value> n{Value::null(rt::ValueType::Long)};
    host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?"), {personNo}, n);
    EXPECT_EQ(n[0].longValue(), 0);
    for (const char *table : {"th_ge_personotherinfo", "th_ge_company", "th_sv_elderinfo", "th_sv_children"}) {
        host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE personno = ?").arg(QString::fromLatin1(table)),
                                        {personNo}, n);
        EXPECT_EQ(n[0].longValue(), 0) << table;
    }
    // Every row the procedure deleted has left the sheet's grids, the related ones included: no
    // later deletion or recovery of such a row is told that another operator deleted it.
    for (rt::ui::DataWindowControl *g : grids) {
        EXPECT_EQ(shown(g), 0) << g->DataObject().toStdString();
        EXPECT_EQ(g->DeletedCount(), 0) << "nothing kept for a later Update";
    }
}

// DEL-04
TEST_F(DeletionTest, AFailedWriteRollsBackAndSaysSo)
{
    click("p_children");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const Value hisid = dw->dataStore().GetItem(1, "hisid");
    // Someone else removed the snapshot in the meantime.
    rt::Transaction other;
    other.DBMS = host::g().photosqlca.DBMS;
    other.Database = host::g().photosqlca.Database;
    other.SearchPath = host::g().photosqlca.SearchPath;
    ASSERT_EQ(other.connect(), 0);
    other.execute(QStringLiteral("DELETE FROM th_sv_children WHERE hisid = ?"), {hisid});
    other.commit();
    op.answer(1);
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("这条历史记录已被其他操作员删除。"));
    EXPECT_FALSE(host::g().photosqlca.inTransaction()) << "rolled back";
    EXPECT_EQ(dw->DeletedCount(), 0) << "nothing is left for a later Update to send again";
    for (long r = 1; r <= dw->RowCount(); ++r)
        EXPECT_NE(dw->dataStore().GetItem(r, "hisid"), hisid) << "the row is gone from the grid as from history";
}

// A deletion that fails while the row is still in history (another operator holds the lock)
// shows the row again in its place, and the next deletion on the grid is not spoilt by it.
// DEL-04
TEST_F(DeletionTest, AFailedDeletionOfAnExistingRowShowsItAgainAndLeavesNothingBehind)
{
    click("p_children");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    ASSERT_GE(dw->RowCount(), 2);
    const long rows = dw->RowCount();
    const Value first = dw->dataStore().GetItem(1, "hisid");
    host::g().photosqlca.injectFault(lockedAt("DELETE"));
    dw->SetRow(1);
    op.answer(1);
    frame->ue_del(1);
    host::g().photosqlca.clearInjectedFaults();
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("删除失败!\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。")) << "the module's text, then why";
    EXPECT_EQ(dw->RowCount(), rows);
    EXPECT_EQ(dw->DeletedCount(), 0);
    EXPECT_EQ(dw->dataStore().GetItem(1, "hisid"), first) << "shown again in its place";
    // The next deletion deletes exactly its own row.
    dw->SetRow(2);
    const Value second = dw->dataStore().GetItem(2, "hisid");
    op.answer(1);
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 4);
    EXPECT_EQ(op.boxes[3].text, QString::fromUtf8("删除成功!"));
    QList<Value> n{Value::null(rt::ValueType::Long)};
    ASSERT_EQ(host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM th_sv_children WHERE hisid IN (?, ?)"),
                                              {first, second}, n), 0);
    EXPECT_EQ(n[0].longValue(), 1) << "the first row stays, the second is deleted";
}

TEST_F(DeletionTest, BatchRequestNeedsAHistorySheetAndOpensTheDialogByName)
{
    frame->ue_del(2);
    frame->ue_del(1);
    EXPECT_TRUE(op.boxes.isEmpty());
    EXPECT_TRUE(op.errors.isEmpty()) << "no history sheet: nothing at all";
    click("p_eldinfo");
    frame->ue_del(2);
    ASSERT_EQ(op.errors.size(), 1);
    EXPECT_TRUE(op.errors[0].contains(QStringLiteral("w_hisdelprompt")));
    frame->ue_del(7);
    EXPECT_TRUE(op.boxes.isEmpty());
}

// A COMMIT that fails (full disk, I/O error) is a failed deletion: rolled back, the grid as it
// was, the failure told; and the next try goes through.
struct CommitFailureCase
{
    const char *button;
    int answer;          // to the first question
    const char *message; // what the operator is told
    const char *table;   // the history table the row is in
};

inline void PrintTo(const CommitFailureCase &c, std::ostream *os)
{
    *os << c.table;
}


class DeletionCommitFailureTest : public ModuleFixture, public ::testing::WithParamInterface<CommitFailureCase>
{
};

// DEL-03
TEST_P(DeletionCommitFailureTest, NothingIsDeletedAndTheOperatorIsTold)
{
    const CommitFailureCase &c = GetParam();
    click(c.button);
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long rows = dw->RowCount(), stored = historyRows(QString::fromLatin1(c.table));
    dw->SetRow(2);
    const Value hisid = dw->dataStore().GetItem(2, "hisid");
    rt::InjectedFault fault;
    fault.on = rt::InjectedFault::On::Commit;
    host::g().photosqlca.injectFault(fault);
    op.answer(c.answer);
    frame->ue_del(1);
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].title, Title);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8(c.message));
    EXPECT_FALSE(host::g().photosqlca.inTransaction()) << "rolled back, not left open for a later commit";
    EXPECT_EQ(historyRows(QString::fromLatin1(c.table)), stored);
    EXPECT_EQ(dw->RowCount(), rows) << "the grid shows the row still there";
    EXPECT_EQ(dw->dataStore().GetItem(2, "hisid"), hisid) << "in its place";
    EXPECT_EQ(dw->GetRow(), 2);
    EXPECT_EQ(dw->DeletedCount(), 0);

    // The next try deletes; the grid loses every row the database lost (a procedure deletes
    // every snapshot of the household or the person).
    op.answer(c.answer);
    frame->ue_del(1);
    EXPECT_LT(historyRows(QString::fromLatin1(c.table)), stored) << "the next try deletes";
    EXPECT_EQ(dw->RowCount(), rows - (stored - historyRows(QString::fromLatin1(c.table))));
    EXPECT_FALSE(host::g().photosqlca.inTransaction());
}

INSTANTIATE_TEST_SUITE_P(Paths, DeletionCommitFailureTest,
                         ::testing::Values(CommitFailureCase{"p_eldinfo", 1, "删除失败!", "th_sv_elderinfo"},
                                           CommitFailureCase{"p_rprinfo", 2, "删除失败!", "th_ge_rpr"},
                                           CommitFailureCase{"p_rprinfo", 1, "删除户籍历史信息失败!", "th_ge_rpr"},
                                           CommitFailureCase{"p_personinfo", 1, "删除个人历史信息失败!",
                                                             "th_ge_personinfo"}),
                         [](const ::testing::TestParamInfo<CommitFailureCase> &info) {
                             return std::string(info.param.table) + "_answer" + std::to_string(info.param.answer);
                         });

// A procedure that meets another operator's lock says so under its own message.
// FIL-08, JRN-12
TEST_F(DeletionTest, AProcedureMeetingALockSaysWhy)
{
    click("p_personinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const QString personNo = dw->GetItemString(1, "PersonNo");
    rt::Transaction other(QStringLiteral("other_photosqlca")), otherLive(QStringLiteral("other_sqlca"));
    QString error;
    ASSERT_EQ(TestRegister::connect(dir->path(), otherLive, other, error), 0) << error.toStdString();
    // Another operator is deleting the same person's history and has not committed yet.
    ASSERT_EQ(other.execute(QStringLiteral("DELETE FROM th_ge_personinfo WHERE PersonNo = ?"), {personNo}), 0);
    dw->SetRow(1);
    op.answer(1);
    frame->ue_del(1);
    other.rollback();
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("删除个人历史信息失败!\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。"));
    EXPECT_FALSE(host::g().photosqlca.inTransaction());
}
