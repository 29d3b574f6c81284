#include "Fixtures.h"

#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/SyntaxFromSql.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rt;

class RetrieveUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.Database = QDir(dir.path()).filePath(QStringLiteral("h.db"));
        t.AutoCreate = true;
        ASSERT_EQ(t.connect(), 0);
        ASSERT_EQ(t.executeImmediate(QStringLiteral(
                      "CREATE TABLE th_demo (hisid INTEGER PRIMARY KEY AUTOINCREMENT, RprNo VARCHAR(14) UNIQUE, "
                      "hostname VARCHAR(20) DEFAULT '无名', amount DECIMAL_TEXT(18,2), SaveTime DATETIME);"
                      "INSERT INTO th_demo (RprNo, hostname, amount, SaveTime) VALUES "
                      "('R1', '王伟', '1.10', '2024-01-02 03:04:05.000006'),"
                      "('R2', '李娜', '-0.05', '2024-01-02 00:00:00'),"
                      "('R3', NULL, NULL, NULL)")),
                  0)
            << t.SQLErrText().toStdString();
        ASSERT_EQ(t.commit(), 0);
        ds.setDefinition(sampleDefinition());
        ds.SetTransObject(&t);
        ds.setDbErrorHandler([this](long code, const QString &text, const QString &sql, DwBuffer, long row) {
            errors << text;
            lastCode = code;
            lastSql = sql;
            lastRow = row;
        });
    }

    long count()
    {
        QList<Value> n{Value::null(ValueType::Long)};
        t.selectInto(QStringLiteral("SELECT count(*) FROM th_demo"), {}, n);
        return long(n[0].longValue());
    }

    QTemporaryDir dir;
    Transaction t{QStringLiteral("photosqlca")};
    DataStore ds;
    QStringList errors;
    long lastCode = 0;
    QString lastSql;
    long lastRow = 0;
};

TEST_F(RetrieveUpdateTest, RetrieveKeepsExactValuesAndMakesTheFirstRowCurrent)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    EXPECT_EQ(ds.GetRow(), 1);
    EXPECT_EQ(ds.GetItemDecimal(1, "amount").toText(), QStringLiteral("1.10"));
    EXPECT_EQ(ds.GetItemDecimal(2, "amount").toText(), QStringLiteral("-0.05"));
    EXPECT_EQ(ds.GetItemDateTime(1, "SaveTime").dateTime().toCanonical(), QStringLiteral("2024-01-02 03:04:05.000006"));
    EXPECT_TRUE(ds.GetItemString(3, "hostname").isNull());
    EXPECT_TRUE(ds.GetItemDateTime(3, "SaveTime").isNull());
    EXPECT_EQ(ds.GetItemString(2, "hostname"), QStringLiteral("李娜"));
    EXPECT_EQ(ds.GetItemStatus(1, 0, DwBuffer::Primary), DwItemStatus::NotModified);
    EXPECT_FALSE(t.inTransaction()) << "a retrieve opens no transaction";
    // The grid holds no read lock: another connection can write and commit at once (its COMMIT
    // would wait for any reader of the file).
    Transaction other;
    other.Database = t.Database;
    other.BusyTimeoutMs = 200;
    ASSERT_EQ(other.connect(), 0);
    EXPECT_EQ(other.executeImmediate(QStringLiteral("DELETE FROM th_demo WHERE RprNo = 'R3'")), 0);
    EXPECT_EQ(other.commit(), 0) << other.SQLErrText().toStdString();
    EXPECT_EQ(ds.Retrieve(), 2);
}

