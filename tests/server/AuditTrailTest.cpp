#include "RecoveryFixture.h"

#include "host/PgSchema.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/Cursor.h"

// The server's audit trail as the register's owner sees it: every table of the register under
// it, every kind of change counted with its login, program and transaction, and an older
// register brought by the upgrade script to exactly what a new one is made with.
class AuditTrailTest : public RecoveryFixture
{
protected:
    void SetUp() override
    {
        RecoveryFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!TestRegister::onServer())
            GTEST_SKIP() << "the audit trail is the server's";
    }
    // The first column of each row of `sql` (as the owner), joined by "\n".
    QString rows(const QString &sql)
    {
        rt::Transaction &t = host::g().sqlca;
        rt::Cursor c(t, sql);
        EXPECT_EQ(c.open(), 0) << t.SQLErrText().toStdString();
        QStringList out;
        QList<Value> row{Value::null(rt::ValueType::String)};
        while (c.fetch(row) == 0)
            out << row[0].toText();
        c.close();
        return out.join(QLatin1Char('\n'));
    }
    // Everything the trail and the journal's stamping consist of, as the server describes it.
    QString shape()
    {
        return rows(QStringLiteral("SELECT tgrelid::regclass::text || ' ' || pg_get_triggerdef(oid) FROM pg_trigger "
                                   "WHERE NOT tgisinternal ORDER BY 1"))
               + QLatin1Char('\n')
               + rows(QStringLiteral("SELECT p.oid::regprocedure::text || ' ' || p.prosecdef || ' ' || coalesce(p.proconfig::text, '') "
                                     "|| ' ' || md5(p.prosrc) || ' ' || coalesce(p.proacl::text, '') FROM pg_proc p "
                                     "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname IN ('live', 'history') ORDER BY 1"))
               + QLatin1Char('\n')
               + rows(QStringLiteral("SELECT table_name || '.' || column_name || ' ' || data_type || ' ' || coalesce(column_default, '') "
                                     "FROM information_schema.columns WHERE table_schema = 'history' AND table_name IN "
                                     "('hm_journal', 'hm_audit') ORDER BY table_name, ordinal_position"))
               + QLatin1Char('\n')
               + rows(QStringLiteral("SELECT indexname FROM pg_indexes WHERE tablename IN ('hm_journal', 'hm_audit') ORDER BY 1"))
               + QLatin1Char('\n')
               + rows(QStringLiteral("SELECT relname || ' ' || coalesce(relacl::text, '') FROM pg_class WHERE relname IN "
                                     "('hm_journal', 'hm_audit') ORDER BY 1"));
    }
};

// SRV-26
TEST_F(AuditTrailTest, EveryTableOfTheCatalogueIsUnderTheTrail)
{
    QStringList tables{QStringLiteral("live.register_info"), QStringLiteral("history.register_info")};
    for (const host::TableDef &t : host::SchemaCatalogue::tables())
        tables << QStringLiteral("live.") + t.liveTable.toLower() << QStringLiteral("history.") + t.historyTable.toLower();
    for (const QString &table : tables) {
        EXPECT_EQ(rows(QStringLiteral("SELECT string_agg(tgname, ' ' ORDER BY tgname) FROM pg_trigger WHERE tgrelid = '%1'::regclass")
                           .arg(table)),
                  QStringLiteral("hm_audit_delete hm_audit_insert hm_audit_truncate hm_audit_update"))
            << table.toStdString();
    }
    // The journal is written through its own function only, and the trail by the triggers.
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgrelid IN ('history.hm_journal'::regclass, "
                                  "'history.hm_audit'::regclass)")),
              QStringLiteral("0"));
}

