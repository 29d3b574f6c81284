#include "OperatorFixture.h"

#include "host/PgSchema.h"
#include "host/ui/Globals.h"
#include "model/maintenance/HistoryMaintenance.h"

#include <QMap>

// An operator role made by scripts/operator-role.sql can do what the module does and nothing
// else: what an administrator could do with psql as that role before (empty register_info,
// delete history through a procedure's neighbours, write journal entries of any kind, advance
// sequences) is refused by the server.
using OperatorRightsTest = OperatorFixture;

namespace {

// Parses "th_a 3，th_b 1" as Journal::countsText writes it.
QMap<QString, long long> counted(const QString &counts)
{
    QMap<QString, long long> out;
    for (const QString &part : counts.split(QString::fromUtf8("，"), Qt::SkipEmptyParts)) {
        const qsizetype space = part.lastIndexOf(QLatin1Char(' '));
        if (part.mid(space + 1).toLongLong() != 0)
            out[QStringLiteral("history.") + part.left(space).toLower()] += part.mid(space + 1).toLongLong();
    }
    return out;
}

} // namespace

// SRV-26 (every test of this suite)
// SRV-24, SRV-25
TEST_F(OperatorRightsTest, WhatTheModuleNeverDoesIsRefusedWithPermissionDenied)
{
    // Run again, as after an upgrade: the same rights, no more.
    QString error;
    ASSERT_EQ(TestRegister::makeOperatorRole(owner, role(), error), 0) << error.toStdString();
    rt::Transaction &t = host::g().photosqlca;
    const QStringList refused{
        // The register's identity, which the program checks at every start.
        QStringLiteral("DELETE FROM history.register_info"),
        QStringLiteral("DELETE FROM live.register_info"),
        QStringLiteral("UPDATE live.register_info SET value = 'history' WHERE key = 'role'"),
        QStringLiteral("INSERT INTO history.register_info (key, value) VALUES ('x', 'y')"),
        QStringLiteral("TRUNCATE history.register_info"),
        // The journal: entries only through history.hm_journal_add, never changed.
        QStringLiteral("INSERT INTO history.hm_journal (login, action, outcome) VALUES ('x', '删除', '成功')"),
        QStringLiteral("UPDATE history.hm_journal SET outcome = '失败'"),
        QStringLiteral("DELETE FROM history.hm_journal"),
        QStringLiteral("TRUNCATE history.hm_journal"),
        QStringLiteral("SELECT nextval(pg_get_serial_sequence('history.hm_journal', 'id'))"),
        QStringLiteral("SELECT setval(pg_get_serial_sequence('history.hm_journal', 'id'), 1000)"),
        // The trail: read only.
        QStringLiteral("INSERT INTO history.hm_audit (table_name, operation, row_count) VALUES ('x', 'DELETE', 1)"),
        QStringLiteral("UPDATE history.hm_audit SET row_count = 0"),
        QStringLiteral("DELETE FROM history.hm_audit"),
        QStringLiteral("TRUNCATE history.hm_audit"),
        QStringLiteral("SELECT history.hm_audit_rows()"),
        // What the module never does to the register's tables.
        QStringLiteral("DELETE FROM live.ge_personinfo"),
        QStringLiteral("UPDATE history.th_ge_rpr SET hostname = 'x'"),
        QStringLiteral("TRUNCATE history.th_sv_elderinfo"),
        QStringLiteral("SELECT nextval(pg_get_serial_sequence('history.th_ge_rpr', 'hisid'))"),
        QStringLiteral("SELECT nextval(pg_get_serial_sequence('live.ge_company', 'orderno'))"),
        // Nothing of its own in the register's database.
        QStringLiteral("CREATE TABLE history.mine (i integer)"),
        QStringLiteral("CREATE TABLE public.mine (i integer)"),
        QStringLiteral("CREATE TEMP TABLE mine (i integer)"),
        QStringLiteral("CREATE FUNCTION history.mine() RETURNS integer LANGUAGE sql AS 'SELECT 1'"),
    };
    for (const QString &sql : refused) {
        EXPECT_EQ(t.executeImmediate(sql), -1) << sql.toStdString();
        EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("SQLSTATE 42501"))) << sql.toStdString() << ": "
                                                                              << t.SQLErrText().toStdString();
        t.rollback();
    }
    // What it reads stays readable: the register's identity, the journal and the trail.
    for (const QString &table : {QStringLiteral("live.register_info"), QStringLiteral("history.register_info"),
                                 QStringLiteral("history.hm_journal"), QStringLiteral("history.hm_audit")})
        EXPECT_EQ(t.executeImmediate(QStringLiteral("SELECT count(*) FROM %1").arg(table)), 0) << t.SQLErrText().toStdString();
    // An entry it adds itself is stamped with its login and transaction, whatever it says.
    QList<Value> id{Value::null(rt::ValueType::Long)};
    ASSERT_EQ(t.beginWrite(), true);
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT history.hm_journal_add('root', '删除', '户籍信息', 'R2', '', '成功', '', 'tok')"), {}, id),
              0)
        << t.SQLErrText().toStdString();
    QList<Value> txid{Value::null(rt::ValueType::Long)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT txid_current()"), {}, txid), 0);
    ASSERT_EQ(t.commit(), 0);
    const QList<Entry> entries = journal();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].operatorName, role());
    EXPECT_EQ(entries[0].dbUser, role());
    EXPECT_EQ(entries[0].txid, txid[0].longValue());
}