TEST_F(RetrieveUpdateTest, ModifiedSelectIsWhatTheNextRetrieveRuns)
{
    EXPECT_EQ(ds.Modify(QStringLiteral("datawindow.table.select='SELECT hisid, RprNo, hostname, amount, SaveTime FROM "
                                       "th_demo where hostname = ~'王伟~''")),
              QString());
    EXPECT_EQ(ds.Retrieve(), 1);
    EXPECT_EQ(ds.GetItemString(1, "RprNo"), QStringLiteral("R1"));
    ds.SetSQLSelect(QStringLiteral("SELECT * FROM no_such_table"));
    EXPECT_EQ(ds.Retrieve(), -1);
    EXPECT_EQ(t.SQLCode(), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("no_such_table")));
    EXPECT_EQ(ds.RowCount(), 1) << "a select that cannot be prepared leaves the rows as they were";
    // A select that fails as it runs (here an overflow of its first row) leaves them too.
    ds.SetSQLSelect(QStringLiteral("SELECT hisid, RprNo, abs(-9223372036854775807 - 1) AS hostname FROM th_demo"));
    EXPECT_EQ(ds.Retrieve(), -1);
    EXPECT_EQ(ds.RowCount(), 1);
    EXPECT_EQ(ds.GetItemString(1, "RprNo"), QStringLiteral("R1"));
}

TEST_F(RetrieveUpdateTest, UpdateDeletesUpdatesAndInsertsThenResetsFlags)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.DeleteRow(2);
    ds.SetItem(1, "hostname", Value(QStringLiteral("王伟伟")));
    const long row = ds.InsertRow(0);
    ds.SetItem(row, "RprNo", Value(QStringLiteral("R'4")));
    ds.SetItem(row, "amount", Value(Decimal(12345678901234567, 2)));
    ASSERT_EQ(ds.Update(), 1) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(t.inTransaction()) << "Update leaves the commit to the caller";
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(ds.DeletedCount(), 0);
    EXPECT_EQ(ds.GetItemStatus(row, 0, DwBuffer::Primary), DwItemStatus::NotModified);
    EXPECT_GT(ds.GetItemNumber(row, "hisid").number(), 3) << "the identity is read back";

    QList<Value> r{Value::null(ValueType::String), Value::null(ValueType::Decimal)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT hostname, amount FROM th_demo WHERE RprNo = ?"), {QStringLiteral("R'4")}, r), 0);
    EXPECT_EQ(r[0].string(), QString::fromUtf8("无名")) << "a column never set keeps the table's default";
    EXPECT_EQ(r[1].toText(), QStringLiteral("123456789012345.67"));
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT hostname FROM th_demo WHERE RprNo = 'R1'"), {}, r), 0);
    EXPECT_EQ(r[0].string(), QStringLiteral("王伟伟"));
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(ds.Update(), 1) << "nothing left to write";
}

TEST_F(RetrieveUpdateTest, ConstraintViolationKeepsEverythingAndRaisesDbError)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.DeleteRow(3);
    const long row = ds.InsertRow(0);
    ds.SetItem(row, "RprNo", Value(QStringLiteral("R1"))); // duplicate
    EXPECT_EQ(ds.Update(), -1);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_NE(lastCode, 0);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("UNIQUE"))) << errors[0].toStdString();
    EXPECT_TRUE(lastSql.startsWith(QStringLiteral("INSERT")));
    EXPECT_EQ(lastRow, row);
    EXPECT_EQ(t.SQLCode(), -1);
    EXPECT_EQ(ds.DeletedCount(), 1) << "nothing reset";
    EXPECT_EQ(ds.GetItemStatus(row, 0, DwBuffer::Primary), DwItemStatus::NewModified);
    t.rollback();
    EXPECT_EQ(count(), 3) << "the delete that went first is rolled back by the caller";
}

