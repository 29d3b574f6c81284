#include "RegisterFixture.h"

#include "TestRegister.h"
#include "host/Journal.h"

#include <QFile>

// A register made before the maintenance journal: on the files it gets the journal when opened;
// on the server it is refused at the start, saying what to run, and opens once that has run.
using JournalSchemaTest = RegisterFixture;

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
        EXPECT_EQ(count(photosqlca, host::Journal::table()), 0) << "the journal is there again, empty";
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
    QFile script(QStringLiteral(HM_SOURCE_DIR "/scripts/journal-upgrade.sql"));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    ASSERT_EQ(setup.executeImmediate(QString::fromUtf8(script.readAll())), 0) << setup.SQLErrText().toStdString();
    ASSERT_EQ(setup.commit(), 0);
    QList<rt::Value> columns{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(setup.selectInto(columnsSql,
                               {}, columns),
              0);
    setup.disconnect();
    ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
    // The same table as the register's own statement makes.
    ASSERT_EQ(sqlca.executeImmediate(QStringLiteral("DROP TABLE history.hm_journal")), 0);
    ASSERT_EQ(sqlca.executeImmediate(host::Journal::createServerSql()), 0) << sqlca.SQLErrText().toStdString();
    ASSERT_EQ(sqlca.commit(), 0);
    QList<rt::Value> own{rt::Value::null(rt::ValueType::String)};
    ASSERT_EQ(sqlca.selectInto(columnsSql,
                               {}, own),
              0);
    EXPECT_EQ(columns[0].string().toStdString(), own[0].string().toStdString());
}
