#include "RegisterFixture.h"

#include "platform/core/DateTime.h"
#include "platform/core/DeclaredProcedure.h"

using rt::DeclaredProcedure;
using rt::Value;

namespace {
const QString RPR = QStringLiteral("th_ge_rpr");
const QString PERSON = QStringLiteral("th_ge_personinfo");
const QString ELDER = QStringLiteral("th_sv_elderinfo");
const QString COMPANY = QStringLiteral("th_ge_company");
const QString CHILDREN = QStringLiteral("th_sv_children");
const QString WOMAN = QStringLiteral("th_mh_AdultWomaninfo");
} // namespace

// Two households with history: R1 (persons P11, P12) and R2 (person P21), plus P31 whose
// household R3 has no household history at all.
class HostProceduresTest : public RegisterFixture
{
protected:
    void SetUp() override
    {
        RegisterFixture::SetUp();
        if (HasFatalFailure())
            return;
        history(RPR, QStringLiteral("RprNo"), QStringLiteral("R1"), QStringLiteral("2024-01-01 09:00:00"));
        history(RPR, QStringLiteral("RprNo"), QStringLiteral("R1"), QStringLiteral("2025-06-01 09:00:00"));
        history(RPR, QStringLiteral("RprNo"), QStringLiteral("R2"), QStringLiteral("2024-03-01 00:00:00"));
        person(QStringLiteral("P11"), QStringLiteral("R1"), QStringLiteral("2024-01-01 10:00:00"));
        person(QStringLiteral("P11"), QStringLiteral("R1"), QStringLiteral("2025-01-01 10:00:00"));
        person(QStringLiteral("P12"), QStringLiteral("R1"), QStringLiteral("2024-02-01 10:00:00"));
        person(QStringLiteral("P21"), QStringLiteral("R2"), QStringLiteral("2024-03-01 00:00:00"));
        person(QStringLiteral("P31"), QStringLiteral("R3"), QStringLiteral("2024-03-01 00:00:00"));
        related(ELDER, QStringLiteral("P11"), QStringLiteral("2024-01-01 11:00:00"));
        related(COMPANY, QStringLiteral("P12"), QStringLiteral("2024-02-01 11:00:00"));
        related(COMPANY, QStringLiteral("P12"), QStringLiteral("2025-07-01 11:00:00"));
        related(WOMAN, QStringLiteral("P12"), QStringLiteral("2024-02-02 11:00:00"));
        related(CHILDREN, QStringLiteral("P21"), QStringLiteral("2024-03-01 00:00:00.500000"));
        related(CHILDREN, QStringLiteral("P31"), QStringLiteral("2024-03-01 00:00:00"));
    }

    void person(const QString &no, const QString &rpr, const QString &saveTime, const QString &issave = QStringLiteral("1"))
    {
        history(PERSON, QStringLiteral("PersonNo"), no, saveTime, issave,
                {{QStringLiteral("RprNo"), rpr}, {QStringLiteral("personname"), QStringLiteral("姓名") + no}});
    }
    void related(const QString &table, const QString &no, const QString &saveTime)
    {
        history(table, QStringLiteral("personno"), no, saveTime);
    }
    std::int64_t rows(const QString &table, const QString &keyColumn, const QString &key)
    {
        return count(photosqlca, table, keyColumn + QStringLiteral(" = ?"), {key});
    }
    int scope(int flag, const Value &start, const Value &end)
    {
        DeclaredProcedure p(photosqlca, QStringLiteral("execute proc_DelRprScope @pi_flag = %1, @pd_start = :ldt_start, "
                                                       "@pd_end = :ldt_end")
                                            .arg(flag));
        const int rc = p.execute({{QStringLiteral("ldt_start"), start}, {QStringLiteral("ldt_end"), end}});
        p.close();
        return rc;
    }
};

TEST_F(HostProceduresTest, DelRprRemovesTheHouseholdItsPersonsAndTheirRelatedHistory)
{
    DeclaredProcedure tp_delrpr(photosqlca, QStringLiteral("proc_delrpr @s_rprno = :ls_rprno"));
    ASSERT_EQ(tp_delrpr.execute({{QStringLiteral("ls_rprno"), QStringLiteral("R1")}}), 0) << photosqlca.SQLErrText().toStdString();
    tp_delrpr.close();
    EXPECT_TRUE(photosqlca.inTransaction()) << "the caller commits";
    ASSERT_EQ(photosqlca.commit(), 0);
    EXPECT_EQ(rows(RPR, QStringLiteral("RprNo"), QStringLiteral("R1")), 0);
    EXPECT_EQ(rows(PERSON, QStringLiteral("RprNo"), QStringLiteral("R1")), 0);
    EXPECT_EQ(count(photosqlca, ELDER), 0);
    EXPECT_EQ(count(photosqlca, COMPANY), 0);
    EXPECT_EQ(count(photosqlca, WOMAN), 0);
    // Other households stay whole.
    EXPECT_EQ(rows(RPR, QStringLiteral("RprNo"), QStringLiteral("R2")), 1);
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P21")), 1);
    EXPECT_EQ(count(photosqlca, CHILDREN), 2);
}

