#include "TestRegister.h"
#include "platform/core/Transaction.h"
#include "platform/core/Value.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>

namespace {

struct Ran
{
    int status = -1;
    QString out, err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// The built program as cron or the timer starts it: no display of any kind.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

Ran run(const QStringList &arguments, const QProcessEnvironment &env = withoutDisplay())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(HISTMAINT_EXE), arguments);
    Ran r;
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A category's rows, told apart by their numbers: count, and two sums of the hisids.
QString fingerprint(const QString &dir, const QString &table)
{
    rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
    QString error;
    if (TestRegister::connect(dir, sqlca, photosqlca, error) != 0)
        return QStringLiteral("cannot connect: ") + error;
    QList<rt::Value> v{rt::Value::null(rt::ValueType::Long), rt::Value::null(rt::ValueType::Long),
                       rt::Value::null(rt::ValueType::Long)};
    if (photosqlca.selectInto(QStringLiteral("SELECT count(*), CAST(coalesce(sum(hisid), 0) AS bigint), "
                                             "CAST(coalesce(sum(hisid * hisid % 1000003), 0) AS bigint) FROM %1")
                                  .arg(table),
                              {}, v)
        != 0)
        return QStringLiteral("cannot read: ") + photosqlca.SQLErrText();
    photosqlca.rollback();
    return QStringLiteral("%1/%2/%3").arg(v[0].longValue()).arg(v[1].longValue()).arg(v[2].longValue());
}

long long rowsOf(const QJsonObject &stats, const QString &category, const char *key)
{
    for (const QJsonValue &c : stats.value(QStringLiteral("categories")).toArray())
        if (c.toObject().value(QStringLiteral("category")).toString() == category)
            return c.toObject().value(QString::fromLatin1(key)).toInteger(-1);
    return -1;
}

} // namespace

class MaintainRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        ASSERT_TRUE(m_dir.isValid());
        makeDemo();
    }

    void makeDemo(int households = 30)
    {
        // The same register each time it is made: the same seed and the same "today".
        for (const char *file : {"register.db", "history.db"})
            QFile::remove(m_dir.filePath(QString::fromLatin1(file)));
        host::DemoOptions demo;
        demo.households = households;
        demo.seed = 7;
        demo.referenceDate = QDate(2025, 6, 30);
        QString error;
        ASSERT_EQ(TestRegister::createDemo(m_dir.path(), demo, error), 0) << error.toStdString();
    }

    // The register's options on the command line: the folder, or the test's server database.
    QStringList reg() const
    {
        if (!TestRegister::onServer())
            return {QStringLiteral("--data"), m_dir.path()};
        return {QStringLiteral("--pg"), conninfo()};
    }

    static QString conninfo()
    {
        QString info = qEnvironmentVariable("HM_PG_CONNINFO");
        info.remove(QRegularExpression(QStringLiteral("dbname=\\S+")));
        return info.trimmed() + QStringLiteral(" dbname=") + TestRegister::serverDatabaseName();
    }

    Ran maintain(const char *text, const QStringList &more = {})
    {
        return run(QStringList{QStringLiteral("maintain")} + words(text) + more + reg());
    }

    QTemporaryDir m_dir;
};

// 0 done, 1 failed with the reason in Chinese and then English, 2 wrong usage with the usage.
// MNT-20, MNT-21
TEST_F(MaintainRun, ExitStatusesTellDoneFailedAndWrongUsage)
{
    const Ran stats = maintain("stats");
    EXPECT_EQ(stats.status, 0) << stats.err.toStdString();
    EXPECT_TRUE(stats.out.contains(QString::fromUtf8("个人信息")) && stats.out.contains(QString::fromUtf8("历史库大小")))
        << stats.out.toStdString();

    const Ran missing = TestRegister::onServer()
                            ? run(words("maintain stats --pg") << conninfo() + QStringLiteral("_missing"))
                            : run(words("maintain stats --data") << m_dir.filePath(QStringLiteral("nowhere")));
    EXPECT_EQ(missing.status, 1) << missing.err.toStdString();
    const QString firstLine = missing.err.section(QLatin1Char('\n'), 0, 0);
    EXPECT_TRUE(firstLine.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]")))) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.section(QLatin1Char('\n'), 1).contains(QRegularExpression(QStringLiteral("[a-z]{4} [a-z]"))))
        << "English after the Chinese: " << missing.err.toStdString();

    for (const char *wrong : {"purge --category 个人信息", "purge --category 个人信息 --before 2023-02-29", "frobnicate",
                              "dedupe --category 没有这类 --dry-run"}) {
        const Ran r = maintain(wrong);
        EXPECT_EQ(r.status, 2) << wrong << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: histmaint maintain"))) << wrong << ": " << r.err.toStdString();
    }
    const Ran help = run(words("maintain --help"));
    EXPECT_EQ(help.status, 0);
    for (const char *option : {"--older-than", "--keep-last", "--with-persons", "--dry-run", "--chunk", "--json", "--policy"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(option))) << option;
    EXPECT_TRUE(run(words("--help")).out.contains(QStringLiteral("histmaint maintain purge")));
}

