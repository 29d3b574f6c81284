#include "RecoveryFixture.h"

// Recovery moves records between two files without a transaction spanning both. Whatever
// statement or COMMIT fails, no record may end up in neither file, none may be written twice,
// every transaction is ended, and what the operator is told matches what happened.
struct FaultScenario
{
    const char *name;
    const char *button;
    const char *where;  // the row to recover: a condition on the grid's history table
    const char *table;  // that table
    const char *answer; // the prompt's answer, or "" for a related record (confirmed)
};

inline void PrintTo(const FaultScenario &c, std::ostream *os)
{
    *os << c.name;
}


class RecoveryFaultTest : public RecoveryFixture, public ::testing::WithParamInterface<FaultScenario>
{
protected:
    // Beside the recovery fixture's rows, records that are live and have history, so that the
    // replacements run too: P7 and P8 live persons of R2, P7's and P8's elderly records and P3's
    // other information live, and an earlier state of P8's elderly record in history.
    void SetUp() override
    {
        RecoveryFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        for (const auto &[t, sql] :
             {std::pair{&host::g().sqlca, "INSERT INTO ge_personinfo (PersonNo, RprNo, personname, issave) VALUES "
                                          "('P7', 'R2', '钱七', '0'), ('P8', 'R2', '孙八', '0')"},
              std::pair{&host::g().sqlca, "INSERT INTO sv_elderinfo (personno, health, issave) VALUES ('P7', '一般', '0')"},
              std::pair{&host::g().sqlca, "INSERT INTO ge_personotherinfo (orderno, personno, bloodtype, issave) VALUES (1, 'P3', 'A', '0')"},
              std::pair{&host::g().photosqlca, "INSERT INTO th_sv_elderinfo (orderno, personno, health, pension, issave, SaveTime) "
                                               "VALUES (99, 'P8', '较差', '10.00', '1', '2023-01-01 00:00:00')"}}) {
            ASSERT_EQ(t->executeImmediate(QString::fromUtf8(sql)), 0) << t->SQLErrText().toStdString();
            ASSERT_EQ(t->commit(), 0);
        }
    }

