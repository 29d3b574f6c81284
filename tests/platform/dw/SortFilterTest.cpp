#include "Fixtures.h"

#include "platform/dw/DataStore.h"

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
