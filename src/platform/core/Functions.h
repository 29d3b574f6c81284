#pragma once

#include "Value.h"

#include <QDate>
#include <QString>
#include <cstdint>

// The runtime's date, string and number functions. Positions and lengths are 1-based and
// count characters (a Chinese character is one), never bytes.
namespace rt::fn {

QDate Today();
QDate RelativeDate(QDate date, int days);
// Date from text; an impossible or malformed date gives an invalid QDate (test with IsNull).
QDate Date(const QString &text);
QDate Date(int year, int month, int day);
QDate Date(const rt::DateTime &dateTime);
rt::DateTime DateTime(QDate date, const rt::Time &time = rt::Time());
// Datetime from text; malformed text gives an invalid DateTime.
rt::DateTime DateTime(const QString &text);

// Formats a value. Date and time formats use yyyy yy mm m dd d hh h mm (minutes after hours)
// ss s and f…ffffff (fraction digits); numbers take patterns of 0 # , and . ("#,##0.00").
// No format, or a null value, gives the canonical text (null: a null QString).
QString String(const Value &value, const QString &format = QString());

// Text to a whole number; text that is no number gives 0, as the runtime does.
std::int64_t Long(const QString &text);
std::int64_t RGB(int red, int green, int blue);

QString Left(const QString &s, std::int64_t n);
QString Right(const QString &s, std::int64_t n);
QString Mid(const QString &s, std::int64_t start, std::int64_t length = -1);
std::int64_t Len(const QString &s);
// Position of search in s from start on, 0 when not found.
std::int64_t Pos(const QString &s, const QString &search, std::int64_t start = 1);
// Replaces n characters from start with replacement.
QString Replace(const QString &s, std::int64_t start, std::int64_t n, const QString &replacement);
QString Trim(const QString &s);
QString Lower(const QString &s);
QString Upper(const QString &s);
// A count as the operator reads it, with the thousands separator: "1,234".
QString Grouped(long long n);

bool IsNull(const Value &v);
bool IsNull(QDate d);
template<typename T>
void SetNull(T &v)
{
    v = T();
}
inline void SetNull(Value &v)
{
    v.setNull();
}

} // namespace rt::fn
