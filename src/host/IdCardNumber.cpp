#include "host/IdCardNumber.h"

namespace host {

QChar IdCardNumber::checkCharacter(const QString &first17)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    if (first17.size() != 17)
        return QChar();
    int sum = 0;
    for (int i = 0; i < 17; ++i) {
        if (!first17[i].isDigit())
            return QChar();
        sum += (first17[i].unicode() - '0') * weights[i];
    }
    return QLatin1Char(checks[sum % 11]);
}

QString IdCardNumber::make(const QString &areaCode, QDate birthday, int sequence)
{
    const QString first = areaCode.left(6) + birthday.toString(QStringLiteral("yyyyMMdd"))
                          + QStringLiteral("%1").arg(sequence % 1000, 3, 10, QLatin1Char('0'));
    return first + checkCharacter(first);
}

bool IdCardNumber::isValid(const QString &number)
{
    return number.size() == 18 && checkCharacter(number.left(17)) == number[17].toUpper() && birthday(number).isValid();
}

QDate IdCardNumber::birthday(const QString &number)
{
    return QDate::fromString(number.mid(6, 8), QStringLiteral("yyyyMMdd"));
}

bool IdCardNumber::isMale(const QString &number)
{
    return number.size() >= 17 && (number[16].unicode() - '0') % 2 == 1;
}

} // namespace host
