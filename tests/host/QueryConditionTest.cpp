#include "host/HostDwLibrary.h"
#include "host/QueryCondition.h"
#include "TestRegister.h"

#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using host::QueryCondition;
using host::QueryTerm;
using Op = QueryTerm::Op;

namespace {

struct Term
{
    bool orWithPrevious;
    const char *column;
    Op op;
    const char *value;
};

struct QueryCase
{
    const char *name;
    std::vector<Term> terms;
    const char *expected; // the keys found, in order, comma-separated; or the start of the error
    bool error = false;
    const char *grid = "dh_ge_rpr"; // keyed by RprNo; dh_ge_company by personno
};

inline void PrintTo(const QueryCase &c, std::ostream *os)
{
    *os << c.name;
}


} // namespace

// The conditions run for real against the household and occupation history, over the grid's
// own select, on the files and on the server.
class QueryConditionTest : public ::testing::TestWithParam<QueryCase>
{
protected:
    static void SetUpTestSuite()
    {
        std::string why;
        if (!TestRegister::available(why))
            return;
        dir = new QTemporaryDir;
        QString error;
        ASSERT_EQ(TestRegister::create(dir->path(), error), 0) << error.toStdString();
        live = new rt::Transaction(QStringLiteral("sqlca"));
        history = new rt::Transaction(QStringLiteral("photosqlca"));
        ASSERT_EQ(TestRegister::connect(dir->path(), *live, *history, error), 0) << error.toStdString();
        ASSERT_EQ(history->executeImmediate(QString::fromUtf8(
                      "INSERT INTO th_ge_rpr (RprNo, hostname, membercount, regdate, SaveTime) VALUES "
                      "('R1', 'O''Brien', 3, NULL, '2024-03-05 00:00:00'),"
                      "('R2', '50%_off', 5, NULL, '2024-03-05 23:59:59.500000'),"
                      "('R3', '50xxoff', 10, NULL, '2024-03-06 00:00:00'),"
                      "('R4', NULL, NULL, NULL, '2023-01-01 08:00:00'),"
                      "('R5', '', 2, '2020-01-01', '2024-03-04 12:00:00');"
                      "INSERT INTO th_ge_company (personno, salary, startdate, SaveTime) VALUES "
                      "('P1', '9360.99', '2010-03-04', '2024-01-01 00:00:00'),"
                      "('P2', '9360.99', '2011-05-06', '2024-01-01 00:00:00'),"
                      "('P3', '9360.98', '2012-07-08', '9999-12-31 08:00:00'),"
                      "('P4', '9361.00', NULL, '2024-01-01 00:00:00'),"
                      // Eighteen digits: one cent apart, and the same double.
                      "('P5', '1234567890123456.01', NULL, '2024-01-01 00:00:00'),"
                      "('P6', '1234567890123456.02', NULL, '2024-01-01 00:00:00')")),
                  0)
            << history->SQLErrText().toStdString();
        ASSERT_EQ(history->commit(), 0);
        library = new rt::DwLibrary;
        ASSERT_TRUE(host::HostDwLibrary::load(*library, QString(), error)) << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete library;
        delete history;
        delete live;
        delete dir;
    }
    void SetUp() override { TEST_REGISTER_REQUIRED(); }

    static inline QTemporaryDir *dir = nullptr;
    static inline rt::Transaction *live = nullptr, *history = nullptr;
    static inline rt::DwLibrary *library = nullptr;
};

