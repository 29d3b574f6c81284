#include "platform/core/Functions.h"

#include <gtest/gtest.h>

using namespace rt;
namespace fn = rt::fn;
using fn::Len; using fn::Left; using fn::Right; using fn::Mid; using fn::Pos; using fn::Replace; using fn::Trim; using fn::Lower;
using fn::String; using fn::RelativeDate; using fn::IsNull; using fn::Long; using fn::RGB; using fn::Today;

namespace {
QString u(const char *s)
{
    return QString::fromUtf8(s);
}
} // namespace

TEST(StringFunctions, CountCharactersOfChineseText)
{
    const QString s = u("户籍信息维护");
    EXPECT_EQ(Len(s), 6);
    EXPECT_EQ(Left(s, 2), u("户籍"));
    EXPECT_EQ(Right(s, 2), u("维护"));
    EXPECT_EQ(Mid(s, 3, 2), u("信息"));
    EXPECT_EQ(Mid(s, 5), u("维护"));
    EXPECT_EQ(Pos(s, u("信息")), 3);
    EXPECT_EQ(Pos(s, u("信息"), 4), 0);
    EXPECT_EQ(Replace(s, 1, 2, u("人员")), u("人员信息维护"));
    // A character outside the basic plane is one character, not two.
    const QString wide = u("𠀋a");
    EXPECT_EQ(Len(wide), 2);
    EXPECT_EQ(Right(wide, 1), u("a"));
    EXPECT_EQ(Left(wide, 1), u("𠀋"));
}

TEST(StringFunctions, OutOfRangeArgumentsGiveEmptyText)
{
    EXPECT_EQ(Left(u("abc"), 0), QString());
    EXPECT_FALSE(Left(u("abc"), 0).isNull());
    EXPECT_EQ(Left(u("abc"), 10), u("abc"));
    EXPECT_EQ(Right(u("abc"), -1), QString());
    EXPECT_EQ(Mid(u("abc"), 9), QString());
    EXPECT_EQ(Mid(u("abc"), 0, 2), u("ab"));
    EXPECT_EQ(Pos(u("abc"), QString()), 0);
    EXPECT_EQ(Replace(u("abc"), 3, 10, u("Z")), u("abZ"));
    EXPECT_EQ(Trim(u("  p_rprinfo \t")), u("p_rprinfo"));
    EXPECT_EQ(Lower(u("p_Children")), u("p_children"));
}

struct Formatted
{
    Value value;
    const char *format;
    const char *text;
};

void PrintTo(const Formatted &f, std::ostream *os)
{
    *os << f.format << " -> " << f.text;
}

class StringFormat : public ::testing::TestWithParam<Formatted>
{
};

