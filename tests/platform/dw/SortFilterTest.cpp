#include "Fixtures.h"

#include "platform/core/ChineseOrder.h"
#include "platform/dw/DataStore.h"
#include <QCollator>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <tuple>

using namespace rt;

class SortFilterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ds.setDefinition(sampleDefinition());
        const struct
        {
            const char *rpr, *name, *amount, *saved;
        } rows[] = {{"R1", "王伟", "10.00", "2024-03-01 08:00:00"}, {"R2", "李娜", nullptr, "2023-01-01 00:00:00"},
                    {"R1", "王伟", "2.50", "2024-01-01 08:00:00.5"}, {"R3", nullptr, "7.25", nullptr},
                    {"R2", "张三", "-1.00", "2025-06-30 23:59:59"}};
        for (const auto &r : rows) {
            const long n = ds.InsertRow(0);
            ds.SetItem(n, "hisid", Value(std::int64_t(n)));
            ds.SetItem(n, "RprNo", Value(QString::fromUtf8(r.rpr)));
            if (r.name)
                ds.SetItem(n, "hostname", Value(QString::fromUtf8(r.name)));
            if (r.amount)
                ds.SetItem(n, "amount", Value(QString::fromUtf8(r.amount)));
            if (r.saved)
                ds.SetItem(n, "SaveTime", Value(QString::fromUtf8(r.saved)));
        }
    }
    QList<long> order()
    {
        QList<long> out;
        for (long r = 1; r <= ds.RowCount(); ++r)
            out << long(ds.GetItemNumber(r, "hisid").number());
        return out;
    }
    DataStore ds;
};

TEST_F(SortFilterTest, SortIsStableWithNullsFirst)
{
    ASSERT_EQ(ds.SetSort(QStringLiteral("RprNo A, SaveTime D")), 1);
    ASSERT_EQ(ds.Sort(), 1);
    EXPECT_EQ(order(), (QList<long>{1, 3, 5, 2, 4}));
    ds.SetSort(QStringLiteral("hostname A"));
    ds.Sort();
    EXPECT_EQ(order().first(), 4) << "null first";
    ds.SetSort(QStringLiteral("#4 D"));
    ds.Sort();
    EXPECT_EQ(order(), (QList<long>{1, 4, 3, 5, 2}));
    ds.SetSort(QStringLiteral("RprNo"));
    ds.Sort();
    EXPECT_EQ(order(), (QList<long>{1, 3, 5, 2, 4})) << "equal keys keep the order they had";
    EXPECT_EQ(ds.SetSort(QStringLiteral("nothing A")), -1);
    EXPECT_EQ(ds.SetSort(QStringLiteral("RprNo X")), -1);
}

// Names in the order a Chinese reader expects: by pinyin (阿 before 丁, 张 before 赵), not by
// character code (丁 first); nulls first ascending and last descending. Texts the locale counts
// as equal (é written as one character or as e and an accent) are still ordered, by code point,
// as the files and the server order them. Texts of digits alone, read first, are in byte order
// among themselves and before the names.
class ChineseNames : public ::testing::TestWithParam<bool>
{
};

