#include "host/RegisterDatabases.h"
#include "platform/core/Transaction.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The reason in Chinese, and its English after it (Qt's own warnings may come before both).
bool toldInChineseFirst(const QString &err, const QString &chinese, const QString &english)
{
    const qsizetype c = err.indexOf(QStringLiteral("histmaint: ") + chinese);
    return c >= 0 && err.indexOf(english, c) > c;
}

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

// The program itself, started on a register another program is writing: it says which file
// is locked, on the terminal, and stops with a failure status before it changes anything.
// FIL-07
TEST(StartupTest, ALockedRegisterFileStopsTheStartWithAClearMessage)
{
    QTemporaryDir dir;
    const QString live = QDir(dir.path()).filePath(QStringLiteral("register.db"));
    const QString hist = QDir(dir.path()).filePath(QStringLiteral("history.db"));
    QString error;
    ASSERT_EQ(host::RegisterDatabases::create(live, hist, error), 0) << error.toStdString();

    // The other program is another process (SQLite's shell): a lock held in this process would
    // be dropped by the first close of any other descriptor of the file here (POSIX locks).
    QProcess holder;
    holder.setProgram(QStringLiteral("sqlite3"));
    holder.setArguments({hist});
    holder.start();
    ASSERT_TRUE(holder.waitForStarted());
    holder.write("BEGIN; INSERT INTO register_info (key, value) VALUES ('held', 'x'); SELECT 'written';\n");
    while (!holder.readAllStandardOutput().contains("written"))
        ASSERT_TRUE(holder.waitForReadyRead(10000)) << "the other program writes";
    const QByteArray liveBefore = digest(live), histBefore = digest(hist);

    QProcess p;
    p.setProgram(QStringLiteral(HISTMAINT_EXE));
    p.setArguments({QStringLiteral("--data"), dir.path(), QStringLiteral("--screenshot"),
                    QDir(dir.path()).filePath(QStringLiteral("shot.png"))});
    p.start();
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_TRUE(err.contains(QString::fromUtf8("history.db 正被另一个程序锁定"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("history.db is locked by another program"))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("shot.png")))) << "it did not go on";
    EXPECT_EQ(digest(live), liveBefore);
    EXPECT_EQ(digest(hist), histBefore);
    holder.write("COMMIT;\n.quit\n");
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(holder.exitCode(), 0) << "the other program's work is intact: " << holder.readAllStandardError().toStdString();
    rt::Transaction check(QStringLiteral("check"));
    check.Database = hist;
    ASSERT_EQ(check.connect(), 0);
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    ASSERT_EQ(check.selectInto(QStringLiteral("SELECT count(*) FROM register_info WHERE key = 'held'"), {}, n), 0);
    EXPECT_EQ(n[0].longValue(), 1);
}

// On a server: an unreachable one, and a database that holds no register.
// JRN-01, SRV-09
TEST(StartupTest, AServerThatCannotBeReachedOrHoldsNoRegisterIsRefused)
{
    const auto run = [](const QString &conninfo, QString &err) {
        QProcess p;
        p.setProgram(QStringLiteral(HISTMAINT_EXE));
        p.setArguments({QStringLiteral("--pg"), conninfo, QStringLiteral("--screenshot"), QStringLiteral("/dev/null")});
        p.start();
        p.waitForFinished(60000);
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString err;
    EXPECT_NE(run(QStringLiteral("host=/nonexistent-socket-dir dbname=register connect_timeout=2"), err), 0);
    EXPECT_TRUE(toldInChineseFirst(err, QString::fromUtf8("无法连接存放人口信息库的数据库服务器"),
                                   QStringLiteral("cannot connect to the database server")))
        << err.toStdString();
    const QString server = qEnvironmentVariable("HM_PG_CONNINFO");
    if (server.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            FAIL() << "no PostgreSQL test cluster (HM_PG_CONNINFO)";
        GTEST_SKIP() << "no PostgreSQL test cluster (HM_PG_CONNINFO)";
    }
    EXPECT_NE(run(server, err), 0);
    EXPECT_TRUE(toldInChineseFirst(err, QString::fromUtf8("这个数据库不是本程序的人口信息库"),
                                   QStringLiteral("not a register of this program")))
        << err.toStdString();
}

// On the files: each reason in Chinese on the first line, English after it. A folder that is not
// there is a wrong path — no demo register is offered —; a file missing beside the other is named;
// a file that is no database is not a register of this program.
// JRN-01
TEST(StartupTest, AMissingOrForeignRegisterIsToldInChineseFirst)
{
    QTemporaryDir dir;
    const auto run = [&](const QStringList &arguments) {
        QProcess p;
        p.setProgram(QStringLiteral(HISTMAINT_EXE));
        p.setArguments(arguments + QStringList{QStringLiteral("--screenshot"), QDir(dir.path()).filePath(QStringLiteral("shot.png"))});
        p.start();
        p.waitForFinished(60000);
        EXPECT_NE(p.exitCode(), 0);
        return QString::fromUtf8(p.readAllStandardError());
    };
    const QString missing = QDir(dir.path()).filePath(QStringLiteral("no-such-folder"));
    QString err = run({QStringLiteral("--data"), missing});
    EXPECT_TRUE(toldInChineseFirst(err, QString::fromUtf8("找不到人口信息库所在的文件夹 %1").arg(missing), QStringLiteral("was not found")))
        << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("--create-demo"))) << err.toStdString();

    const QString live = QDir(dir.path()).filePath(QStringLiteral("register.db"));
    const QString hist = QDir(dir.path()).filePath(QStringLiteral("history.db"));
    QString error;
    ASSERT_EQ(host::RegisterDatabases::create(live, hist, error), 0) << error.toStdString();
    ASSERT_TRUE(QFile::remove(hist));
    err = run({QStringLiteral("--data"), dir.path()});
    EXPECT_TRUE(toldInChineseFirst(err, QString::fromUtf8("找不到人口信息库文件 %1").arg(hist), QStringLiteral("was not found")))
        << err.toStdString();

    QFile foreign(hist);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write(QByteArray(4096, 'x'));
    foreign.close();
    err = run({QStringLiteral("--data"), dir.path()});
    EXPECT_TRUE(toldInChineseFirst(err, QString::fromUtf8("history.db 不是本程序的人口信息库"),
                                   QStringLiteral("is not a register file")))
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("shot.png"))));
}

