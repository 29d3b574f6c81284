#include "FontMap.h"

#include <QStringList>

namespace rt::ui {

QString FontMap::family(const QString &face)
{
    if (face == QString::fromUtf8("宋体") || face.compare(QLatin1String("SimSun"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Noto Serif CJK SC");
    if (face.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    return face;
}

QFont FontMap::font(const QString &face, int points, bool bold)
{
    QFont f(family(face));
    // A CJK fallback keeps Chinese text readable when a Latin face is asked for.
    f.setFamilies(QStringList{family(face), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
    f.setPointSize(points < 0 ? -points : (points > 0 ? points : 9));
    f.setBold(bold);
    return f;
}

} // namespace rt::ui