// GRD-01
TEST_P(ChineseNames, SortByPinyinAndOnlyIdenticalTextsTie)
{
    const bool descending = GetParam();
    const std::vector<std::optional<QString>> ascending{
        std::nullopt, QStringLiteral(""), QStringLiteral("09"), QStringLiteral("1"), QStringLiteral("10"),
        QStringLiteral("2"), QStringLiteral("阿明"), QStringLiteral("安娜"), QStringLiteral("丁一"),
        QStringLiteral("李四"), QStringLiteral("王五"), QStringLiteral("张三"), QStringLiteral("赵六"),
        QStringLiteral("abc"), QStringLiteral("ABC"), QStringLiteral("e\u0301"), QStringLiteral("\u00e9"),
        QStringLiteral("Zhang")};
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    // Stored in code order, twice over with a tie each, so that a code-point sort would keep
    // them so and only equal names fall together.
    std::vector<std::optional<QString>> stored = ascending;
    std::sort(stored.begin(), stored.end());
    for (int copy = 0; copy < 2; ++copy)
        for (const auto &name : stored) {
            const long n = ds.InsertRow(0);
            ds.SetItem(n, "hisid", Value(std::int64_t(n)));
            if (name)
                ds.SetItem(n, "hostname", Value(*name));
        }
    ASSERT_EQ(ds.SetSort(descending ? QStringLiteral("hostname D") : QStringLiteral("hostname A")), 1);
    ASSERT_EQ(ds.Sort(), 1);
    ASSERT_EQ(ds.RowCount(), long(2 * ascending.size()));
    for (std::size_t i = 0; i < ascending.size(); ++i) {
        const auto &expected = ascending[descending ? ascending.size() - 1 - i : i];
        for (long r : {long(2 * i + 1), long(2 * i + 2)}) {
            const Value v = ds.GetItem(r, "hostname");
            ASSERT_EQ(v.isNull(), !expected) << "row " << r;
            if (expected) {
                EXPECT_EQ(v.toText(), *expected) << "row " << r;
            }
        }
        EXPECT_LT(ds.GetItemNumber(long(2 * i + 1), "hisid").number(), ds.GetItemNumber(long(2 * i + 2), "hisid").number())
            << "equal names keep their order";
    }
}

INSTANTIATE_TEST_SUITE_P(Directions, ChineseNames, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Descending" : "Ascending"; });

// Texts of digits alone skip the collator (keys such as 人员编号 are most of what large grids are
// sorted by): that is sound only while the collator orders them as their bytes, which this checks
// against the collator itself, over random digit strings and the pairs where a length or a
// leading zero decides.
// GRD-01
TEST(ChineseOrder, DigitsAloneCollateAsTheirBytes)
{
    std::mt19937 random(7);
    std::vector<std::string> texts{"1", "10", "2", "09", "9", "0", "00", "100", "1000000000000", "999"};
    for (int i = 0; i < 400; ++i) {
        std::string t(random() % 14, '0');
        for (char &c : t)
            c = char('0' + random() % 10);
        texts.push_back(t);
    }
    const QCollator &collator = rt::ChineseOrder::collator();
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const std::string &a : texts)
        for (const std::string &b : texts) {
            if (a == b || a.empty() || b.empty())
                continue;
            ASSERT_EQ(sign(collator.compare(QString::fromStdString(a), QString::fromStdString(b))), sign(a.compare(b)))
                << a << " against " << b;
            ASSERT_EQ(rt::ChineseOrder::compareUtf8(a, b), rt::ChineseOrder::compare(QString::fromStdString(a), QString::fromStdString(b)));
        }
    // A set of digits alone sorts as the collator sorts it; a set with one name among them
    // takes the collator's way, with the digits in the same order within it.
    std::vector<std::string_view> digits(texts.begin(), texts.end());
    rt::ChineseOrder::sortUtf8(digits);
    EXPECT_TRUE(std::is_sorted(digits.begin(), digits.end(), [](std::string_view x, std::string_view y) {
        return rt::ChineseOrder::compare(QString::fromUtf8(x.data(), qsizetype(x.size())),
                                         QString::fromUtf8(y.data(), qsizetype(y.size()))) < 0;
    }));
    const std::string name = "张三";
    std::vector<std::string_view> mixed(texts.begin(), texts.end());
    mixed.push_back(name);
    rt::ChineseOrder::sortUtf8(mixed);
    EXPECT_EQ(mixed.back(), name) << "digits come before Chinese";
    mixed.pop_back();
    EXPECT_EQ(std::vector<std::string_view>(mixed.begin(), mixed.end()), digits);
}

// Many rows with long shared prefixes, equal keys and nulls, first put out of storage order by
// another sort, then filtered down to most of the store or a small part of it: the sort must
// agree with a stable sort of the same rows by value, whichever way the engine reads the keys.
class SortAgainstReference : public ::testing::TestWithParam<int>
{
};