// The module's own work as the operator: a row deleted in the grid, a person with the related
// history (proc_delperson), a 批量删除 by dates, a recovery. Each entry is stamped by the server
// and the trail's rows of its transaction show exactly the history rows it counts.
// SRV-24, SRV-25
TEST_F(OperatorRightsTest, TheModulesWorkSucceedsAndItsAuditMatchesEachEntry)
{
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 11"));
    op.answer(1);
    frame->ue_del(1);
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P2"));
    op.answer(1);
    frame->ue_del(1);
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    op.answer(1);
    recover(QString());
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    batchByDates(QStringLiteral("2024-01-01"), QStringLiteral("2024-01-31"));
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << b.text.toStdString();

    const QList<Entry> entries = journal();
    ASSERT_EQ(entries.size(), 4) << "two deletions, a recovery, a batch";
    QSet<long long> transactions;
    for (const Entry &e : entries) {
        SCOPED_TRACE(e.action.toStdString() + " " + e.counts.toStdString());
        EXPECT_EQ(e.operatorName, role());
        EXPECT_EQ(e.dbUser, role());
        ASSERT_NE(e.txid, 0);
        transactions << e.txid;
        QMap<QString, long long> deleted;
        for (const AuditRow &a : audit(QStringLiteral("txid = %1").arg(e.txid))) {
            EXPECT_EQ(a.dbUser, role());
            if (a.table.startsWith(QStringLiteral("history.")) && a.operation == QLatin1String("DELETE"))
                deleted[a.table] += a.rows;
        }
        EXPECT_FALSE(deleted.isEmpty());
        EXPECT_EQ(deleted, counted(e.counts));
    }
    EXPECT_EQ(transactions.size(), 4) << "each change a transaction of its own";
    // The recovery also put the record into the live register.
    EXPECT_EQ(audit(QStringLiteral("table_name = 'live.sv_elderinfo' AND operation = 'INSERT' AND row_count = 1")).size(), 1);
    EXPECT_EQ(audit(QStringLiteral("txid NOT IN (SELECT txid FROM history.hm_journal WHERE txid IS NOT NULL)")).size(), 0)
        << "nothing the journal does not explain";
}

// Giving space back after a large deletion: VACUUM of a table the operator does not own only
// warns on the server and succeeds, so it is not run and not said done; the words say who can.
// MNT-08
TEST_F(OperatorRightsTest, SpaceIsNotSaidGivenBackWhereTheRoleMayNotVacuum)
{
    model::HistoryMaintenance m(host::g().sqlca, host::g().photosqlca);
    model::HistoryMaintenance::RunResult result;
    ASSERT_EQ(m.compact({{{QStringLiteral("th_ge_personinfo"), 11}, 100}}, result), 0) << result.error.toStdString();
    EXPECT_FALSE(result.compacted);
    EXPECT_TRUE(result.compactText.contains(QString::fromUtf8("th_ge_personinfo 未整理空间"))) << result.compactText.toStdString();
    EXPECT_FALSE(result.compactText.contains(QString::fromUtf8("已对"))) << result.compactText.toStdString();
}
