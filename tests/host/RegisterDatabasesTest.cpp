#include "host/RegisterDatabases.h"
#include "platform/core/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Another program in the middle of writing one of the files: the start says which file, and
// the other program's work is not disturbed.
class LockedRegisterTest : public RegisterDatabasesTest, public ::testing::WithParamInterface<const char *>
{
};

// FIL-07
TEST_P(LockedRegisterTest, StartIsRefusedNamingTheLockedFile)
{
    const bool historyLocked = QString::fromLatin1(GetParam()) == QLatin1String("history.db");
    rt::Transaction holder(QStringLiteral("other program"));
    holder.Database = historyLocked ? hist : live;
    ASSERT_EQ(holder.connect(), 0);
    ASSERT_EQ(holder.execute(QStringLiteral("INSERT INTO register_info (key, value) VALUES ('held', 'x')")), 0);
    sqlca.BusyTimeoutMs = photosqlca.BusyTimeoutMs = 150;
    QString error;
    EXPECT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), -1);
    EXPECT_TRUE(error.startsWith(QString::fromLatin1(GetParam()))) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8("锁定"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("locked by another program"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QString::fromLatin1(historyLocked ? "register.db is" : "history.db is")));
    EXPECT_FALSE(sqlca.isConnected());
    EXPECT_FALSE(photosqlca.isConnected());
    EXPECT_EQ(holder.commit(), 0) << "the other program's write goes through";
    holder.disconnect();
    sqlca.BusyTimeoutMs = photosqlca.BusyTimeoutMs = 3000;
    ASSERT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), 0) << error.toStdString();
    EXPECT_FALSE(sqlca.inTransaction());
    EXPECT_FALSE(photosqlca.inTransaction()) << "the start's own check leaves no transaction open";
}

INSTANTIATE_TEST_SUITE_P(Files, LockedRegisterTest, ::testing::Values("register.db", "history.db"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return QString::fromLatin1(info.param).section(QLatin1Char('.'), 0, 0).toStdString();
                         });

namespace {

// Runs `body` as a user who does not own the files (root ignores permissions): in a child
// process as nobody when the test runs as root, directly otherwise. The child's answer and
// text come back through a pipe.
int asUnprivileged(const std::function<int(QString &)> &body, QString &text)
{
    if (geteuid() != 0)
        return body(text);
    int fds[2];
    if (pipe(fds) != 0)
        return -100;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int rc = -101;
        QString out;
        if (setgid(65534) == 0 && setuid(65534) == 0)
            rc = body(out);
        const QByteArray bytes = QByteArray::number(rc) + '\n' + out.toUtf8();
        [[maybe_unused]] const auto written = write(fds[1], bytes.constData(), size_t(bytes.size()));
        _exit(0);
    }
    close(fds[1]);
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        bytes.append(buffer, qsizetype(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const qsizetype nl = bytes.indexOf('\n');
    text = QString::fromUtf8(bytes.mid(nl + 1));
    return bytes.left(nl).toInt();
}

} // namespace

class ReadOnlyRegisterTest : public ::testing::TestWithParam<bool>
{
};

// The file itself, or only its folder (where SQLite keeps its journal), cannot be written.
// FIL-07
TEST_P(ReadOnlyRegisterTest, StartIsRefusedAndNothingIsCreated)
{
    const bool folderOnly = GetParam();
    QTemporaryDir dir;
    const QString live = QDir(dir.path()).filePath(QStringLiteral("register.db"));
    const QString hist = QDir(dir.path()).filePath(QStringLiteral("history.db"));
    QString error;
    ASSERT_EQ(RegisterDatabases::create(live, hist, error), 0) << error.toStdString();
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions readWrite = readOnly | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    const QFile::Permissions folder = readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    const QString target = folderOnly ? live : hist; // which file the test makes read-only
    QFile::setPermissions(live, readWrite);
    QFile::setPermissions(hist, folderOnly ? readWrite : readOnly);
    QFile::setPermissions(dir.path(), folderOnly ? folder : folder | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);

    const int rc = asUnprivileged(
        [&](QString &text) {
            rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
            return RegisterDatabases::connect(live, hist, sqlca, photosqlca, text);
        },
        error);
    QFile::setPermissions(dir.path(), folder | QFile::WriteOwner);
    EXPECT_EQ(rc, -1) << error.toStdString();
    EXPECT_TRUE(error.startsWith(QFileInfo(target).fileName())) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8("只读"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("is read-only"))) << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before) << "no journal or other file was made";
}

INSTANTIATE_TEST_SUITE_P(Where, ReadOnlyRegisterTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "folder" : "file"; });

