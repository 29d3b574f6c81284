#include "TempDb.h"

#include "platform/core/Cursor.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include "FaultVfs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <chrono>
#include <thread>

using namespace rt;

class TransactionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.Database = db.path(QStringLiteral("a.db"));
        t.AutoCreate = true;
        ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
        ASSERT_EQ(t.executeImmediate(QStringLiteral(
                      "CREATE TABLE person (no VARCHAR(10) PRIMARY KEY, name VARCHAR(20), amount DECIMAL_TEXT(18,2), "
                      "saved DATETIME, born DATE, at TIME, n INTEGER, x REAL)")),
                  0);
        ASSERT_EQ(t.commit(), 0);
    }

    int count(Transaction &on)
    {
        QList<Value> n{Value::null(ValueType::Long)};
        on.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n);
        return int(n[0].longValue());
    }

    TempDb db;
    Transaction t{QStringLiteral("sqlca")};
};

TEST_F(TransactionTest, SqlCodesOfEmbeddedStatements)
{
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, name) VALUES (?, ?)"), {QStringLiteral("1"), QStringLiteral("王伟")}), 0);
    EXPECT_EQ(t.SQLNRows(), 1);
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, name) VALUES (?, ?)"), {QStringLiteral("2"), QStringLiteral("李娜")}), 0);

    QList<Value> into{Value::null(ValueType::String)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = ?"), {QStringLiteral("1")}, into), 0);
    EXPECT_EQ(into[0].string(), QStringLiteral("王伟"));

    into = {Value(QStringLiteral("unchanged"))};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = ?"), {QStringLiteral("9")}, into), 100);
    EXPECT_EQ(into[0].string(), QStringLiteral("unchanged"));

    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person"), {}, into), -1);
    EXPECT_FALSE(t.SQLErrText().isEmpty());
    EXPECT_EQ(into[0].string(), QStringLiteral("unchanged"));

    EXPECT_EQ(t.execute(QStringLiteral("DELETE FROM person WHERE no = ?"), {QStringLiteral("9")}), 100);
    EXPECT_EQ(t.execute(QStringLiteral("UPDATE person SET name = 'x' WHERE no = ?"), {QStringLiteral("9")}), 100);
    EXPECT_EQ(t.executeImmediate(QStringLiteral("DELETE FROM person WHERE no = '9'")), 100);
    EXPECT_EQ(t.executeImmediate(QStringLiteral("DELETE FROM person WHERE no = '2'")), 0);
    EXPECT_EQ(t.SQLNRows(), 1);

    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES (?)"), {QStringLiteral("1")}), -1)
        << "a duplicate key is an error";
    EXPECT_NE(t.SQLDBCode(), 0);
    EXPECT_EQ(t.executeImmediate(QStringLiteral("SELECT * FROM no_such_table")), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("no_such_table")));
    EXPECT_EQ(t.executeImmediate(QStringLiteral("   ")), -1);
    EXPECT_EQ(t.execute(QStringLiteral("DELETE FROM person; DELETE FROM person")), -1) << "one statement only";
}

TEST_F(TransactionTest, CursorFetchesUntilOneHundred)
{
    for (int i = 1; i <= 3; ++i)
        t.execute(QStringLiteral("INSERT INTO person (no, name, n) VALUES (?, ?, ?)"), {QString::number(i), QStringLiteral("张%1").arg(i), i});
    t.commit();
    Cursor cur(t, QStringLiteral("SELECT name, n FROM person WHERE n >= ? ORDER BY n"));
    QList<Value> row{Value::null(ValueType::String), Value::null(ValueType::Long)};
    EXPECT_EQ(cur.fetch(row), -1) << "not open yet";
    ASSERT_EQ(cur.open({2}), 0);
    QStringList names;
    while (cur.fetch(row) == 0)
        names << row[0].string();
    EXPECT_EQ(t.SQLCode(), 100);
    EXPECT_EQ(names, QStringList({QStringLiteral("张2"), QStringLiteral("张3")}));
    // A cursor that reached its end stays there: it must not start over at the first row.
    EXPECT_EQ(cur.fetch(row), 100);
    EXPECT_EQ(cur.fetch(row), 100);
    EXPECT_EQ(t.SQLCode(), 100);
    EXPECT_EQ(cur.close(), 0);
    EXPECT_EQ(cur.close(), -1);
    ASSERT_EQ(cur.open({3}), 0) << "reopened, it reads again";
    EXPECT_EQ(cur.fetch(row), 0);
    EXPECT_EQ(row[0].string(), QStringLiteral("张3"));
    EXPECT_EQ(cur.fetch(row), 100);
    cur.close();
    Cursor bad(t, QStringLiteral("SELECT nothing FROM nowhere"));
    EXPECT_EQ(bad.open(), -1);
}

