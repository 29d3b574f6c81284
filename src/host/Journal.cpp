#include "host/Journal.h"

#include "platform/core/DateTime.h"
#include "platform/core/Transaction.h"
#include "platform/core/Value.h"

#include <QStringList>
#include <pwd.h>
#include <unistd.h>

namespace host {

QString Journal::createFilesSql()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS hm_journal (id INTEGER PRIMARY KEY AUTOINCREMENT, at DATETIME NOT NULL, "
                          "operator VARCHAR(64), login VARCHAR(64), action VARCHAR(20) NOT NULL, category VARCHAR(40), "
                          "reckey VARCHAR(40), counts VARCHAR(2000), outcome VARCHAR(10) NOT NULL, detail VARCHAR(2000), "
                          "token VARCHAR(40));\n"
                          "CREATE INDEX IF NOT EXISTS hm_journal_token ON hm_journal (token)");
}

QStringList Journal::upgradeFilesSql()
{
    return {QStringLiteral("ALTER TABLE hm_journal ADD COLUMN token VARCHAR(40)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS hm_journal_token ON hm_journal (token)")};
}

QString Journal::createServerIndexSql()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS hm_journal_token ON history.hm_journal (token)");
}

QString Journal::createServerSql()
{
    // The server numbers, dates and signs each entry itself: an operator may insert only the
    // other columns (scripts/operator-role.sql), so no client can set them.
    return QStringLiteral("CREATE TABLE IF NOT EXISTS history.hm_journal (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                          "at timestamp(6) NOT NULL DEFAULT localtimestamp, operator varchar(64) NOT NULL DEFAULT current_user, "
                          "login varchar(64), action varchar(20) NOT NULL, category varchar(40), reckey varchar(40), "
                          "counts varchar(2000), outcome varchar(10) NOT NULL, detail varchar(2000), token varchar(40))");
}

QString Journal::loginName()
{
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("?") : user;
}

QString Journal::countsText(const Counts &counts)
{
    QStringList parts;
    for (const auto &[table, rows] : counts)
        parts << QStringLiteral("%1 %2").arg(table).arg(rows);
    return parts.join(QString::fromUtf8("，"));
}

int Journal::append(rt::Transaction &t, const Entry &entry)
{
    // On the server the entry's time and operator (the role the session runs as) are the
    // server's own; on the files, this computer's clock and login.
    const bool server = t.DBMS.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
    QList<rt::Value> values;
    QString sql;
    if (server) {
        sql = QStringLiteral("INSERT INTO hm_journal (login, action, category, reckey, counts, outcome, detail, token) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    } else {
        sql = QStringLiteral("INSERT INTO hm_journal (at, operator, login, action, category, reckey, counts, outcome, detail, "
                             "token) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        values << rt::Value(rt::DateTime::currentDateTime()) << rt::Value(loginName());
    }
    values << rt::Value(loginName()) << rt::Value(entry.action) << rt::Value(entry.category) << rt::Value(entry.key)
           << rt::Value(countsText(entry.counts)) << rt::Value(entry.outcome) << rt::Value(entry.detail)
           << rt::Value(entry.token);
    return t.execute(sql, values) == -1 ? -1 : 0;
}

int Journal::appendFailure(rt::Transaction &t, Entry entry, const QString &why)
{
    entry.outcome = QString::fromUtf8("失败");
    entry.detail = entry.detail.isEmpty() ? why : entry.detail + QString::fromUtf8("；") + why;
    entry.counts.clear();
    entry.token = QUuid::createUuid().toString(QUuid::WithoutBraces); // an entry of its own
    if (append(t, entry) != 0 || t.commit() != 0) {
        t.rollback();
        return -1;
    }
    return 0;
}

Journal::Outcome Journal::settle(rt::Transaction &t, const Entry &entry, QString &error)
{
    // Whatever failed, the transaction ends first: on the files a rollback leaves both files as
    // they were before it began (or, after a failed COMMIT, as SQLite's journals restore them);
    // on a server whose connection broke, the server has ended it, and the read below connects
    // again.
    t.rollback();
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    if (t.selectInto(QStringLiteral("SELECT count(*) FROM hm_journal WHERE token = ?"), {rt::Value(entry.token)}, n) != 0) {
        error = t.SQLErrText();
        return Outcome::Unknown;
    }
    return n[0].longValue() > 0 ? Outcome::Saved : Outcome::NotSaved;
}

int Journal::beginCounted(rt::Transaction &t)
{
    // The isolation level can only be set before the transaction's first statement.
    if (t.inTransaction()) {
        t.setError(-1, QStringLiteral("a transaction is already open: its rows cannot be counted as the change will see them"));
        return -1;
    }
    if (!t.beginWrite())
        return -1;
    if (t.DBMS.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0
        && t.executeImmediate(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ")) != 0)
        return -1;
    return 0;
}

Journal::Counts Journal::count(rt::Transaction &t, const QList<std::pair<QString, QString>> &tableAndSelect,
                               const rt::Value &key, QString &error)
{
    Counts out;
    for (const auto &[table, select] : tableAndSelect) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (t.selectInto(select, {key}, n) == -1) {
            error = t.SQLErrText();
            return {};
        }
        if (n[0].longValue() > 0)
            out << std::pair<QString, long long>(table, n[0].longValue());
    }
    return out;
}

} // namespace host
