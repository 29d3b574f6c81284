#include "PgConninfo.h"

#include <QStringList>
#include <libpq-fe.h>

namespace rt {

namespace {

// The options a connection string sets; null (with the reason) when it cannot be read.
PQconninfoOption *parse(const QString &conninfo, QString &error)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.toUtf8().constData(), &message);
    if (!options) {
        error = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("out of memory");
        PQfreemem(message);
    }
    return options;
}

} // namespace

bool PgConninfo::withDefaults(const QString &conninfo, Params &params, QString &error)
{
    PQconninfoOption *options = parse(conninfo, error);
    if (!options)
        return false;
    params.clear();
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (o->val && *o->val)
            params.append({QByteArray(o->keyword), QByteArray(o->val)});
    }
    PQconninfoFree(options);
    const auto isSet = [&](const char *key) {
        return std::any_of(params.cbegin(), params.cend(), [&](const auto &p) { return p.first == key; });
    };
    // The program's name, unless the operator names the session otherwise.
    params.append({QByteArray("fallback_application_name"), QByteArray("histmaint")});
    // A service file's settings are the operator's: an explicit default would override them.
    if (isSet("service") || qEnvironmentVariableIsSet("PGSERVICE"))
        return true;
    static const std::pair<const char *, const char *> defaults[] = {
        {"connect_timeout", "10"},     {"keepalives", "1"},        {"keepalives_idle", "30"},
        {"keepalives_interval", "10"}, {"keepalives_count", "3"}, {"tcp_user_timeout", "60000"}};
    for (const auto &[key, value] : defaults) {
        // Nor does a default override the environment's (PGCONNECT_TIMEOUT …).
        if (!isSet(key) && !(QByteArrayView(key) == "connect_timeout" && qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT")))
            params.append({QByteArray(key), QByteArray(value)});
    }
    return true;
}

QString PgConninfo::masked(const QString &conninfo)
{
    QString error;
    PQconninfoOption *options = parse(conninfo, error);
    if (!options)
        return QStringLiteral("(an unreadable connection string)");
    QStringList parts;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val || !*o->val)
            continue;
        const QString key = QString::fromUtf8(o->keyword);
        // Every secret libpq knows of (password, sslpassword …) is marked for display with '*'.
        const bool secret = key == QLatin1String("password") || (o->dispchar && o->dispchar[0] == '*');
        parts << key + QLatin1Char('=') + quoted(secret ? QStringLiteral("****") : QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return parts.join(QLatin1Char(' '));
}

QString PgConninfo::quoted(const QString &value)
{
    // libpq ends a bare value at white space and reads a backslash as an escape in both forms;
    // a value starting with a quote would be read as quoted.
    bool plain = !value.isEmpty();
    for (const QChar c : value)
        plain = plain && !c.isSpace() && c != QLatin1Char('\'') && c != QLatin1Char('\\') && c != QLatin1Char('=');
    if (plain)
        return value;
    QString text = value;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString PgConninfo::join(const QList<std::pair<QString, QString>> &pairs)
{
    QStringList parts;
    for (const auto &[key, value] : pairs)
        parts << key + QLatin1Char('=') + quoted(value);
    return parts.join(QLatin1Char(' '));
}

QString PgConninfo::setting(const QString &conninfo, const char *key)
{
    QString error;
    PQconninfoOption *options = parse(conninfo, error);
    if (!options)
        return {};
    QString value;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (qstrcmp(o->keyword, key) == 0 && o->val && *o->val)
            value = QString::fromUtf8(o->val);
    }
    PQconninfoFree(options);
    if (!value.isEmpty())
        return value;
    PQconninfoOption *defaults = PQconndefaults();
    for (PQconninfoOption *o = defaults; o && o->keyword; ++o) {
        if (qstrcmp(o->keyword, key) == 0 && o->val && *o->val)
            value = QString::fromUtf8(o->val);
    }
    PQconninfoFree(defaults);
    return value;
}

} // namespace rt