// SRV-26
TEST_F(AuditTrailTest, EachStatementIsCountedWithItsLoginProgramAndTransaction)
{
    rt::Transaction t(QStringLiteral("psql"));
    t.DBMS = QStringLiteral("PostgreSQL");
    t.Database = host::g().sqlca.Database + QStringLiteral(" application_name=psql");
    t.SearchPath = QStringLiteral("history");
    ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
    ASSERT_EQ(t.executeImmediate(QStringLiteral("TRUNCATE hm_audit")), 0);
    ASSERT_EQ(t.commit(), 0);
    const QStringList statements{
        QStringLiteral("INSERT INTO th_sv_children (orderno, personno, savetime) VALUES (1, 'A', now()), (2, 'B', now()), (3, 'C', now())"),
        QStringLiteral("UPDATE th_sv_children SET school = 'x' WHERE orderno IN (1, 2)"),
        QStringLiteral("DELETE FROM th_sv_children WHERE orderno = 3"),
        QStringLiteral("DELETE FROM th_sv_children WHERE orderno = 99"), // nothing: no row
        QStringLiteral("TRUNCATE th_sv_children"),                        // the two left and the seed's one
    };
    for (const QString &sql : statements)
        ASSERT_EQ(t.executeImmediate(sql) == -1, false) << sql.toStdString() << t.SQLErrText().toStdString();
    QList<Value> who{Value::null(rt::ValueType::String), Value::null(rt::ValueType::Long)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT session_user::text, txid_current()"), {}, who), 0);
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(rows(QStringLiteral("SELECT concat_ws(' ', table_name, operation, row_count, db_user = '%1', application_name, txid = %2) "
                                  "FROM history.hm_audit ORDER BY id")
                       .arg(who[0].string())
                       .arg(who[1].longValue()))
                  .toStdString(),
              "history.th_sv_children INSERT 3 t psql t\n"
              "history.th_sv_children UPDATE 2 t psql t\n"
              "history.th_sv_children DELETE 1 t psql t\n"
              "history.th_sv_children TRUNCATE 3 t psql t");
    // A change undone leaves nothing behind.
    ASSERT_EQ(t.executeImmediate(QStringLiteral("DELETE FROM th_ge_rpr")), 0);
    t.rollback();
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM history.hm_audit")).toStdString(), "4");
}

// A register made before the trail: no hm_audit, no triggers, a journal without db_user, txid
// and txat, entries inserted directly. It is refused at the start with the script to run; the
// script, run once or twice, leaves exactly what a new register is made with.
// SRV-26
TEST_F(AuditTrailTest, AnOlderRegisterIsBroughtToWhatANewOneHasAndTheScriptRunsAgain)
{
    rt::Transaction &owner = host::g().sqlca;
    const QString fresh = shape();
    ASSERT_TRUE(fresh.contains(QStringLiteral("hm_audit_delete"))) << fresh.toStdString();
    ASSERT_EQ(owner.executeImmediate(QStringLiteral("DROP FUNCTION history.hm_audit_rows() CASCADE; "
                                                    "DROP FUNCTION history.hm_audit_truncate() CASCADE; DROP TABLE history.hm_audit; "
                                                    "DROP FUNCTION history.hm_journal_add(text, text, text, text, text, text, text, text); "
                                                    "ALTER TABLE history.hm_journal DROP COLUMN db_user, DROP COLUMN txid, DROP COLUMN txat; "
                                                    "GRANT INSERT ON history.hm_journal TO PUBLIC")),
              0)
        << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.commit(), 0);
    const QString database = owner.Database;
    host::g().sqlca.disconnect();
    host::g().photosqlca.disconnect();
    QString error;
    EXPECT_EQ(TestRegister::connect(dir->path(), host::g().sqlca, host::g().photosqlca, error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("scripts/journal-upgrade.sql"))) << error.toStdString();
    owner.DBMS = QStringLiteral("PostgreSQL");
    owner.Database = database;
    ASSERT_EQ(owner.connect(), 0);
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(owner.executeImmediate(host::PgSchema::script(QStringLiteral("journal-upgrade.sql"))), 0)
            << run << owner.SQLErrText().toStdString();
        ASSERT_EQ(owner.commit(), 0);
        EXPECT_EQ(shape().toStdString(), fresh.toStdString()) << "after run " << run;
    }
    owner.disconnect();
    EXPECT_EQ(TestRegister::connect(dir->path(), host::g().sqlca, host::g().photosqlca, error), 0) << error.toStdString();
}