// GRD-25, GRD-26
TEST_P(QueryConditionTest, FindsExactlyTheRowsMeant)
{
    const QueryCase &c = GetParam();
    rt::DataStore ds;
    ASSERT_EQ(ds.SetDataObject(QString::fromLatin1(c.grid), library), 1);
    const QString key = QString::fromLatin1(c.grid) == QLatin1String("dh_ge_rpr") ? QStringLiteral("RprNo") : QStringLiteral("personno");
    QList<QueryTerm> terms;
    for (const Term &t : c.terms) {
        QueryTerm q;
        q.orWithPrevious = t.orWithPrevious;
        q.column = ds.definition().findColumn(QString::fromLatin1(t.column));
        q.op = t.op;
        q.value = QString::fromUtf8(t.value);
        terms << q;
    }
    QString sql, text, error;
    const bool built = QueryCondition::build(ds.definition(), terms, sql, text, error, QueryCondition::dialectOf(history->DBMS));
    if (c.error) {
        EXPECT_FALSE(built);
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << error.toStdString();
        return;
    }
    ASSERT_TRUE(built) << error.toStdString();
    ds.SetSQLSelect(QueryCondition::restrict(ds.GetSQLSelect(), sql + QStringLiteral(" ORDER BY ") + key));
    ds.SetTransObject(history);
    ASSERT_GE(ds.Retrieve(), 0) << history->SQLErrText().toStdString() << "\n" << ds.GetSQLSelect().toStdString();
    QStringList found;
    for (long r = 1; r <= ds.RowCount(); ++r)
        found << ds.GetItemString(r, key);
    EXPECT_EQ(found.join(QLatin1Char(',')), QString::fromLatin1(c.expected)) << sql.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, QueryConditionTest,
    ::testing::Values(
        QueryCase{"QuoteInValue", {{false, "hostname", Op::Equal, "O'Brien"}}, "R1"},
        QueryCase{"ContainsWildcardsLiterally", {{false, "hostname", Op::Contains, "%_"}}, "R2"},
        QueryCase{"ContainsAQuote", {{false, "hostname", Op::Contains, "'"}}, "R1"},
        QueryCase{"EmptyTextIsNullOrBlank", {{false, "hostname", Op::IsEmpty, ""}}, "R4,R5"},
        QueryCase{"NotEmpty", {{false, "hostname", Op::IsNotEmpty, ""}}, "R1,R2,R3"},
        QueryCase{"DatetimeEqualsTheWholeDay", {{false, "SaveTime", Op::Equal, "2024-03-05"}}, "R1,R2"},
        QueryCase{"DatetimeAfterTheDay", {{false, "SaveTime", Op::Greater, "2024-03-05"}}, "R3"},
        QueryCase{"DatetimeUpToTheDaysEnd", {{false, "SaveTime", Op::LessEqual, "2024-03-05"}}, "R1,R2,R4,R5"},
        QueryCase{"DatetimeBeforeTheDay", {{false, "SaveTime", Op::Less, "2024-03-05"}}, "R4,R5"},
        QueryCase{"DatetimeNotThatDay", {{false, "SaveTime", Op::NotEqual, "2024-03-05"}}, "R3,R4,R5"},
        QueryCase{"DateColumn", {{false, "regdate", Op::Equal, "2020-01-01"}}, "R5"},
        QueryCase{"NumbersCompareAsNumbers", {{false, "membercount", Op::GreaterEqual, "5"}}, "R2,R3"},
        QueryCase{"And", {{false, "membercount", Op::Greater, "3"}, {false, "hostname", Op::Contains, "off"}}, "R2,R3"},
        QueryCase{"Or", {{false, "hostname", Op::Equal, "O'Brien"}, {true, "membercount", Op::Equal, "10"}}, "R1,R3"},
        QueryCase{"AndBindsBeforeOr",
                  {{false, "RprNo", Op::Equal, "R5"}, {true, "RprNo", Op::Equal, "R1"}, {false, "membercount", Op::Equal, "3"}},
                  "R1,R5"},
        QueryCase{"NotANumber", {{false, "membercount", Op::Equal, "abc"}}, "不是数字", true},
        QueryCase{"ImpossibleDate", {{false, "SaveTime", Op::Equal, "2023-02-30"}}, "不是正确的日期", true},
        QueryCase{"MissingValue", {{false, "hostname", Op::Equal, "  "}}, "请输入", true},
        // Decimals compare as decimals: = finds both equal salaries, > leaves them out.
        QueryCase{"DecimalEquals", {{false, "salary", Op::Equal, "9360.99"}}, "P1,P2", false, "dh_ge_company"},
        QueryCase{"DecimalGreaterLeavesTheEqualOut", {{false, "salary", Op::Greater, "9360.99"}}, "P4,P5,P6", false, "dh_ge_company"},
        QueryCase{"DecimalsToTheLastDigit", {{false, "salary", Op::Equal, "1234567890123456.01"}}, "P5", false, "dh_ge_company"},
        QueryCase{"DecimalsToTheLastDigitGreater", {{false, "salary", Op::Greater, "1234567890123456.01"}}, "P6", false, "dh_ge_company"},
        QueryCase{"DecimalAtMost", {{false, "salary", Op::LessEqual, "9360.98"}}, "P3", false, "dh_ge_company"},
        // 包含 looks into the text of a number or a date.
        QueryCase{"ContainsInANumber", {{false, "salary", Op::Contains, "9360"}}, "P1,P2,P3", false, "dh_ge_company"},
        QueryCase{"ContainsInADate", {{false, "startdate", Op::Contains, "-05-"}}, "P2", false, "dh_ge_company"},
        QueryCase{"ContainsInANumberOfRows", {{false, "membercount", Op::Contains, "1"}}, "R3"},
        // The last day there is, as an upper bound, takes every row (not year 10000).
        QueryCase{"UpToTheLastDay", {{false, "SaveTime", Op::LessEqual, "9999-12-31"}}, "P1,P2,P3,P4,P5,P6", false, "dh_ge_company"},
        QueryCase{"OnTheLastDay", {{false, "SaveTime", Op::Equal, "9999-12-31"}}, "P3", false, "dh_ge_company"},
        QueryCase{"Infinity", {{false, "salary", Op::Greater, "inf"}}, "不是数字", true, "dh_ge_company"},
        QueryCase{"NotANumberAtAll", {{false, "membercount", Op::Equal, "nan"}}, "不是数字", true},
        QueryCase{"HexIsNoNumber", {{false, "membercount", Op::Equal, "0x10"}}, "不是数字", true}),
    [](const ::testing::TestParamInfo<QueryCase> &info) { return std::string(info.param.name); });

// GRD-25
TEST(QueryConditionText, IsWhatTheOperatorChoseInWords)
{
    rt::DwLibrary library;
    QString error;
    ASSERT_TRUE(host::HostDwLibrary::load(library, QString(), error));
    rt::DataStore ds;
    ASSERT_EQ(ds.SetDataObject(QStringLiteral("dh_ge_rpr"), &library), 1);
    const rt::DwDefinition &def = ds.definition();
    QList<QueryTerm> terms{{false, def.findColumn(QStringLiteral("hostname")), Op::Contains, QStringLiteral("王")},
                           {true, def.findColumn(QStringLiteral("regdate")), Op::IsEmpty, QString()}};
    QString sql, text;
    ASSERT_TRUE(QueryCondition::build(def, terms, sql, text, error));
    EXPECT_EQ(text, QString::fromUtf8("户主姓名 包含 '王' 或者 立户日期 为空"));
    EXPECT_EQ(QueryCondition::restrict(QStringLiteral("SELECT a FROM t"), QString()), QStringLiteral("SELECT a FROM t"));
}
