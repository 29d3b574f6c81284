#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace rt {

// An exact decimal number of up to 18 significant digits: a 64-bit mantissa and a scale
// (digits after the point, 0..18). The scale a value was written with is kept, so
// "1.10" prints back as "1.10"; comparison is numeric (1.10 == 1.1).
class Decimal
{
public:
    static constexpr int MaxDigits = 18;

    Decimal() = default;
    Decimal(std::int64_t mantissa, int scale);
    static Decimal fromInt(std::int64_t value) { return Decimal(value, 0); }

    // Parses "[-+]digits[.digits]" (no exponent, no grouping). Returns nothing on bad text
    // or more than 18 significant digits.
    static std::optional<Decimal> parse(const QString &text);
    // Rounds a double to at most 18 significant digits (half away from zero).
    static std::optional<Decimal> fromDouble(double value);

    std::int64_t mantissa() const { return m_mantissa; }
    int scale() const { return m_scale; }
    double toDouble() const;
    QString toString() const;
    // Rounded (half away from zero) or zero-padded to the given scale; nothing on overflow.
    std::optional<Decimal> withScale(int scale) const;

    int compare(const Decimal &other) const;
    bool operator==(const Decimal &other) const { return compare(other) == 0; }
    bool operator<(const Decimal &other) const { return compare(other) < 0; }

private:
    std::int64_t m_mantissa = 0;
    int m_scale = 0;
};

} // namespace rt