    // Every record of the seed, each somewhere: (live query, history query), both counting.
    struct Record
    {
        const char *what, *live, *history;
        // A scenario that removes this state by design: the household cascade deletes the
        // household's person history of the persons that have a live row.
        const char *removedBy = "";
    };
    static const std::vector<Record> &records()
    {
        static const std::vector<Record> all{
            {"household R'1", "SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'", "SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R''1'"},
            {"person P1", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P1'", "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P1'"},
            {"person P2", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P2'", "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P2'"},
            {"person P3", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P3'", "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P3'"},
            {"person P6", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P6'", "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P6'"},
            {"company P1", "SELECT count(*) FROM ge_company WHERE personno = 'P1'", "SELECT count(*) FROM th_ge_company WHERE personno = 'P1'"},
            {"elderly P1 newer", "SELECT count(*) FROM sv_elderinfo WHERE personno = 'P1' AND pension = '200.75'",
             "SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 12"},
            {"elderly P1 older", "SELECT 0", "SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 11"},
            {"elderly P6", "SELECT count(*) FROM sv_elderinfo WHERE personno = 'P6'", "SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 13"},
            {"migrant P2", "SELECT count(*) FROM ge_foreignorregistry WHERE personno = 'P2'",
             "SELECT count(*) FROM th_ge_foreignorregistry WHERE personno = 'P2'"},
            {"children P2", "SELECT count(*) FROM sv_children WHERE personno = 'P2'", "SELECT count(*) FROM th_sv_children WHERE personno = 'P2'"},
            {"other P3 snapshot", "SELECT count(*) FROM ge_personotherinfo WHERE personno = 'P3' AND bloodtype = 'O'",
             "SELECT count(*) FROM th_ge_personotherinfo WHERE personno = 'P3' AND bloodtype = 'O'"},
            // Records that are live: each state, the present one and the snapshot, somewhere.
            {"other P3 present", "SELECT count(*) FROM ge_personotherinfo WHERE personno = 'P3' AND bloodtype = 'A'",
             "SELECT count(*) FROM th_ge_personotherinfo WHERE personno = 'P3' AND bloodtype = 'A'"},
            {"household R2 present", "SELECT count(*) FROM ge_rpr WHERE RprNo = 'R2' AND address IS NULL",
             "SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND address IS NULL"},
            {"household R2 snapshot", "SELECT count(*) FROM ge_rpr WHERE RprNo = 'R2' AND address IS NOT NULL",
             "SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND address IS NOT NULL"},
            {"person P3 present", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P3' AND birthday IS NULL",
             "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P3' AND birthday IS NULL"},
            {"person P3 snapshot", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P3' AND birthday IS NOT NULL",
             "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P3' AND birthday IS NOT NULL", "HouseholdCascade"},
            {"person P7", "SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P7'", "SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P7'"},
            {"elderly P7 present", "SELECT count(*) FROM sv_elderinfo WHERE personno = 'P7' AND health = '一般'",
             "SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P7' AND health = '一般'"},
            {"elderly P7 snapshot", "SELECT count(*) FROM sv_elderinfo WHERE personno = 'P7' AND health = '良好'",
             "SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P7' AND health = '良好'"},
            {"elderly P8 present", "SELECT count(*) FROM sv_elderinfo WHERE personno = 'P8' AND health = '良好'",
             "SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P8' AND health = '良好'"},
            {"elderly P8 snapshot", "SELECT count(*) FROM sv_elderinfo WHERE personno = 'P8' AND health = '较差'",
             "SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P8' AND health = '较差'"},
        };
        return all;
    }

    void selectRow()
    {
        const FaultScenario &s = GetParam();
        gridAtHisid(s.button, QString::fromLatin1(s.table), QString::fromUtf8(s.where));
    }

    void run()
    {
        const FaultScenario &s = GetParam();
        if (QString::fromLatin1(s.answer).isEmpty())
            op.answer(1); // 确认要恢复吗? Yes (a live record is asked with the replace question, 替换)
        recover(QString::fromLatin1(s.answer));
    }

    void expectNothingLost(const std::string &context)
    {
        for (const Record &r : records()) {
            const long inLive = live(QString::fromUtf8(r.live)), inHistory = history(QString::fromUtf8(r.history));
            if (std::string(r.removedBy) != GetParam().name) {
                EXPECT_GE(inLive + inHistory, 1) << r.what << " is in neither file; " << context;
            }
            EXPECT_LE(inLive, 1) << r.what << " written twice; " << context;
        }
        EXPECT_FALSE(host::g().sqlca.inTransaction()) << context;
        EXPECT_FALSE(host::g().photosqlca.inTransaction()) << context;
    }

    static bool isWrite(const QString &sql)
    {
        const QString s = sql.trimmed().toLower();
        return s == QLatin1String("commit") || s.startsWith(QLatin1String("insert")) || s.startsWith(QLatin1String("update"))
               || s.startsWith(QLatin1String("delete")) || s.startsWith(QLatin1String("execute"));
    }
};

// REC-03, REC-04
TEST_P(RecoveryFaultTest, NoRecordIsLostWhateverFails)
{
    // A clean run first: it must do its work, and it tells how many statements and commits
    // each connection runs.
    selectRow();
    rt::Transaction *connections[] = {&host::g().sqlca, &host::g().photosqlca};
    int statements[2], commits[2];
    for (int c = 0; c < 2; ++c) {
        statements[c] = connections[c]->statementsRun();
        commits[c] = connections[c]->commitsRun();
    }
    run();
    for (int c = 0; c < 2; ++c) {
        statements[c] = connections[c]->statementsRun() - statements[c];
        commits[c] = connections[c]->commitsRun() - commits[c];
    }
    expectNothingLost("clean run");
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << b.text.toStdString();
    ASSERT_GT(statements[0] + statements[1], 0);

    int runs = 0;
    for (int c = 0; c < 2; ++c) {
        for (const rt::InjectedFault::On on : {rt::InjectedFault::On::Statement, rt::InjectedFault::On::Commit}) {
            const int n = on == rt::InjectedFault::On::Statement ? statements[c] : commits[c];
            for (int nth = 1; nth <= n; ++nth) {
                TearDown();
                SetUp();
                selectRow();
                rt::InjectedFault fault;
                fault.on = on;
                fault.nth = nth;
                connections[c]->injectFault(fault);
                run();
                ++runs;
                const bool fired = connections[c]->injectedFaultsPending() == 0;
                connections[c]->clearInjectedFaults();
                const std::string context = connections[c]->name().toStdString() + " "
                                            + (on == rt::InjectedFault::On::Commit ? "commit " : "statement ")
                                            + std::to_string(nth) + ": " + connections[c]->lastInjectedFault().toStdString();
                expectNothingLost(context);
                bool failureTold = false;
                for (const auto &b : op.boxes)
                    failureTold = failureTold || b.text.contains(QString::fromUtf8("失败"));
                if (fired && isWrite(connections[c]->lastInjectedFault())) {
                    EXPECT_TRUE(failureTold) << "a failed write must be told; " << context;
                }
                if (!fired) {
                    EXPECT_FALSE(failureTold) << context;
                }
                if (HasFailure())
                    return;
            }
        }
    }
    EXPECT_GT(runs, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RecoveryFaultTest,
    ::testing::Values(FaultScenario{"HouseholdCascade", "p_rprinfo", "RprNo = 'R''1' AND issave = '5'", "th_ge_rpr", "2"},
                      FaultScenario{"PersonCascade", "p_personinfo", "PersonNo = 'P1' AND SaveTime = '2024-06-01 10:00:00'",
                                    "th_ge_personinfo", "2"},
                      FaultScenario{"RelatedRecord", "p_eldinfo", "orderno = 12", "th_sv_elderinfo", ""},
                      FaultScenario{"RelatedRecordOfARemovedPerson", "p_eldinfo", "orderno = 13", "th_sv_elderinfo", ""},
                      // Over live records: the record itself replaced, and the cascades' replacements.
                      FaultScenario{"LiveHouseholdWithItsPersons", "p_rprinfo", "RprNo = 'R2'", "th_ge_rpr", "2"},
                      FaultScenario{"LivePersonWithItsRelatedRecords", "p_personinfo", "PersonNo = 'P3'", "th_ge_personinfo", "2"},
                      FaultScenario{"LiveRelatedRecord", "p_eldinfo", "orderno = 99", "th_sv_elderinfo", ""}),
    [](const ::testing::TestParamInfo<FaultScenario> &info) { return std::string(info.param.name); });
