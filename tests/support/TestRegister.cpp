#include "TestRegister.h"

#include "host/RegisterDatabases.h"
#include "platform/core/SqlQuote.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstdlib>
#include <unistd.h>

namespace {

QString serverDatabase;

void dropServerDatabase()
{
    if (serverDatabase.isEmpty())
        return;
    rt::Transaction admin(QStringLiteral("admin"));
    admin.DBMS = QStringLiteral("PostgreSQL");
    admin.Database = qEnvironmentVariable("HM_PG_CONNINFO");
    rt::DbError ignored;
    if (admin.connect() == 0) // outside any transaction, as the server wants it
        admin.connection()->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(serverDatabase), ignored);
}

} // namespace

bool TestRegister::onServer()
{
    return qEnvironmentVariable("HM_BACKEND") == QLatin1String("pg");
}

bool TestRegister::available(std::string &why)
{
    if (!onServer() || !qEnvironmentVariable("HM_PG_CONNINFO").isEmpty())
        return true;
    why = "HM_BACKEND=pg, but no PostgreSQL test cluster (HM_PG_CONNINFO) was given";
    return false;
}

QString TestRegister::conninfo()
{
    const QString server = qEnvironmentVariable("HM_PG_CONNINFO");
    if (serverDatabase.isEmpty()) {
        rt::Transaction admin(QStringLiteral("admin"));
        admin.DBMS = QStringLiteral("PostgreSQL");
        admin.Database = server;
        const QString name = QStringLiteral("hm_t%1").arg(getpid());
        rt::DbError error;
        if (admin.connect() == 0) {
            admin.connection()->exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name), error);
            if (admin.connection()->exec(QStringLiteral("CREATE DATABASE %1").arg(name), error)) {
                serverDatabase = name;
                std::atexit(dropServerDatabase);
            }
        }
    }
    QString info = server;
    static const QRegularExpression dbname(QStringLiteral("dbname=\\S+"));
    info.remove(dbname);
    return info.trimmed() + QStringLiteral(" dbname=") + serverDatabase;
}

int TestRegister::dropRegister(QString &error)
{
    rt::Transaction t(QStringLiteral("cleanup"));
    t.DBMS = QStringLiteral("PostgreSQL");
    t.Database = conninfo();
    if (t.connect() != 0 || t.executeImmediate(QStringLiteral("DROP SCHEMA IF EXISTS live, history CASCADE")) == -1
        || t.commit() != 0) {
        error = t.SQLErrText();
        return -1;
    }
    return 0;
}

int TestRegister::create(const QString &dir, QString &error)
{
    if (!onServer())
        return host::RegisterDatabases::create(QDir(dir).filePath(QStringLiteral("register.db")),
                                               QDir(dir).filePath(QStringLiteral("history.db")), error);
    if (dropRegister(error) != 0)
        return -1;
    return host::RegisterDatabases::createServer(conninfo(), error);
}

int TestRegister::createDemo(const QString &dir, const host::DemoOptions &options, QString &error)
{
    host::DemoSummary summary;
    if (!onServer())
        return host::DemoRegister::create(dir, options, summary, error);
    if (dropRegister(error) != 0)
        return -1;
    return host::DemoRegister::createServer(conninfo(), options, summary, error);
}

int TestRegister::connect(const QString &dir, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error)
{
    if (!onServer())
        return host::RegisterDatabases::connect(QDir(dir).filePath(QStringLiteral("register.db")),
                                                QDir(dir).filePath(QStringLiteral("history.db")), sqlca, photosqlca, error);
    return host::RegisterDatabases::connectServer(conninfo(), sqlca, photosqlca, error);
}

int TestRegister::connectAs(const QString &user, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error)
{
    return host::RegisterDatabases::connectServer(conninfo() + QStringLiteral(" user=") + user, sqlca, photosqlca, error);
}

int TestRegister::connectVia(const QString &host, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error)
{
    // libpq takes the last of a repeated keyword: this host stands in for the cluster's.
    QString quoted = host;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return host::RegisterDatabases::connectServer(conninfo() + QStringLiteral(" host='") + quoted + QLatin1Char('\''), sqlca,
                                                  photosqlca, error);
}

int TestRegister::makeOperatorRole(rt::Transaction &owner, const QString &role, QString &error)
{
    // Another test process may be making the role at the same moment.
    if (owner.executeImmediate(QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN duplicate_object "
                                              "OR unique_violation THEN NULL; END $$")
                                   .arg(rt::sqlIdentifier(role)))
            == -1
        || owner.commit() != 0) {
        error = owner.SQLErrText();
        return -1;
    }
    QFile script(QStringLiteral(HM_SOURCE_DIR "/scripts/operator-role.sql"));
    if (!script.open(QIODevice::ReadOnly)) {
        error = script.errorString();
        return -1;
    }
    QString sql = QString::fromUtf8(script.readAll());
    sql.replace(QStringLiteral(":\"dbname\""), rt::sqlIdentifier(serverDatabaseName()))
        .replace(QStringLiteral(":\"role\""), rt::sqlIdentifier(role));
    if (owner.executeImmediate(sql) == -1 || owner.commit() != 0) {
        error = owner.SQLErrText();
        return -1;
    }
    return 0;
}

QString TestRegister::serverDatabaseName()
{
    conninfo();
    return serverDatabase;
}

int TestRegister::connectPlain(const QString &dir, rt::Transaction &t, bool fresh, QString &error)
{
    if (!onServer()) {
        t.Database = QDir(dir).filePath(QStringLiteral("plain.db"));
        t.AutoCreate = true;
    } else {
        t.DBMS = QStringLiteral("PostgreSQL");
        t.Database = conninfo();
        t.SearchPath = QStringLiteral("plain");
    }
    if (t.connect() != 0) {
        error = t.SQLErrText();
        return -1;
    }
    if (onServer() && fresh
        && (t.executeImmediate(QStringLiteral("DROP SCHEMA IF EXISTS plain CASCADE; CREATE SCHEMA plain")) == -1
            || t.commit() != 0)) {
        error = t.SQLErrText();
        return -1;
    }
    return 0;
}