TEST_F(RetrieveUpdateTest, DeletingARowAlreadyGoneIsAFailure)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    t.executeImmediate(QStringLiteral("DELETE FROM th_demo WHERE RprNo = 'R2'"));
    t.commit();
    ds.DeleteRow(2);
    EXPECT_EQ(ds.Update(), -1);
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(RetrieveUpdateTest, SyntaxFromSqlAndCreate)
{
    QString errors1;
    const QString syntax = SyntaxFromSql::build(t, QStringLiteral("select * from th_demo where RprNo = 'R1'"),
                                                QStringLiteral("style(type=grid)"), errors1);
    ASSERT_TRUE(errors1.isEmpty()) << errors1.toStdString();
    DataStore lds;
    QString errors2;
    ASSERT_EQ(lds.Create(syntax, errors2), 1) << errors2.toStdString();
    EXPECT_TRUE(errors2.isEmpty());
    EXPECT_EQ(lds.Describe(QStringLiteral("datawindow.column.count")), QStringLiteral("5"));
    EXPECT_EQ(lds.Describe(QStringLiteral("#4.coltype")), QStringLiteral("decimal(2)"));
    EXPECT_EQ(lds.Describe(QStringLiteral("#5.coltype")), QStringLiteral("datetime"));
    EXPECT_EQ(lds.Describe(QStringLiteral("#2.name")), QStringLiteral("RprNo"));
    EXPECT_EQ(lds.Describe(QStringLiteral("datawindow.table.updatetable")), QStringLiteral("th_demo"));
    EXPECT_EQ(lds.Describe(QStringLiteral("hisid.key")), QStringLiteral("yes"));
    lds.SetTransObject(&t);
    ASSERT_EQ(lds.Retrieve(), 1);
    EXPECT_EQ(lds.GetItemDecimal(1, "amount").toText(), QStringLiteral("1.10"));
    lds.DeleteRow(1);
    EXPECT_EQ(lds.Update(), 1);
    t.commit();
    EXPECT_EQ(count(), 2);

    QString bad;
    EXPECT_TRUE(SyntaxFromSql::build(t, QStringLiteral("select * from nowhere"), QStringLiteral("style(type=grid)"), bad).isEmpty());
    EXPECT_TRUE(bad.contains(QStringLiteral("nowhere")));
    EXPECT_EQ(lds.Create(QStringLiteral("not a definition"), bad), -1);
    EXPECT_FALSE(bad.isEmpty());
    EXPECT_EQ(SyntaxFromSql::runtimeType(QStringLiteral("VARCHAR(16)")), QStringLiteral("char(16)"));
    EXPECT_EQ(SyntaxFromSql::runtimeType(QStringLiteral("INTEGER")), QStringLiteral("long"));
    EXPECT_EQ(SyntaxFromSql::runtimeType(QStringLiteral("DATE")), QStringLiteral("date"));
    EXPECT_EQ(SyntaxFromSql::runtimeType(QStringLiteral("TIME")), QStringLiteral("time"));
    EXPECT_EQ(SyntaxFromSql::runtimeType(QStringLiteral("REAL")), QStringLiteral("number"));
}

TEST_F(RetrieveUpdateTest, UpdateWritesOnlyTheColumnsThatChanged)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    // Another connection changes a different column of the same row meanwhile.
    Transaction other;
    other.Database = t.Database;
    ASSERT_EQ(other.connect(), 0);
    ASSERT_EQ(other.executeImmediate(QStringLiteral("UPDATE th_demo SET amount = '9.99' WHERE RprNo = 'R1'")), 0);
    ASSERT_EQ(other.commit(), 0);
    ds.SetItem(1, "hostname", Value(QStringLiteral("王五")));
    ASSERT_EQ(ds.Update(), 1);
    t.commit();
    QList<Value> r{Value::null(ValueType::String), Value::null(ValueType::Decimal)};
    ASSERT_EQ(t.selectInto(QStringLiteral("SELECT hostname, amount FROM th_demo WHERE RprNo = 'R1'"), {}, r), 0);
    EXPECT_EQ(r[0].string(), QStringLiteral("王五"));
    EXPECT_EQ(r[1].toText(), QStringLiteral("9.99")) << "the other connection's change survives";
}

TEST_F(RetrieveUpdateTest, UpdateWithoutTableOrKeyFailsClearly)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.Modify(QStringLiteral("hisid.key = no"));
    ds.DeleteRow(1);
    EXPECT_EQ(ds.Update(), -1);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("key"))) << errors[0].toStdString();
    ds.Modify(QStringLiteral("datawindow.table.updatetable = ''"));
    EXPECT_EQ(ds.Update(), -1);
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(count(), 3) << "nothing was written";
    DataStore unbound;
    unbound.setDefinition(sampleDefinition());
    unbound.InsertRow(0);
    unbound.SetItem(1, "RprNo", Value(QStringLiteral("x")));
    EXPECT_EQ(unbound.Update(), -1);
    EXPECT_EQ(unbound.Retrieve(), -1);
    EXPECT_FALSE(unbound.lastError().isEmpty());
}