// The JSON read back: stats counts what the register holds, a dry run counts exactly what the
// real run then deletes, and the real run leaves nothing of what it was asked to delete.
// MNT-25
TEST_F(MaintainRun, JsonOfStatsDryRunAndRunAgree)
{
    const Ran before = maintain("stats --json");
    ASSERT_EQ(before.status, 0) << before.err.toStdString();
    const long long rows = rowsOf(before.json(), QString::fromUtf8("个人信息"), "rows");
    ASSERT_GT(rows, 0) << before.out.toStdString();
    EXPECT_EQ(before.json().value(QStringLiteral("command")).toString(), QStringLiteral("stats"));

    const char *purge = "purge --category 个人信息 --older-than 0d --keep-last 1 --json --chunk 7";
    const Ran dry = maintain(purge, {QStringLiteral("--dry-run")});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.json().value(QStringLiteral("dryRun")).toBool());
    const long long toDelete = dry.json().value(QStringLiteral("rows")).toInteger(-1);
    ASSERT_GT(toDelete, 0) << dry.out.toStdString();
    EXPECT_EQ(rowsOf(maintain("stats --json").json(), QString::fromUtf8("个人信息"), "rows"), rows) << "the dry run deleted nothing";

    const Ran real = maintain(purge);
    ASSERT_EQ(real.status, 0) << real.err.toStdString();
    const QJsonObject done = real.json();
    EXPECT_EQ(done.value(QStringLiteral("rows")).toInteger(), toDelete);
    const QJsonObject runJson = done.value(QStringLiteral("runs")).toArray().at(0).toObject();
    EXPECT_EQ(runJson.value(QStringLiteral("historyTable")).toString(), QStringLiteral("th_ge_personinfo"));
    EXPECT_GE(runJson.value(QStringLiteral("chunks")).toInt(), int((toDelete + 6) / 7)) << "at most 7 rows a chunk";
    EXPECT_FALSE(done.value(QStringLiteral("compactText")).toString().isEmpty()) << "the compacting is said";
    EXPECT_EQ(rowsOf(maintain("stats --json").json(), QString::fromUtf8("个人信息"), "rows"), rows - toDelete);
    EXPECT_EQ(maintain(purge, {QStringLiteral("--dry-run")}).json().value(QStringLiteral("rows")).toInteger(-1), 0);
    // A line a chunk on standard error, when it is no terminal.
    EXPECT_TRUE(real.err.contains(QString::fromUtf8("第 1 块"))) << real.err.toStdString();
}

