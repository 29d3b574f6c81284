#include "app/AppOptions.h"

#include <gtest/gtest.h>

struct CommandLine
{
    QStringList arguments;
    bool ok;
    const char *error; // a part of the error text when not ok
};

void PrintTo(const CommandLine &c, std::ostream *os)
{
    *os << c.arguments.join(QLatin1Char(' ')).toStdString();
}

class AppOptionsParse : public ::testing::TestWithParam<CommandLine>
{
};

// SRV-12 (every test of this suite)
TEST_P(AppOptionsParse, AcceptsWhatItDocumentsAndExplainsTheRest)
{
    app::AppOptions o;
    QString error;
    QStringList args{QStringLiteral("histmaint")};
    args << GetParam().arguments;
    EXPECT_EQ(o.parse(args, error), GetParam().ok) << error.toStdString();
    if (!GetParam().ok) {
        EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().error))) << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AppOptionsParse,
    ::testing::Values(CommandLine{{}, true, ""}, CommandLine{{QStringLiteral("--data"), QStringLiteral("/d")}, true, ""},
                      CommandLine{{QStringLiteral("--live"), QStringLiteral("a"), QStringLiteral("--history"), QStringLiteral("b")}, true, ""},
                      CommandLine{{QStringLiteral("--create-demo"), QStringLiteral("/x"), QStringLiteral("--households"), QStringLiteral("12"),
                                   QStringLiteral("--seed"), QStringLiteral("9")},
                                  true, ""},
                      CommandLine{{QStringLiteral("--screenshot"), QStringLiteral("a.png"), QStringLiteral("--category"), QStringLiteral("p_eldinfo")}, true, ""},
                      CommandLine{{QStringLiteral("--live"), QStringLiteral("a")}, false, "go together"},
                      CommandLine{{QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--live"), QStringLiteral("a"),
                                   QStringLiteral("--history"), QStringLiteral("b")},
                                  false, "either"},
                      CommandLine{{QStringLiteral("--households"), QStringLiteral("0")}, false, "at least 1"},
                      CommandLine{{QStringLiteral("--households"), QStringLiteral("many")}, false, "whole number"},
                      CommandLine{{QStringLiteral("--seed")}, false, "needs a value"},
                      CommandLine{{QStringLiteral("--data"), QStringLiteral("--seed")}, false, "needs a value"},
                      CommandLine{{QStringLiteral("--category"), QStringLiteral("p_rprinfo")}, false, "goes with --screenshot"},
                      CommandLine{{QStringLiteral("--frobnicate")}, false, "unknown argument"},
                      CommandLine{{QStringLiteral("--profile"), QStringLiteral("office")}, true, ""},
                      CommandLine{{QStringLiteral("--profile"), QStringLiteral("office"), QStringLiteral("--screenshot"), QStringLiteral("a.png")}, true, ""},
                      CommandLine{{QStringLiteral("--profile")}, false, "needs a value"},
                      CommandLine{{QStringLiteral("--profile"), QStringLiteral("office"), QStringLiteral("--pg"), QStringLiteral("host=db")},
                                  false, "do not go together"},
                      CommandLine{{QStringLiteral("--create-demo-pg"), QStringLiteral("host=db"), QStringLiteral("--profile"), QStringLiteral("office")},
                                  false, "do not go together"},
                      CommandLine{{QStringLiteral("--profile"), QStringLiteral("office"), QStringLiteral("--data"), QStringLiteral("/d")},
                                  false, "take the place"}));

// SRV-12 (every test of this suite)
TEST(AppOptionsProfile, AProfileIsTheServersRegisterAndTheUsageSaysWhereItIsRead)
{
    app::AppOptions o;
    QString error;
    ASSERT_TRUE(o.parse({QStringLiteral("histmaint"), QStringLiteral("--profile"), QStringLiteral("office")}, error));
    EXPECT_TRUE(o.onServer());
    EXPECT_EQ(o.profile, QStringLiteral("office"));
    EXPECT_TRUE(o.livePath.isEmpty()) << "no register file is looked for";
    const QString usage = app::AppOptions::usage();
    EXPECT_TRUE(usage.contains(QStringLiteral("--profile NAME")));
    EXPECT_TRUE(usage.contains(QStringLiteral("/etc/histmaint/NAME.conf")));
    EXPECT_TRUE(usage.contains(QStringLiteral("~/.pgpass")));
}

TEST(AppOptions, DefaultDataDirectoryAndFilesInIt)
{
    app::AppOptions o;
    QString error;
    ASSERT_TRUE(o.parse({QStringLiteral("histmaint")}, error));
    EXPECT_TRUE(o.defaultDataDir);
    EXPECT_TRUE(o.dataDir.endsWith(QStringLiteral("histmaint")));
    EXPECT_TRUE(o.livePath.endsWith(QStringLiteral("register.db")));
    EXPECT_TRUE(o.historyPath.endsWith(QStringLiteral("history.db")));
    app::AppOptions given;
    ASSERT_TRUE(given.parse({QStringLiteral("histmaint"), QStringLiteral("--data"), QStringLiteral("/srv/reg")}, error));
    EXPECT_FALSE(given.defaultDataDir);
    EXPECT_EQ(given.livePath, QStringLiteral("/srv/reg/register.db"));
    EXPECT_TRUE(app::AppOptions::usage().contains(QStringLiteral("--create-demo")));
}
