#include "Fixtures.h"

#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rt;

namespace {
void write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

TEST(DwLibrary, LibraryFilesAndOverridesReportBrokenTextByName)
{
    QTemporaryDir dir;
    const QString lib = QDir(dir.path()).filePath(QStringLiteral("lib.json"));
    write(lib, "{\"d_one\": " + sampleDefinition().toJson() + "}");
    DwLibrary library;
    QString error;
    ASSERT_TRUE(library.addLibraryFile(lib, error)) << error.toStdString();
    EXPECT_TRUE(library.contains(QStringLiteral("D_ONE")));
    EXPECT_EQ(library.names(), QStringList{QStringLiteral("d_one")});
    const auto found = library.find(QStringLiteral("d_one"), error);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name(), QStringLiteral("d_one"));

    write(lib, "{\"d_two\": {\"objects\": [{\"type\": \"blob\"}]}}");
    EXPECT_FALSE(library.addLibraryFile(lib, error));
    EXPECT_TRUE(error.contains(QStringLiteral("d_two")));
    EXPECT_FALSE(library.addLibraryFile(QDir(dir.path()).filePath(QStringLiteral("none.json")), error));

    // A broken override does not fall back silently: the operator learns which file is wrong.
    const QString overrides = QDir(dir.path()).filePath(QStringLiteral("layouts"));
    QDir().mkpath(overrides);
    write(QDir(overrides).filePath(QStringLiteral("d_one.json")), "{ not json");
    library.setOverrideFolder(overrides);
    EXPECT_FALSE(library.find(QStringLiteral("d_one"), error).has_value());
    EXPECT_TRUE(error.contains(QStringLiteral("d_one.json"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("line 1")));
}

TEST(DwLibrary, DefaultLibraryServesDataStoresGivenNone)
{
    DwLibrary library;
    library.add(QStringLiteral("d_sample"), sampleDefinition());
    DataStore ds;
    EXPECT_EQ(ds.SetDataObject(QStringLiteral("d_sample")), -1) << "no library loaded yet";
    EXPECT_TRUE(ds.lastError().contains(QStringLiteral("d_sample")));
    DwLibrary::setDefaultLibrary(&library);
    EXPECT_EQ(ds.SetDataObject(QStringLiteral("d_sample")), 1);
    EXPECT_EQ(ds.DataObject(), QStringLiteral("d_sample"));
    EXPECT_EQ(ds.definition().columnCount(), 5);
    DwLibrary::setDefaultLibrary(nullptr);
}

struct Defaulted
{
    const char *expression;
    const char *answer;
};

void PrintTo(const Defaulted &d, std::ostream *os)
{
    *os << d.expression;
}

class DescribeDefaults : public ::testing::TestWithParam<Defaulted>
{
};

TEST_P(DescribeDefaults, UnsetPropertiesAnswerTheirDefaults)
{
    const auto def = sampleDefinition();
    DataStore ds;
    ds.setDefinition(def);
    EXPECT_EQ(ds.Describe(QString::fromUtf8(GetParam().expression)), QString::fromUtf8(GetParam().answer));
}

INSTANTIATE_TEST_SUITE_P(Table, DescribeDefaults,
                         ::testing::Values(Defaulted{"hostname.color", "33554432"}, Defaulted{"hostname.visible", "1"},
                                           Defaulted{"hostname.band", "detail"}, Defaulted{"hostname.update", "yes"},
                                           Defaulted{"hostname.identity", "no"}, Defaulted{"hostname.format", "?"},
                                           Defaulted{"hostname_t.background.mode", "0"},
                                           Defaulted{"hostname_t.background.color", "67108864"},
                                           Defaulted{"hostname.background.mode", "1"},
                                           Defaulted{"amount.id", "4"}, Defaulted{"p_query.border", "0"},
                                           Defaulted{"l_h1.pen.color", "33554432"}, Defaulted{"l_h1.text", "!"},
                                           Defaulted{"p_query.text", "!"}, Defaulted{"datawindow.style", "grid"}));

TEST(DescribeModify, YesNoPropertiesAreNormalised)
{
    auto def = sampleDefinition();
    DataStore ds;
    ds.setDefinition(def);
    EXPECT_EQ(ds.Modify(QStringLiteral("hostname.key = true")), QString());
    EXPECT_EQ(ds.Describe(QStringLiteral("hostname.key")), QStringLiteral("yes"));
    EXPECT_EQ(ds.Modify(QStringLiteral("hostname.key = 0")), QString());
    EXPECT_EQ(ds.Describe(QStringLiteral("hostname.key")), QStringLiteral("no"));
    EXPECT_EQ(ds.Modify(QStringLiteral("hostname.coltype = 'char(40)'")), QString());
    EXPECT_EQ(ds.Describe(QStringLiteral("hostname.coltype")), QStringLiteral("char(40)"));
    EXPECT_EQ(ds.definition().columnType(2).size, 40);
}
