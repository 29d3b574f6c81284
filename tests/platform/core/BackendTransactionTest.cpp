#include "TestRegister.h"

#include "platform/core/Cursor.h"
#include "platform/core/DateTime.h"
#include "platform/core/Decimal.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using namespace rt;

// The transaction contract the module relies on, on whichever backend the run is for: the same
// statements, the same answers, on the files and on the server.
class BackendTransactionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        QString error;
        ASSERT_EQ(TestRegister::connectPlain(dir.path(), t, true, error), 0) << error.toStdString();
        const bool server = TestRegister::onServer();
        ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE person (no VARCHAR(10) PRIMARY KEY, name VARCHAR(20), "
                                                    "amount %1, saved %2, born DATE, n INTEGER)")
                                         .arg(server ? QStringLiteral("NUMERIC(18,2)") : QStringLiteral("DECIMAL_TEXT(18,2)"),
                                              server ? QStringLiteral("TIMESTAMP(6)") : QStringLiteral("DATETIME"))),
                  0)
            << t.SQLErrText().toStdString();
        ASSERT_EQ(t.commit(), 0);
    }

    long count(Transaction &on)
    {
        QList<Value> n{Value::null(ValueType::Long)};
        on.selectInto(QStringLiteral("SELECT count(*) FROM person"), {}, n);
        return long(n[0].longValue());
    }
    void other(Transaction &o)
    {
        QString error;
        ASSERT_EQ(TestRegister::connectPlain(dir.path(), o, false, error), 0) << error.toStdString();
    }

    QTemporaryDir dir;
    Transaction t{QStringLiteral("sqlca")};
};

TEST_F(BackendTransactionTest, SqlCodesOfEmbeddedStatements)
{
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, name, n) VALUES (?1, ?2, ?3)"), {QStringLiteral("1"), QStringLiteral("王伟"), 1}), 0);
    EXPECT_EQ(t.SQLNRows(), 1);
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, name, n) VALUES (:no, :name, :n)"), {QStringLiteral("2"), QStringLiteral("李娜"), 2}), 0);
    QList<Value> into{Value::null(ValueType::String)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = ?"), {QStringLiteral("1")}, into), 0);
    EXPECT_EQ(into[0].string(), QString::fromUtf8("王伟"));
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person WHERE no = ?"), {QStringLiteral("9")}, into), 100);
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT name FROM person"), {}, into), -1) << "several rows";
    EXPECT_EQ(t.execute(QStringLiteral("DELETE FROM person WHERE no = ?"), {QStringLiteral("9")}), 100);
    EXPECT_EQ(t.execute(QStringLiteral("UPDATE person SET name = 'x' WHERE no = ?"), {QStringLiteral("9")}), 100);
    EXPECT_EQ(t.executeImmediate(QStringLiteral("UPDATE person SET n = n + 1; DELETE FROM person WHERE no = '2'")), 0);
    EXPECT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('1')")), -1) << "duplicate key";
    EXPECT_FALSE(t.SQLErrText().isEmpty());
    EXPECT_NE(t.SQLDBCode(), 0);
    EXPECT_EQ(t.rollback(), 0);
    EXPECT_EQ(count(t), 0) << "nothing was committed";
}

// Every statement of an EXECUTE IMMEDIATE runs, a comment before one included.
// SRV-06
TEST_F(BackendTransactionTest, EveryStatementOfAnImmediateTextRuns)
{
    ASSERT_EQ(t.executeImmediate(QStringLiteral("INSERT INTO person (no, n) VALUES ('1', 1); -- and one more\n"
                                                "INSERT INTO person (no, n) VALUES ('2', 2); /* and the last */ "
                                                "INSERT INTO person (no, n) VALUES ('3', 3)")),
              0)
        << t.SQLErrText().toStdString();
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(count(t), 3);
}