TEST_F(TransactionTest, ManualCommitNothingCommitsByItself)
{
    EXPECT_FALSE(t.inTransaction());
    t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('a')"));
    EXPECT_TRUE(t.inTransaction());
    EXPECT_EQ(t.rollback(), 0);
    EXPECT_FALSE(t.inTransaction());
    EXPECT_EQ(count(t), 0);

    t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('b')"));
    Transaction other(QStringLiteral("other"));
    other.Database = t.Database;
    ASSERT_EQ(other.connect(), 0);
    EXPECT_EQ(count(other), 0) << "uncommitted work is invisible to another connection";
    // Disconnecting drops uncommitted work rather than committing it.
    t.disconnect();
    EXPECT_EQ(count(other), 0);
    ASSERT_EQ(t.connect(), 0);
    t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('c')"));
    t.commit();
    EXPECT_EQ(count(other), 1);
    // A read does not open a transaction.
    count(t);
    EXPECT_FALSE(t.inTransaction());
}

// FIL-05
TEST_F(TransactionTest, LockHeldByOneConnectionIsReportedToTheOther)
{
    Transaction other(QStringLiteral("photosqlca"));
    other.Database = t.Database;
    other.BusyTimeoutMs = 200;
    ASSERT_EQ(other.connect(), 0);
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('held')")), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(other.execute(QStringLiteral("INSERT INTO person (no) VALUES ('blocked')")), -1);
    EXPECT_LT(timer.elapsed(), 5000) << "a lock must not hang the caller";
    EXPECT_TRUE(other.SQLErrText().contains(QStringLiteral("locked"))) << other.SQLErrText().toStdString();
    EXPECT_EQ(other.rollback(), 0);
    // Reading still works while the other connection writes, until it commits.
    EXPECT_EQ(count(other), 0);
    t.commit();
    EXPECT_EQ(other.execute(QStringLiteral("INSERT INTO person (no) VALUES ('next')")), 0);
    EXPECT_EQ(other.commit(), 0);
    EXPECT_EQ(count(t), 2);
}

