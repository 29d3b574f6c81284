#include "host/RegisterDatabases.h"

#include "host/HostProcedures.h"
#include "host/JournalSchema.h"
#include "host/PgSchema.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/DateTime.h"
#include "platform/core/PgConnection.h"
#include "platform/core/Transaction.h"

#include <QDir>
#include <tuple>
#include <QFileInfo>

namespace host {

int RegisterDatabases::create(const QString &livePath, const QString &historyPath, QString &errorText)
{
    for (const QString &path : {livePath, historyPath}) {
        if (QFileInfo::exists(path)) {
            errorText = QStringLiteral("%1 already exists; it is left as it is").arg(path);
            return -1;
        }
    }
    if (createFile(livePath, QStringLiteral("live"), errorText) != 0)
        return -1;
    if (createFile(historyPath, QStringLiteral("history"), errorText) != 0) {
        QFile::remove(livePath);
        return -1;
    }
    return 0;
}

int RegisterDatabases::createFile(const QString &path, const QString &role, QString &errorText)
{
    // The file is made empty and readable by its owner alone before the database is written
    // into it; the journal files the database makes beside it take the same permissions.
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            errorText = QStringLiteral("%1: %2").arg(path, file.errorString());
            return -1;
        }
    }
    rt::Transaction t(QStringLiteral("setup"));
    t.Database = path;
    t.AutoCreate = true;
    if (t.connect() != 0) {
        errorText = t.SQLErrText();
        return -1;
    }
    const bool live = role == QLatin1String("live");
    QStringList statements;
    statements << QStringLiteral("CREATE TABLE %1 (key TEXT PRIMARY KEY, value TEXT)").arg(SchemaCatalogue::infoTable());
    for (const TableDef &table : SchemaCatalogue::tables()) {
        if (live) {
            statements << table.createLiveSql();
        } else {
            statements << table.createHistorySql();
            statements << table.createHistoryIndexesSql();
        }
    }
    if (!live)
        statements << JournalSchema::createFilesSql();
    for (const QString &sql : statements) {
        if (t.executeImmediate(sql) == -1) {
            errorText = QStringLiteral("%1: %2").arg(path, t.SQLErrText());
            t.rollback();
            t.disconnect();
            QFile::remove(path);
            return -1;
        }
    }
    const QString info = QStringLiteral("INSERT INTO %1 (key, value) VALUES (?1, ?2)").arg(SchemaCatalogue::infoTable());
    if (t.execute(info, {QStringLiteral("role"), role}) == -1
        || t.execute(info, {QStringLiteral("schema"), QString::number(SchemaCatalogue::schemaVersion())}) == -1
        || t.execute(info, {QStringLiteral("created"), rt::DateTime::currentDateTime().toCanonical()}) == -1
        || t.commit() == -1) {
        errorText = QStringLiteral("%1: %2").arg(path, t.SQLErrText());
        t.disconnect();
        QFile::remove(path);
        return -1;
    }
    t.disconnect();
    return 0;
}

int RegisterDatabases::checkRole(rt::Transaction &t, const QString &schema, const QString &role, const QString &path,
                                 QString &errorText)
{
    QList<rt::Value> value{rt::Value::null(rt::ValueType::String)};
    const int rc = t.selectInto(QStringLiteral("SELECT value FROM \"%1\".%2 WHERE key = 'role'")
                                    .arg(schema, SchemaCatalogue::infoTable()),
                                {}, value);
    if (rc != 0 || value[0].string() != role) {
        errorText = role == QLatin1String("live")
                        ? QString::fromUtf8("%1 不是本程序的人口信息库（现有信息库 register.db）。\n"
                                            "%1 is not a live register file of this program")
                              .arg(path)
                        : QString::fromUtf8("%1 不是本程序的人口信息库（历史信息库 history.db）。\n"
                                            "%1 is not a history file of this program")
                              .arg(path);
        return -1;
    }
    return 0;
}

