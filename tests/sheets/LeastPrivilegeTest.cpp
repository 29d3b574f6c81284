#include "RecoveryFixture.h"

#include "platform/core/SqlQuote.h"

#include <QFile>

// On the server the module works as an operator role granted no more than the admin guide's
// statements (scripts/operator-role.sql) give: browse, delete, recover, the procedures.
class LeastPrivilegeTest : public RecoveryFixture
{
protected:
    void SetUp() override
    {
        RecoveryFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!TestRegister::onServer())
            GTEST_SKIP() << "roles and grants are the server's";
        rt::Transaction &owner = host::g().sqlca;
        QString roleError;
        ASSERT_EQ(TestRegister::makeOperatorRole(owner, QStringLiteral("hm_clerk"), roleError), 0) << roleError.toStdString();
        host::g().sqlca.disconnect();
        host::g().photosqlca.disconnect();
        QString error;
        ASSERT_EQ(TestRegister::connectAs(QStringLiteral("hm_clerk"), host::g().sqlca, host::g().photosqlca, error), 0)
            << error.toStdString();
    }
};

// JRN-08, SRV-10, SRV-24
TEST_F(LeastPrivilegeTest, TheModuleWorksAsAnOperatorWithTheGrantedRightsAlone)
{
    QList<Value> who{Value::null(rt::ValueType::String)};
    ASSERT_EQ(host::g().photosqlca.selectInto(QStringLiteral("SELECT current_user"), {}, who), 0);
    ASSERT_EQ(who[0].string(), QStringLiteral("hm_clerk"));
    EXPECT_EQ(host::g().photosqlca.executeImmediate(QStringLiteral("DROP TABLE th_sv_children")), -1) << "no more than granted";
    host::g().photosqlca.rollback();

    // Browse and recover: a related record (new), a removed person's (the procedure), a live
    // household with its persons (replaced, the cascade).
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    EXPECT_GT(dw->RowCount(), 0);
    op.answer(1);
    recover(QString());
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 13"));
    op.answer(1);
    recover(QString());
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P6'")), 1) << "proc_JustifyDelPerson ran";
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    recover(QStringLiteral("2"));
    EXPECT_EQ(replaceQuestions, 1);
    // Delete: a row through the grid, a person through the procedure.
    dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 11"));
    op.answer(1);
    frame->ue_del(1);
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P2"));
    op.answer(1);
    frame->ue_del(1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P2'")), 0);
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << b.text.toStdString();
    EXPECT_TRUE(texts().contains(QString::fromUtf8("删除成功!"))) << texts().join(QLatin1Char('|')).toStdString();
    // The journal took the three recoveries and two deletions under the operator's role, and the
    // role can only add to it.
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM hm_journal WHERE operator = 'hm_clerk'")), 5);
    rt::Transaction &h = host::g().photosqlca;
    EXPECT_EQ(h.executeImmediate(QStringLiteral("UPDATE hm_journal SET outcome = 'x'")), -1) << "entries are never changed";
    h.rollback();
    EXPECT_EQ(h.executeImmediate(QStringLiteral("DELETE FROM hm_journal")), -1) << "nor deleted";
    h.rollback();
    EXPECT_EQ(h.executeImmediate(QStringLiteral("TRUNCATE hm_journal")), -1);
    h.rollback();
    EXPECT_EQ(h.executeImmediate(QStringLiteral("INSERT INTO hm_journal (operator, action, outcome) VALUES ('someone', 'x', 'y')")), -1)
        << "the operator of an entry is the server's to write";
    h.rollback();
}