// A placeholder numbered beyond anything a statement can hold is a failed statement with a
// reason, never an allocation the size of the number.
TEST_F(BackendTransactionTest, APlaceholderOutOfRangeIsAFailedStatement)
{
    // The files read "$1285830509" as a name; the server's numbers stop at what a statement of
    // this size can hold, the files' at 32,767.
    const bool server = TestRegister::onServer();
    for (const char *sql : {"SELECT count(*) FROM person WHERE no = $1285830509", "SELECT count(*) FROM person WHERE no = ?4444444444",
                            "SELECT count(*) FROM person WHERE no = ?40000", "SELECT count(*) FROM person WHERE no = ?0"}) {
        if (!server && std::strstr(sql, "$"))
            continue;
        QList<Value> into{Value::null(ValueType::Long)};
        EXPECT_EQ(t.selectInto(QString::fromLatin1(sql), {QStringLiteral("1")}, into), -1) << sql;
        EXPECT_FALSE(t.SQLErrText().isEmpty()) << sql;
        EXPECT_EQ(t.executeImmediate(QString::fromLatin1(sql)), -1) << sql;
    }
    QList<Value> into{Value::null(ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person WHERE no = ?1"), {QStringLiteral("1")}, into), 0)
        << t.SQLErrText().toStdString();
}

// A statement that failed runs again the next time it is called: it does not answer "no row"
// without running.
// SRV-06
TEST_F(BackendTransactionTest, AStatementThatFailedRunsAgain)
{
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, n) VALUES ('1', 1)")), 0);
    ASSERT_EQ(t.commit(), 0);
    const QString sql = QStringLiteral("SELECT count(*) FROM person WHERE n = ?");
    QList<Value> into{Value::null(ValueType::Long)};
    // Not a number: the server refuses it; the files compare it as text and find nothing.
    const int first = t.selectInto(sql, {QStringLiteral("x")}, into);
    EXPECT_EQ(first, TestRegister::onServer() ? -1 : 0);
    if (t.inTransaction())
        t.rollback();
    EXPECT_EQ(t.selectInto(sql, {1}, into), 0) << t.SQLErrText().toStdString();
    EXPECT_EQ(into[0].longValue(), 1);
}

// A value quoted by the one routine selects exactly itself, a backslash included, whatever the
// server's default for backslashes in strings.
// SRV-04
TEST_F(BackendTransactionTest, QuotingHoldsWhateverTheServersDefault)
{
    if (TestRegister::onServer()) {
        QList<Value> db{Value::null(ValueType::String)};
        ASSERT_EQ(t.selectInto(QStringLiteral("SELECT current_database()"), {}, db), 0);
        ASSERT_EQ(t.executeImmediate(QStringLiteral("ALTER DATABASE %1 SET standard_conforming_strings TO off").arg(sqlIdentifier(db[0].string()))), 0)
            << t.SQLErrText().toStdString();
        ASSERT_EQ(t.commit(), 0);
    }
    Transaction o(QStringLiteral("other")); // a connection made under that default
    other(o);
    for (const char *name : {"a\\", "b"})
        ASSERT_EQ(o.execute(QStringLiteral("INSERT INTO person (no, name) VALUES (?, ?)"), {QString::fromLatin1(name), QString::fromLatin1(name)}), 0);
    ASSERT_EQ(o.commit(), 0);
    QList<Value> n{Value::null(ValueType::Long)};
    for (const auto &[value, expected] : {std::pair{"a\\", 1}, std::pair{"\\' OR name = 'b' OR name = '", 0}}) {
        ASSERT_EQ(o.selectInto(QStringLiteral("SELECT count(*) FROM person WHERE name = ") + sqlQuote(QString::fromLatin1(value)), {}, n), 0)
            << o.SQLErrText().toStdString();
        EXPECT_EQ(n[0].longValue(), expected) << value;
    }
}

// A statement the server stops for running too long is told as that, not as another program
// writing (no "try again when it has finished").
// SRV-06
TEST_F(BackendTransactionTest, AStatementStoppedByTheServerIsToldAsSuch)
{
    if (!TestRegister::onServer())
        GTEST_SKIP() << "the statement timeout is the server's";
    ASSERT_EQ(t.executeImmediate(QStringLiteral("SET statement_timeout TO 50")), 0);
    QList<Value> into{Value::null(ValueType::String)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT pg_sleep(2)::text"), {}, into), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("statement timeout"))) << t.SQLErrText().toStdString();
    EXPECT_FALSE(t.SQLErrText().contains(QStringLiteral("another connection"))) << t.SQLErrText().toStdString();
    EXPECT_FALSE(t.lockConflict());
    t.rollback();
}

// Many rows at once (COPY on the server) arrive exactly as given: nulls, tabs, line breaks,
// backslashes and quotes in text, exact decimals, datetimes to the microsecond.
TEST_F(BackendTransactionTest, BulkRowsArriveExactly)
{
    const QList<QList<Value>> rows{
        {QStringLiteral("1"), QStringLiteral("tab\there"), Value(*Decimal::parse(QStringLiteral("1234567890123456.01"))),
         Value(*DateTime::parse(QStringLiteral("2024-05-01 09:15:30.250000"))), 1},
        {QStringLiteral("2"), QStringLiteral("l\nb\r\\N \\ 'q'"), Value::null(ValueType::Decimal),
         Value::null(ValueType::DateTime), Value::null(ValueType::Long)},
        {QStringLiteral("3"), Value::null(ValueType::String), Value(*Decimal::parse(QStringLiteral("-0.05"))),
         Value(*DateTime::parse(QStringLiteral("9999-12-31 23:59:59.999999"))), -7},
    };
    ASSERT_EQ(t.bulkInsert(QStringLiteral("person"), {QStringLiteral("no"), QStringLiteral("name"), QStringLiteral("amount"),
                                                      QStringLiteral("saved"), QStringLiteral("n")},
                           rows),
              0)
        << t.SQLErrText().toStdString();
    ASSERT_EQ(t.commit(), 0);
    for (const QList<Value> &row : rows) {
        QList<Value> back{Value::null(ValueType::String), Value::null(ValueType::Decimal), Value::null(ValueType::DateTime),
                          Value::null(ValueType::Long)};
        ASSERT_EQ(t.selectInto(QStringLiteral("SELECT name, amount, saved, n FROM person WHERE no = ?"), {row[0]}, back), 0)
            << t.SQLErrText().toStdString();
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(back[c], row[c + 1]) << row[0].string().toStdString() << " column " << c + 1 << ": "
                                           << back[c].toText().toStdString();
    }
}

TEST_F(BackendTransactionTest, ManualCommitAndAFinishedCursorStaysFinished)
{
    for (int i = 1; i <= 3; ++i)
        t.execute(QStringLiteral("INSERT INTO person (no, name, n) VALUES (?, ?, ?)"), {QString::number(i), QStringLiteral("张%1").arg(i), i});
    EXPECT_TRUE(t.inTransaction());
    Transaction o(QStringLiteral("other"));
    other(o);
    EXPECT_EQ(count(o), 0) << "uncommitted work is invisible to another connection";
    ASSERT_EQ(t.commit(), 0);
    EXPECT_FALSE(t.inTransaction());
    EXPECT_EQ(count(o), 3);
    Cursor cur(o, QStringLiteral("SELECT name FROM person WHERE n >= ? ORDER BY n"));
    ASSERT_EQ(cur.open({2}), 0);
    QList<Value> row{Value::null(ValueType::String)};
    QStringList names;
    while (cur.fetch(row) == 0)
        names << row[0].string();
    EXPECT_EQ(names, (QStringList{QString::fromUtf8("张2"), QString::fromUtf8("张3")}));
    EXPECT_EQ(cur.fetch(row), 100);
    EXPECT_EQ(cur.fetch(row), 100);
    cur.close();
    EXPECT_FALSE(o.inTransaction()) << "a read holds no transaction";
}

TEST_F(BackendTransactionTest, ExactDecimalsAndMicrosecondDatetimesRoundTripAndCompareEqual)
{
    const DateTime saved = DateTime::parse(QStringLiteral("2024-05-01 09:15:30.250000")).value();
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no, amount, saved, born) VALUES ('a', ?, ?, ?)"),
                        {Value(*Decimal::parse(QStringLiteral("1.10"))), Value(saved), Value(QDate(1950, 1, 2))}),
              0)
        << t.SQLErrText().toStdString();
    ASSERT_EQ(t.commit(), 0);
    QList<Value> r{Value::null(ValueType::Decimal), Value::null(ValueType::DateTime), Value::null(ValueType::Date)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT amount, saved, born FROM person WHERE no = 'a'"), {}, r), 0);
    EXPECT_EQ(r[0].toText(), QStringLiteral("1.10"));
    EXPECT_EQ(r[1].dateTime().toCanonical(), QStringLiteral("2024-05-01 09:15:30.250000"));
    EXPECT_EQ(r[2].date(), QDate(1950, 1, 2));
    // The literal the module writes finds exactly the stored value; a bound value too.
    QList<Value> n{Value::null(ValueType::Long)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person WHERE saved = %1").arg(sqlLiteral(Value(saved))), {}, n), 0);
    EXPECT_EQ(n[0].longValue(), 1);
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person WHERE saved <= ?"),
                           {Value(DateTime::parse(QStringLiteral("2024-05-01 09:15:30.249999")).value())}, n),
              0);
    EXPECT_EQ(n[0].longValue(), 0);
    // A quoted key selects exactly itself.
    t.execute(QStringLiteral("INSERT INTO person (no) VALUES (?)"), {QStringLiteral("O'B")});
    t.commit();
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT count(*) FROM person WHERE no = %1").arg(sqlQuote(QStringLiteral("O'B"))), {}, n), 0);
    EXPECT_EQ(n[0].longValue(), 1);
}