namespace {

// A message about one file: its name where the text says %1, its full path on a last line.
QString aboutFile(const char *text, const QString &path)
{
    return QString::fromUtf8(text).arg(QFileInfo(path).fileName())
           + QStringLiteral("\n(%1)").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

bool isDatabaseFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

} // namespace

bool RegisterDatabases::inWalMode(const QString &path)
{
    // The header's read and write versions are 2 in WAL mode, 1 with a rollback journal.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.startsWith("SQLite format 3") && header[18] == 2;
}

QString RegisterDatabases::lockedText(const QString &path)
{
    return aboutFile("%1 正被另一个程序锁定（该程序正在写入），现在不能修改。请等它写完或关闭它，然后再启动本程序。\n"
                     "%1 is locked by another program that is writing to it, so it cannot be changed now. "
                     "Wait for that program to finish, or close it, then start histmaint again.",
                     path);
}

QString RegisterDatabases::readOnlyText(const QString &path)
{
    return aboutFile("%1 是只读的（文件或它所在的文件夹不可写），不能修改。请检查文件和文件夹的权限。\n"
                     "%1 is read-only (the file or its folder cannot be written), so it cannot be changed. "
                     "Check the permissions of the file and of its folder.",
                     path);
}

int RegisterDatabases::checkNotReadOnly(const QString &path, QString &errorText)
{
    const QFileInfo file(path);
    if (!file.exists())
        return 0; // the connection says that it is missing
    if (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable()) {
        errorText = readOnlyText(path);
        return -1;
    }
    return 0;
}

int RegisterDatabases::checkWritable(rt::Transaction &t, const QString &path, QString &errorText)
{
    rt::DbError error;
    if (!t.connection()->exec(QStringLiteral("BEGIN IMMEDIATE"), error)) {
        // SQLite's primary codes: 5 busy, 6 locked, 8 read-only.
        const int primary = error.code & 0xff;
        if (primary == 5 || primary == 6)
            errorText = lockedText(path);
        else if (primary == 8)
            errorText = readOnlyText(path);
        else
            errorText = QString::fromUtf8("%1 不能写入。\n%1: %2").arg(path, error.text);
        return -1;
    }
    t.connection()->exec(QStringLiteral("ROLLBACK"), error);
    return 0;
}

int RegisterDatabases::connect(const QString &livePath, const QString &historyPath, rt::Transaction &sqlca,
                               rt::Transaction &photosqlca, QString &errorText)
{
    sqlca.Database = livePath;
    sqlca.AttachDatabase = historyPath;
    sqlca.AutoCreate = false;
    photosqlca.Database = historyPath;
    photosqlca.AttachDatabase.clear();
    photosqlca.AutoCreate = false;
    auto fail = [&](const QString &text) {
        errorText = text;
        sqlca.disconnect();
        photosqlca.disconnect();
        return -1;
    };
    QString text;
    if (checkNotReadOnly(livePath, text) != 0 || checkNotReadOnly(historyPath, text) != 0)
        return fail(text);
    // A file that another program holds open in WAL mode cannot be switched to the rollback
    // journal that makes a change of both files atomic (SQLite's busy code then).
    auto openFailure = [&](const rt::Transaction &t) {
        // SQLite's 26: not a database at all (another program's file, or one damaged).
        if ((t.SQLDBCode() & 0xff) == 26)
            return aboutFile("%1 不是本程序的人口信息库（不是数据库文件，或已损坏）。\n%1 is not a register file (not a database, or damaged).",
                             isDatabaseFile(livePath) ? historyPath : livePath);
        const bool live = inWalMode(livePath);
        if ((t.SQLDBCode() & 0xff) != 5 || (!live && !inWalMode(historyPath)))
            return t.SQLErrText();
        return aboutFile("%1 正被另一个程序以旧的方式（WAL）打开着，无法换成能让两个文件一同保存的日志方式。请关闭那个程序，然后再启动本程序。\n"
                         "%1 is open in another program that keeps it in WAL mode, so it cannot be switched to the rollback "
                         "journal that saves a change of both files at once. Close that program, then start histmaint again.",
                         live ? livePath : historyPath);
    };
    if (sqlca.connect() != 0)
        return fail(openFailure(sqlca));
    if (photosqlca.connect() != 0)
        return fail(openFailure(photosqlca));
    if (checkRole(sqlca, QStringLiteral("main"), QStringLiteral("live"), livePath, text) != 0
        || checkRole(sqlca, sqlca.AttachSchema, QStringLiteral("history"), historyPath, text) != 0
        || checkRole(photosqlca, QStringLiteral("main"), QStringLiteral("history"), historyPath, text) != 0)
        return fail(text);
    // The history file alone first, so that a lock on it is not taken for one on the live file
    // (sqlca's write transaction takes the attached history file too).
    if (checkWritable(photosqlca, historyPath, text) != 0 || checkWritable(sqlca, livePath, text) != 0)
        return fail(text);
    // Registers made before the journal get it now, those made before its entries carried a
    // token get the column; one that has both is not written at all.
    QList<rt::Value> has{rt::Value::null(rt::ValueType::Long), rt::Value::null(rt::ValueType::Long)};
    bool ok = photosqlca.selectInto(QStringLiteral("SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                                                   "'hm_journal'), (SELECT count(*) FROM pragma_table_info('hm_journal') WHERE "
                                                   "name = 'token')"),
                                    {}, has)
              == 0;
    if (ok && has[0].longValue() == 0)
        ok = photosqlca.executeImmediate(JournalSchema::createFilesSql()) != -1 && photosqlca.commit() == 0;
    else if (ok && has[1].longValue() == 0) {
        for (const QString &sql : JournalSchema::upgradeFilesSql())
            ok = ok && photosqlca.executeImmediate(sql) != -1;
        ok = ok && photosqlca.commit() == 0;
    }
    if (!ok) {
        const QString why = photosqlca.SQLErrText();
        photosqlca.rollback();
        return fail(QString::fromUtf8("无法在 %1 中建立操作记录表。\n%1: cannot make the journal table: %2").arg(historyPath, why));
    }
    HostProcedures::registerLiveProcedures(sqlca);
    HostProcedures::registerHistoryProcedures(photosqlca);
    return 0;
}

bool RegisterDatabases::savesBothFilesTogether(rt::Transaction &sqlca, QString &errorText)
{
    if (sqlca.DBMS.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0)
        return true;
    for (const QString &schema : {QStringLiteral("main"), sqlca.AttachSchema}) {
        QList<rt::Value> mode{rt::Value::null(rt::ValueType::String)};
        if (sqlca.selectInto(QStringLiteral("PRAGMA \"%1\".journal_mode").arg(schema), {}, mode) != 0) {
            errorText = sqlca.SQLErrText();
            return false;
        }
        if (mode[0].string().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
            errorText = QString::fromUtf8("人口信息库的文件已被其他程序改成旧的方式（WAL），现有信息和历史信息不能一同保存。"
                                          "请关闭其他程序，重新启动本程序。");
            return false;
        }
    }
    return true;
}

int RegisterDatabases::createServer(const QString &conninfo, QString &errorText)
{
    rt::Transaction t(QStringLiteral("setup"));
    t.DBMS = QStringLiteral("PostgreSQL");
    t.Database = conninfo;
    if (t.connect() != 0) {
        errorText = t.SQLErrText();
        return -1;
    }
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    if (t.selectInto(QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname IN ('live', 'history')"), {}, n) != 0) {
        errorText = t.SQLErrText();
        return -1;
    }
    if (n[0].longValue() > 0) {
        errorText = QStringLiteral("the database already holds a register (schema live or history); it is left as it is");
        return -1;
    }
    QStringList statements = PgSchema::createStatements();
    const QString info = QStringLiteral("INSERT INTO %1.register_info (key, value) VALUES ('%2', '%3')");
    for (const QString &schema : {PgSchema::liveSchema(), PgSchema::historySchema()}) {
        statements << info.arg(schema, QStringLiteral("role"), schema == PgSchema::liveSchema() ? QStringLiteral("live")
                                                                                                 : QStringLiteral("history"))
                   << info.arg(schema, QStringLiteral("schema"), QString::number(SchemaCatalogue::schemaVersion()))
                   << info.arg(schema, QStringLiteral("created"), rt::DateTime::currentDateTime().toCanonical());
    }
    // Last, so that the register's making is no change of its trail.
    statements << PgSchema::serverSetupScript();
    // One transaction: a register is made whole or not at all.
    for (const QString &sql : statements) {
        if (t.executeImmediate(sql) == -1) {
            errorText = t.SQLErrText();
            t.rollback();
            return -1;
        }
    }
    if (t.commit() != 0) {
        errorText = t.SQLErrText();
        t.rollback();
        return -1;
    }
    return 0;
}

int RegisterDatabases::connectServer(const QString &conninfo, rt::Transaction &sqlca, rt::Transaction &photosqlca,
                                     QString &errorText, bool *passwordWanted)
{
    if (passwordWanted)
        *passwordWanted = false;
    auto fail = [&](const QString &text) {
        errorText = text;
        sqlca.disconnect();
        photosqlca.disconnect();
        return -1;
    };
    for (rt::Transaction *t : {&sqlca, &photosqlca}) {
        t->DBMS = QStringLiteral("PostgreSQL");
        t->Database = conninfo;
        t->AttachDatabase.clear();
        t->SearchPath = t == &sqlca ? PgSchema::liveSearchPath() : PgSchema::historySearchPath();
        if (t->connect() != 0) {
            if (passwordWanted)
                *passwordWanted = t->SQLDBCode() == rt::PgConnection::PasswordNeeded || t->SQLDBCode() == rt::PgConnection::PasswordFailed;
            return fail(QString::fromUtf8("无法连接存放人口信息库的数据库服务器。请检查连接串（--pg）或连接配置（--profile）和网络。\n%1").arg(t->SQLErrText()));
        }
    }
    for (const auto &[t, schema, role] : {std::tuple{&sqlca, PgSchema::liveSchema(), QStringLiteral("live")},
                                          std::tuple{&sqlca, PgSchema::historySchema(), QStringLiteral("history")},
                                          std::tuple{&photosqlca, PgSchema::historySchema(), QStringLiteral("history")}}) {
        QList<rt::Value> value{rt::Value::null(rt::ValueType::String)};
        // to_regclass answers null, rather than failing, where there is no register at all.
        const QString sql = QStringLiteral("SELECT value FROM %1.register_info WHERE key = 'role'").arg(schema);
        QList<rt::Value> exists{rt::Value::null(rt::ValueType::String)};
        if (t->selectInto(QStringLiteral("SELECT to_regclass('%1.register_info')::text").arg(schema), {}, exists) != 0
            || exists[0].isNull() || t->selectInto(sql, {}, value) != 0 || value[0].string() != role)
            return fail(QString::fromUtf8("这个数据库不是本程序的人口信息库（没有 %1 模式及其 register_info 表）。\n"
                                          "the database is not a register of this program (no %1 schema with its register_info)")
                            .arg(schema));
    }
    // Without the journal every change would be refused: a register made before it is told so
    // now, with what its owner runs.
    QList<rt::Value> journal{rt::Value::null(rt::ValueType::Boolean)};
    // Its entries carry a token (by which a change whose COMMIT went unanswered is found) and
    // are added through the server's stamping function, beside the audit trail; a register
    // made before that is upgraded by the same script.
    if (photosqlca.selectInto(QStringLiteral("SELECT CASE WHEN to_regclass('history.hm_audit') IS NOT NULL AND (SELECT count(*) FROM "
                                             "pg_attribute WHERE attrelid = to_regclass('history.hm_journal') AND attname IN "
                                             "('token', 'txid') AND NOT attisdropped) = 2 AND "
                                             "to_regprocedure('history.hm_journal_add(text, text, text, text, text, text, text, text)') "
                                             "IS NOT NULL THEN has_function_privilege('history.hm_journal_add(text, text, text, text, "
                                             "text, text, text, text)', 'EXECUTE') ELSE false END"),
                              {}, journal)
            != 0
        || !journal[0].boolean())
        return fail(QString::fromUtf8("服务器上的人口信息库的操作记录表 history.hm_journal 不存在、不可写或不是最新的。请库的所有者运行 "
                                      "scripts/journal-upgrade.sql（并对操作员角色再运行 scripts/operator-role.sql）。"));
    return 0;
}

int RegisterDatabases::resyncIdentities(rt::Transaction &t, QString &errorText)
{
    for (const TableDef &table : SchemaCatalogue::tables()) {
        QList<std::pair<QString, QString>> identities{{PgSchema::historySchema() + QLatin1Char('.') + table.historyTable.toLower(),
                                                       QStringLiteral("hisid")}};
        for (const ColumnDef &c : table.liveColumns) {
            if (c.identity)
                identities.append({PgSchema::liveSchema() + QLatin1Char('.') + table.liveTable.toLower(), c.name.toLower()});
        }
        for (const auto &[name, column] : identities) {
            if (t.executeImmediate(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE(max(%2), 0) + 1, "
                                                  "false) FROM %1")
                                       .arg(name, column))
                == -1) {
                errorText = t.SQLErrText();
                t.rollback();
                return -1;
            }
        }
    }
    if (t.commit() != 0) {
        errorText = t.SQLErrText();
        return -1;
    }
    return 0;
}

} // namespace host
