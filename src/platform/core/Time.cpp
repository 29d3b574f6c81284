#include "Time.h"

#include <QRegularExpression>

namespace rt {

Time::Time(int hour, int minute, int second, int microsecond)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || microsecond < 0
        || microsecond > 999'999) {
        m_micros = -1;
        return;
    }
    m_micros = ((std::int64_t(hour) * 60 + minute) * 60 + second) * 1'000'000LL + microsecond;
}

Time Time::fromMicros(std::int64_t micros)
{
    Time t;
    t.m_micros = (micros >= 0 && micros < MicrosPerDay) ? micros : -1;
    return t;
}

std::optional<Time> Time::parse(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,6}))?)?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    QString fraction = m.captured(4);
    fraction = fraction.leftJustified(6, QLatin1Char('0'));
    Time t(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).isEmpty() ? 0 : m.captured(3).toInt(),
           fraction.toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

QString Time::toCanonical() const
{
    if (!isValid())
        return QString();
    QString s = QStringLiteral("%1:%2:%3")
                    .arg(hour(), 2, 10, QLatin1Char('0'))
                    .arg(minute(), 2, 10, QLatin1Char('0'))
                    .arg(second(), 2, 10, QLatin1Char('0'));
    if (microsecond() != 0)
        s += QStringLiteral(".%1").arg(microsecond(), 6, 10, QLatin1Char('0'));
    return s;
}

} // namespace rt
