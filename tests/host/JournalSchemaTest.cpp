#include "RegisterFixture.h"

#include "TestRegister.h"
#include "host/JournalSchema.h"
#include "model/journal/Journal.h"
#include "host/PgSchema.h"
#include "platform/core/DeclaredProcedure.h"

#include <QFile>

// A register made before the maintenance journal: on the files it gets the journal when opened;
// on the server it is refused at the start, saying what to run, and opens once that has run.
using JournalSchemaTest = RegisterFixture;

// SRV-25 (every test of this suite)
// JRN-09
TEST_F(JournalSchemaTest, ARegisterWithoutTheJournalIsMendedOrRefusedWithWhatToRun)
{
    const bool server = TestRegister::onServer();
    rt::Transaction &owner = server ? sqlca : photosqlca;
    ASSERT_EQ(owner.executeImmediate(server ? QStringLiteral("DROP TABLE history.hm_journal") : QStringLiteral("DROP TABLE hm_journal")), 0)
        << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.commit(), 0);
    sqlca.disconnect();
    photosqlca.disconnect();
    QString error;
    if (!server) {
        ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
        EXPECT_EQ(count(photosqlca, host::JournalSchema::table()), 0) << "the journal is there again, empty";
        return;
    }
    EXPECT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("scripts/journal-upgrade.sql"))) << error.toStdString();
    // The journal's columns, their types and defaults, as the server describes them.
    const QString columnsSql = QStringLiteral("SELECT string_agg(column_name || ' ' || data_type || ' ' || coalesce(column_default, ''), "
                                              "', ' ORDER BY ordinal_position) FROM information_schema.columns "
                                              "WHERE table_schema = 'history' AND table_name = 'hm_journal'");
    // The owner runs the upgrade script; the register opens again, with the journal the module
    // makes for a new register.
    rt::Transaction setup{QStringLiteral("setup")};
    setup.DBMS = QStringLiteral("PostgreSQL");
    setup.Database = sqlca.Database;
    ASSERT_EQ(setup.connect(), 0) << setup.SQLErrText().toStdString();
    // As psql runs the file: with the audit script it includes.
    ASSERT_EQ(setup.executeImmediate(host::PgSchema::script(QStringLiteral("journal-upgrade.sql"))), 0)
        << setup.SQLErrText().toStdString();
    ASSERT_EQ(setup.commit(), 0);
    QList<rt::Value> columns{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(setup.selectInto(columnsSql,
                               {}, columns),
              0);
    setup.disconnect();
    ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
    // The same table as the register's own statement makes.
    ASSERT_EQ(sqlca.executeImmediate(QStringLiteral("DROP TABLE history.hm_journal")), 0);
    ASSERT_EQ(sqlca.executeImmediate(host::JournalSchema::createServerSql()), 0) << sqlca.SQLErrText().toStdString();
    ASSERT_EQ(sqlca.commit(), 0);
    QList<rt::Value> own{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(sqlca.selectInto(columnsSql,
                               {}, own),
              0);
    EXPECT_EQ(columns[0].string().toStdString(), own[0].string().toStdString());
}

// A procedure's counts are read in its transaction before it runs: another operator's change to
// those rows in between never leaves the entry counting other rows. On the server the deletion
// fails as a conflict (REPEATABLE READ); on the files the other operator's commit cannot pass the
// counted transaction's read lock and waits, then gives up, while the deletion takes what it
// counted.
// JRN-07
TEST_F(JournalSchemaTest, CountsAndTheProcedureSeeTheSameRows)
{
    const bool server = TestRegister::onServer();
    history(QStringLiteral("th_ge_personinfo"), QStringLiteral("PersonNo"), QStringLiteral("P1"), QStringLiteral("2020-01-01 00:00:00"));
    history(QStringLiteral("th_ge_personinfo"), QStringLiteral("PersonNo"), QStringLiteral("P1"), QStringLiteral("2021-01-01 00:00:00"));
    rt::Transaction other{QStringLiteral("other")}, otherLive{QStringLiteral("otherLive")};
    QString error;
    ASSERT_EQ(TestRegister::connect(dir.path(), otherLive, other, error), 0) << error.toStdString();
    other.BusyTimeoutMs = 300;
    ASSERT_EQ(other.connect(), 0) << other.SQLErrText().toStdString();

    ASSERT_EQ(model::Journal::beginCounted(photosqlca), 0) << photosqlca.SQLErrText().toStdString();
    const model::Journal::Counts counts = model::Journal::count(
        photosqlca, {{QStringLiteral("th_ge_personinfo"), QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?")}},
        rt::Value(QStringLiteral("P1")), error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(counts.value(0).second, 2);
    // Meanwhile the other operator deletes one of the rows counted.
    ASSERT_EQ(other.execute(QStringLiteral("DELETE FROM th_ge_personinfo WHERE PersonNo = ? AND SaveTime < ?"),
                            {rt::Value(QStringLiteral("P1")), rt::Value(QStringLiteral("2020-06-01 00:00:00"))}),
              0)
        << other.SQLErrText().toStdString();
    if (!server) {
        EXPECT_NE(other.commit(), 0) << "the other commit waits for the counted transaction, then gives up";
        EXPECT_TRUE(other.lockConflict()) << other.SQLErrText().toStdString();
        other.rollback();
        rt::DeclaredProcedure procedure(photosqlca, QStringLiteral("proc_delperson @s_personno = :k"));
        procedure.execute({{QStringLiteral("k"), rt::Value(QStringLiteral("P1"))}});
        EXPECT_EQ(photosqlca.SQLCode(), 0) << photosqlca.SQLErrText().toStdString();
        EXPECT_EQ(photosqlca.SQLNRows(), 2) << "the deletion takes exactly the rows it counted";
        procedure.close();
        ASSERT_EQ(photosqlca.commit(), 0);
        EXPECT_EQ(count(photosqlca, QStringLiteral("th_ge_personinfo")), 0);
        return;
    }
    ASSERT_EQ(other.commit(), 0);
    rt::DeclaredProcedure procedure(photosqlca, QStringLiteral("proc_delperson @s_personno = :k"));
    procedure.execute({{QStringLiteral("k"), rt::Value(QStringLiteral("P1"))}});
    EXPECT_EQ(photosqlca.SQLCode(), -1) << "the deletion would take 1 row where 2 were counted";
    EXPECT_TRUE(photosqlca.lockConflict()) << photosqlca.SQLErrText().toStdString();
    procedure.close();
    photosqlca.rollback();
    EXPECT_EQ(count(photosqlca, QStringLiteral("th_ge_personinfo")), 1);
}

// A server register made by an earlier histmaint: a journal whose entries carry no token, and a
// proc_JustifyDelPerson that takes a copy of a replaced state (issave 4) for the person's latest
// snapshot. It is refused at the start with the script to run; the script makes the register as
// a new one is made, both the journal and the procedure.
// JRN-09
TEST_F(JournalSchemaTest, AnOlderServerRegisterIsUpgradedByTheScriptToWhatANewOneHas)
{
    if (!TestRegister::onServer())
        GTEST_SKIP() << "files get the token column when opened (RegisterDatabasesTest)";
    const QString source = QStringLiteral("SELECT prosrc FROM pg_proc WHERE proname = 'proc_justifydelperson'");
    QList<rt::Value> fresh{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(sqlca.selectInto(source, {}, fresh), 0) << sqlca.SQLErrText().toStdString();
    ASSERT_TRUE(fresh[0].string().contains(QStringLiteral("<> '4'")));
    ASSERT_EQ(sqlca.executeImmediate(QStringLiteral(
                  "ALTER TABLE history.hm_journal DROP COLUMN token;"
                  "CREATE OR REPLACE FUNCTION live.proc_justifydelperson(as_personno varchar DEFAULT NULL) RETURNS integer "
                  "LANGUAGE plpgsql AS $$ BEGIN RETURN 0; END $$")),
              0)
        << sqlca.SQLErrText().toStdString();
    ASSERT_EQ(sqlca.commit(), 0);
    const QString database = sqlca.Database;
    sqlca.disconnect();
    photosqlca.disconnect();
    QString error;
    EXPECT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("scripts/journal-upgrade.sql"))) << error.toStdString();
    rt::Transaction owner{QStringLiteral("owner")};
    owner.DBMS = QStringLiteral("PostgreSQL");
    owner.Database = database;
    ASSERT_EQ(owner.connect(), 0) << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.executeImmediate(host::PgSchema::script(QStringLiteral("journal-upgrade.sql"))), 0)
        << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.commit(), 0);
    QList<rt::Value> upgraded{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(owner.selectInto(source, {}, upgraded), 0);
    EXPECT_EQ(upgraded[0].string().toStdString(), fresh[0].string().toStdString()) << "the script's procedure is a new register's";
    owner.disconnect();
    ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
}
