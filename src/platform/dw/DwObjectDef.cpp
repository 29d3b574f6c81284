#include "DwObjectDef.h"

namespace rt {

DwObjectDef::DwObjectDef(DwObjectKind kind, const QString &name) : m_kind(kind)
{
    m_props.insert(QStringLiteral("name"), name);
}

QString DwObjectDef::typeName() const
{
    switch (m_kind) {
    case DwObjectKind::Column: return QStringLiteral("column");
    case DwObjectKind::Text: return QStringLiteral("text");
    case DwObjectKind::Bitmap: return QStringLiteral("bitmap");
    case DwObjectKind::Line: return QStringLiteral("line");
    case DwObjectKind::Rectangle: return QStringLiteral("rectangle");
    }
    return QString();
}

std::optional<DwObjectKind> DwObjectDef::kindFromTypeName(const QString &type)
{
    const QString t = type.toLower();
    if (t == QLatin1String("column"))
        return DwObjectKind::Column;
    if (t == QLatin1String("text"))
        return DwObjectKind::Text;
    if (t == QLatin1String("bitmap") || t == QLatin1String("picture"))
        return DwObjectKind::Bitmap;
    if (t == QLatin1String("line"))
        return DwObjectKind::Line;
    if (t == QLatin1String("rectangle"))
        return DwObjectKind::Rectangle;
    return std::nullopt;
}

const QStringList &DwObjectDef::propertyNames(DwObjectKind kind)
{
    static const QStringList common{QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("band"),
                                    QStringLiteral("visible"), QStringLiteral("tag"), QStringLiteral("x"),
                                    QStringLiteral("y"), QStringLiteral("width"), QStringLiteral("height"),
                                    QStringLiteral("tooltip.tip")};
    static const QStringList boxed = common
                                     + QStringList{QStringLiteral("border"), QStringLiteral("color"),
                                                   QStringLiteral("background.color"), QStringLiteral("background.mode"),
                                                   QStringLiteral("alignment"), QStringLiteral("font.face"),
                                                   QStringLiteral("font.height"), QStringLiteral("font.weight"),
                                                   QStringLiteral("font.italic"), QStringLiteral("font.underline")};
    static const QStringList column = boxed
                                      + QStringList{QStringLiteral("id"), QStringLiteral("dbname"), QStringLiteral("coltype"),
                                                    QStringLiteral("key"), QStringLiteral("identity"), QStringLiteral("update"),
                                                    QStringLiteral("format"), QStringLiteral("protect")};
    static const QStringList text = boxed + QStringList{QStringLiteral("text")};
    static const QStringList bitmap = common
                                      + QStringList{QStringLiteral("filename"), QStringLiteral("border"),
                                                    QStringLiteral("originalsize"), QStringLiteral("pointer")};
    static const QStringList line{QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("band"),
                                  QStringLiteral("visible"), QStringLiteral("tag"), QStringLiteral("tooltip.tip"), QStringLiteral("x1"),
                                  QStringLiteral("y1"), QStringLiteral("x2"), QStringLiteral("y2"),
                                  QStringLiteral("pen.color"), QStringLiteral("pen.width"), QStringLiteral("pen.style")};
    static const QStringList rectangle = common
                                         + QStringList{QStringLiteral("brush.color"), QStringLiteral("brush.hatch"),
                                                       QStringLiteral("pen.color"), QStringLiteral("pen.width"),
                                                       QStringLiteral("pen.style"), QStringLiteral("background.color"),
                                                       QStringLiteral("background.mode")};
    switch (kind) {
    case DwObjectKind::Column: return column;
    case DwObjectKind::Text: return text;
    case DwObjectKind::Bitmap: return bitmap;
    case DwObjectKind::Line: return line;
    case DwObjectKind::Rectangle: return rectangle;
    }
    return common;
}

bool DwObjectDef::hasProperty(const QString &name) const
{
    return propertyNames(m_kind).contains(name);
}

int DwObjectDef::intProp(const QString &name, int fallback) const
{
    bool ok = false;
    const int v = m_props.value(name).trimmed().toInt(&ok);
    return ok ? v : fallback;
}

bool DwObjectDef::boolProp(const QString &name) const
{
    const QString v = m_props.value(name).trimmed().toLower();
    return v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("1");
}

} // namespace rt