TEST_F(HostProceduresTest, DelRprIsUndoneByTheCallersRollback)
{
    DeclaredProcedure tp_delrpr(photosqlca, QStringLiteral("proc_delrpr @s_rprno = :ls_rprno"));
    ASSERT_EQ(tp_delrpr.execute({{QStringLiteral("ls_rprno"), QStringLiteral("R1")}}), 0);
    ASSERT_EQ(photosqlca.rollback(), 0);
    EXPECT_EQ(rows(RPR, QStringLiteral("RprNo"), QStringLiteral("R1")), 2);
    EXPECT_EQ(count(photosqlca, COMPANY), 2);
}

// REC-23
TEST_F(HostProceduresTest, DelRprWithAQuoteInTheKeyTouchesNothingElse)
{
    DeclaredProcedure tp_delrpr(photosqlca, QStringLiteral("proc_delrpr @s_rprno = :ls_rprno"));
    EXPECT_EQ(tp_delrpr.execute({{QStringLiteral("ls_rprno"), QStringLiteral("R1' OR '1'='1")}}), 0);
    photosqlca.commit();
    EXPECT_EQ(count(photosqlca, RPR), 3);
    EXPECT_EQ(count(photosqlca, PERSON), 5);
}

TEST_F(HostProceduresTest, DelPersonRemovesThePersonAndAllTheirRelatedHistory)
{
    DeclaredProcedure tp_delperson(photosqlca, QStringLiteral("proc_delperson @s_personno = :ls_personno"));
    ASSERT_EQ(tp_delperson.execute({{QStringLiteral("ls_personno"), QStringLiteral("P12")}}), 0);
    photosqlca.commit();
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P12")), 0);
    EXPECT_EQ(count(photosqlca, COMPANY), 0);
    EXPECT_EQ(count(photosqlca, WOMAN), 0);
    // The household and the other person of it stay.
    EXPECT_EQ(rows(RPR, QStringLiteral("RprNo"), QStringLiteral("R1")), 2);
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P11")), 2);
    EXPECT_EQ(count(photosqlca, ELDER), 1);
}

// REC-22
TEST_F(HostProceduresTest, JustifyDelPersonRestoresARemovedPersonFromTheLatestSnapshot)
{
    person(QStringLiteral("P13"), QStringLiteral("R1"), QStringLiteral("2023-05-05 08:00:00"), QStringLiteral("1"));
    person(QStringLiteral("P13"), QStringLiteral("R1"), QStringLiteral("2025-05-05 08:00:00.250000"), QStringLiteral("6"));
    DeclaredProcedure dp_delperson(sqlca, QStringLiteral("proc_JustifyDelPerson @as_personno = :ls_personno"));
    ASSERT_EQ(dp_delperson.execute({{QStringLiteral("ls_personno"), QStringLiteral("P13")}}), 0) << sqlca.SQLErrText().toStdString();
    ASSERT_EQ(sqlca.commit(), 0);
    QList<Value> live{Value::null(rt::ValueType::String), Value::null(rt::ValueType::String), Value::null(rt::ValueType::String)};
    ASSERT_EQ(sqlca.selectInto(QStringLiteral("SELECT RprNo, personname, issave FROM ge_personinfo WHERE PersonNo = 'P13'"), {}, live), 0);
    EXPECT_EQ(live[0].string(), QStringLiteral("R1"));
    EXPECT_EQ(live[1].string(), QStringLiteral("姓名P13"));
    EXPECT_EQ(live[2].string(), QStringLiteral("0"));
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P13")), 2) << "history is untouched";

    // A second call finds the live row and does nothing.
    ASSERT_EQ(dp_delperson.execute({{QStringLiteral("ls_personno"), QStringLiteral("P13")}}), 0);
    sqlca.commit();
    EXPECT_EQ(count(sqlca, QStringLiteral("ge_personinfo")), 1);
}

TEST_F(HostProceduresTest, JustifyDelPersonLeavesPersonsWhoseLatestSnapshotIsNotRemoval)
{
    person(QStringLiteral("P14"), QStringLiteral("R1"), QStringLiteral("2023-05-05 08:00:00"), QStringLiteral("6"));
    person(QStringLiteral("P14"), QStringLiteral("R1"), QStringLiteral("2025-05-05 08:00:00"), QStringLiteral("1"));
    DeclaredProcedure dp_delperson(sqlca, QStringLiteral("proc_JustifyDelPerson @as_personno = :ls_personno"));
    for (const char *no : {"P14", "P11", "nobody"}) {
        EXPECT_EQ(dp_delperson.execute({{QStringLiteral("ls_personno"), QString::fromUtf8(no)}}), 0) << no;
    }
    sqlca.commit();
    EXPECT_EQ(count(sqlca, QStringLiteral("ge_personinfo")), 0);
}