// JRN-09
TEST_F(RegisterDatabasesTest, AnOlderRegisterGetsTheJournalWhenOpened)
{
    {
        rt::Transaction old{QStringLiteral("old")};
        old.Database = hist;
        ASSERT_EQ(old.connect(), 0);
        ASSERT_EQ(old.executeImmediate(QStringLiteral("DROP TABLE hm_journal")), 0) << old.SQLErrText().toStdString();
        ASSERT_EQ(old.commit(), 0);
    }
    QString error;
    ASSERT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), 0) << error.toStdString();
    EXPECT_EQ(photosqlca.executeImmediate(QStringLiteral("SELECT count(*) FROM hm_journal")), 0) << "made when it was missing";
}

// A journal made before its entries carried a token gets the column, its entries kept.
// JRN-09
TEST_F(RegisterDatabasesTest, AnOlderJournalGetsItsTokenColumnWhenOpened)
{
    {
        rt::Transaction old{QStringLiteral("old")};
        old.Database = hist;
        ASSERT_EQ(old.connect(), 0);
        ASSERT_EQ(old.executeImmediate(QStringLiteral(
                      "DROP TABLE hm_journal; CREATE TABLE hm_journal (id INTEGER PRIMARY KEY AUTOINCREMENT, at DATETIME NOT NULL, "
                      "operator VARCHAR(64), login VARCHAR(64), action VARCHAR(20) NOT NULL, category VARCHAR(40), reckey VARCHAR(40), "
                      "counts VARCHAR(2000), outcome VARCHAR(10) NOT NULL, detail VARCHAR(2000)); "
                      "INSERT INTO hm_journal (at, action, outcome) VALUES ('2024-01-01 00:00:00', '删除', '成功')")),
                  0)
            << old.SQLErrText().toStdString();
        ASSERT_EQ(old.commit(), 0);
    }
    QString error;
    ASSERT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), 0) << error.toStdString();
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    ASSERT_EQ(photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM hm_journal WHERE token IS NULL"), {}, n), 0)
        << photosqlca.SQLErrText().toStdString();
    EXPECT_EQ(n[0].longValue(), 1) << "the entry made before stays";
}

namespace {

// The journal mode a register file was last written in: 2 in the header for WAL, 1 otherwise.
int headerMode(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.read(20).at(18);
}

// Another program (SQLite's shell) with the file open in WAL mode, kept open until `release`.
struct WalHolder
{
    QProcess process;
    explicit WalHolder(const QString &path)
    {
        process.setProgram(QStringLiteral("sqlite3"));
        process.setArguments({path});
        process.start();
        process.waitForStarted();
        process.write("PRAGMA journal_mode=WAL; CREATE TABLE IF NOT EXISTS held (x); INSERT INTO held VALUES (1); SELECT 'open';\n");
        while (!process.readAllStandardOutput().contains("open") && process.waitForReadyRead(10000)) {
        }
    }
    ~WalHolder()
    {
        process.write(".quit\n");
        process.waitForFinished(10000);
    }
};

} // namespace

// A register written by an earlier histmaint in WAL mode: switched to the rollback journal when
// opened (so that a change of both files is atomic), with what the WAL held kept. While another
// program keeps a file open in WAL mode it cannot be switched: the start is refused, naming it.
// FIL-02
TEST_F(RegisterDatabasesTest, AWalRegisterIsSwitchedWhenOpenedOrRefusedWhileAnotherProgramHoldsIt)
{
    {
        WalHolder holder(hist);
        ASSERT_EQ(headerMode(hist), 2);
        QString error;
        EXPECT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), -1);
        EXPECT_TRUE(error.contains(QString::fromUtf8("history.db 正被另一个程序以旧的方式（WAL）打开着"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("history.db is open in another program that keeps it in WAL mode")))
            << error.toStdString();
        EXPECT_FALSE(sqlca.isConnected());
        EXPECT_FALSE(photosqlca.isConnected());
    }
    // The other program has gone (its last connection checkpointed and kept WAL mode).
    ASSERT_EQ(headerMode(hist), 2);
    QString error;
    ASSERT_EQ(RegisterDatabases::connect(live, hist, sqlca, photosqlca, error), 0) << error.toStdString();
    EXPECT_EQ(headerMode(live), 1);
    EXPECT_EQ(headerMode(hist), 1);
    EXPECT_FALSE(QFile::exists(hist + QStringLiteral("-wal")));
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    ASSERT_EQ(photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM held"), {}, n), 0) << photosqlca.SQLErrText().toStdString();
    EXPECT_EQ(n[0].longValue(), 1) << "what the other program wrote is kept";
}
