#pragma once

#include <QString>

namespace rt {
class Transaction;
}

namespace host {

// The register's two files: the live register (reached through sqlca, with the history file
// attached so that unqualified th_ names work there too) and the history database
// (photosqlca). Every function returns 0, or -1 with errorText saying what is wrong.
class RegisterDatabases
{
public:
    static QString liveFileName() { return QStringLiteral("register.db"); }
    static QString historyFileName() { return QStringLiteral("history.db"); }

    // Makes the two files with every table and index. Refuses to touch a file that exists.
    static int create(const QString &livePath, const QString &historyPath, QString &errorText);

    // Connects both transactions (a file made in WAL mode is switched to the rollback journal,
    // which needs that no other program has it open), checks that each file is the register file it should be and
    // that it can be written now (not read-only, not held locked by another program), and
    // registers the stored procedures. On failure both are left disconnected and nothing in
    // either file has changed; errorText says which file and why, in Chinese and English.
    static int connect(const QString &livePath, const QString &historyPath, rt::Transaction &sqlca,
                       rt::Transaction &photosqlca, QString &errorText);

    // Whether a change of both files still commits in both or neither: on the files, both are
    // in a rollback-journal mode (another program may have put one back into WAL mode since the
    // register was opened). True on a server. False with errorText (Chinese) otherwise.
    static bool savesBothFilesTogether(rt::Transaction &sqlca, QString &errorText);

    // The register on a PostgreSQL database (a libpq connection string): the schemas, tables and
    // procedures of PgSchema. Refuses a database that already holds either schema.
    static int createServer(const QString &conninfo, QString &errorText);
    // Connects both transactions to the server's register: sqlca to the live schema (seeing the
    // history too), photosqlca to the history schema; checks that the database is a register.
    // Their Password and StatementTimeoutMs are used as set. When the server wants a password
    // that it was not given (or refused the one it was given), passwordWanted (when given) is
    // set, so that the caller may ask the operator and try again.
    static int connectServer(const QString &conninfo, rt::Transaction &sqlca, rt::Transaction &photosqlca,
                             QString &errorText, bool *passwordWanted = nullptr);
    // After rows were loaded with their own numbers: the server's identity counters continue
    // after the highest number of each table.
    static int resyncIdentities(rt::Transaction &t, QString &errorText);

private:
    static int createFile(const QString &path, const QString &role, QString &errorText);
    // The file and its folder can be written (SQLite keeps its journal files beside it).
    static int checkNotReadOnly(const QString &path, QString &errorText);
    // A short write transaction, begun and rolled back at once: another program's open write
    // transaction makes it wait the busy timeout and fail.
    static int checkWritable(rt::Transaction &t, const QString &path, QString &errorText);
    static QString lockedText(const QString &path);
    // Whether a register file was last written in WAL mode (its header says so).
    static bool inWalMode(const QString &path);
    static QString readOnlyText(const QString &path);
    static int checkRole(rt::Transaction &t, const QString &schema, const QString &role, const QString &path,
                         QString &errorText);
};

} // namespace host
