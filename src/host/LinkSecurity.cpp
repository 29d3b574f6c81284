#include "host/LinkSecurity.h"

#include "platform/core/PgConninfo.h"
#include "platform/core/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace host {

LinkSecurity::Level LinkSecurity::classify(const Facts &facts)
{
    if (facts.serverAddress.isEmpty())
        return Level::Local;
    // The loopback of either family, an IPv4 one also written as IPv6 (::ffff:127.0.0.1).
    const auto loopback = [](const QString &address) {
        const QString a = address.toLower();
        return a == QLatin1String("::1") || a.startsWith(QLatin1String("127.")) || a.startsWith(QLatin1String("::ffff:127."));
    };
    // Each of a list of hosts (libpq tries them in turn) must be this machine.
    bool clientLocal = true;
    for (const QString &h : facts.clientHost.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString host = h.trimmed();
        clientLocal = clientLocal
                      && (host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'))
                          || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || loopback(host));
    }
    if (loopback(facts.serverAddress) && clientLocal)
        return Level::Local;
    if (!facts.tls)
        return Level::Unencrypted;
    const QString mode = facts.sslmode.toLower();
    return mode == QLatin1String("verify-ca") || mode == QLatin1String("verify-full") ? Level::Verified : Level::Unverified;
}

bool LinkSecurity::examine(rt::Transaction &t, const QString &conninfo, Facts &facts, QString &errorText)
{
    // The server's own view: the address this session reached it at (none over a socket) and
    // whether the session is encrypted; pg_stat_ssl shows every session its own row.
    QList<rt::Value> row{rt::Value::null(rt::ValueType::String), rt::Value::null(rt::ValueType::Boolean)};
    if (t.selectInto(QStringLiteral("SELECT host(inet_server_addr()), COALESCE((SELECT ssl FROM pg_stat_ssl "
                                    "WHERE pid = pg_backend_pid()), false)"),
                     {}, row)
        != 0) {
        errorText = t.SQLErrText();
        return false;
    }
    facts.serverAddress = row[0].isNull() ? QString() : row[0].string();
    facts.tls = !row[1].isNull() && row[1].boolean();
    facts.clientHost = rt::PgConninfo::setting(conninfo, "hostaddr");
    if (facts.clientHost.isEmpty())
        facts.clientHost = rt::PgConninfo::setting(conninfo, "host");
    if (facts.clientHost.isEmpty())
        facts.clientHost = qEnvironmentVariable("PGHOST");
    facts.sslmode = rt::PgConninfo::setting(conninfo, "sslmode");
    if (facts.sslmode.isEmpty())
        facts.sslmode = QStringLiteral("prefer");
    return true;
}

QString LinkSecurity::statusText(Level level)
{
    switch (level) {
    case Level::Unencrypted:
        return QString::fromUtf8("未加密连接");
    case Level::Unverified:
        return QString::fromUtf8("未验证服务器证书");
    case Level::Local:
    case Level::Verified:
        break;
    }
    return {};
}

QString LinkSecurity::warningText(Level level)
{
    switch (level) {
    case Level::Unencrypted:
        return QString::fromUtf8("与数据库服务器之间的连接没有加密：密码和人口信息以明文在网络上传送，"
                                 "同一网络中的其他人可以看到甚至篡改。\n\n"
                                 "请让系统管理员为服务器启用 TLS，并在连接配置文件中设置：\n"
                                 "    sslmode = verify-full");
    case Level::Unverified:
        return QString::fromUtf8("与数据库服务器之间的连接已加密，但没有验证服务器的证书：冒充服务器的计算机"
                                 "可以截取密码和人口信息。\n\n"
                                 "请在连接配置文件中设置以下两行（sslrootcert 是签发服务器证书的根证书文件）：\n"
                                 "    sslmode = verify-full\n"
                                 "    sslrootcert = /etc/histmaint/office-ca.crt");
    case Level::Local:
    case Level::Verified:
        break;
    }
    return {};
}

bool LinkSecurity::firstTimeToday(const QString &stateFile, const QDate &today)
{
    const QString stamp = today.toString(Qt::ISODate);
    QFile in(stateFile);
    if (in.open(QIODevice::ReadOnly) && QString::fromUtf8(in.readAll()).trimmed() == stamp)
        return false;
    in.close();
    QDir().mkpath(QFileInfo(stateFile).absolutePath());
    QSaveFile out(stateFile);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(stamp.toUtf8() + '\n');
        out.commit();
    }
    return true;
}

QString LinkSecurity::defaultStateFile()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/histmaint/link-warning");
}

} // namespace host
