#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace rt {

// A libpq connection string as histmaint uses it: the operator's settings, completed with the
// defaults an office needs (a bounded connect, keepalives that notice a dead server, the
// program's name on the server), and shown without its password.
class PgConninfo
{
public:
    using Params = QList<std::pair<QByteArray, QByteArray>>;

    // The settings of conninfo (key=value pairs or a postgresql:// URI) plus the defaults for
    // whatever it, the environment (PGCONNECT_TIMEOUT) or a service (service=, PGSERVICE) does
    // not set: connect_timeout 10, keepalives on (idle 30 s, interval 10 s, count 3),
    // tcp_user_timeout 60 s; the session is named histmaint unless it is named otherwise. False
    // with the reason when the string cannot be read (the reason names no part of the string,
    // which may be part of a password).
    static bool withDefaults(const QString &conninfo, Params &params, QString &error);
    // The string as it may be shown or printed: the password replaced by "****". A string that
    // cannot be read is not shown at all.
    static QString masked(const QString &conninfo);
    // A value as a connection string carries it: as it is when it is a plain word, otherwise in
    // single quotes with its backslashes and quotes escaped, so that libpq reads back exactly
    // the value (spaces, quotes, backslashes, '=' and the empty value included).
    static QString quoted(const QString &value);
    // The key=value pairs as one connection string, each value quoted as it needs.
    static QString join(const QList<std::pair<QString, QString>> &pairs);
    // What the connection will use for key: the string's own setting, else libpq's default
    // (the environment: PGHOST, PGSSLMODE …; for user the login name); empty when there is none
    // or the string cannot be read.
    static QString setting(const QString &conninfo, const char *key);
};

} // namespace rt