// A policy whose steps touch the same tables — the household procedure taking persons along, a
// category's purge and then its dedupe — is counted by its dry run step by step as the real run
// then deletes: each step without what the steps before it delete. Named twice, a category is
// refused with the line; with_persons with keep_last too.
// MNT-29, MNT-30
TEST_F(MaintainRun, APolicysDryRunCountsEachStepAsTheRunDeletesIt)
{
    const QString policy = m_dir.filePath(QStringLiteral("steps.conf"));
    auto write = [&](const char *text) {
        QFile f(policy);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QString::fromUtf8(text).toUtf8());
    };
    write("[个人信息]\ndedupe = yes\nkeep_years = 0\nkeep_last = 1\n\n"
          "[个人其他信息]\nkeep_years = 3\ndedupe = yes\n\n"
          "[户籍信息]\nkeep_years = 2\nwith_persons = yes\ndedupe = yes\n");
    const QStringList options{QStringLiteral("--policy"), policy, QStringLiteral("--json")};
    const Ran dry = run(QStringList{QStringLiteral("maintain"), QStringLiteral("policy"), QStringLiteral("--dry-run")} + options + reg());
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    const Ran real = run(QStringList{QStringLiteral("maintain"), QStringLiteral("policy")} + options + reg());
    ASSERT_EQ(real.status, 0) << real.err.toStdString();
    const QJsonArray counted = dry.json().value(QStringLiteral("runs")).toArray();
    const QJsonArray done = real.json().value(QStringLiteral("runs")).toArray();
    ASSERT_EQ(counted.size(), 6) << dry.out.toStdString();
    ASSERT_EQ(done.size(), counted.size()) << real.out.toStdString();
    // The household procedure first; a category's dedupe before a purge that keeps the newest,
    // after one by date alone.
    EXPECT_TRUE(done[0].toObject().value(QStringLiteral("withPersons")).toBool());
    QStringList order;
    for (const QJsonValue &run : done)
        order << run.toObject().value(QStringLiteral("category")).toString() + QLatin1Char(' ')
                     + run.toObject().value(QStringLiteral("action")).toString();
    EXPECT_EQ(order.join(QStringLiteral(", ")),
              QString::fromUtf8("户籍信息 purge, 个人信息 dedupe, 个人信息 purge, 个人其他信息 purge, 个人其他信息 dedupe, 户籍信息 dedupe"));
    for (int i = 0; i < done.size(); ++i) {
        const QJsonObject c = counted[i].toObject(), d = done[i].toObject();
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(d.value(QStringLiteral("category")).toString(), d.value(QStringLiteral("action")).toString())
                         .toStdString());
        auto text = [](const QJsonObject &o, const char *key) {
            return QJsonDocument(QJsonArray{o.value(QLatin1String(key))}).toJson(QJsonDocument::Compact).toStdString();
        };
        EXPECT_EQ(text(c, "category"), text(d, "category"));
        EXPECT_EQ(text(c, "action"), text(d, "action"));
        EXPECT_EQ(text(c, "tables"), text(d, "tables")) << "counted by the dry run, then deleted";
    }
    EXPECT_GT(real.json().value(QStringLiteral("rows")).toInteger(), 0);
    EXPECT_EQ(dry.json().value(QStringLiteral("rows")).toInteger(-1), real.json().value(QStringLiteral("rows")).toInteger(-2));
    // The persons' steps after the procedure found something left to do.
    EXPECT_GT(done[1].toObject().value(QStringLiteral("rows")).toInteger() + done[2].toObject().value(QStringLiteral("rows")).toInteger(), 0)
        << real.out.toStdString();

    write("[个人信息]\ndedupe = yes\n\n[th_ge_personinfo]\nkeep_years = 3\n");
    const Ran twice = run(QStringList{QStringLiteral("maintain"), QStringLiteral("policy")} + options + reg());
    EXPECT_EQ(twice.status, 2);
    EXPECT_TRUE(twice.err.contains(QString::fromUtf8("第 4 行"))) << twice.err.toStdString();
    write("[户籍信息]\nkeep_years = 2\nkeep_last = 1\nwith_persons = yes\n");
    const Ran both = run(QStringList{QStringLiteral("maintain"), QStringLiteral("policy")} + options + reg());
    EXPECT_EQ(both.status, 2);
    EXPECT_TRUE(both.err.contains(QString::fromUtf8("第 4 行"))) << both.err.toStdString();
    EXPECT_EQ(maintain("purge --category 户籍信息 --older-than 2y --with-persons --keep-last 1").status, 2);
}