// SRV-08
TEST_F(BackendTransactionTest, AWriteWaitingForAnotherConnectionFailsClearlyInsteadOfHanging)
{
    t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('held')"));
    t.commit();
    ASSERT_EQ(t.execute(QStringLiteral("UPDATE person SET name = 'a' WHERE no = 'held'")), 0);
    Transaction o(QStringLiteral("photosqlca"));
    o.BusyTimeoutMs = 300;
    other(o);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(o.execute(QStringLiteral("UPDATE person SET name = 'b' WHERE no = 'held'")), -1);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(o.SQLErrText().contains(QStringLiteral("another connection or program"))) << o.SQLErrText().toStdString();
    EXPECT_EQ(o.rollback(), 0);
    EXPECT_EQ(t.commit(), 0);
    EXPECT_EQ(o.execute(QStringLiteral("UPDATE person SET name = 'c' WHERE no = 'held'")), 0);
    EXPECT_EQ(o.commit(), 0);
}

TEST_F(BackendTransactionTest, AProcedureThatFailsLeavesNothingOfItsOwnBehind)
{
    // On the files the procedure is the host's C++; on the server a function of the database.
    if (TestRegister::onServer()) {
        ASSERT_EQ(t.executeImmediate(QStringLiteral(
                      "CREATE FUNCTION plain.proc_half(k varchar DEFAULT NULL) RETURNS integer LANGUAGE plpgsql AS $$\n"
                      "BEGIN DELETE FROM plain.person WHERE no = k; IF k = 'b' THEN RAISE EXCEPTION 'no b'; END IF; "
                      "RETURN 0; END $$")),
                  0)
            << t.SQLErrText().toStdString();
    } else {
        t.registerProcedure(QStringLiteral("proc_half"), [](Transaction &on, const ProcedureArgs &args, QString &error) {
            on.execute(QStringLiteral("DELETE FROM person WHERE no = ?"), {args.value(QStringLiteral("k"))});
            if (args.value(QStringLiteral("k")).string() == QLatin1String("b")) {
                error = QStringLiteral("no b");
                return -1;
            }
            return 0;
        });
    }
    t.executeImmediate(QStringLiteral("INSERT INTO person (no) VALUES ('a'); INSERT INTO person (no) VALUES ('b')"));
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(t.executeProcedure(QStringLiteral("proc_half"), {{QStringLiteral("@k"), Value(QStringLiteral("a"))}}), 0);
    EXPECT_EQ(t.executeProcedure(QStringLiteral("proc_half"), {{QStringLiteral("@k"), Value(QStringLiteral("b"))}}), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("no b"))) << t.SQLErrText().toStdString();
    EXPECT_EQ(t.commit(), 0) << "the caller's transaction goes on after the failed procedure";
    EXPECT_EQ(count(t), 1) << "a deleted, b kept";
}

