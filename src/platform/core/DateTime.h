#pragma once

#include "Time.h"

#include <QDate>
#include <QString>
#include <optional>

namespace rt {

// A calendar date with a time of day to the microsecond.
class DateTime
{
public:
    DateTime() = default;
    DateTime(QDate date, Time time = Time()) : m_date(date), m_time(time) {}

    // Accepts "yyyy-mm-dd" (midnight), "yyyy-mm-dd hh:mm[:ss[.f…]]" with a space or 'T'.
    // Impossible dates ("2023-02-30") are rejected.
    static std::optional<DateTime> parse(const QString &text);
    static DateTime currentDateTime();

    bool isValid() const { return m_date.isValid() && m_time.isValid(); }
    QDate date() const { return m_date; }
    Time time() const { return m_time; }

    // "yyyy-mm-dd hh:mm:ss" plus ".ffffff" only when the microseconds are not zero: the single
    // stored form, so that text comparison in SQL orders and matches datetimes correctly.
    QString toCanonical() const;

    bool operator==(const DateTime &o) const { return m_date == o.m_date && m_time == o.m_time; }
    bool operator<(const DateTime &o) const
    {
        return m_date < o.m_date || (m_date == o.m_date && m_time < o.m_time);
    }

private:
    QDate m_date;
    Time m_time;
};

// Strict "yyyy-mm-dd" (also accepts "yyyy/mm/dd" and single-digit month and day); an impossible
// date gives nothing.
std::optional<QDate> parseDate(const QString &text);
// "yyyy-mm-dd".
QString canonicalDate(QDate date);

} // namespace rt
