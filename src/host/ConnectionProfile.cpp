#include "host/ConnectionProfile.h"

#include "platform/core/PgConninfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace host {

namespace {

// Numbers an administrator writes: digits only, within bounds.
bool wholeNumber(const QString &text, int low, int high, int &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return false;
    value = text.toInt();
    return value >= low && value <= high;
}

} // namespace

ConnectionProfile::ConnectionProfile(QString userDir, QString systemDir)
    : m_userDir(std::move(userDir)), m_systemDir(std::move(systemDir))
{
}

QString ConnectionProfile::defaultUserDir()
{
    // The XDG folder as the desktop defines it, whatever Qt makes of it on other systems.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/histmaint");
}

const QStringList &ConnectionProfile::keys()
{
    static const QStringList k{QStringLiteral("host"),        QStringLiteral("port"),
                               QStringLiteral("dbname"),      QStringLiteral("user"),
                               QStringLiteral("password"),    QStringLiteral("sslmode"),
                               QStringLiteral("sslrootcert"), QStringLiteral("sslcert"),
                               QStringLiteral("sslkey"),      QStringLiteral("application_name"),
                               QStringLiteral("connect_timeout"), QStringLiteral("statement_timeout")};
    return k;
}

bool ConnectionProfile::load(const QString &name, QString &errorText)
{
    // A name, not a path: NAME must not reach outside the two folders.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]*$"));
    if (!plain.match(name).hasMatch()) {
        errorText = QString::fromUtf8("连接配置的名称“%1”不可用：只能由字母、数字、“_”、“-”和“.”组成。").arg(name);
        return false;
    }
    const QString file = name + QStringLiteral(".conf");
    const QStringList candidates{QDir(m_userDir).filePath(file), QDir(m_systemDir).filePath(file)};
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return loadFile(candidate, errorText);
    }
    errorText = QString::fromUtf8("找不到连接配置“%1”（已查找 %2 和 %3）。").arg(name, candidates[0], candidates[1]);
    return false;
}

bool ConnectionProfile::loadFile(const QString &path, QString &errorText)
{
    m_path = path;
    m_conninfo.clear();
    m_password.fill('\0');
    m_password.clear();
    m_statementTimeoutMs = defaultStatementTimeoutSeconds * 1000;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        errorText = QString::fromUtf8("无法读取连接配置文件 %1：%2").arg(path, f.errorString());
        return false;
    }
    QString content = QString::fromUtf8(f.readAll());
    // A file saved by a Windows editor may begin with a byte-order mark.
    if (content.startsWith(QChar(0xFEFF)))
        content.remove(0, 1);
    const QStringList lines = content.split(QLatin1Char('\n'));
    auto refuse = [&](int line, const QString &what) {
        errorText = QString::fromUtf8("连接配置文件 %1 第 %2 行：%3").arg(path).arg(line).arg(what);
        m_password.fill('\0');
        m_password.clear();
        return false;
    };
    QList<std::pair<QString, QString>> pairs;
    QSet<QString> seen;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            return refuse(i + 1, QString::fromUtf8("不是“名称 = 值”的形式。"));
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (!keys().contains(key))
            return refuse(i + 1, QString::fromUtf8("不认识的设置“%1”。可用的设置有：%2。").arg(key, keys().join(QString::fromUtf8("、"))));
        if (seen.contains(key))
            return refuse(i + 1, QString::fromUtf8("设置“%1”出现了两次。").arg(key));
        seen.insert(key);
        if (value.isEmpty())
            return refuse(i + 1, QString::fromUtf8("设置“%1”没有值。").arg(key));
        int number = 0;
        if (key == QLatin1String("statement_timeout")) {
            if (!wholeNumber(value, 1, 86400, number))
                return refuse(i + 1, QString::fromUtf8("statement_timeout 应为 1 到 86400 之间的整数（秒），而不是“%1”。").arg(value));
            m_statementTimeoutMs = number * 1000;
        } else if (key == QLatin1String("port") && !wholeNumber(value, 1, 65535, number)) {
            return refuse(i + 1, QString::fromUtf8("port 应为 1 到 65535 之间的整数，而不是“%1”。").arg(value));
        } else if (key == QLatin1String("connect_timeout") && !wholeNumber(value, 1, 3600, number)) {
            return refuse(i + 1, QString::fromUtf8("connect_timeout 应为 1 到 3600 之间的整数（秒），而不是“%1”。").arg(value));
        } else if (key == QLatin1String("password")) {
            // Whoever can read the file can read the password: only a file of its owner alone
            // may hold one.
            if (QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther))
                return refuse(i + 1, QString::fromUtf8("文件中写有密码（password），但本机其他用户也能读取这个文件，因此不予使用。"
                                                       "请用 chmod 600 %1 使它只有您本人能读取，或删去密码、改用 ~/.pgpass。")
                                         .arg(path));
            m_password = value.toUtf8();
        } else {
            pairs.append({key, value});
        }
    }
    m_conninfo = rt::PgConninfo::join(pairs);
    return true;
}

} // namespace host
