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
    static const std::pair<const char *, const char *> defaults[] = {
        {"connect_timeout", "10"},    {"keepalives", "1"},          {"keepalives_idle", "30"},
        {"keepalives_interval", "10"}, {"keepalives_count", "3"},   {"tcp_user_timeout", "60000"},
        {"application_name", "histmaint"}};
    for (const auto &[key, value] : defaults) {
        const bool set = std::any_of(params.cbegin(), params.cend(), [&](const auto &p) { return p.first == key; });
        if (!set)
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
        QString value = key == QLatin1String("password") ? QStringLiteral("****") : QString::fromUtf8(o->val);
        if (value.isEmpty() || value.contains(QLatin1Char(' ')) || value.contains(QLatin1Char('\'')) || value.contains(QLatin1Char('\\')))
            value = QLatin1Char('\'') + value.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"))
                    + QLatin1Char('\'');
        parts << key + QLatin1Char('=') + value;
    }
    PQconninfoFree(options);
    return parts.join(QLatin1Char(' '));
}

} // namespace rt
