#pragma once

#include <QString>
#include <string_view>
#include <vector>

class QCollator;

namespace rt {

// The order of text a Chinese reader expects: Chinese by pinyin, as the Chinese (China) locale
// collates it (QCollator over ICU, numbers in text compared digit by digit, not by value), with
// Latin letters and digits before Chinese.
//
// The order is total: texts the locale counts as equal ("abc" and "ABC" may be, or two ways of
// writing one character) are ordered by their code points, so two texts compare equal only when
// they are identical. The in-memory sort, the register files' collation hm_zh and the server's
// "zh-x-icu" then "C" all put any set of texts in one and the same order, which a grid read page
// by page relies on (a row equal to the last one read would be lost or read twice).
//
// One collator is made per thread, once, and kept (a collator is not to be shared between
// threads; the total counter and the print preview read off the user-interface thread).
class ChineseOrder
{
public:
    // <0, 0, >0. Empty text is before any other.
    static int compare(QStringView a, QStringView b);
    // The same for UTF-8 text as the row store and SQLite keep it. Byte order of UTF-8 is code
    // point order, which is the tie-break.
    static int compareUtf8(std::string_view a, std::string_view b);
    // Sorts distinct texts into the order, with sort keys: one collation per text rather than one
    // per comparison, for the many texts of a large grid.
    static void sortUtf8(std::vector<std::string_view> &texts);
    // Whether the text is of digits alone: two such texts are in the order as their bytes are
    // (the collator has digits 0 to 9 at its first level and nothing more for them), so a sort of
    // them needs no collator.
    static bool bytewise(std::string_view text);
    // This thread's collator.
    static const QCollator &collator();
};

} // namespace rt
