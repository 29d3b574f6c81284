#include "Fixtures.h"

#include "platform/dw/DwProperties.h"

#include <gtest/gtest.h>

using rt::DwProperties;

struct Described
{
    const char *expression;
    const char *answer;
};

void PrintTo(const Described &d, std::ostream *os)
{
    *os << d.expression;
}

class Describe : public ::testing::TestWithParam<Described>
{
};

TEST_P(Describe, Answers)
{
    const auto def = sampleDefinition();
    EXPECT_EQ(DwProperties::describe(def, QString::fromUtf8(GetParam().expression)), QString::fromUtf8(GetParam().answer));
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Describe,
    ::testing::Values(
        Described{"datawindow.column.count", "5"}, Described{"Datawindow.Column.Count", "5"},
        Described{"Datawindow.Objects",
                  "hisid\thisid_t\tRprNo\tRprNo_t\thostname\thostname_t\tamount\tamount_t\tSaveTime\tSaveTime_t\tp_query\tl_h1"},
        Described{"datawindow.Table.Select", "SELECT hisid, RprNo, hostname, amount, SaveTime FROM th_demo"},
        Described{"Datawindow.Table.UpdateTable", "th_demo"}, Described{"datawindow.readonly", "no"},
        Described{"#2.Name", "RprNo"}, Described{"#5.ColType", "datetime"}, Described{"#4.coltype", "decimal(2)"},
        Described{"#3.x", "438"}, Described{"#3.width", "600"}, Described{"#2.Color", "33554432"},
        Described{"#4.alignment", "1"}, Described{"hisid.key", "yes"}, Described{"hisid.identity", "yes"},
        Described{"rprno.key", "no"}, Described{"hisid.Visible", "0"}, Described{"RprNo.visible", "1"},
        Described{"RprNo_t.type", "text"}, Described{"rprno_t.band", "header"}, Described{"HOSTNAME_T.TEXT", "户主姓名"},
        Described{"hisid_t.visible", "0"}, Described{"RprNo_t.border", "6"}, Described{"p_query.type", "bitmap"},
        Described{"p_query.filename", "bmp\\query.bmp"}, Described{"p_query.tag", "?"}, Described{"l_h1.x2", "3"},
        Described{"l_h1.type", "line"}, Described{"hostname.type", "column"}, Described{"nothing.x", "!"},
        Described{"hostname.nonsense", "!"}, Described{"#9.name", "!"}, Described{"#0.name", "!"},
        Described{"hostname", "!"}, Described{"datawindow.nonsense", "!"},
        Described{"RprNo_t.text hostname.x", "户号\n438"}, Described{"RprNo_t.Text  #1.name", "户号\nhisid"}));

struct Modified
{
    const char *expression;
    const char *property; // described afterwards
    const char *value;
};

void PrintTo(const Modified &m, std::ostream *os)
{
    *os << m.expression;
}

class Modify : public ::testing::TestWithParam<Modified>
{
};