// The service's own command line, taken from the unit the package installs, reads a policy
// naming the register and does what it says.
// MNT-35
TEST_F(MaintainRun, ThePolicyFileIsReadAsTheServiceRunsIt)
{
    QFile unit(QStringLiteral(HM_SOURCE_DIR "/packaging/histmaint-maintain.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    QStringList exec;
    for (const QString &line : QString::fromUtf8(unit.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("ExecStart=")))
            exec = line.mid(10).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_GE(exec.size(), 4);
    ASSERT_EQ(exec.takeFirst(), QStringLiteral("/usr/bin/histmaint"));
    const int policyAt = exec.indexOf(QStringLiteral("--policy"));
    ASSERT_GT(policyAt, 0);
    ASSERT_EQ(exec[policyAt + 1], QStringLiteral("/etc/histmaint/maintain.conf"));
    const QString policy = m_dir.filePath(QStringLiteral("maintain.conf"));
    exec[policyAt + 1] = policy;

    QProcessEnvironment env = withoutDisplay();
    QString registerSection;
    if (TestRegister::onServer()) {
        // The server through a connection profile, as an administrator would name it.
        const QString config = m_dir.filePath(QStringLiteral("config"));
        QDir().mkpath(config + QStringLiteral("/histmaint"));
        QFile profile(config + QStringLiteral("/histmaint/upkeep.conf"));
        ASSERT_TRUE(profile.open(QIODevice::WriteOnly));
        for (const QString &pair : conninfo().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            profile.write(pair.section(QLatin1Char('='), 0, 0).toUtf8() + " = " + pair.section(QLatin1Char('='), 1).toUtf8() + "\n");
        profile.close();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        registerSection = QStringLiteral("profile = upkeep\n");
    } else {
        registerSection = QStringLiteral("data = %1\n").arg(m_dir.path());
    }
    QFile f(policy);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QString::fromUtf8("# the office's rules\n[register]\n%1\n[个人信息]\nkeep_years = 0\nkeep_last = 2\n\n[th_sv_elderinfo]\ndedupe = yes\n")
                .arg(registerSection)
                .toUtf8());
    f.close();

    const Ran dry = run(exec + QStringList{QStringLiteral("--dry-run"), QStringLiteral("--json")}, env);
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    const QJsonArray runs = dry.json().value(QStringLiteral("runs")).toArray();
    ASSERT_EQ(runs.size(), 2) << dry.out.toStdString();
    EXPECT_EQ(runs[0].toObject().value(QStringLiteral("action")).toString(), QStringLiteral("purge"));
    EXPECT_EQ(runs[0].toObject().value(QStringLiteral("keepLast")).toInt(), 2);
    EXPECT_EQ(runs[1].toObject().value(QStringLiteral("action")).toString(), QStringLiteral("dedupe"));
    EXPECT_EQ(runs[1].toObject().value(QStringLiteral("category")).toString(), QString::fromUtf8("老年人信息"));

    const Ran real = run(exec, env);
    ASSERT_EQ(real.status, 0) << real.err.toStdString();
    EXPECT_TRUE(real.out.contains(QString::fromUtf8("已删除行数"))) << real.out.toStdString();
    const Ran after = run(exec + QStringList{QStringLiteral("--dry-run"), QStringLiteral("--json")}, env);
    EXPECT_EQ(after.json().value(QStringLiteral("rows")).toInteger(-1), 0) << "the policy's work is done: " << after.out.toStdString();

    // A mistake in the file is told with its line, and nothing runs.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QString::fromUtf8("[register]\n%1[不存在的类别]\ndedupe = yes\n").arg(registerSection).toUtf8());
    f.close();
    const Ran wrong = run(exec, env);
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains(QString::fromUtf8("maintain.conf 第 3 行"))) << wrong.err.toStdString();
}

// Ctrl+C after the first chunk stops the run with whole chunks done (status 130); a second run
// finishes the work, leaving the very rows a run that was never interrupted leaves. A chunk of
// one row and some thousand rows in five tables keep the run going long after the first chunk.
// MNT-24
TEST_F(MaintainRun, AnInterruptedRunResumedEndsLikeAnUninterruptedOne)
{
    const QStringList tables{QStringLiteral("th_ge_personinfo"), QStringLiteral("th_ge_rpr"), QStringLiteral("th_ge_personotherinfo"),
                             QStringLiteral("th_ge_company"), QStringLiteral("th_sv_elderinfo")};
    auto state = [&]() {
        QStringList s;
        for (const QString &t : tables)
            s << fingerprint(m_dir.path(), t);
        return s.join(QLatin1Char(' '));
    };
    QStringList purge = words("purge --older-than 0d --keep-last 1 --chunk 1");
    for (const QString &t : tables)
        purge << QStringLiteral("--category") << t;
    makeDemo(200);
    const Ran whole = run(QStringList{QStringLiteral("maintain")} + purge + reg());
    ASSERT_EQ(whole.status, 0) << whole.err.toStdString();
    const QString expected = state();

    makeDemo(200);
    const QString untouched = state();
    ASSERT_NE(untouched, expected);
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.setReadChannel(QProcess::StandardError); // waitForReadyRead waits on the progress, not the result
    p.start(QStringLiteral(HISTMAINT_EXE), QStringList{QStringLiteral("maintain")} + purge + reg());
    QByteArray err;
    while (!err.contains(QString::fromUtf8("第 1 块").toUtf8())) {
        ASSERT_TRUE(p.waitForReadyRead(60000)) << "no chunk was told: " << err.toStdString();
        err += p.readAllStandardError();
    }
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(60000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 130) << err.toStdString().substr(err.size() > 2000 ? err.size() - 2000 : 0);
    EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("interrupted; the chunks done stay done")));
    const QString halfway = state();
    EXPECT_NE(halfway, untouched) << "whole chunks stay done";
    EXPECT_NE(halfway, expected) << "it stopped before the end";

    const Ran resumed = run(QStringList{QStringLiteral("maintain")} + purge + reg());
    ASSERT_EQ(resumed.status, 0) << resumed.err.toStdString();
    EXPECT_EQ(state(), expected);
}