// With a rollback journal a COMMIT waits until no reader is in the file. A reader's long read (a
// grid's total counted on a large table) is waited out, past the busy timeout that a statement
// meeting another writer's lock gives up after.
// FIL-05
TEST_F(TransactionTest, ACommitWaitsForAReaderLongerThanAStatementWaitsForALock)
{
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('a'), ('b')")), 0);
    ASSERT_EQ(t.commit(), 0);
    Transaction reader(QStringLiteral("count"));
    reader.Database = t.Database;
    ASSERT_EQ(reader.connect(), 0);
    Cursor reading(reader, QStringLiteral("SELECT no FROM person"));
    ASSERT_EQ(reading.open(), 0);
    QList<Value> row{Value::null(ValueType::String)};
    ASSERT_EQ(reading.fetch(row), 0); // in the middle of its read
    t.BusyTimeoutMs = 200;
    ASSERT_EQ(t.connect(), 0);
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('c')")), 0) << "writing while a reader reads";
    std::thread done([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        reading.close();
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(t.commit(), 0) << t.SQLErrText().toStdString();
    EXPECT_GE(timer.elapsed(), 500) << "it waited for the reader";
    done.join();
    EXPECT_EQ(count(t), 3);
}

TEST_F(TransactionTest, ExactDecimalsAndDatetimesRoundTrip)
{
    const DateTime saved(QDate(2024, 5, 6), Time(7, 8, 9, 123456));
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, amount, saved, born, at, n, x) VALUES (?,?,?,?,?,?,?)"),
                        {QStringLiteral("1"), Decimal(1234567, 2), saved, QDate(1990, 2, 28), Time(23, 0, 1), 7, 2.5}),
              0);
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, amount) VALUES (?, ?)"),
                        {QStringLiteral("2"), *Decimal::parse(QStringLiteral("-0.05"))}),
              0);
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, amount) VALUES (?, ?)"),
                        {QStringLiteral("3"), *Decimal::parse(QStringLiteral("1.10"))}),
              0);
    t.commit();
    QList<Value> row{Value::null(ValueType::Decimal), Value::null(ValueType::DateTime), Value::null(ValueType::Date),
                     Value::null(ValueType::Time), Value::null(ValueType::Long), Value::null(ValueType::Number)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT amount, saved, born, at, n, x FROM person WHERE no = '1'"), {}, row), 0);
    EXPECT_EQ(row[0].toText(), QStringLiteral("12345.67"));
    EXPECT_EQ(row[1].dateTime(), saved);
    EXPECT_EQ(row[2].date(), QDate(1990, 2, 28));
    EXPECT_EQ(row[3].time(), Time(23, 0, 1));
    EXPECT_EQ(row[4].longValue(), 7);
    EXPECT_DOUBLE_EQ(row[5].number(), 2.5);
    QList<Value> amount{Value::null(ValueType::Decimal)};
    t.selectInto(QStringLiteral("SELECT amount FROM person WHERE no = '2'"), {}, amount);
    EXPECT_EQ(amount[0].toText(), QStringLiteral("-0.05"));
    t.selectInto(QStringLiteral("SELECT amount FROM person WHERE no = '3'"), {}, amount);
    EXPECT_EQ(amount[0].toText(), QStringLiteral("1.10"));

    // A full-precision literal written by the program finds the stored row.
    QList<Value> no{Value::null(ValueType::String)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT no FROM person WHERE saved = %1").arg(sqlLiteral(Value(saved))), {}, no), 0);
    EXPECT_EQ(no[0].string(), QStringLiteral("1"));
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT no FROM person WHERE saved = ?"), {Value(saved)}, no), 0);
    // The maximum of the stored texts is the latest time.
    QList<Value> latest{Value::null(ValueType::DateTime)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT max(saved) FROM person"), {}, latest), 0);
    EXPECT_EQ(latest[0].dateTime(), saved);
}

class QuotingTest : public TransactionTest, public ::testing::WithParamInterface<const char *>
{
};

// REC-23
TEST_P(QuotingTest, HostileKeysSelectExactlyThemselves)
{
    const QString key = QString::fromUtf8(GetParam());
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, name) VALUES (?, 'bound')"), {key}), 0);
    ASSERT_EQ(t.executeImmediate(QStringLiteral("INSERT INTO person (no, name) VALUES (%1, 'quoted')")
                                     .arg(sqlQuote(key + QStringLiteral("#2")))),
              0);
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, name) VALUES ('plain', 'other')")), 0);
    t.commit();
    QList<Value> name{Value::null(ValueType::String)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = %1").arg(sqlQuote(key)), {}, name), 0);
    EXPECT_EQ(name[0].string(), QStringLiteral("bound"));
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = ?"), {key + QStringLiteral("#2")}, name), 0);
    EXPECT_EQ(name[0].string(), QStringLiteral("quoted"));
    EXPECT_EQ(t.executeImmediate(QStringLiteral("DELETE FROM person WHERE no = %1").arg(sqlQuote(key))), 0);
    EXPECT_EQ(t.SQLNRows(), 1) << "only the one row goes";
    EXPECT_EQ(count(t), 2);
}

INSTANTIATE_TEST_SUITE_P(Keys, QuotingTest,
                         ::testing::Values("O'Brien", "x' OR '1'='1", "a;DELETE FROM person", "b -- comment", "''",
                                           "户'籍;--", "\"double\""));

TEST(SqlQuote, DoublesQuotesAndWritesLiterals)
{
    EXPECT_EQ(sqlQuote(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    EXPECT_EQ(sqlQuote(QString()), QStringLiteral("NULL"));
    EXPECT_EQ(sqlLiteral(Value(DateTime(QDate(2024, 1, 2), Time(0, 0, 0)))), QStringLiteral("'2024-01-02 00:00:00'"));
    EXPECT_EQ(sqlLiteral(Value(DateTime(QDate(2024, 1, 2), Time(0, 0, 0, 7)))), QStringLiteral("'2024-01-02 00:00:00.000007'"));
    EXPECT_EQ(sqlLiteral(Value(std::int64_t(5))), QStringLiteral("5"));
    EXPECT_EQ(sqlLiteral(Value::null(ValueType::Date)), QStringLiteral("NULL"));
    EXPECT_EQ(sqlIdentifier(QStringLiteral("th_mh_AdultWomaninfo")), QStringLiteral("\"th_mh_AdultWomaninfo\""));
}

TEST(TransactionConnect, BadFilesGiveClearErrorsAndAreNotTouched)
{
    TempDb db;
    Transaction t;
    t.Database = db.path(QStringLiteral("missing.db"));
    EXPECT_EQ(t.connect(), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("not found")));
    EXPECT_FALSE(QFile::exists(t.Database)) << "connect never creates a file by itself";

    const QString junk = db.path(QStringLiteral("junk.db"));
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    t.Database = junk;
    EXPECT_EQ(t.connect(), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("not a database"))) << t.SQLErrText().toStdString();
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(4096, 'x'));

    t.DBMS = QStringLiteral("Oracle");
    EXPECT_EQ(t.connect(), -1);
    EXPECT_EQ(t.execute(QStringLiteral("SELECT 1")), -1) << "statements on a closed transaction fail cleanly";
    EXPECT_EQ(t.commit(), -1);
}