TEST_P(Modify, TakesEffect)
{
    auto def = sampleDefinition();
    EXPECT_EQ(DwProperties::modify(def, QString::fromUtf8(GetParam().expression)), QString());
    EXPECT_EQ(DwProperties::describe(def, QString::fromUtf8(GetParam().property)), QString::fromUtf8(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Modify,
    ::testing::Values(
        Modified{"Datawindow.ReadOnly=true", "datawindow.readonly", "yes"},
        Modified{"DataWindow.ReadOnly = Yes", "datawindow.readonly", "yes"},
        Modified{"datawindow.ReadOnly=yes", "datawindow.readonly", "yes"},
        Modified{"datawindow.readonly=no", "datawindow.readonly", "no"},
        Modified{"hostname_t.Border = '0'", "hostname_t.border", "0"},
        Modified{"hostname_t.Background.Color = '16777215'", "hostname_t.background.color", "16777215"},
        Modified{"hostname_t.Background.Mode\t = '1'", "hostname_t.background.mode", "1"},
        Modified{"#3.alignment = 2", "hostname.alignment", "2"}, Modified{"#3.Color = 255", "#3.color", "255"},
        Modified{"#3.Color = 33554432", "#3.color", "33554432"},
        Modified{"p_query.FileName = 'bmp\\query2.bmp'", "p_query.filename", "bmp\\query2.bmp"},
        Modified{"RprNo_t.Text = \"say ~\"hi~\"\"", "rprno_t.text", "say \"hi\""},
        Modified{"RprNo_t.Text = 'a~tb'", "rprno_t.text", "a\tb"},
        Modified{"RprNo_t.Text='it~'s' hostname_t.text='x'", "rprno_t.text hostname_t.text", "it's\nx"},
        Modified{"datawindow.table.select='select * from th_demo where RprNo = ~'R~'~'1~''", "datawindow.table.select",
                 "select * from th_demo where RprNo = 'R''1'"},
        Modified{"l_h1.x1=10 l_h1.y1 = 20 l_h1.visible=1", "l_h1.x1 l_h1.y1 l_h1.visible", "10\n20\n1"},
        Modified{"p_query.tag = '0'", "p_query.tag", "0"},
        Modified{"hostname.x = 500", "#3.x", "500"}));

class ModifyError : public ::testing::TestWithParam<const char *>
{
};

TEST_P(ModifyError, ReportsAndChangesNothing)
{
    auto def = sampleDefinition();
    const QByteArray before = def.toJson();
    EXPECT_FALSE(DwProperties::modify(def, QString::fromUtf8(GetParam())).isEmpty());
    EXPECT_EQ(def.toJson(), before);
}

INSTANTIATE_TEST_SUITE_P(Expressions, ModifyError,
                         ::testing::Values("nothing.x = 1", "#9.x = 1", "#2.x = abc", "hostname.nonsense = 1",
                                           "hostname.x", "hostname.x = 1 bad", "= 1", "RprNo_t.text = 'open",
                                           "datawindow.readonly = maybe", "datawindow.column.count = 3",
                                           "hostname.name = other", "hostname.type = text",
                                           "RprNo_t.text = 'fine' nothing.x = 1", "hostname.coltype = 'blob'",
                                           "RprNo_t.band = 'middle'", ""));

TEST(DefinitionText, RoundTripsAndReportsErrors)
{
    const auto def = sampleDefinition();
    QString error;
    const auto again = rt::DwDefinition::fromJson(def.toJson(), error);
    ASSERT_TRUE(again.has_value()) << error.toStdString();
    EXPECT_EQ(again->toJson(), def.toJson());
    EXPECT_EQ(again->columnCount(), 5);
    EXPECT_EQ(again->columnType(3).size, 2);

    for (const char *bad : {"{", "[]", R"json({"style": "pie"})json", R"json({"objects": [{"type": "blob", "name": "x"}]})json",
                            R"json({"objects": [{"type": "column", "name": "x", "coltype": "varchar"}]})json",
                            R"json({"objects": [{"type": "text", "name": "x", "colour": 1}]})json",
                            R"json({"objects": [{"type": "text", "name": "x"}, {"type": "text", "name": "X"}]})json",
                            R"json({"nonsense": 1})json"}) {
        error.clear();
        EXPECT_FALSE(rt::DwDefinition::fromJson(QByteArray(bad), error).has_value()) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

// A number in a definition's text beyond what a whole property value holds is kept as a number,
// never converted out of range (a 1e37 width from a layouts file).
TEST(DefinitionText, NumbersBeyondALongStayAsWritten)
{
    QString error;
    const auto d = rt::DwDefinition::fromJson(
        QByteArrayLiteral(R"({"name":"x","style":"grid","objects":[{"name":"a","type":"column","coltype":"long","width":1e37,"x":-2.5e300,"y":12}]})"),
        error);
    ASSERT_TRUE(d.has_value()) << error.toStdString();
    EXPECT_EQ(d->column(0).prop(QStringLiteral("width")), QStringLiteral("1e+37"));
    EXPECT_EQ(d->column(0).prop(QStringLiteral("x")), QStringLiteral("-2.5e+300"));
    EXPECT_EQ(d->column(0).prop(QStringLiteral("y")), QStringLiteral("12"));
}