// A password in the connection string is never printed: --create-demo-pg tells where it made the
// register without it.
// SRV-05, SRV-16
TEST(StartupTest, APasswordIsNeverPrinted)
{
    const QString server = qEnvironmentVariable("HM_PG_CONNINFO");
    if (server.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            FAIL() << "no PostgreSQL test cluster (HM_PG_CONNINFO)";
        GTEST_SKIP() << "no PostgreSQL test cluster (HM_PG_CONNINFO)";
    }
    // A database of its own (the test cluster trusts every local user, so the password is unused).
    rt::Transaction admin(QStringLiteral("admin"));
    admin.DBMS = QStringLiteral("PostgreSQL");
    admin.Database = server;
    ASSERT_EQ(admin.connect(), 0) << admin.SQLErrText().toStdString();
    const QString db = QStringLiteral("hm_pw%1").arg(QCoreApplication::applicationPid());
    rt::DbError ignored;
    admin.connection()->exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db), ignored);
    ASSERT_TRUE(admin.connection()->exec(QStringLiteral("CREATE DATABASE %1").arg(db), ignored)) << ignored.text.toStdString();
    QProcess p;
    p.setProgram(QStringLiteral(HISTMAINT_EXE));
    p.setArguments({QStringLiteral("--create-demo-pg"), server + QStringLiteral(" dbname=%1 password=s3cret-pw").arg(db),
                    QStringLiteral("--households"), QStringLiteral("2")});
    p.start();
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("s3cret-pw"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("password=****"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8("histmaint: 连接串中的密码可被本机其他用户看到，不安全。请改用连接配置文件（--profile）和 ~/.pgpass。")))
        << out.toStdString();
    admin.connection()->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(db), ignored);
}

// While the program waits for a server that does not answer, the password it was given on the
// command line is already stars for anyone who lists the processes.
// SRV-16
TEST(StartupTest, OtherUsersSeeNoPasswordWhileTheProgramRuns)
{
    QTemporaryDir dir;
    // A socket that takes the connection and never answers it.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QDir(dir.path()).filePath(QStringLiteral(".s.PGSQL.5999")).toLocal8Bit();
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    QProcess p;
    p.setProgram(QStringLiteral(HISTMAINT_EXE));
    p.setArguments({QStringLiteral("--pg"),
                    QStringLiteral("host=%1 port=5999 dbname=register password='s3cret pw' connect_timeout=4").arg(dir.path()),
                    QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png"))});
    p.start();
    ASSERT_TRUE(p.waitForStarted());
    QByteArray cmdline;
    for (int i = 0; i < 40 && !cmdline.contains("password='*"); ++i) {
        QThread::msleep(50);
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(p.processId()));
        if (f.open(QIODevice::ReadOnly))
            cmdline = f.readAll();
    }
    EXPECT_TRUE(cmdline.contains("password='*********' connect_timeout=4")) << cmdline.toStdString();
    EXPECT_FALSE(cmdline.contains("s3cret"));
    ASSERT_TRUE(p.waitForFinished(30000));
    ::close(listener);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_EQ(err.count(QString::fromUtf8("连接串中的密码可被本机其他用户看到")), 1) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("s3cret"))) << err.toStdString();
}
