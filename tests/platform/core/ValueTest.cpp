#include "platform/core/DateTime.h"
#include "platform/core/Decimal.h"
#include "platform/core/Value.h"

#include <gtest/gtest.h>

using namespace rt;

struct DecimalText
{
    const char *input;
    const char *printed; // nullptr: rejected
};

void PrintTo(const DecimalText &d, std::ostream *os)
{
    *os << '"' << d.input << '"';
}

class DecimalParse : public ::testing::TestWithParam<DecimalText>
{
};

TEST_P(DecimalParse, KeepsDigitsAndScale)
{
    const auto d = Decimal::parse(QString::fromUtf8(GetParam().input));
    if (!GetParam().printed) {
        EXPECT_FALSE(d.has_value());
        return;
    }
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->toString(), QString::fromUtf8(GetParam().printed));
}

INSTANTIATE_TEST_SUITE_P(Texts, DecimalParse,
                         ::testing::Values(DecimalText{"12345.67", "12345.67"}, DecimalText{"-0.05", "-0.05"},
                                           DecimalText{"1.10", "1.10"}, DecimalText{"+7", "7"},
                                           DecimalText{".5", "0.5"}, DecimalText{"123456789012345678", "123456789012345678"},
                                           DecimalText{"0.000000000000000001", "0.000000000000000001"},
                                           DecimalText{"1234567890123456789", nullptr}, DecimalText{"1.2.3", nullptr},
                                           DecimalText{"12a", nullptr}, DecimalText{"", nullptr}, DecimalText{"-", nullptr},
                                           DecimalText{"1e5", nullptr}));

TEST(Decimal, ComparesByValueNotByScale)
{
    EXPECT_EQ(*Decimal::parse(QStringLiteral("1.10")), *Decimal::parse(QStringLiteral("1.1")));
    EXPECT_LT(*Decimal::parse(QStringLiteral("-0.05")), *Decimal::parse(QStringLiteral("0")));
    EXPECT_LT(*Decimal::parse(QStringLiteral("99999999999999999.9")), *Decimal::parse(QStringLiteral("100000000000000000")));
}

TEST(Decimal, RoundsHalfAwayFromZero)
{
    EXPECT_EQ(Decimal::parse(QStringLiteral("2.345"))->withScale(2)->toString(), QStringLiteral("2.35"));
    EXPECT_EQ(Decimal::parse(QStringLiteral("-2.345"))->withScale(2)->toString(), QStringLiteral("-2.35"));
    EXPECT_EQ(Decimal::parse(QStringLiteral("2.344"))->withScale(2)->toString(), QStringLiteral("2.34"));
    EXPECT_EQ(Decimal::parse(QStringLiteral("7"))->withScale(2)->toString(), QStringLiteral("7.00"));
    EXPECT_FALSE(Decimal::parse(QStringLiteral("123456789012345678"))->withScale(2).has_value());
}

TEST(Decimal, FromDoubleKeepsFifteenDigits)
{
    EXPECT_EQ(Decimal::fromDouble(1234.5)->toString(), QStringLiteral("1234.5"));
    EXPECT_EQ(Decimal::fromDouble(0.1 + 0.2)->toString(), QStringLiteral("0.3"));
    EXPECT_EQ(Decimal::fromDouble(-0.00001234)->toString(), QStringLiteral("-0.00001234"));
    EXPECT_FALSE(Decimal::fromDouble(1e20).has_value());
}