TEST_F(RetrieveUpdateTest, SyntaxOfAnExpressionOrAJoinHasNoUpdateTable)
{
    QString errors1;
    const QString syntax = SyntaxFromSql::build(t, QStringLiteral("SELECT count(*) AS n, max(SaveTime) AS latest FROM th_demo"),
                                                QStringLiteral("style(type=grid)"), errors1);
    ASSERT_TRUE(errors1.isEmpty()) << errors1.toStdString();
    DataStore lds;
    ASSERT_EQ(lds.Create(syntax, errors1), 1);
    EXPECT_EQ(lds.Describe(QStringLiteral("datawindow.table.updatetable")), QStringLiteral("?"));
    EXPECT_EQ(lds.Describe(QStringLiteral("n.coltype")), QStringLiteral("char(255)"));
    lds.SetTransObject(&t);
    ASSERT_EQ(lds.Retrieve(), 1);
    EXPECT_EQ(lds.GetItemString(1, "n"), QStringLiteral("3"));
    QString bad;
    EXPECT_TRUE(SyntaxFromSql::build(t, QStringLiteral("select 1"), QStringLiteral("style(type=pie)"), bad).isEmpty());
    EXPECT_FALSE(bad.isEmpty());
}

// What Update must write when rows were filtered, keys edited or nulls set: each case once lost
// or misdirected a change while Update still answered 1.
class UpdateWritesEveryChangeTest : public RetrieveUpdateTest
{
protected:
    QString hostnameOf(const QString &rprno)
    {
        QList<Value> r{Value::null(ValueType::String)};
        if (t.selectInto(QStringLiteral("SELECT hostname FROM th_demo WHERE RprNo = ?"), {rprno}, r) != 0)
            return QStringLiteral("<no row>");
        return r[0].isNull() ? QStringLiteral("<null>") : r[0].string();
    }
    // Rows are found by their RprNo instead of the surrogate key.
    void keyByRprNo()
    {
        ASSERT_EQ(ds.Modify(QStringLiteral("hisid.key = no RprNo.key = yes")), QString());
    }
};

TEST_F(UpdateWritesEveryChangeTest, RowsHiddenByAFilterAreWrittenToo)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.SetItem(1, "hostname", Value(QStringLiteral("改过")));
    const long row = ds.InsertRow(0);
    ds.SetItem(row, "RprNo", Value(QStringLiteral("R9")));
    ASSERT_EQ(ds.SetFilter(QStringLiteral("RprNo = 'R2'")), 1);
    ASSERT_EQ(ds.Filter(), 1);
    ASSERT_EQ(ds.RowCount(), 1);
    ASSERT_EQ(ds.FilteredCount(), 3);
    ASSERT_EQ(ds.Update(), 1) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(hostnameOf(QStringLiteral("R1")), QString::fromUtf8("改过")) << "the edit of a filtered row is kept";
    EXPECT_EQ(hostnameOf(QStringLiteral("R9")), QString::fromUtf8("无名")) << "a new filtered row is inserted";
    for (long r = 1; r <= ds.FilteredCount(); ++r)
        EXPECT_EQ(ds.GetItemStatus(r, 0, DwBuffer::Filter), DwItemStatus::NotModified);
    EXPECT_EQ(ds.Update(), 1);
    EXPECT_EQ(count(), 4) << "nothing is written twice";
}

TEST_F(UpdateWritesEveryChangeTest, OnlyTheRowsWrittenLoseTheirFlags)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.SetItem(1, "hostname", Value(QStringLiteral("甲")));
    const long untouched = ds.InsertRow(0); // New!: nothing to write yet
    ASSERT_EQ(ds.Update(), 1);
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(ds.GetItemStatus(untouched, 0, DwBuffer::Primary), DwItemStatus::New)
        << "a row that was not written stays new, so that it is inserted once it is filled in";
    ds.SetItem(untouched, "RprNo", Value(QStringLiteral("R7")));
    ASSERT_EQ(ds.Update(), 1) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(hostnameOf(QStringLiteral("R7")), QString::fromUtf8("无名"));
}

