#include "host/RegisterDatabases.h"

#include "host/HostProcedures.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/DateTime.h"
#include "platform/core/Transaction.h"

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
    if (sqlca.connect() != 0)
        return fail(sqlca.SQLErrText());
    if (photosqlca.connect() != 0)
        return fail(photosqlca.SQLErrText());
    QString text;
    if (checkRole(sqlca, QStringLiteral("main"), QStringLiteral("live"), livePath, text) != 0
        || checkRole(sqlca, sqlca.AttachSchema, QStringLiteral("history"), historyPath, text) != 0
        || checkRole(photosqlca, QStringLiteral("main"), QStringLiteral("history"), historyPath, text) != 0)
        return fail(text);
    HostProcedures::registerLiveProcedures(sqlca);
    HostProcedures::registerHistoryProcedures(photosqlca);
    return 0;
}

} // namespace host
