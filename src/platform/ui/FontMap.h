#pragma once

#include <QFont>
#include <QString>

namespace rt::ui {

// Font faces of the runtime mapped to fonts this system has, in this one place: "宋体" to a
// Song-style CJK face, "Arial" to a metric-compatible sans.
class FontMap
{
public:
    // points > 0; a runtime font height (negative points, -9 for 9 pt) is accepted too.
    static QFont font(const QString &face, int points, bool bold = false);
    static QString family(const QString &face);
};

} // namespace rt::ui