TEST_P(SortAgainstReference, MatchesAStableSortOfTheValues)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    std::mt19937 rng(7);
    const QString prefix = QStringLiteral("320102000000000000"); // longer than the 16 bytes kept
    for (int i = 1; i <= 3000; ++i) {
        const long n = ds.InsertRow(0);
        ds.SetItem(n, "hisid", Value(std::int64_t(i)));
        if (rng() % 10)
            ds.SetItem(n, "RprNo", Value(prefix + QString::number(rng() % 40)));
        if (rng() % 7)
            ds.SetItem(n, "SaveTime", Value(QStringLiteral("2024-01-%1 08:00:00").arg(1 + rng() % 5, 2, 10, QLatin1Char('0'))));
        ds.SetItem(n, "amount", Value(QString::number(int(rng() % 1000))));
    }
    ASSERT_EQ(ds.SetSort(QStringLiteral("amount D")), 1);
    ASSERT_EQ(ds.Sort(), 1);
    ASSERT_EQ(ds.SetFilter(QStringLiteral("amount < %1").arg(GetParam())), 1);
    ASSERT_EQ(ds.Filter(), 1);
    ASSERT_GT(ds.RowCount(), 10);

    using Key = std::tuple<std::optional<QString>, std::optional<QString>, long>;
    std::vector<Key> expected;
    for (long r = 1; r <= ds.RowCount(); ++r) {
        const Value rpr = ds.GetItem(r, "RprNo"), saved = ds.GetItem(r, "SaveTime");
        expected.emplace_back(rpr.isNull() ? std::nullopt : std::optional<QString>(rpr.toText()),
                              saved.isNull() ? std::nullopt : std::optional<QString>(saved.toText()),
                              long(ds.GetItemNumber(r, "hisid").number()));
    }
    // RprNo ascending, SaveTime descending; nulls first in ascending order, last in descending.
    std::stable_sort(expected.begin(), expected.end(), [](const Key &a, const Key &b) {
        if (std::get<0>(a) != std::get<0>(b))
            return std::get<0>(a) < std::get<0>(b);
        return std::get<1>(b) < std::get<1>(a);
    });
    ASSERT_EQ(ds.SetSort(QStringLiteral("RprNo A, SaveTime D")), 1);
    ASSERT_EQ(ds.Sort(), 1);
    ASSERT_EQ(ds.RowCount(), long(expected.size()));
    for (long r = 1; r <= ds.RowCount(); ++r)
        ASSERT_EQ(long(ds.GetItemNumber(r, "hisid").number()), std::get<2>(expected[std::size_t(r - 1)])) << "row " << r;
}

// amount < 900 keeps most of the store; amount < 100 keeps about a tenth of it.
INSTANTIATE_TEST_SUITE_P(BufferShares, SortAgainstReference, ::testing::Values(900, 100));

struct FilterCase
{
    const char *expression;
    QList<long> kept;
};

void PrintTo(const FilterCase &f, std::ostream *os)
{
    *os << f.expression;
}

class Filter : public SortFilterTest, public ::testing::WithParamInterface<FilterCase>
{
};

