#include "model/deletion/PurgeDates.h"

#include "platform/core/DateTime.h"

namespace model {

namespace {

rt::Value midnight(QDate d)
{
    return rt::Value(rt::DateTime(d));
}

// The last moment of the day before: "<= it" is "< d 00:00:00" for the procedure, whose flag
// compares inclusively.
rt::Value lastMomentBefore(QDate d)
{
    return rt::Value(rt::DateTime(d.addDays(-1), rt::Time::fromMicros(rt::Time::MicrosPerDay - 1)));
}

QString day(QDate d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

PurgeDates PurgeDates::all()
{
    return PurgeDates(Rule::All, {}, {});
}

PurgeDates PurgeDates::before(QDate day)
{
    return PurgeDates(Rule::Before, {}, day);
}

PurgeDates PurgeDates::upTo(QDate day)
{
    return PurgeDates(Rule::UpTo, {}, day);
}

PurgeDates PurgeDates::between(QDate from, QDate to)
{
    return PurgeDates(Rule::Between, from, to);
}

QString PurgeDates::condition(const QString &column) const
{
    switch (m_rule) {
    case Rule::All: return QStringLiteral("1 = 1");
    case Rule::Before: return QStringLiteral("%1 < ?").arg(column);
    case Rule::UpTo: return QStringLiteral("%1 <= ?").arg(column);
    case Rule::Between: return QStringLiteral("%1 <= ? and %1 >= ?").arg(column);
    }
    return QString();
}

QList<rt::Value> PurgeDates::values() const
{
    switch (m_rule) {
    case Rule::All: return {};
    case Rule::Before:
    case Rule::UpTo: return {midnight(m_to)};
    case Rule::Between: return {midnight(m_to), midnight(m_from)};
    }
    return {};
}

int PurgeDates::procedureFlag() const
{
    switch (m_rule) {
    case Rule::All: return 1;
    case Rule::Before:
    case Rule::UpTo: return 2;
    case Rule::Between: return 3;
    }
    return 1;
}

rt::Value PurgeDates::procedureStart() const
{
    switch (m_rule) {
    case Rule::All: return rt::Value::null(rt::ValueType::DateTime);
    case Rule::Before: return lastMomentBefore(m_to);
    case Rule::UpTo: return midnight(m_to);
    case Rule::Between: return midnight(m_from);
    }
    return rt::Value::null(rt::ValueType::DateTime);
}

rt::Value PurgeDates::procedureEnd() const
{
    return m_rule == Rule::Between ? midnight(m_to) : rt::Value::null(rt::ValueType::DateTime);
}

QString PurgeDates::procedureCondition(const QString &column) const
{
    switch (procedureFlag()) {
    case 2: return QStringLiteral("%1 <= ?").arg(column);
    case 3: return QStringLiteral("%1 <= ? and %1 >= ?").arg(column);
    default: return QStringLiteral("1 = 1");
    }
}

QList<rt::Value> PurgeDates::procedureValues() const
{
    switch (procedureFlag()) {
    case 2: return {procedureStart()};
    case 3: return {procedureEnd(), procedureStart()};
    default: return {};
    }
}

QString PurgeDates::words() const
{
    switch (m_rule) {
    case Rule::All: return QString::fromUtf8("全部记录");
    case Rule::Before:
    case Rule::UpTo: return QString::fromUtf8("%1 以前保存的记录").arg(day(m_to));
    case Rule::Between: return QString::fromUtf8("%1 至 %2").arg(day(m_from), day(m_to));
    }
    return QString();
}

} // namespace model