TEST_F(HostProceduresTest, DelRprScopeAllTakesEveryHouseholdWithItsPersons)
{
    ASSERT_EQ(scope(1, Value(), Value()), 0) << photosqlca.SQLErrText().toStdString();
    photosqlca.commit();
    EXPECT_EQ(count(photosqlca, RPR), 0);
    EXPECT_EQ(count(photosqlca, PERSON), 1) << "P31's household has no household history";
    EXPECT_EQ(count(photosqlca, CHILDREN), 1);
    EXPECT_EQ(rows(CHILDREN, QStringLiteral("personno"), QStringLiteral("P31")), 1);
}

TEST_F(HostProceduresTest, DelRprScopeUpToACutOffKeepsLaterSnapshots)
{
    const Value cutOff(rt::DateTime(QDate(2024, 12, 31)));
    ASSERT_EQ(scope(2, cutOff, Value::null(rt::ValueType::DateTime)), 0) << photosqlca.SQLErrText().toStdString();
    photosqlca.commit();
    EXPECT_EQ(count(photosqlca, RPR), 1);
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P11")), 1);
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P12")), 0);
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P21")), 0);
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P31")), 1);
    EXPECT_EQ(count(photosqlca, COMPANY), 1) << "the 2025 company snapshot stays";
    EXPECT_EQ(count(photosqlca, ELDER), 0);
    EXPECT_EQ(count(photosqlca, WOMAN), 0);
}

TEST_F(HostProceduresTest, DelRprScopeRangeIncludesBothEndsToTheMicrosecond)
{
    const Value day(rt::DateTime(QDate(2024, 3, 1)));
    ASSERT_EQ(scope(3, day, day), 0);
    photosqlca.commit();
    EXPECT_EQ(rows(RPR, QStringLiteral("RprNo"), QStringLiteral("R2")), 0) << "saved exactly at 00:00:00";
    EXPECT_EQ(rows(PERSON, QStringLiteral("PersonNo"), QStringLiteral("P21")), 0);
    EXPECT_EQ(rows(CHILDREN, QStringLiteral("personno"), QStringLiteral("P21")), 1) << "saved half a second later";
    EXPECT_EQ(rows(RPR, QStringLiteral("RprNo"), QStringLiteral("R1")), 2);
}

TEST_F(HostProceduresTest, DelRprScopeRejectsBadArgumentsAndChangesNothing)
{
    EXPECT_EQ(scope(7, Value(), Value()), -1);
    EXPECT_FALSE(photosqlca.SQLErrText().isEmpty());
    EXPECT_EQ(scope(2, Value(QStringLiteral("2023-02-30")), Value()), -1);
    EXPECT_EQ(scope(2, Value::null(rt::ValueType::DateTime), Value()), 0) << "no cut-off: nothing in scope";
    photosqlca.commit();
    EXPECT_EQ(count(photosqlca, RPR), 3);
    EXPECT_EQ(count(photosqlca, PERSON), 5);
}

// REC-22
TEST_F(HostProceduresTest, JustifyDelPersonTakesTheLaterOfTwoSnapshotsSavedAtTheSameMoment)
{
    person(QStringLiteral("P15"), QStringLiteral("R1"), QStringLiteral("2025-05-05 08:00:00"), QStringLiteral("1"));
    person(QStringLiteral("P15"), QStringLiteral("R1"), QStringLiteral("2025-05-05 08:00:00"), QStringLiteral("6"));
    DeclaredProcedure dp(sqlca, QStringLiteral("proc_JustifyDelPerson @as_personno = :p"));
    ASSERT_EQ(dp.execute({{QStringLiteral("p"), QStringLiteral("P15")}}), 0);
    sqlca.commit();
    EXPECT_EQ(count(sqlca, QStringLiteral("ge_personinfo"), QStringLiteral("PersonNo = 'P15'")), 1)
        << "the snapshot written last (higher hisid) decides";
}

// SRV-03
TEST_F(HostProceduresTest, ProceduresLeaveOtherKeysAloneWhateverTheKeyHolds)
{
    for (const char *key : {"P1' OR '1'='1", "P1; DELETE FROM th_ge_company", "%", ""}) {
        DeclaredProcedure tp(photosqlca, QStringLiteral("proc_delperson @s_personno = :k"));
        EXPECT_EQ(tp.execute({{QStringLiteral("k"), QString::fromUtf8(key)}}), 0) << key;
    }
    photosqlca.commit();
    EXPECT_EQ(count(photosqlca, PERSON), 5);
    EXPECT_EQ(count(photosqlca, COMPANY), 2);
    DeclaredProcedure missing(photosqlca, QStringLiteral("proc_delperson"));
    EXPECT_EQ(missing.execute(), 0) << "no key: nothing matches";
    EXPECT_EQ(count(photosqlca, PERSON), 5);
}
