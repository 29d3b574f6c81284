#include "host/RegisterDatabases.h"
#include "platform/core/Transaction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using host::RegisterDatabases;

class RegisterDatabasesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        live = QDir(dir.path()).filePath(QStringLiteral("register.db"));
        hist = QDir(dir.path()).filePath(QStringLiteral("history.db"));
        QString error;
        ASSERT_EQ(RegisterDatabases::create(live, hist, error), 0) << error.toStdString();
    }

    QTemporaryDir dir;
    QString live, hist;
    rt::Transaction sqlca{QStringLiteral("sqlca")}, photosqlca{QStringLiteral("photosqlca")};
};

TEST_F(RegisterDatabasesTest, ConnectsBothAndRegistersTheProcedures)
{
    QString error;
    ASSERT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), 0) << error.toStdString();
    EXPECT_TRUE(sqlca.hasProcedure(QStringLiteral("proc_justifydelperson")));
    EXPECT_TRUE(photosqlca.hasProcedure(QStringLiteral("proc_delrpr")));
    EXPECT_TRUE(photosqlca.hasProcedure(QStringLiteral("proc_DelRprScope")));
    EXPECT_FALSE(photosqlca.hasProcedure(QStringLiteral("proc_JustifyDelPerson")));
    // sqlca reaches the history tables by their plain names.
    EXPECT_EQ(sqlca.executeImmediate(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), 0);
}

TEST_F(RegisterDatabasesTest, SwappedMissingOrForeignFilesAreRefusedClearly)
{
    QString error;
    EXPECT_EQ(RegisterDatabases::connect(hist, live, sqlca, photosqlca, error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("not a live register file"))) << error.toStdString();
    EXPECT_FALSE(sqlca.isConnected());
    EXPECT_FALSE(photosqlca.isConnected());

    EXPECT_EQ(RegisterDatabases::connect(live, QDir(dir.path()).filePath(QStringLiteral("none.db")), sqlca, photosqlca, error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("not found"))) << error.toStdString();

    const QString other = QDir(dir.path()).filePath(QStringLiteral("other.db"));
    rt::Transaction t;
    t.Database = other;
    t.AutoCreate = true;
    ASSERT_EQ(t.connect(), 0);
    t.executeImmediate(QStringLiteral("CREATE TABLE x (a)"));
    t.commit();
    t.disconnect();
    EXPECT_EQ(RegisterDatabases::connect(other, hist, sqlca, photosqlca, error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("not a live register file")));
}

TEST_F(RegisterDatabasesTest, CreateNeverOverwrites)
{
    QFile f(live);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QString error;
    EXPECT_EQ(RegisterDatabases::create(live, QDir(dir.path()).filePath(QStringLiteral("new.db")), error), -1);
    EXPECT_TRUE(error.contains(QStringLiteral("already exists")));
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("new.db"))));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}