TEST(TransactionConnect, AttachedFileAnswersUnqualifiedNames)
{
    TempDb db;
    Transaction history(QStringLiteral("photosqlca"));
    history.Database = db.path(QStringLiteral("history.db"));
    history.AutoCreate = true;
    ASSERT_EQ(history.connect(), 0);
    history.executeImmediate(QStringLiteral("CREATE TABLE th_x (k TEXT); INSERT INTO th_x VALUES ('k1')"));
    history.commit();
    Transaction live(QStringLiteral("sqlca"));
    live.Database = db.path(QStringLiteral("live.db"));
    live.AutoCreate = true;
    live.AttachDatabase = history.Database;
    ASSERT_EQ(live.connect(), 0) << live.SQLErrText().toStdString();
    QList<Value> k{Value::null(ValueType::String)};
    EXPECT_EQ(live.selectInto(QStringLiteral("SELECT k FROM th_x"), {}, k), 0);
    EXPECT_EQ(k[0].string(), QStringLiteral("k1"));

    Transaction missing;
    missing.Database = live.Database;
    missing.AttachDatabase = db.path(QStringLiteral("gone.db"));
    EXPECT_EQ(missing.connect(), -1);
    EXPECT_FALSE(QFile::exists(missing.AttachDatabase));
}

TEST_F(TransactionTest, ExecuteImmediateRunsEveryStatementOfItsText)
{
    EXPECT_EQ(t.executeImmediate(QStringLiteral("INSERT INTO person (no) VALUES ('a'); INSERT INTO person (no) VALUES ('b;c');"
                                                " -- a comment\n UPDATE person SET name = 'x'")),
              0);
    EXPECT_EQ(t.SQLNRows(), 4) << "two inserts and two updated rows";
    EXPECT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE extra (k TEXT)")), 0) << "a statement that is no DML is no 100";
    EXPECT_EQ(t.executeImmediate(QStringLiteral("UPDATE person SET name = 'y' WHERE no = 'none'; DELETE FROM extra")), 100);
    // A failing statement stops the text; what went before is the caller's to roll back.
    EXPECT_EQ(t.executeImmediate(QStringLiteral("INSERT INTO person (no) VALUES ('c'); INSERT INTO nowhere VALUES (1)")), -1);
    EXPECT_EQ(t.rollback(), 0);
    EXPECT_EQ(count(t), 0);
    EXPECT_EQ(t.commit(), 0) << "nothing open: commit is a no-op";
    EXPECT_EQ(t.rollback(), 0);
}

