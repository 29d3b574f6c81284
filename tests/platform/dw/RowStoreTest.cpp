#include "platform/dw/RowStore.h"

#include <gtest/gtest.h>

using namespace rt;

struct DecimalBytes
{
    const char *text;
    int scale;
    bool ok;
    std::int64_t mantissa;
};

void PrintTo(const DecimalBytes &d, std::ostream *os)
{
    *os << d.text << " @" << d.scale;
}

class ParseDecimal : public ::testing::TestWithParam<DecimalBytes>
{
};

TEST_P(ParseDecimal, ScalesAndRoundsToTheColumn)
{
    std::int64_t m = 0;
    EXPECT_EQ(RowStore::parseDecimal(GetParam().text, GetParam().scale, m), GetParam().ok);
    if (GetParam().ok) {
        EXPECT_EQ(m, GetParam().mantissa);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseDecimal,
                         ::testing::Values(DecimalBytes{"12345.67", 2, true, 1234567}, DecimalBytes{"-0.05", 2, true, -5},
                                           DecimalBytes{"1.1", 2, true, 110}, DecimalBytes{"7", 2, true, 700},
                                           DecimalBytes{"2.345", 2, true, 235}, DecimalBytes{"2.344", 2, true, 234},
                                           DecimalBytes{"+3.5", 0, true, 4}, DecimalBytes{"", 2, false, 0},
                                           DecimalBytes{"1.2.3", 2, false, 0}, DecimalBytes{"abc", 2, false, 0},
                                           DecimalBytes{"9999999999999999999", 0, false, 0}));

struct TemporalBytes
{
    const char *text;
    bool date, datetime, time;
};

void PrintTo(const TemporalBytes &t, std::ostream *os)
{
    *os << '"' << t.text << '"';
}

class ParseTemporal : public ::testing::TestWithParam<TemporalBytes>
{
};

// BAT-06
TEST_P(ParseTemporal, AcceptsCanonicalTextOnly)
{
    std::int64_t v = 0;
    EXPECT_EQ(RowStore::parseDate(GetParam().text, v), GetParam().date);
    EXPECT_EQ(RowStore::parseDateTime(GetParam().text, v), GetParam().datetime);
    EXPECT_EQ(RowStore::parseTime(GetParam().text, v), GetParam().time);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseTemporal,
                         ::testing::Values(TemporalBytes{"2024-02-29", true, true, false},
                                           TemporalBytes{"2023-02-29", false, false, false},
                                           TemporalBytes{"2024-02-29 10:11:12", true, true, false},
                                           TemporalBytes{"2024-02-29 10:11:12.5", true, true, false},
                                           TemporalBytes{"2024-02-29 24:00:00", true, false, false},
                                           TemporalBytes{"10:11:12.000001", false, false, true},
                                           TemporalBytes{"10:11", false, false, true},
                                           TemporalBytes{"10:61", false, false, false},
                                           TemporalBytes{"2024/02/29", false, false, false}, TemporalBytes{"", false, false, false}));

TEST(RowStore, CellsRoundTripEveryTypeAndTextLength)
{
    QList<DwColumnType> types;
    for (const char *t : {"char(40)", "long", "number", "decimal(3)", "date", "datetime", "time"})
        types << *DwColumnType::parse(QString::fromLatin1(t));
    RowStore store(types);
    const QStringList texts{QString(), QStringLiteral(""), QStringLiteral("王"), QStringLiteral("1234567"),
                            QStringLiteral("12345678"), QString(300, QLatin1Char('x')), QStringLiteral("户籍信息维护系统")};
    QList<RowStore::Slot> slots;
    for (const QString &t : texts) {
        const auto s = store.newRow();
        slots << s;
        EXPECT_TRUE(store.setValue(s, 0, Value(t)));
        EXPECT_TRUE(store.setValue(s, 1, Value(std::int64_t(-42))));
        EXPECT_TRUE(store.setValue(s, 2, Value(2.5)));
        EXPECT_TRUE(store.setValue(s, 3, Value(QStringLiteral("-1.2345"))));
        EXPECT_TRUE(store.setValue(s, 4, Value(QDate(1900, 1, 1))));
        EXPECT_TRUE(store.setValue(s, 5, Value(DateTime(QDate(1969, 12, 31), Time(23, 59, 59, 999999)))));
        EXPECT_TRUE(store.setValue(s, 6, Value(Time(0, 0, 0, 1))));
    }
    for (int i = 0; i < texts.size(); ++i) {
        const auto s = slots[i];
        EXPECT_EQ(store.isNull(s, 0), texts[i].isNull()) << i;
        EXPECT_EQ(store.value(s, 0).string(), texts[i]) << i;
        EXPECT_EQ(store.value(s, 1).longValue(), -42);
        EXPECT_EQ(store.value(s, 3).toText(), QStringLiteral("-1.235")) << "rounded to the column's scale";
        EXPECT_EQ(store.value(s, 4).date(), QDate(1900, 1, 1));
        EXPECT_EQ(store.value(s, 5).dateTime().toCanonical(), QStringLiteral("1969-12-31 23:59:59.999999"));
        EXPECT_EQ(store.value(s, 6).time().microsecond(), 1);
    }
    EXPECT_FALSE(store.setValue(slots[0], 4, Value(QStringLiteral("2023-02-30"))));
    EXPECT_EQ(store.value(slots[0], 4).date(), QDate(1900, 1, 1)) << "unchanged";
    EXPECT_GT(store.memoryBytes(), 0u);
}

TEST(RowStore, FlagsAreKeptPerCell)
{
    QList<DwColumnType> types;
    for (int i = 0; i < 40; ++i) // more than one flag word
        types << *DwColumnType::parse(QStringLiteral("long"));
    RowStore store(types);
    const auto s = store.newRow();
    EXPECT_TRUE(store.isNull(s, 39));
    store.putInt(s, 39, 5);
    EXPECT_FALSE(store.isNull(s, 39));
    EXPECT_TRUE(store.isNull(s, 38));
    store.setModified(s, 35, true);
    EXPECT_TRUE(store.isModified(s, 35));
    EXPECT_FALSE(store.isModified(s, 3));
    EXPECT_TRUE(store.anyModified(s));
    store.clearModified(s);
    EXPECT_FALSE(store.anyModified(s));
    EXPECT_FALSE(store.isNull(s, 39)) << "clearing modified flags keeps the values";
}