TEST_F(UpdateWritesEveryChangeTest, AnEditedKeyStillFindsItsOwnRow)
{
    keyByRprNo();
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.SetItem(1, "RprNo", Value(QStringLiteral("R1'新")));
    ds.SetItem(1, "hostname", Value(QStringLiteral("乙")));
    EXPECT_EQ(ds.GetItem(1, "RprNo", DwBuffer::Primary, true).string(), QStringLiteral("R1")) << "the original value";
    EXPECT_EQ(ds.GetItem(1, "RprNo").string(), QString::fromUtf8("R1'新"));
    ASSERT_EQ(ds.Update(), 1) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(hostnameOf(QString::fromUtf8("R1'新")), QString::fromUtf8("乙"));
    EXPECT_EQ(hostnameOf(QStringLiteral("R1")), QStringLiteral("<no row>"));
    EXPECT_EQ(ds.GetItem(1, "RprNo", DwBuffer::Primary, true).string(), QString::fromUtf8("R1'新"))
        << "after the update the written values are the originals";
    EXPECT_EQ(count(), 3);
}

TEST_F(UpdateWritesEveryChangeTest, DeletingARowWhoseKeyWasEditedDeletesThatRowNotTheOneNowNamed)
{
    keyByRprNo();
    ASSERT_EQ(ds.Retrieve(), 3);
    ds.SetItem(2, "RprNo", Value(QStringLiteral("R3"))); // now names another row of the table
    ASSERT_EQ(ds.DeleteRow(2), 1);
    ASSERT_EQ(ds.Update(), 1) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(hostnameOf(QStringLiteral("R2")), QStringLiteral("<no row>"));
    EXPECT_EQ(hostnameOf(QStringLiteral("R3")), QStringLiteral("<null>")) << "R3 is untouched";
}

TEST_F(UpdateWritesEveryChangeTest, AnExplicitNullIsInsertedButAColumnNeverSetKeepsItsDefault)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    const long a = ds.InsertRow(0);
    ds.SetItem(a, "RprNo", Value(QStringLiteral("R5")));
    ds.SetItem(a, "hostname", Value::null(ValueType::String));
    const long b = ds.InsertRow(0);
    ds.SetItem(b, "RprNo", Value(QStringLiteral("R6")));
    ASSERT_EQ(ds.Update(), 1) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(hostnameOf(QStringLiteral("R5")), QStringLiteral("<null>"));
    EXPECT_EQ(hostnameOf(QStringLiteral("R6")), QString::fromUtf8("无名"));
}

TEST_F(UpdateWritesEveryChangeTest, UpdateWithoutResetLeavesTheFlagsForACommitThatMayFail)
{
    ASSERT_EQ(ds.Retrieve(), 3);
    ASSERT_EQ(ds.DeleteRow(2), 1);
    ds.SetItem(1, "hostname", Value(QStringLiteral("丙")));
    ASSERT_EQ(ds.Update(true, false), 1);
    EXPECT_EQ(ds.DeletedCount(), 1);
    EXPECT_EQ(ds.GetItemStatus(1, 0, DwBuffer::Primary), DwItemStatus::DataModified);
    // The commit failed: roll back, put the deleted row back where it was, nothing is lost.
    ASSERT_EQ(t.rollback(), 0);
    ASSERT_EQ(ds.RowsMove(1, 1, DwBuffer::Delete, ds, 2, DwBuffer::Primary), 1);
    EXPECT_EQ(ds.RowCount(), 3);
    EXPECT_EQ(ds.GetItemString(2, "RprNo"), QStringLiteral("R2"));
    EXPECT_EQ(ds.GetItemStatus(2, 0, DwBuffer::Primary), DwItemStatus::NotModified)
        << "a row moved back within its own DataWindow keeps its status";
    EXPECT_EQ(count(), 3);
    // The same changes again, and this time the commit holds.
    ASSERT_EQ(ds.DeleteRow(2), 1);
    ASSERT_EQ(ds.Update(true, false), 1);
    ASSERT_EQ(t.commit(), 0);
    EXPECT_EQ(ds.ResetUpdate(), 1);
    EXPECT_EQ(ds.DeletedCount(), 0);
    EXPECT_EQ(ds.GetItemStatus(1, 0, DwBuffer::Primary), DwItemStatus::NotModified);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(hostnameOf(QStringLiteral("R1")), QString::fromUtf8("丙"));
}
