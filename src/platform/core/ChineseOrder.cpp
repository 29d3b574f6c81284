#include "ChineseOrder.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cstring>

namespace rt {

namespace {

int byteOrder(std::string_view a, std::string_view b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Text of ASCII digits alone (keys, numbers kept as text). The collator orders digits 0 to 9 at
// its first level and has no other level for them, so two such texts compare as their bytes do:
// checked by ChineseOrder.DigitsAloneCollateAsTheirBytes. Such columns are the most common sort
// of a large grid (人员编号, 户号), and skip the collator wholly.
bool digitsOnly(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QString fromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

const QCollator &ChineseOrder::collator()
{
    thread_local const QCollator chinese = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setNumericMode(false);
        c.setCaseSensitivity(Qt::CaseSensitive);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return chinese;
}

bool ChineseOrder::bytewise(std::string_view text)
{
    return digitsOnly(text);
}

int ChineseOrder::compare(QStringView a, QStringView b)
{
    const int c = collator().compare(a, b);
    if (c != 0)
        return c < 0 ? -1 : 1;
    // Code point order: UTF-16 order differs from it above U+FFFF, UTF-8 order does not.
    return byteOrder(a.toUtf8().toStdString(), b.toUtf8().toStdString());
}

int ChineseOrder::compareUtf8(std::string_view a, std::string_view b)
{
    if (a == b)
        return 0;
    if (a.empty() || b.empty())
        return a.empty() ? -1 : 1;
    if (digitsOnly(a) && digitsOnly(b))
        return byteOrder(a, b);
    const int c = collator().compare(fromUtf8(a), fromUtf8(b));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return byteOrder(a, b);
}

void ChineseOrder::sortUtf8(std::vector<std::string_view> &texts)
{
    if (std::all_of(texts.begin(), texts.end(), digitsOnly)) {
        std::sort(texts.begin(), texts.end());
        return;
    }
    const QCollator &c = collator();
    struct Keyed
    {
        QCollatorSortKey key;
        std::string_view text;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(texts.size());
    for (const std::string_view t : texts)
        keyed.push_back(Keyed{c.sortKey(fromUtf8(t)), t});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &x, const Keyed &y) {
        const int k = x.key.compare(y.key);
        return k != 0 ? k < 0 : x.text < y.text;
    });
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = keyed[i].text;
}

} // namespace rt