// The server process behind a connection is known by its number, and still after the connection
// broke: a process the client lost may go on (committing, or waiting in its transaction), and
// only by that number can a new connection find it. A file has none.
// SRV-07
TEST_F(BackendTransactionTest, TheServerProcessStaysKnownAfterItsConnectionBroke)
{
    if (!TestRegister::onServer()) {
        EXPECT_EQ(t.backendPid(), 0);
        return;
    }
    const auto serving = [](Transaction &on) {
        QList<Value> pid{Value::null(ValueType::Long)};
        EXPECT_EQ(on.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0) << on.SQLErrText().toStdString();
        return int(pid[0].longValue());
    };
    const int first = serving(t);
    ASSERT_GT(first, 0);
    EXPECT_EQ(t.backendPid(), first);
    Transaction o(QStringLiteral("photosqlca"));
    other(o);
    // A change is open when the connection breaks (a read alone would connect again at once).
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO person (no) VALUES ('pid')")), 0) << t.SQLErrText().toStdString();
    QList<Value> ended{Value::null(ValueType::Boolean)};
    ASSERT_EQ(o.selectInto(QStringLiteral("SELECT pg_terminate_backend(?)"), {Value(first)}, ended), 0) << o.SQLErrText().toStdString();
    QList<Value> one{Value::null(ValueType::Long)};
    EXPECT_EQ(t.selectInto(QStringLiteral("SELECT 1"), {}, one), -1);
    ASSERT_TRUE(t.connectionLost());
    EXPECT_EQ(t.backendPid(), first) << "the broken connection still names its process";
    EXPECT_EQ(t.rollback(), 0);
    EXPECT_EQ(t.backendPid(), first) << "until a new connection is open";
    const int second = serving(t);
    EXPECT_NE(second, first);
    EXPECT_EQ(t.backendPid(), second);
    t.disconnect();
    EXPECT_EQ(t.backendPid(), 0);
}
