#include "host/RegisterDatabases.h"

#include "host/HostProcedures.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/DateTime.h"
#include "platform/core/Transaction.h"

#include <QDir>
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
                        ? QStringLiteral("%1 is not a live register file of this program").arg(path)
                        : QStringLiteral("%1 is not a history file of this program").arg(path);
        return -1;
    }
    return 0;
}

QString RegisterDatabases::lockedText(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return QString::fromUtf8("%1 正被另一个程序锁定（该程序正在写入），现在不能修改。请等它写完或关闭它，然后再启动本程序。\n"
                             "%1 is locked by another program that is writing to it, so it cannot be changed now. "
                             "Wait for that program to finish, or close it, then start histmaint again.\n(%2)")
        .arg(name, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

QString RegisterDatabases::readOnlyText(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return QString::fromUtf8("%1 是只读的（文件或它所在的文件夹不可写），不能修改。请检查文件和文件夹的权限。\n"
                             "%1 is read-only (the file or its folder cannot be written), so it cannot be changed. "
                             "Check the permissions of the file and of its folder.\n(%2)")
        .arg(name, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
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
            errorText = QStringLiteral("%1: %2").arg(path, error.text);
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
    if (sqlca.connect() != 0)
        return fail(sqlca.SQLErrText());
    if (photosqlca.connect() != 0)
        return fail(photosqlca.SQLErrText());
    if (checkRole(sqlca, QStringLiteral("main"), QStringLiteral("live"), livePath, text) != 0
        || checkRole(sqlca, sqlca.AttachSchema, QStringLiteral("history"), historyPath, text) != 0
        || checkRole(photosqlca, QStringLiteral("main"), QStringLiteral("history"), historyPath, text) != 0)
        return fail(text);
    // The history file alone first, so that a lock on it is not taken for one on the live file
    // (sqlca's write transaction takes the attached history file too).
    if (checkWritable(photosqlca, historyPath, text) != 0 || checkWritable(sqlca, livePath, text) != 0)
        return fail(text);
    HostProcedures::registerLiveProcedures(sqlca);
    HostProcedures::registerHistoryProcedures(photosqlca);
    return 0;
}

} // namespace host
