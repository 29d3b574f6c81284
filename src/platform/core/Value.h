#pragma once

#include "DateTime.h"
#include "Decimal.h"
#include "Time.h"

#include <QDate>
#include <QString>
#include <cstdint>
#include <variant>

namespace rt {

enum class ValueType { String, Long, Number, Decimal, Date, Time, DateTime, Boolean };

QString valueTypeName(ValueType type);

// A nullable value of one of the runtime's types. A value always has a type; a null value
// keeps it (a null date is still a date). Conversions follow the runtime: text converts
// from the canonical forms, numbers convert between each other, a datetime gives its date.
class Value
{
public:
    Value() = default; // a null string
    Value(const QString &s) : m_type(ValueType::String), m_null(s.isNull()), m_data(s) {}
    Value(const char *s) : Value(QString::fromUtf8(s)) {}
    Value(int v) : m_type(ValueType::Long), m_null(false), m_data(std::int64_t(v)) {}
    Value(std::int64_t v) : m_type(ValueType::Long), m_null(false), m_data(v) {}
    Value(long long v) : Value(std::int64_t(v)) {}
    Value(double v) : m_type(ValueType::Number), m_null(false), m_data(v) {}
    Value(const rt::Decimal &v) : m_type(ValueType::Decimal), m_null(false), m_data(v) {}
    Value(QDate v) : m_type(ValueType::Date), m_null(!v.isValid()), m_data(v) {}
    Value(const rt::Time &v) : m_type(ValueType::Time), m_null(!v.isValid()), m_data(v) {}
    Value(const rt::DateTime &v) : m_type(ValueType::DateTime), m_null(!v.isValid()), m_data(v) {}
    Value(bool v) : m_type(ValueType::Boolean), m_null(false), m_data(v) {}

    static Value null(ValueType type);

    ValueType type() const { return m_type; }
    bool isNull() const { return m_null; }
    void setNull() { m_null = true; }

    // The value's own content; only meaningful when not null and of that type.
    QString string() const;
    std::int64_t longValue() const;
    double number() const;
    rt::Decimal decimal() const;
    QDate date() const;
    rt::Time time() const;
    rt::DateTime dateTime() const;
    bool boolean() const;

    // Converts to another type. Null stays null (of the new type). A value that cannot be
    // converted (text that is no number, an impossible date) gives ok = false and a null.
    Value convertedTo(ValueType type, bool *ok = nullptr) const;

    // Canonical text: numbers plainly, dates "yyyy-mm-dd", datetimes and times in their stored
    // form, booleans "true"/"false"; null gives a null QString.
    QString toText() const;

    // Total order used by sorts: nulls first, then by value; values of different types are
    // compared as numbers when both are numeric, else as text.
    static int compare(const Value &a, const Value &b);
    bool operator==(const Value &o) const { return m_null == o.m_null && (m_null || compare(*this, o) == 0); }

private:
    using Data = std::variant<QString, std::int64_t, double, rt::Decimal, QDate, rt::Time, rt::DateTime, bool>;
    ValueType m_type = ValueType::String;
    bool m_null = true;
    Data m_data = QString();
};

} // namespace rt
