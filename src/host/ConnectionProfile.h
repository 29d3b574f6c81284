#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace host {

// A named connection to the register's server, kept in a file an administrator writes once so
// that no password or host has to be typed on a command line: `NAME.conf` in the user's folder
// (`$XDG_CONFIG_HOME/histmaint`, else `~/.config/histmaint`) or, when the user has none of that
// name, in the system's folder (`/etc/histmaint`).
//
// The file holds lines `key = value` (white space around both trimmed; the value is the rest of
// the line, taken as written, so that a value may hold '#', quotes or spaces); blank lines and
// lines starting with '#' are ignored. The keys are those of keys(); any other key, a line that
// is no `key = value`, a key given twice or a value that is empty is refused, with the file and
// line number. A `password` is refused in a file that its group or others may read.
//
// load() reads nothing from the network and shows nothing: the text of every refusal is
// Chinese, for the operator.
class ConnectionProfile
{
public:
    // The folders looked in, the user's first. Tests give their own.
    explicit ConnectionProfile(QString userDir = defaultUserDir(), QString systemDir = defaultSystemDir());

    static QString defaultUserDir();
    static QString defaultSystemDir() { return QStringLiteral("/etc/histmaint"); }
    // The keys a profile may set.
    static const QStringList &keys();
    // How long a statement may run when the profile does not say.
    static constexpr int defaultStatementTimeoutSeconds = 30;

    // Finds and reads the profile NAME; false with errorText when there is none or it is refused.
    bool load(const QString &name, QString &errorText);
    // Reads one profile file.
    bool loadFile(const QString &path, QString &errorText);

    // The file read.
    const QString &path() const { return m_path; }
    // The libpq connection string of every key but password and statement_timeout.
    const QString &conninfo() const { return m_conninfo; }
    // The password the profile holds (a file only its owner can read), empty when it holds none.
    const QByteArray &password() const { return m_password; }
    int statementTimeoutMs() const { return m_statementTimeoutMs; }

private:
    QString m_userDir;
    QString m_systemDir;
    QString m_path;
    QString m_conninfo;
    QByteArray m_password;
    int m_statementTimeoutMs = defaultStatementTimeoutSeconds * 1000;
};

} // namespace host
