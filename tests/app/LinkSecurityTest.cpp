#include "host/LinkSecurity.h"

#include "TestRegister.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using host::LinkSecurity;
using Level = host::LinkSecurity::Level;

namespace {

struct Link
{
    const char *address; // as the server sees it; "" over a Unix socket
    bool tls;
    const char *sslmode;
    Level level;
    const char *clientHost = ""; // the host the client named; "" is the default socket
};

void PrintTo(const Link &l, std::ostream *os)
{
    *os << "'" << l.address << "' tls=" << l.tls << " sslmode=" << l.sslmode << " host=" << l.clientHost;
}

class LinkClassification : public ::testing::TestWithParam<Link>
{
};

} // namespace

// SRV-18, SRV-33
TEST_P(LinkClassification, SaysWhatTheWayToTheServerExposes)
{
    const Link &l = GetParam();
    EXPECT_EQ(LinkSecurity::classify({QString::fromLatin1(l.address), l.tls, QString::fromLatin1(l.sslmode),
                                      QString::fromLatin1(l.clientHost)}),
              l.level);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LinkClassification,
    ::testing::Values(Link{"", false, "prefer", Level::Local},              // a Unix socket
                      Link{"", false, "disable", Level::Local},
                      Link{"127.0.0.1", false, "disable", Level::Local},    // localhost
                      Link{"127.0.1.1", false, "prefer", Level::Local},
                      Link{"::1", false, "prefer", Level::Local},
                      Link{"::ffff:127.0.0.1", false, "prefer", Level::Local},
                      Link{"192.168.1.20", false, "prefer", Level::Unencrypted},
                      Link{"192.168.1.20", false, "verify-full", Level::Unencrypted}, // never so, but the clear text is what counts
                      Link{"fe80::1", false, "allow", Level::Unencrypted},
                      Link{"10.0.0.5", true, "prefer", Level::Unverified},
                      Link{"10.0.0.5", true, "require", Level::Unverified},
                      Link{"10.0.0.5", true, "verify-ca", Level::Verified},
                      Link{"10.0.0.5", true, "verify-full", Level::Verified},
                      Link{"10.0.0.5", true, "VERIFY-FULL", Level::Verified},
                      Link{"2001:db8::7", true, "require", Level::Unverified},
                      // A tunnel or proxy on the database host hands the session over on its loopback:
                      // the way there crossed the network all the same.
                      Link{"127.0.0.1", false, "prefer", Level::Unencrypted, "db.example.org"},
                      Link{"127.0.0.1", true, "require", Level::Unverified, "10.0.0.5"},
                      Link{"127.0.0.1", false, "prefer", Level::Local, "localhost"},
                      Link{"127.0.0.1", false, "prefer", Level::Local, "/run/postgresql"},
                      Link{"127.0.0.1", false, "prefer", Level::Unencrypted, "localhost,db.example.org"}));

// SRV-18 (every test of this suite)
TEST(LinkSecurityTexts, OnlyAnUnsafeLinkIsToldAndTheBoxSaysWhatToSet)
{
    EXPECT_EQ(LinkSecurity::statusText(Level::Unencrypted), QString::fromUtf8("未加密连接"));
    EXPECT_EQ(LinkSecurity::statusText(Level::Unverified), QString::fromUtf8("未验证服务器证书"));
    EXPECT_TRUE(LinkSecurity::statusText(Level::Local).isEmpty());
    EXPECT_TRUE(LinkSecurity::statusText(Level::Verified).isEmpty());
    for (Level unsafe : {Level::Unencrypted, Level::Unverified})
        EXPECT_TRUE(LinkSecurity::warningText(unsafe).contains(QStringLiteral("sslmode = verify-full")));
    EXPECT_TRUE(LinkSecurity::warningText(Level::Local).isEmpty());
    EXPECT_TRUE(LinkSecurity::warningText(Level::Verified).isEmpty());
}

// SRV-18 (every test of this suite)
TEST(LinkSecurityDay, TheWarningComesAtTheFirstConnectionOfEachDay)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state/histmaint/link-warning"));
    const QDate monday(2026, 12, 7);
    EXPECT_TRUE(LinkSecurity::firstTimeToday(state, monday)) << "no file yet: the folder is made";
    EXPECT_FALSE(LinkSecurity::firstTimeToday(state, monday));
    EXPECT_FALSE(LinkSecurity::firstTimeToday(state, monday));
    EXPECT_TRUE(LinkSecurity::firstTimeToday(state, monday.addDays(1)));
    EXPECT_FALSE(LinkSecurity::firstTimeToday(state, monday.addDays(1)));
    // Back to an earlier day (the clock set back): a day other than the one noted warns again.
    EXPECT_TRUE(LinkSecurity::firstTimeToday(state, monday));
}

TEST(LinkSecurityDay, AStateThatCannotBeKeptWarnsEveryTimeRatherThanNever)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // The state's folder would have to be inside a plain file.
    const QString state = dir.filePath(QStringLiteral("file/link-warning"));
    const QDate day(2026, 12, 7);
    EXPECT_TRUE(LinkSecurity::firstTimeToday(state, day));
    EXPECT_TRUE(LinkSecurity::firstTimeToday(state, day));
}

TEST(LinkSecurityDay, TheStateIsTheUsersOwnUnderXdgStateHome)
{
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/tmp/state-home");
    EXPECT_EQ(LinkSecurity::defaultStateFile(), QStringLiteral("/tmp/state-home/histmaint/link-warning"));
    if (before.isNull())
        qunsetenv("XDG_STATE_HOME");
    else
        qputenv("XDG_STATE_HOME", before);
}

// SRV-18
TEST(LinkSecurityServer, TheTestClustersSocketIsLocal)
{
    TEST_REGISTER_REQUIRED();
    if (!TestRegister::onServer())
        GTEST_SKIP() << "only a server has a link to examine";
    QTemporaryDir dir;
    QString error;
    ASSERT_EQ(TestRegister::create(dir.path(), error), 0) << error.toStdString();
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
    LinkSecurity::Facts facts;
    ASSERT_TRUE(LinkSecurity::examine(sqlca, sqlca.Database, facts, error)) << error.toStdString();
    EXPECT_TRUE(facts.serverAddress.isEmpty()) << facts.serverAddress.toStdString();
    EXPECT_FALSE(facts.tls);
    EXPECT_EQ(LinkSecurity::classify(facts), Level::Local);

    // An operator, with no more rights than scripts/operator-role.sql grants, may ask as much.
    ASSERT_EQ(TestRegister::makeOperatorRole(sqlca, QStringLiteral("hm_link_operator"), error), 0) << error.toStdString();
    rt::Transaction op, opHistory(QStringLiteral("photosqlca"));
    ASSERT_EQ(TestRegister::connectAs(QStringLiteral("hm_link_operator"), op, opHistory, error), 0) << error.toStdString();
    LinkSecurity::Facts asOperator;
    ASSERT_TRUE(LinkSecurity::examine(op, op.Database, asOperator, error)) << error.toStdString();
    EXPECT_EQ(LinkSecurity::classify(asOperator), Level::Local);
}
