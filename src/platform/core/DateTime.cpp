#include "DateTime.h"

#include <QDateTime>
#include <QRegularExpression>

namespace rt {

std::optional<QDate> parseDate(const QString &text)
{
    // Month and day take two digits: "2024-12-3" is a date half typed, not the 3rd.
    static const QRegularExpression re(QStringLiteral("^(\\d{4})[-/](\\d{2})[-/](\\d{2})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString canonicalDate(QDate date)
{
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

std::optional<DateTime> DateTime::parse(const QString &input)
{
    const QString text = input.trimmed();
    int sep = text.indexOf(QLatin1Char(' '));
    if (sep < 0)
        sep = text.indexOf(QLatin1Char('T'));
    const auto date = parseDate(sep < 0 ? text : text.left(sep));
    if (!date)
        return std::nullopt;
    if (sep < 0)
        return DateTime(*date, Time());
    const auto time = Time::parse(text.mid(sep + 1));
    if (!time)
        return std::nullopt;
    return DateTime(*date, *time);
}

DateTime DateTime::currentDateTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QTime t = now.time();
    return DateTime(now.date(), Time(t.hour(), t.minute(), t.second(), t.msec() * 1000));
}

QString DateTime::toCanonical() const
{
    if (!isValid())
        return QString();
    return canonicalDate(m_date) + QLatin1Char(' ') + m_time.toCanonical();
}

} // namespace rt
