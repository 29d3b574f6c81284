#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace rt {

enum class DwObjectKind { Column, Text, Bitmap, Line, Rectangle };

// One object of a DataWindow definition: a column or a drawing object. Its properties are kept
// as the property language writes them (lower-case names, text values), so Describe and Modify
// work on every property alike; typed readers serve the presentations.
class DwObjectDef
{
public:
    DwObjectDef() = default;
    DwObjectDef(DwObjectKind kind, const QString &name);

    DwObjectKind kind() const { return m_kind; }
    QString name() const { return prop(QStringLiteral("name")); }
    // "column", "text", "bitmap", "line", "rectangle".
    QString typeName() const;
    static std::optional<DwObjectKind> kindFromTypeName(const QString &type);

    // The property names an object of this kind has.
    static const QStringList &propertyNames(DwObjectKind kind);
    bool hasProperty(const QString &name) const;

    QString prop(const QString &name) const { return m_props.value(name); }
    bool isSet(const QString &name) const { return m_props.contains(name); }
    void setProp(const QString &name, const QString &value) { m_props.insert(name, value); }
    int intProp(const QString &name, int fallback = 0) const;
    bool boolProp(const QString &name) const; // "yes", "true", "1"
    const QMap<QString, QString> &props() const { return m_props; }

private:
    DwObjectKind m_kind = DwObjectKind::Text;
    QMap<QString, QString> m_props;
};

} // namespace rt
