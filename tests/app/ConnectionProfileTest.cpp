#include "host/ConnectionProfile.h"
#include "platform/core/PgConninfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using host::ConnectionProfile;

namespace {

// A user's folder and a system folder, each with the profiles a test writes.
class ProfileFolders : public ::testing::Test
{
protected:
    QTemporaryDir root;
    QString userDir() const { return root.filePath(QStringLiteral("user/histmaint")); }
    QString systemDir() const { return root.filePath(QStringLiteral("etc/histmaint")); }
    QString write(const QString &dir, const QString &name, const QByteArray &text,
                  QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner)
    {
        QDir().mkpath(dir);
        const QString path = QDir(dir).filePath(name + QStringLiteral(".conf"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        f.setPermissions(mode);
        return path;
    }
    ConnectionProfile profile() const { return ConnectionProfile(userDir(), systemDir()); }
};

} // namespace

// SRV-12 (every test of this suite)
TEST_F(ProfileFolders, TheUsersProfileComesBeforeTheSystemsAndEitherIsFound)
{
    write(systemDir(), QStringLiteral("office"), "host = system.example\n");
    ConnectionProfile p = profile();
    QString error;
    ASSERT_TRUE(p.load(QStringLiteral("office"), error)) << error.toStdString();
    EXPECT_EQ(p.conninfo(), QStringLiteral("host=system.example"));
    EXPECT_EQ(p.path(), QDir(systemDir()).filePath(QStringLiteral("office.conf")));

    write(userDir(), QStringLiteral("office"), "host = mine.example\n");
    ASSERT_TRUE(p.load(QStringLiteral("office"), error)) << error.toStdString();
    EXPECT_EQ(p.conninfo(), QStringLiteral("host=mine.example"));
}

TEST_F(ProfileFolders, AMissingProfileNamesBothPlacesLookedIn)
{
    QString error;
    EXPECT_FALSE(profile().load(QStringLiteral("office"), error));
    EXPECT_EQ(error, QString::fromUtf8("找不到连接配置“office”（已查找 %1 和 %2）。")
                         .arg(QDir(userDir()).filePath(QStringLiteral("office.conf")),
                              QDir(systemDir()).filePath(QStringLiteral("office.conf"))));
    // A name is no path: nothing outside the two folders is read.
    write(root.path(), QStringLiteral("outside"), "host = x\n");
    EXPECT_FALSE(profile().load(QStringLiteral("../../outside"), error));
    EXPECT_TRUE(error.contains(QString::fromUtf8("不可用"))) << error.toStdString();
}

TEST_F(ProfileFolders, TheUsersFolderFollowsXdgConfigHome)
{
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", root.path().toUtf8());
    EXPECT_EQ(ConnectionProfile::defaultUserDir(), root.path() + QStringLiteral("/histmaint"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ConnectionProfile::defaultUserDir(), QDir::homePath() + QStringLiteral("/.config/histmaint"));
    if (!before.isNull())
        qputenv("XDG_CONFIG_HOME", before);
}

TEST_F(ProfileFolders, EveryKeyReachesTheConnectionStringQuotedAsLibpqReadsIt)
{
    write(userDir(), QStringLiteral("office"),
          "# the office's server\n"
          "host = db.example\n"
          "\n"
          "port = 5433\n"
          "dbname = 人口 登记\n"
          "user = o'brien\n"
          "sslmode = verify-full\n"
          "sslrootcert = /etc/ssl/office ca.pem\n"
          "sslcert = C:\\certs\\a.crt\n"
          "sslkey = /k#ey\n"
          "application_name = 历史信息维护\n"
          "connect_timeout = 5\n"
          "statement_timeout = 45\n");
    ConnectionProfile p = profile();
    QString error;
    ASSERT_TRUE(p.load(QStringLiteral("office"), error)) << error.toStdString();
    EXPECT_EQ(p.statementTimeoutMs(), 45000);
    EXPECT_TRUE(p.password().isEmpty());
    EXPECT_FALSE(p.conninfo().contains(QStringLiteral("statement_timeout")));
    const std::pair<const char *, const char *> expected[] = {
        {"host", "db.example"},         {"port", "5433"},
        {"dbname", "人口 登记"},        {"user", "o'brien"},
        {"sslmode", "verify-full"},     {"sslrootcert", "/etc/ssl/office ca.pem"},
        {"sslcert", "C:\\certs\\a.crt"}, {"sslkey", "/k#ey"},
        {"application_name", "历史信息维护"}, {"connect_timeout", "5"}};
    for (const auto &[key, value] : expected)
        EXPECT_EQ(rt::PgConninfo::setting(p.conninfo(), key), QString::fromUtf8(value)) << key;
}

TEST_F(ProfileFolders, AFileFromAWindowsEditorIsReadAsWritten)
{
    write(userDir(), QStringLiteral("office"), "\xEF\xBB\xBFhost = db\r\n# note\r\ndbname = register\r\n");
    ConnectionProfile p = profile();
    QString error;
    ASSERT_TRUE(p.load(QStringLiteral("office"), error)) << error.toStdString();
    EXPECT_EQ(p.conninfo(), QStringLiteral("host=db dbname=register"));
}

TEST_F(ProfileFolders, StatementTimeoutIsThirtySecondsUnlessSetAndMustBeWholeSeconds)
{
    write(userDir(), QStringLiteral("plain"), "host = db\n");
    ConnectionProfile p = profile();
    QString error;
    ASSERT_TRUE(p.load(QStringLiteral("plain"), error));
    EXPECT_EQ(p.statementTimeoutMs(), 30000);
    for (const char *bad : {"0", "-5", "1.5", "30s", "86401"}) {
        write(userDir(), QStringLiteral("bad"), QByteArray("host = db\nstatement_timeout = ") + bad + "\n");
        EXPECT_FALSE(p.load(QStringLiteral("bad"), error)) << bad;
        EXPECT_TRUE(error.contains(QString::fromUtf8("第 2 行"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("statement_timeout"))) << error.toStdString();
    }
}

TEST_F(ProfileFolders, WhatIsNoSettingIsRefusedWithItsLineNumber)
{
    const std::pair<const char *, const char *> cases[] = {
        {"host = db\n# note\nhots = db2\n", "第 3 行：不认识的设置“hots”"},
        {"host = db\nhost = db2\n", "第 2 行：设置“host”出现了两次"},
        {"host db\n", "第 1 行：不是“名称 = 值”的形式"},
        {"\nhost =\n", "第 2 行：设置“host”没有值"},
        {"options = -c search_path=x\n", "第 1 行：不认识的设置“options”"},
        {"port = http\n", "第 1 行：port 应为"},
    };
    ConnectionProfile p = profile();
    for (const auto &[text, message] : cases) {
        const QString path = write(userDir(), QStringLiteral("office"), text);
        QString error;
        EXPECT_FALSE(p.load(QStringLiteral("office"), error)) << text;
        EXPECT_TRUE(error.startsWith(QString::fromUtf8("连接配置文件 %1 ").arg(path))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(message))) << error.toStdString();
    }
}

// SRV-13
TEST_F(ProfileFolders, APasswordIsTakenOnlyFromAFileOthersCannotRead)
{
    const QByteArray text = "host = db\npassword = s3 cr#et\n";
    const QString path = write(userDir(), QStringLiteral("office"), text,
                               QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    ConnectionProfile p = profile();
    QString error;
    EXPECT_FALSE(p.load(QStringLiteral("office"), error));
    EXPECT_TRUE(error.contains(QStringLiteral("chmod 600 ") + path)) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("s3 cr#et")));
    EXPECT_TRUE(p.password().isEmpty());

    write(userDir(), QStringLiteral("office"), text, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    EXPECT_FALSE(p.load(QStringLiteral("office"), error));

    write(userDir(), QStringLiteral("office"), text);
    ASSERT_TRUE(p.load(QStringLiteral("office"), error)) << error.toStdString();
    EXPECT_EQ(p.password(), QByteArray("s3 cr#et"));
    // Kept apart: the connection string, which may be shown, never holds it.
    EXPECT_FALSE(p.conninfo().contains(QStringLiteral("s3 cr#et")));
    EXPECT_TRUE(rt::PgConninfo::setting(p.conninfo(), "password").isEmpty());
}

// SRV-12
TEST(ConninfoQuoting, EveryValueReadsBackAsItWas)
{
    const char *values[] = {"plain", "two words", "it's", "back\\slash", "'", "\\", "a=b", "", " lead", "tab\there",
                            "中文 值", "\\'both'\\"};
    for (const char *value : values) {
        const QString v = QString::fromUtf8(value);
        const QString conninfo = rt::PgConninfo::join({{QStringLiteral("application_name"), v}, {QStringLiteral("host"), QStringLiteral("h")}});
        EXPECT_EQ(rt::PgConninfo::setting(conninfo, "host"), QStringLiteral("h")) << conninfo.toStdString();
        if (!v.isEmpty()) {
            EXPECT_EQ(rt::PgConninfo::setting(conninfo, "application_name"), v) << conninfo.toStdString();
        }
    }
    EXPECT_EQ(rt::PgConninfo::quoted(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(rt::PgConninfo::quoted(QString()), QStringLiteral("''"));
}

// SRV-12
TEST(ProfileExample, ThePackagesExampleIsAProfileThatVerifiesTheServerAndHoldsNoPassword)
{
    const QString example = QStringLiteral(HM_SOURCE_DIR "/packaging/office.conf.example");
    if (!QFile::exists(example))
        GTEST_SKIP() << "no example profile in this tree";
    ConnectionProfile p;
    QString error;
    ASSERT_TRUE(p.loadFile(example, error)) << error.toStdString();
    EXPECT_EQ(rt::PgConninfo::setting(p.conninfo(), "sslmode"), QStringLiteral("verify-full"));
    EXPECT_TRUE(p.password().isEmpty());
    EXPECT_EQ(p.statementTimeoutMs(), 30000);
}