// The hook the "nothing lost" tests of the module stand on: a chosen statement or COMMIT fails
// with the engine's own error code, and nothing else changes.
TEST_F(TransactionTest, InjectedFaultsFailTheChosenStatementOrCommit)
{
    InjectedFault second;
    second.nth = 2;
    t.injectFault(second);
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('1')")), 0);
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('2')")), -1);
    EXPECT_EQ(t.SQLDBCode(), 13);
    EXPECT_EQ(t.SQLErrText(), QStringLiteral("database or disk is full"));
    EXPECT_EQ(t.injectedFaultsPending(), 0) << "a fault fires once";
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('3')")), 0);
    EXPECT_EQ(t.commit(), 0);
    EXPECT_EQ(count(t), 2) << "the failed statement did not run";

    // Only statements naming a table count when the fault says so.
    InjectedFault onDelete;
    onDelete.sqlContains = QStringLiteral("delete from person");
    onDelete.code = 10;
    onDelete.text = QStringLiteral("disk I/O error");
    t.injectFault(onDelete);
    QList<Value> n{Value::null(ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n), 0);
    EXPECT_EQ(t.executeImmediate(QStringLiteral("UPDATE person SET name = 'x'; DELETE FROM person WHERE no = '1'")), -1);
    EXPECT_EQ(t.SQLDBCode(), 10);
    EXPECT_EQ(t.rollback(), 0);

    // A failed COMMIT leaves the transaction open; the rollback that follows undoes the work.
    InjectedFault commit;
    commit.on = InjectedFault::On::Commit;
    t.injectFault(commit);
    EXPECT_EQ(t.execute(QStringLiteral("DELETE FROM person WHERE no = '1'")), 0);
    EXPECT_EQ(t.commit(), -1);
    EXPECT_EQ(t.SQLCode(), -1);
    EXPECT_TRUE(t.inTransaction());
    EXPECT_EQ(t.rollback(), 0);
    EXPECT_EQ(count(t), 2);

    // Cursors and procedures fail the same way.
    InjectedFault any;
    t.injectFault(any);
    Cursor cur(t, QStringLiteral("SELECT no FROM person"));
    EXPECT_EQ(cur.open(), -1);
    EXPECT_FALSE(cur.isOpen());
    t.registerProcedure(QStringLiteral("proc_touch"), [](Transaction &on, const ProcedureArgs &, QString &) {
        return on.execute(QStringLiteral("DELETE FROM person")) == -1 ? -1 : 0;
    });
    InjectedFault proc;
    proc.sqlContains = QStringLiteral("EXECUTE proc_touch");
    t.injectFault(proc);
    EXPECT_EQ(t.executeProcedure(QStringLiteral("proc_touch"), {}), -1);
    EXPECT_EQ(t.SQLDBCode(), 13);
    t.clearInjectedFaults();
    EXPECT_EQ(count(t), 2);
}

// A disk error in the middle of a change makes SQLite roll the whole transaction back by itself.
// What follows must not run in a new transaction that a COMMIT would report as saved without what
// went before: later writes fail, the COMMIT fails, and nothing of the change is in the file.
// FIL-06
TEST_F(TransactionTest, AChangeTheEngineUndidAfterADiskErrorIsNeverReportedSaved)
{
    FaultVfs::install();
    // A fresh connection, so that its files are opened through the fault layer.
    ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE other (x INTEGER)")), 0);
    ASSERT_EQ(t.commit(), 0);
    ASSERT_EQ(t.connect(), 0) << t.SQLErrText().toStdString();
    FaultVfs::watch(QFileInfo(t.Database).absolutePath());
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('a')")), 0);
    // The next write of the files (the other table's page into the journal) fails.
    FaultVfs::arm(FaultVfs::Mode::Fail, 1);
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO other (x) VALUES (1)")), -1);
    FaultVfs::disarm();
    ASSERT_TRUE(FaultVfs::fired());
    EXPECT_TRUE(t.inTransaction()) << "the change is still to be ended by its caller";
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('b')")), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("undid it"))) << t.SQLErrText().toStdString();
    EXPECT_EQ(t.commit(), -1) << "nothing to save: the engine undid the change";
    EXPECT_FALSE(t.inTransaction());
    EXPECT_EQ(count(t), 0);
    // The next change works as ever.
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('c')")), 0);
    EXPECT_EQ(t.commit(), 0);
    EXPECT_EQ(count(t), 1);
}
