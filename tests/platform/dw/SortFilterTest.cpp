#include "Fixtures.h"

#include "platform/dw/DataStore.h"

#include <gtest/gtest.h>

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
