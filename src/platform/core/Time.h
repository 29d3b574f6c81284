#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace rt {

// A time of day with microsecond precision (00:00:00 to 23:59:59.999999).
class Time
{
public:
    static constexpr std::int64_t MicrosPerDay = 86'400'000'000LL;

    Time() = default;
    // Invalid parts give an invalid time (isValid() false).
    Time(int hour, int minute, int second, int microsecond = 0);
    static Time fromMicros(std::int64_t micros);

    // Accepts "hh:mm", "hh:mm:ss" and "hh:mm:ss.f" with 1 to 6 fraction digits.
    static std::optional<Time> parse(const QString &text);

    bool isValid() const { return m_micros >= 0 && m_micros < MicrosPerDay; }
    std::int64_t micros() const { return m_micros; }
    int hour() const { return int(m_micros / 3'600'000'000LL); }
    int minute() const { return int(m_micros / 60'000'000LL % 60); }
    int second() const { return int(m_micros / 1'000'000LL % 60); }
    int microsecond() const { return int(m_micros % 1'000'000LL); }

    // "hh:mm:ss", followed by ".ffffff" only when the microseconds are not zero: the one form
    // times are stored in, so that text comparison orders them.
    QString toCanonical() const;

    auto operator<=>(const Time &) const = default;

private:
    std::int64_t m_micros = 0;
};

} // namespace rt
