#include "Functions.h"

#include <QList>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace rt::fn {

QDate Today()
{
    return QDate::currentDate();
}

QDate RelativeDate(QDate date, int days)
{
    return date.isValid() ? date.addDays(days) : QDate();
}

QDate Date(const QString &text)
{
    if (const auto d = parseDate(text))
        return *d;
    if (const auto dt = rt::DateTime::parse(text))
        return dt->date();
    return QDate();
}

QDate Date(int year, int month, int day)
{
    return QDate(year, month, day);
}

QDate Date(const rt::DateTime &dateTime)
{
    return dateTime.date();
}

rt::DateTime DateTime(QDate date, const rt::Time &time)
{
    return rt::DateTime(date, time);
}

rt::DateTime DateTime(const QString &text)
{
    const auto dt = rt::DateTime::parse(text);
    return dt ? *dt : rt::DateTime();
}

namespace {

QString pad(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// Date/time pattern: runs of the same letter are one token; "mm" right after an hour token
// (or right before a seconds token) means minutes.
QString formatDateTime(QDate date, const rt::Time &time, const QString &format)
{
    QString out;
    bool lastWasHour = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format[i];
        int n = 1;
        while (i + n < format.size() && format[i + n] == c)
            ++n;
        const QChar lc = c.toLower();
        auto nextNonSepIs = [&](QChar letter) {
            for (int j = i + n; j < format.size(); ++j) {
                if (format[j].isLetter())
                    return format[j].toLower() == letter;
            }
            return false;
        };
        if (lc == QLatin1Char('y')) {
            out += n >= 4 ? pad(date.year(), 4) : pad(date.year() % 100, 2);
        } else if (lc == QLatin1Char('m')) {
            const bool minutes = lastWasHour || nextNonSepIs(QLatin1Char('s'));
            const int v = minutes ? time.minute() : date.month();
            out += n >= 2 ? pad(v, 2) : QString::number(v);
        } else if (lc == QLatin1Char('d')) {
            out += n >= 2 ? pad(date.day(), 2) : QString::number(date.day());
        } else if (lc == QLatin1Char('h')) {
            out += n >= 2 ? pad(time.hour(), 2) : QString::number(time.hour());
        } else if (lc == QLatin1Char('s')) {
            out += n >= 2 ? pad(time.second(), 2) : QString::number(time.second());
        } else if (lc == QLatin1Char('f')) {
            out += pad(time.microsecond(), 6).left(qMin(n, 6));
        } else {
            out += QString(n, c);
        }
        if (lc == QLatin1Char('h'))
            lastWasHour = true;
        else if (c.isLetter())
            lastWasHour = false;
        i += n;
    }
    return out;
}

QString formatNumber(double value, const QString &format)
{
    const int point = format.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? format : format.left(point);
    const QString fracPart = point < 0 ? QString() : format.mid(point + 1);
    int decimals = 0;
    int optionalDecimals = 0;
    for (QChar c : fracPart) {
        if (c == QLatin1Char('0'))
            ++decimals;
        else if (c == QLatin1Char('#'))
            ++optionalDecimals;
    }
    const bool grouping = intPart.contains(QLatin1Char(','));
    int minIntDigits = int(intPart.count(QLatin1Char('0')));
    QString digits = QString::number(std::fabs(value), 'f', decimals + optionalDecimals);
    QString integer = digits.section(QLatin1Char('.'), 0, 0);
    QString fraction = digits.section(QLatin1Char('.'), 1, 1);
    while (fraction.size() > decimals && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (integer == QLatin1String("0") && minIntDigits == 0)
        integer.clear();
    while (integer.size() < minIntDigits)
        integer.prepend(QLatin1Char('0'));
    if (grouping) {
        for (int pos = integer.size() - 3; pos > 0; pos -= 3)
            integer.insert(pos, QLatin1Char(','));
    }
    QString out = integer;
    if (!fraction.isEmpty())
        out += QLatin1Char('.') + fraction;
    if (value < 0 && out.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        out.prepend(QLatin1Char('-'));
    return out;
}

QList<uint> chars(const QString &s)
{
    return s.toUcs4();
}

QString fromChars(const QList<uint> &c, qsizetype from, qsizetype count)
{
    if (from < 0)
        from = 0;
    if (from >= c.size() || count <= 0)
        return QString(QLatin1String(""));
    count = qMin(count, c.size() - from);
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(c.constData() + from), count);
}

} // namespace

QString String(const Value &value, const QString &format)
{
    if (value.isNull())
        return QString();
    if (format.isEmpty())
        return value.toText();
    switch (value.type()) {
    case ValueType::Date: return formatDateTime(value.date(), rt::Time(), format);
    case ValueType::Time: return formatDateTime(QDate(), value.time(), format);
    case ValueType::DateTime:
        return formatDateTime(value.dateTime().date(), value.dateTime().time(), format);
    case ValueType::Long: return formatNumber(double(value.longValue()), format);
    case ValueType::Number: return formatNumber(value.number(), format);
    case ValueType::Decimal: return formatNumber(value.decimal().toDouble(), format);
    case ValueType::String:
    case ValueType::Boolean: return value.toText();
    }
    return value.toText();
}

std::int64_t Long(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (ok)
        return v;
    const double d = text.trimmed().toDouble(&ok);
    // A number beyond a long's range is no long, like a text that is no number: 0.
    constexpr double limit = 9223372036854775808.0; // 2^63
    return ok && std::isfinite(d) && d > -limit && d < limit ? std::int64_t(std::trunc(d)) : 0;
}

std::int64_t RGB(int red, int green, int blue)
{
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    return std::int64_t(clamp(blue)) * 65536 + std::int64_t(clamp(green)) * 256 + clamp(red);
}

QString Left(const QString &s, std::int64_t n)
{
    return fromChars(chars(s), 0, qsizetype(n));
}

QString Right(const QString &s, std::int64_t n)
{
    const auto c = chars(s);
    if (n <= 0)
        return QString(QLatin1String(""));
    const qsizetype count = qMin<qsizetype>(qsizetype(n), c.size());
    return fromChars(c, c.size() - count, count);
}

QString Mid(const QString &s, std::int64_t start, std::int64_t length)
{
    const auto c = chars(s);
    if (start < 1)
        start = 1;
    return fromChars(c, qsizetype(start - 1), length < 0 ? c.size() : qsizetype(length));
}

std::int64_t Len(const QString &s)
{
    return chars(s).size();
}

std::int64_t Pos(const QString &s, const QString &search, std::int64_t start)
{
    if (search.isEmpty() || start < 1)
        return 0;
    const auto c = chars(s);
    const auto needle = chars(search);
    for (qsizetype i = qsizetype(start - 1); i + needle.size() <= c.size(); ++i) {
        if (std::equal(needle.begin(), needle.end(), c.begin() + i))
            return i + 1;
    }
    return 0;
}

QString Replace(const QString &s, std::int64_t start, std::int64_t n, const QString &replacement)
{
    const auto c = chars(s);
    if (start < 1)
        start = 1;
    const qsizetype from = qMin<qsizetype>(qsizetype(start - 1), c.size());
    const qsizetype count = qMax<qsizetype>(0, qMin<qsizetype>(qsizetype(n), c.size() - from));
    return fromChars(c, 0, from) + replacement + fromChars(c, from + count, c.size());
}

QString Trim(const QString &s)
{
    return s.trimmed();
}

QString Lower(const QString &s)
{
    return s.toLower();
}

QString Upper(const QString &s)
{
    return s.toUpper();
}

bool IsNull(const Value &v)
{
    return v.isNull();
}

bool IsNull(QDate d)
{
    return !d.isValid();
}

QString Grouped(long long n)
{
    return QLocale(QLocale::Chinese, QLocale::China).toString(qlonglong(n));
}

} // namespace rt::fn
