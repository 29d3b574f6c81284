#include "Decimal.h"

#include <cmath>

namespace rt {

namespace {

// 128-bit intermediates keep products of two 18-digit mantissas exact.
__extension__ typedef __int128 Int128;

constexpr std::int64_t pow10(int n)
{
    std::int64_t r = 1;
    for (int i = 0; i < n; ++i)
        r *= 10;
    return r;
}

constexpr Int128 Limit = pow10(Decimal::MaxDigits); // mantissas stay below 10^18

} // namespace

Decimal::Decimal(std::int64_t mantissa, int scale)
    : m_mantissa(mantissa), m_scale(scale < 0 ? 0 : (scale > MaxDigits ? MaxDigits : scale))
{
}

std::optional<Decimal> Decimal::parse(const QString &input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    int i = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')) {
        negative = text[0] == QLatin1Char('-');
        ++i;
    }
    Int128 mantissa = 0;
    int scale = 0;
    int significant = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('.')) {
            if (seenPoint)
                return std::nullopt;
            seenPoint = true;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        seenDigit = true;
        mantissa = mantissa * 10 + (c.unicode() - '0');
        if (mantissa != 0)
            ++significant;
        if (seenPoint)
            ++scale;
        if (significant > MaxDigits || scale > MaxDigits)
            return std::nullopt;
    }
    if (!seenDigit)
        return std::nullopt;
    return Decimal(static_cast<std::int64_t>(negative ? -mantissa : mantissa), scale);
}

std::optional<Decimal> Decimal::fromDouble(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e18)
        return std::nullopt;
    // 15 significant digits is what a double carries faithfully from decimal text.
    QString text = QString::number(value, 'g', 15);
    if (text.contains(QLatin1Char('e')))
        text = std::fabs(value) >= 1 ? QString::number(value, 'f', 0) : QString::number(value, 'f', MaxDigits);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return parse(text);
}

double Decimal::toDouble() const
{
    return static_cast<double>(m_mantissa) / static_cast<double>(pow10(m_scale));
}

QString Decimal::toString() const
{
    const bool negative = m_mantissa < 0;
    // Work on the magnitude as unsigned so INT64_MIN cannot overflow.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(m_mantissa)
                                       : static_cast<std::uint64_t>(m_mantissa);
    QString digits = QString::number(magnitude);
    if (m_scale > 0) {
        if (digits.size() <= m_scale)
            digits.prepend(QString(m_scale - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - m_scale, QLatin1Char('.'));
    }
    if (negative)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

std::optional<Decimal> Decimal::withScale(int scale) const
{
    if (scale < 0 || scale > MaxDigits)
        return std::nullopt;
    Int128 m = m_mantissa;
    if (scale >= m_scale) {
        m *= pow10(scale - m_scale);
    } else {
        const std::int64_t div = pow10(m_scale - scale);
        Int128 q = m / div;
        const Int128 r = m % div;
        if (r * 2 >= div)
            ++q;
        else if (r * 2 <= -div)
            --q;
        m = q;
    }
    if (m >= Limit || m <= -Limit)
        return std::nullopt;
    return Decimal(static_cast<std::int64_t>(m), scale);
}

int Decimal::compare(const Decimal &other) const
{
    const int scale = m_scale > other.m_scale ? m_scale : other.m_scale;
    const Int128 a = static_cast<Int128>(m_mantissa) * pow10(scale - m_scale);
    const Int128 b = static_cast<Int128>(other.m_mantissa) * pow10(scale - other.m_scale);
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace rt