TEST_P(StringFormat, Formats)
{
    EXPECT_EQ(String(GetParam().value, QString::fromUtf8(GetParam().format)), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StringFormat,
    ::testing::Values(
        Formatted{Value(QDate(2024, 3, 5)), "yyyy-mm-dd", "2024-03-05"},
        Formatted{Value(rt::DateTime(QDate(2024, 3, 5), Time(7, 8, 9))), "yyyy-mm-dd hh:mm:ss", "2024-03-05 07:08:09"},
        Formatted{Value(rt::DateTime(QDate(2024, 3, 5), Time(7, 8, 9, 120034))), "yyyy-mm-dd hh:mm:ss.ffffff",
                  "2024-03-05 07:08:09.120034"},
        Formatted{Value(rt::DateTime(QDate(2024, 3, 5), Time(17, 48, 0))), "mm/dd/yy h:mm", "03/05/24 17:48"},
        Formatted{Value(Time(23, 59, 1)), "hh:mm:ss", "23:59:01"},
        Formatted{Value(1234567.891), "#,##0.00", "1,234,567.89"},
        Formatted{Value(-0.5), "0.00", "-0.50"},
        Formatted{Value(Decimal(1234567, 2)), "0.0", "12345.7"},
        Formatted{Value(std::int64_t(42)), "000", "042"},
        Formatted{Value(QDate(2024, 3, 5)), "", "2024-03-05"}));

TEST(StringFormat, NullGivesNull)
{
    EXPECT_TRUE(String(Value::null(ValueType::Date), QStringLiteral("yyyy-mm-dd")).isNull());
}

TEST(DateFunctions, RelativeDateAndDateFromText)
{
    EXPECT_EQ(RelativeDate(QDate(2024, 1, 1), -730), QDate(2022, 1, 1));
    EXPECT_EQ(RelativeDate(QDate(2024, 2, 28), 1), QDate(2024, 2, 29));
    EXPECT_EQ(fn::Date(u("2024-07-15")), QDate(2024, 7, 15));
    EXPECT_TRUE(IsNull(fn::Date(u("2023-02-30"))));
    EXPECT_EQ(fn::Date(fn::DateTime(u("2024-07-15 23:59:59"))), QDate(2024, 7, 15));
    EXPECT_EQ(fn::DateTime(QDate(2024, 7, 15)).toCanonical(), u("2024-07-15 00:00:00"));
    EXPECT_FALSE(fn::DateTime(u("2024-07-15 25:00")).isValid());
    EXPECT_EQ(Today(), QDate::currentDate());
}

TEST(NumberFunctions, LongAndRgb)
{
    EXPECT_EQ(Long(u("17")), 17);
    EXPECT_EQ(Long(u(" 17 ")), 17);
    EXPECT_EQ(Long(u("abc")), 0);
    // Beyond a long's range: no long, like a text that is no number.
    EXPECT_EQ(Long(u("12345678901234567890")), 0);
    EXPECT_EQ(Long(u("-9.3e18")), 0);
    EXPECT_EQ(Long(u("3.9")), 3);
    EXPECT_EQ(RGB(128, 0, 0), 128);
    EXPECT_EQ(RGB(255, 255, 255), 16777215);
    EXPECT_EQ(RGB(0, 0, 255), 16711680);
}

TEST(StringFunctions, PositionsCountCharactersAfterSurrogatePairs)
{
    const QString s = u("𠀋户籍𠀋信息");
    EXPECT_EQ(Len(s), 6);
    EXPECT_EQ(Pos(s, u("信息")), 5);
    EXPECT_EQ(Mid(s, 4, 1), u("𠀋"));
    EXPECT_EQ(Replace(s, 4, 1, u("-")), u("𠀋户籍-信息"));
    EXPECT_EQ(Pos(s, u("户"), 3), 0);
    EXPECT_EQ(Pos(u("aaa"), u("aa"), 2), 2);
}

TEST(DateFunctions, ImpossiblePartsGiveNullDates)
{
    EXPECT_TRUE(IsNull(fn::Date(2023, 2, 29)));
    EXPECT_FALSE(IsNull(fn::Date(2024, 2, 29)));
    EXPECT_TRUE(IsNull(RelativeDate(QDate(), 5)));
    EXPECT_TRUE(String(Value(fn::Date(2023, 2, 29)), QStringLiteral("yyyy-mm-dd")).isNull());
}

class NumberFormat : public ::testing::TestWithParam<std::tuple<double, const char *, const char *>>
{
};

TEST_P(NumberFormat, Formats)
{
    const auto [value, format, text] = GetParam();
    EXPECT_EQ(String(Value(value), QString::fromLatin1(format)), QString::fromLatin1(text));
}

INSTANTIATE_TEST_SUITE_P(Table, NumberFormat,
                         ::testing::Values(std::make_tuple(0.0, "#,##0.00", "0.00"), std::make_tuple(999.995, "0.00", "1000.00"),
                                           std::make_tuple(-1234.5, "#,##0.0", "-1,234.5"),
                                           std::make_tuple(1234567.0, "#,##0", "1,234,567"),
                                           std::make_tuple(0.25, "#.##", ".25"), std::make_tuple(-0.001, "0.00", "0.00"),
                                           std::make_tuple(12.0, "0.0#", "12.0")));
