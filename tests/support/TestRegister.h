#pragma once

#include "host/DemoRegister.h"
#include "platform/core/Transaction.h"

#include <QString>
#include <string>

// Where a test's register lives: in two files of a folder (the default), or on the PostgreSQL
// test cluster when HM_BACKEND=pg (scripts/test starts one and gives its HM_PG_CONNINFO). On the
// server each test process has a database of its own; a "folder" then only names the register,
// and making a register again replaces the one before.
class TestRegister
{
public:
    static bool onServer();
    // False, with the reason, when the tests are to run on the server and no cluster was given.
    static bool available(std::string &why);
    static int create(const QString &dir, QString &error);
    static int createDemo(const QString &dir, const host::DemoOptions &options, QString &error);
    static int connect(const QString &dir, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error);
    // On the server: the same register as another login role. The database's name, for grants.
    static int connectAs(const QString &user, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error);
    // On the server: the same register through another socket folder (host=folder), as a proxy
    // in front of the cluster offers it.
    static int connectVia(const QString &host, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error);
    static QString serverDatabaseName();
    // On the server, as the register's owner: the login role made (if missing) and given what
    // scripts/operator-role.sql grants an operator. 0, or -1 with the reason.
    static int makeOperatorRole(rt::Transaction &owner, const QString &role, QString &error);
    // A plain empty database for the transaction tests: a file in dir, or on the server a fresh
    // schema "plain" that unqualified names resolve in. Several transactions may connect to it.
    static int connectPlain(const QString &dir, rt::Transaction &t, bool fresh, QString &error);

private:
    static QString conninfo();
    static int dropRegister(QString &error);
};

// At the top of a fixture's SetUp: skips where the server is wanted but missing (fails in CI).
#define TEST_REGISTER_REQUIRED()                                                                                            \
    do {                                                                                                                    \
        std::string why_;                                                                                                   \
        if (!TestRegister::available(why_)) {                                                                               \
            if (qEnvironmentVariableIsSet("CI"))                                                                            \
                FAIL() << why_;                                                                                             \
            GTEST_SKIP() << why_;                                                                                           \
        }                                                                                                                   \
    } while (0)
