#include "Value.h"

#include <cmath>

namespace rt {

QString valueTypeName(ValueType type)
{
    switch (type) {
    case ValueType::String: return QStringLiteral("string");
    case ValueType::Long: return QStringLiteral("long");
    case ValueType::Number: return QStringLiteral("number");
    case ValueType::Decimal: return QStringLiteral("decimal");
    case ValueType::Date: return QStringLiteral("date");
    case ValueType::Time: return QStringLiteral("time");
    case ValueType::DateTime: return QStringLiteral("datetime");
    case ValueType::Boolean: return QStringLiteral("boolean");
    }
    return QString();
}

Value Value::null(ValueType type)
{
    Value v;
    v.m_type = type;
    v.m_null = true;
    switch (type) {
    case ValueType::String: v.m_data = QString(); break;
    case ValueType::Long: v.m_data = std::int64_t(0); break;
    case ValueType::Number: v.m_data = 0.0; break;
    case ValueType::Decimal: v.m_data = rt::Decimal(); break;
    case ValueType::Date: v.m_data = QDate(); break;
    case ValueType::Time: v.m_data = rt::Time(); break;
    case ValueType::DateTime: v.m_data = rt::DateTime(); break;
    case ValueType::Boolean: v.m_data = false; break;
    }
    return v;
}

QString Value::string() const
{
    const auto *p = std::get_if<QString>(&m_data);
    return p ? *p : QString();
}
std::int64_t Value::longValue() const
{
    const auto *p = std::get_if<std::int64_t>(&m_data);
    return p ? *p : 0;
}
double Value::number() const
{
    const auto *p = std::get_if<double>(&m_data);
    return p ? *p : 0.0;
}
rt::Decimal Value::decimal() const
{
    const auto *p = std::get_if<rt::Decimal>(&m_data);
    return p ? *p : rt::Decimal();
}
QDate Value::date() const
{
    const auto *p = std::get_if<QDate>(&m_data);
    return p ? *p : QDate();
}
rt::Time Value::time() const
{
    const auto *p = std::get_if<rt::Time>(&m_data);
    return p ? *p : rt::Time();
}
rt::DateTime Value::dateTime() const
{
    const auto *p = std::get_if<rt::DateTime>(&m_data);
    return p ? *p : rt::DateTime();
}
bool Value::boolean() const
{
    const auto *p = std::get_if<bool>(&m_data);
    return p ? *p : false;
}

namespace {

bool isNumeric(ValueType t)
{
    return t == ValueType::Long || t == ValueType::Number || t == ValueType::Decimal;
}

double asDouble(const Value &v)
{
    switch (v.type()) {
    case ValueType::Long: return double(v.longValue());
    case ValueType::Number: return v.number();
    case ValueType::Decimal: return v.decimal().toDouble();
    default: return 0.0;
    }
}

} // namespace

QString Value::toText() const
{
    if (m_null)
        return QString();
    switch (m_type) {
    case ValueType::String: return string();
    case ValueType::Long: return QString::number(longValue());
    case ValueType::Number: return QString::number(number(), 'g', 15);
    case ValueType::Decimal: return decimal().toString();
    case ValueType::Date: return canonicalDate(date());
    case ValueType::Time: return time().toCanonical();
    case ValueType::DateTime: return dateTime().toCanonical();
    case ValueType::Boolean: return boolean() ? QStringLiteral("true") : QStringLiteral("false");
    }
    return QString();
}

Value Value::convertedTo(ValueType target, bool *ok) const
{
    if (ok)
        *ok = true;
    if (m_type == target)
        return *this;
    if (m_null)
        return Value::null(target);
    auto fail = [&]() {
        if (ok)
            *ok = false;
        return Value::null(target);
    };
    switch (target) {
    case ValueType::String:
        return Value(toText());
    case ValueType::Long: {
        if (m_type == ValueType::String) {
            bool good = false;
            const qlonglong l = string().trimmed().toLongLong(&good);
            if (good)
                return Value(std::int64_t(l));
            const double d = string().trimmed().toDouble(&good);
            return good && std::isfinite(d) ? Value(std::int64_t(std::llround(d))) : fail();
        }
        if (m_type == ValueType::Boolean)
            return Value(std::int64_t(boolean() ? 1 : 0));
        if (isNumeric(m_type)) {
            const double d = asDouble(*this);
            return std::isfinite(d) && std::fabs(d) < 9.2e18 ? Value(std::int64_t(std::llround(d))) : fail();
        }
        return fail();
    }
    case ValueType::Number: {
        if (m_type == ValueType::String) {
            bool good = false;
            const double d = string().trimmed().toDouble(&good);
            return good ? Value(d) : fail();
        }
        if (isNumeric(m_type))
            return Value(asDouble(*this));
        return fail();
    }
    case ValueType::Decimal: {
        if (m_type == ValueType::String) {
            const auto d = rt::Decimal::parse(string());
            return d ? Value(*d) : fail();
        }
        if (m_type == ValueType::Long)
            return Value(rt::Decimal::fromInt(longValue()));
        if (m_type == ValueType::Number) {
            const auto d = rt::Decimal::fromDouble(number());
            return d ? Value(*d) : fail();
        }
        return fail();
    }
    case ValueType::Date: {
        if (m_type == ValueType::String) {
            if (const auto d = parseDate(string()))
                return Value(*d);
            const auto dt = rt::DateTime::parse(string());
            return dt ? Value(dt->date()) : fail();
        }
        if (m_type == ValueType::DateTime)
            return Value(dateTime().date());
        return fail();
    }
    case ValueType::Time: {
        if (m_type == ValueType::String) {
            if (const auto t = rt::Time::parse(string()))
                return Value(*t);
            const auto dt = rt::DateTime::parse(string());
            return dt ? Value(dt->time()) : fail();
        }
        if (m_type == ValueType::DateTime)
            return Value(dateTime().time());
        return fail();
    }
    case ValueType::DateTime: {
        if (m_type == ValueType::String) {
            const auto dt = rt::DateTime::parse(string());
            return dt ? Value(*dt) : fail();
        }
        if (m_type == ValueType::Date)
            return Value(rt::DateTime(date(), rt::Time()));
        return fail();
    }
    case ValueType::Boolean: {
        if (m_type == ValueType::String) {
            const QString s = string().trimmed().toLower();
            if (s == QLatin1String("true") || s == QLatin1String("yes") || s == QLatin1String("1"))
                return Value(true);
            if (s == QLatin1String("false") || s == QLatin1String("no") || s == QLatin1String("0"))
                return Value(false);
            return fail();
        }
        if (isNumeric(m_type))
            return Value(asDouble(*this) != 0.0);
        return fail();
    }
    }
    return fail();
}

int Value::compare(const Value &a, const Value &b)
{
    if (a.m_null || b.m_null)
        return a.m_null == b.m_null ? 0 : (a.m_null ? -1 : 1);
    if (a.m_type == b.m_type) {
        switch (a.m_type) {
        case ValueType::String: {
            const int c = QString::compare(a.string(), b.string());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case ValueType::Long: return a.longValue() < b.longValue() ? -1 : (a.longValue() > b.longValue() ? 1 : 0);
        case ValueType::Number: return a.number() < b.number() ? -1 : (a.number() > b.number() ? 1 : 0);
        case ValueType::Decimal: return a.decimal().compare(b.decimal());
        case ValueType::Date: return a.date() < b.date() ? -1 : (a.date() > b.date() ? 1 : 0);
        case ValueType::Time: return a.time() < b.time() ? -1 : (a.time() > b.time() ? 1 : 0);
        case ValueType::DateTime: return a.dateTime() < b.dateTime() ? -1 : (a.dateTime() == b.dateTime() ? 0 : 1);
        case ValueType::Boolean: return int(a.boolean()) - int(b.boolean());
        }
    }
    if (isNumeric(a.m_type) && isNumeric(b.m_type)) {
        if (a.m_type != ValueType::Number && b.m_type != ValueType::Number) {
            const auto da = a.convertedTo(ValueType::Decimal).decimal();
            const auto db = b.convertedTo(ValueType::Decimal).decimal();
            return da.compare(db);
        }
        const double x = asDouble(a), y = asDouble(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const QString x = a.toText(), y = b.toText();
    return x < y ? -1 : (x == y ? 0 : 1);
}

} // namespace rt
