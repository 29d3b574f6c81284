#include "host/HostDwLibrary.h"
#include "host/QueryCondition.h"
#include "host/RegisterDatabases.h"
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
    const char *expected; // the RprNo found, in order, comma-separated; or the start of the error
    bool error = false;
};

inline void PrintTo(const QueryCase &c, std::ostream *os)
{
    *os << c.name;
}


} // namespace

// The conditions run for real against the household history, over the grid's own select.
class QueryConditionTest : public ::testing::TestWithParam<QueryCase>
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        QString error;
        const QString live = QDir(dir->path()).filePath(QStringLiteral("register.db"));
        const QString hist = QDir(dir->path()).filePath(QStringLiteral("history.db"));
        ASSERT_EQ(host::RegisterDatabases::create(live, hist, error), 0) << error.toStdString();
        history = new rt::Transaction(QStringLiteral("photosqlca"));
        history->Database = hist;
        ASSERT_EQ(history->connect(), 0);
        ASSERT_EQ(history->executeImmediate(QString::fromUtf8(
                      "INSERT INTO th_ge_rpr (RprNo, hostname, membercount, regdate, SaveTime) VALUES "
                      "('R1', 'O''Brien', 3, NULL, '2024-03-05 00:00:00'),"
                      "('R2', '50%_off', 5, NULL, '2024-03-05 23:59:59.500000'),"
                      "('R3', '50xxoff', 10, NULL, '2024-03-06 00:00:00'),"
                      "('R4', NULL, NULL, NULL, '2023-01-01 08:00:00'),"
                      "('R5', '', 2, '2020-01-01', '2024-03-04 12:00:00')")),
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
        delete dir;
    }

    static inline QTemporaryDir *dir = nullptr;
    static inline rt::Transaction *history = nullptr;
    static inline rt::DwLibrary *library = nullptr;
};

TEST_P(QueryConditionTest, FindsExactlyTheRowsMeant)
{
    const QueryCase &c = GetParam();
    rt::DataStore ds;
    ASSERT_EQ(ds.SetDataObject(QStringLiteral("dh_ge_rpr"), library), 1);
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
    const bool built = QueryCondition::build(ds.definition(), terms, sql, text, error);
    if (c.error) {
        EXPECT_FALSE(built);
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << error.toStdString();
        return;
    }
    ASSERT_TRUE(built) << error.toStdString();
    ds.SetSQLSelect(QueryCondition::restrict(ds.GetSQLSelect(), sql + QStringLiteral(" ORDER BY RprNo")));
    ds.SetTransObject(history);
    ASSERT_GE(ds.Retrieve(), 0) << history->SQLErrText().toStdString() << "\n" << ds.GetSQLSelect().toStdString();
    QStringList found;
    for (long r = 1; r <= ds.RowCount(); ++r)
        found << ds.GetItemString(r, "RprNo");
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
        QueryCase{"MissingValue", {{false, "hostname", Op::Equal, "  "}}, "请输入", true}),
    [](const ::testing::TestParamInfo<QueryCase> &info) { return std::string(info.param.name); });

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
