#include "model/maintenance/HistoryCompaction.h"

#include "model/HistorySql.h"
#include "platform/core/DbBackend.h"
#include "platform/core/FilePresence.h"
#include "platform/core/Transaction.h"

#include <QStringList>

namespace model {

namespace {

QString failureText(const char *what, const QString &database)
{
    return QString::fromUtf8(what) + (database.isEmpty() ? QString() : QStringLiteral("\n") + database);
}

} // namespace

int HistoryCompaction::compact(rt::Transaction &t, const QList<std::pair<HistoryMaintenance::TableCount, long long>> &deletedOfRowsBefore,
                               HistoryMaintenance::RunResult &result)
{
    QStringList tables;
    for (const auto &[deleted, before] : deletedOfRowsBefore) {
        if (deleted.rows > 0 && deleted.rows * 10 > before && !tables.contains(deleted.table))
            tables << deleted.table;
    }
    result.compacted = false;
    if (tables.isEmpty()) {
        result.compactText = QString::fromUtf8("删除的记录不到任何一个表的十分之一，未整理空间。");
        return 0;
    }
    HistorySql::endRead(t);
    if (!t.isConnected() && t.connect() != 0) {
        result.error = failureText("无法连接历史信息库以整理空间。", t.SQLErrText());
        return -1;
    }
    // VACUUM cannot run inside a transaction; the connection's own statements would open one.
    rt::DbConnection *db = t.connection();
    rt::DbError error;
    if (HistorySql::onServer(t)) {
        // VACUUM of a table the role may not vacuum only warns and succeeds: who may is asked
        // first (its owner, the database's owner or a superuser), so that nothing is said done
        // that was skipped. The operator role owns no table.
        QStringList done, skipped;
        // From version 17 a role may also have been granted MAINTAIN on the table.
        QList<rt::Value> version{rt::Value::null(rt::ValueType::Long)};
        const bool maintainPrivilege = t.selectInto(QStringLiteral("SELECT CAST(current_setting('server_version_num') AS integer)"), {},
                                                    version)
                                           == 0
                                       && version[0].longValue() >= 170000;
        HistorySql::endRead(t);
        for (const QString &table : tables) {
            QList<rt::Value> may{rt::Value::null(rt::ValueType::Long)};
            const int asked = t.selectInto(
                QStringLiteral("SELECT CASE WHEN pg_has_role(c.relowner, 'USAGE') OR (SELECT rolsuper FROM pg_roles WHERE rolname = "
                               "current_user) OR pg_has_role((SELECT datdba FROM pg_database WHERE datname = current_database()), "
                               "'USAGE')%1 THEN 1 ELSE 0 END FROM pg_class c WHERE c.oid = to_regclass(?)")
                    .arg(maintainPrivilege ? QStringLiteral(" OR has_table_privilege(c.oid, 'MAINTAIN')") : QString()),
                {rt::Value(QStringLiteral("history.") + table.toLower())}, may);
            HistorySql::endRead(t);
            if (asked != 0 || may[0].longValue() != 1) {
                skipped << table.toLower();
                continue;
            }
            if (!db->exec(QStringLiteral("VACUUM (ANALYZE) history.%1").arg(table.toLower()), error)) {
                result.error = failureText("整理历史信息库的空间失败。", error.text);
                return -1;
            }
            done << table.toLower();
        }
        result.compacted = !done.isEmpty();
        QStringList said;
        if (!done.isEmpty())
            said << QString::fromUtf8("已对 %1 执行 VACUUM (ANALYZE)。").arg(done.join(QString::fromUtf8("、")));
        if (!skipped.isEmpty())
            said << QString::fromUtf8("%1 未整理空间：只有表的所有者、数据库的所有者或超级用户可以执行 VACUUM，"
                                      "请由管理员运行（或交给服务器的自动清理）。")
                        .arg(skipped.join(QString::fromUtf8("、")));
        result.compactText = said.join(QString());
        return 0;
    }
    // The whole file is rewritten only when no other connection holds it: no other process has
    // it open (holds a presence on it: an operator's idle program would otherwise wait minutes at
    // its next save and fail), and no connection reads or writes it at this instant (VACUUM
    // fails busy then; a program that holds no presence is seen only so). The sole presence
    // stays while VACUUM runs: a program opening the file meanwhile waits its busy timeout and is
    // refused as busy when it opens, not at a save. Else the pages freed at the file's end are given back instead, where the file keeps that
    // list.
    rt::FilePresence sole;
    const bool alone = sole.takeSole(t.Database);
    if (alone && db->exec(QStringLiteral("VACUUM"), error)) {
        result.compacted = true;
        result.compactText = QString::fromUtf8("已对历史信息库文件执行 VACUUM，释放的空间已交还。");
        return 0;
    }
    sole.release();
    // Busy is somebody at work on the file this instant; anything else (a full disk) is said as it is.
    const int primary = error.code & 0xff;
    if (alone && primary != 5 /* SQLITE_BUSY */ && primary != 6 /* SQLITE_LOCKED */) {
        result.compactText = QString::fromUtf8("整理历史信息库文件的空间失败，未整理：%1").arg(error.text);
        return 0;
    }
    QList<rt::Value> mode{rt::Value::null(rt::ValueType::Long)};
    const bool incremental = t.selectInto(QStringLiteral("PRAGMA auto_vacuum"), {}, mode) == 0 && mode[0].longValue() == 2;
    HistorySql::endRead(t);
    if (incremental && db->exec(QStringLiteral("PRAGMA incremental_vacuum"), error)) {
        result.compacted = true;
        result.compactText = QString::fromUtf8("历史信息库文件正被其他连接使用，已执行 PRAGMA incremental_vacuum 交还空闲页。");
        return 0;
    }
    result.compactText = QString::fromUtf8("历史信息库文件正被其他程序打开，未整理空间。再运行同样的命令不会整理（要删的记录已经删掉）：空间在下一次删除较多记录、且无人打开文件时整理，或在所有人关闭本程序后手工整理（见管理员指南）。");
    return 0;
}

} // namespace model
