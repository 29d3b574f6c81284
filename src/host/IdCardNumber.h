#pragma once

#include <QDate>
#include <QString>

namespace host {

// The 18-character citizen identity number: 6-digit area code, birth date yyyymmdd, a 3-digit
// sequence (odd for men, even for women) and the ISO 7064 MOD 11-2 check character.
class IdCardNumber
{
public:
    static QString make(const QString &areaCode, QDate birthday, int sequence);
    // The check character for the first 17 digits ('0'-'9' or 'X'); a null QChar for bad input.
    static QChar checkCharacter(const QString &first17);
    static bool isValid(const QString &number);
    static QDate birthday(const QString &number);
    static bool isMale(const QString &number);
};

} // namespace host