TEST(DateTime, CanonicalFormOmitsAZeroFraction)
{
    const auto a = DateTime::parse(QStringLiteral("2024-02-29 08:05:09"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->toCanonical(), QStringLiteral("2024-02-29 08:05:09"));
    const auto b = DateTime::parse(QStringLiteral("2024-02-29T08:05:09.5"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->toCanonical(), QStringLiteral("2024-02-29 08:05:09.500000"));
    EXPECT_EQ(b->time().microsecond(), 500000);
    // Text order of canonical forms is time order, also around a zero fraction.
    EXPECT_LT(a->toCanonical(), b->toCanonical());
    EXPECT_LT(*a, *b);
}

TEST(DateTime, RejectsImpossibleDatesAndTimes)
{
    for (const char *bad : {"2023-02-30", "2023-13-01", "2023-00-10", "2023-02-28 24:00:00", "2023-02-28 10:60:00",
                            "2023-02-28 10:00:00.1234567", "yesterday", "", "2023-2",
                            // half typed: month and day take two digits
                            "2024-12-3", "2024-1-15", "2024-01-1 10:00:00"})
        EXPECT_FALSE(DateTime::parse(QString::fromUtf8(bad)).has_value()) << bad;
    EXPECT_FALSE(parseDate(QStringLiteral("2023-02-29")).has_value());
    EXPECT_TRUE(parseDate(QStringLiteral("2024-02-29")).has_value());
    EXPECT_EQ(DateTime::parse(QStringLiteral("2024-03-01"))->toCanonical(), QStringLiteral("2024-03-01 00:00:00"));
}

TEST(Value, NullKeepsItsType)
{
    Value d = Value::null(ValueType::Date);
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(d.type(), ValueType::Date);
    Value s(QStringLiteral(""));
    EXPECT_FALSE(s.isNull()) << "an empty string is not null";
    EXPECT_TRUE(Value(QString()).isNull());
    Value n(5);
    n.setNull();
    EXPECT_TRUE(n.isNull());
    EXPECT_EQ(n.type(), ValueType::Long);
    EXPECT_TRUE(n.convertedTo(ValueType::String).isNull());
}

struct Conversion
{
    Value from;
    ValueType to;
    bool ok;
    const char *text; // expected canonical text when ok
};

void PrintTo(const Conversion &c, std::ostream *os)
{
    *os << c.from.toText().toStdString() << " to " << valueTypeName(c.to).toStdString();
}

class ValueConversion : public ::testing::TestWithParam<Conversion>
{
};

TEST_P(ValueConversion, FollowsTheRuntime)
{
    bool ok = false;
    const Value v = GetParam().from.convertedTo(GetParam().to, &ok);
    EXPECT_EQ(ok, GetParam().ok);
    EXPECT_EQ(v.type(), GetParam().to);
    if (GetParam().ok)
        EXPECT_EQ(v.toText(), QString::fromUtf8(GetParam().text));
    else
        EXPECT_TRUE(v.isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValueConversion,
    ::testing::Values(Conversion{Value("42"), ValueType::Long, true, "42"},
                      Conversion{Value("4.6"), ValueType::Long, true, "5"},
                      Conversion{Value("abc"), ValueType::Long, false, ""},
                      Conversion{Value("12345.67"), ValueType::Decimal, true, "12345.67"},
                      Conversion{Value(2.5), ValueType::Decimal, true, "2.5"},
                      Conversion{Value("2024-05-06 07:08:09.000010"), ValueType::DateTime, true, "2024-05-06 07:08:09.000010"},
                      Conversion{Value("2024-05-06 07:08:09"), ValueType::Date, true, "2024-05-06"},
                      Conversion{Value("2024-05-06"), ValueType::DateTime, true, "2024-05-06 00:00:00"},
                      Conversion{Value("2023-02-30"), ValueType::Date, false, ""},
                      Conversion{Value(DateTime(QDate(2024, 1, 2), Time(3, 4, 5, 6))), ValueType::Time, true, "03:04:05.000006"},
                      Conversion{Value(QDate(2024, 1, 2)), ValueType::String, true, "2024-01-02"},
                      Conversion{Value("yes"), ValueType::Boolean, true, "true"},
                      Conversion{Value(3), ValueType::Number, true, "3"}));

TEST(Value, CompareOrdersNullsFirstAndNumbersAcrossTypes)
{
    EXPECT_LT(Value::compare(Value::null(ValueType::Long), Value(-100)), 0);
    EXPECT_EQ(Value::compare(Value(Decimal(110, 2)), Value(Decimal(11, 1))), 0);
    EXPECT_LT(Value::compare(Value(2), Value(2.5)), 0);
    EXPECT_GT(Value::compare(Value(QStringLiteral("王")), Value(QStringLiteral("李"))), 0);
    EXPECT_EQ(Value(Decimal(110, 2)), Value(Decimal(11, 1)));
    EXPECT_FALSE(Value(QStringLiteral("")) == Value(QString()));
}