TEST_P(Filter, KeepsMatchingRowsAndCanBeUndone)
{
    ASSERT_EQ(ds.SetFilter(QString::fromUtf8(GetParam().expression)), 1) << ds.lastError().toStdString();
    ASSERT_EQ(ds.Filter(), 1);
    QList<long> kept = order();
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, GetParam().kept);
    EXPECT_EQ(ds.FilteredCount(), 5 - kept.size());
    ds.SetFilter(QString());
    ds.Filter();
    EXPECT_EQ(ds.RowCount(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Filter,
    ::testing::Values(FilterCase{"RprNo = 'R1'", {1, 3}}, FilterCase{"rprno <> 'R1'", {2, 4, 5}},
                      FilterCase{"amount > 2.5", {1, 4}}, FilterCase{"amount >= '2.50'", {1, 3, 4}},
                      FilterCase{"isnull(amount) or isnull(hostname)", {2, 4}},
                      FilterCase{"hostname like '王%'", {1, 3}}, FilterCase{"not (RprNo = 'R2')", {1, 3, 4}},
                      FilterCase{"SaveTime >= '2024-01-01' and SaveTime < datetime('2025-01-01')", {1, 3}},
                      FilterCase{"date(SaveTime) = date('2024-01-01')", {3}},
                      FilterCase{"(RprNo = 'R1' or RprNo = 'R3') and amount < 8", {3, 4}},
                      FilterCase{"len(hostname) = 2", {1, 2, 3, 5}}));

TEST_F(SortFilterTest, BadFiltersAreRefused)
{
    for (const char *bad : {"RprNo =", "nothing = 1", "RprNo = 'open", "(RprNo = 'R1'", "RprNo == 'R1'", "amount > > 1"})
        EXPECT_EQ(ds.SetFilter(QString::fromUtf8(bad)), -1) << bad;
    EXPECT_EQ(ds.RowCount(), 5);
}

// Nesting deeper than any real filter is refused with a reason, not left to overflow the stack;
// a deep but reasonable one still works.
TEST_F(SortFilterTest, DeepNestingIsRefusedNotOverflowed)
{
    const auto nested = [](int depth, const QString &open, const QString &close) {
        return open.repeated(depth) + QStringLiteral("RprNo = 'R1'") + close.repeated(depth);
    };
    EXPECT_EQ(ds.SetFilter(nested(100000, QStringLiteral("("), QStringLiteral(")"))), -1);
    EXPECT_TRUE(ds.lastError().contains(QStringLiteral("nested"))) << ds.lastError().toStdString();
    EXPECT_EQ(ds.SetFilter(nested(100000, QStringLiteral("not "), QString())), -1);
    EXPECT_EQ(ds.SetFilter(nested(100000, QStringLiteral("len(trim("), QStringLiteral("))"))), -1);
    ASSERT_EQ(ds.SetFilter(QStringLiteral("RprNo = 'R1'")), 1);
    ASSERT_EQ(ds.Filter(), 1);
    const long flat = ds.RowCount();
    ASSERT_EQ(ds.SetFilter(nested(50, QStringLiteral("("), QStringLiteral(")"))), 1) << ds.lastError().toStdString();
    ASSERT_EQ(ds.Filter(), 1);
    EXPECT_EQ(ds.RowCount(), flat);
}

TEST_F(SortFilterTest, NullsNeverMatchAComparisonButIsNullFindsThem)
{
    ASSERT_EQ(ds.SetFilter(QStringLiteral("hostname <> 'x'")), 1);
    ds.Filter();
    EXPECT_EQ(ds.RowCount(), 4) << "the row without a name is neither equal nor unequal";
    ds.SetFilter(QStringLiteral("not hostname = '王伟' and not isnull(hostname)"));
    ds.Filter();
    QList<long> kept = order();
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (QList<long>{2, 5}));
}

TEST_F(SortFilterTest, LikeEscapesAndKeywordsInAnyCase)
{
    ds.SetItem(2, "hostname", Value(QStringLiteral("O'Brien")));
    ASSERT_EQ(ds.SetFilter(QStringLiteral("hostname = 'O~'Brien' OR RprNo LIKE 'R_' AND amount > 9")), 1) << ds.lastError().toStdString();
    ds.Filter();
    QList<long> kept = order();
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (QList<long>{1, 2})) << "and binds tighter than or";
    ds.SetFilter(QStringLiteral("upper(RprNo) like 'r%'"));
    ds.Filter();
    EXPECT_EQ(ds.RowCount(), 5) << "like ignores case";
    ds.SetFilter(QStringLiteral("trim(' R1 ') = RprNo"));
    ds.Filter();
    EXPECT_EQ(ds.RowCount(), 2);
}
