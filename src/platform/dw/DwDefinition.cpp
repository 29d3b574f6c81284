#include "DwDefinition.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rt {

QString styleName(DwStyle style)
{
    switch (style) {
    case DwStyle::Grid: return QStringLiteral("grid");
    case DwStyle::Form: return QStringLiteral("form");
    case DwStyle::Drawing: return QStringLiteral("drawing");
    }
    return QString();
}

const QStringList &DwDefinition::propertyNames()
{
    static const QStringList names{QStringLiteral("name"), QStringLiteral("table.select"),
                                   QStringLiteral("table.updatetable"), QStringLiteral("readonly"),
                                   QStringLiteral("color"), QStringLiteral("units"), QStringLiteral("title"),
                                   QStringLiteral("header.height"), QStringLiteral("detail.height"),
                                   QStringLiteral("footer.height"), QStringLiteral("summary.height")};
    return names;
}

bool DwDefinition::readOnly() const
{
    const QString v = prop(QStringLiteral("readonly")).toLower();
    return v == QLatin1String("yes") || v == QLatin1String("true");
}

DwObjectDef *DwDefinition::object(const QString &name)
{
    const auto it = m_byName.constFind(name.toLower());
    return it == m_byName.constEnd() ? nullptr : &m_objects[*it];
}

const DwObjectDef *DwDefinition::object(const QString &name) const
{
    const auto it = m_byName.constFind(name.toLower());
    return it == m_byName.constEnd() ? nullptr : &m_objects[*it];
}

bool DwDefinition::addObject(const DwObjectDef &object)
{
    const QString key = object.name().toLower();
    if (key.isEmpty() || m_byName.contains(key))
        return false;
    if (object.kind() == DwObjectKind::Column && !DwColumnType::parse(object.prop(QStringLiteral("coltype"))))
        return false;
    m_objects.append(object);
    reindex();
    return true;
}

int DwDefinition::findColumn(const QString &nameOrNumber) const
{
    const QString &s = nameOrNumber;
    if (s.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const int n = s.mid(1).toInt(&ok);
        return ok && n >= 1 && n <= columnCount() ? n - 1 : -1;
    }
    const auto exact = m_columnByExactName.constFind(s);
    if (exact != m_columnByExactName.constEnd())
        return *exact;
    const auto it = m_byName.constFind(s.toLower());
    if (it == m_byName.constEnd() || m_objects[*it].kind() != DwObjectKind::Column)
        return -1;
    return int(m_columns.indexOf(*it));
}

QList<int> DwDefinition::displayOrder() const
{
    QList<int> order;
    for (int c = 0; c < columnCount(); ++c)
        order << c;
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return column(a).intProp(QStringLiteral("x"), 0) < column(b).intProp(QStringLiteral("x"), 0);
    });
    return order;
}

QList<int> DwDefinition::keyColumns() const
{
    QList<int> keys;
    for (int c = 0; c < columnCount(); ++c) {
        if (column(c).boolProp(QStringLiteral("key")))
            keys << c;
    }
    return keys;
}

bool DwDefinition::refreshColumnType(int index)
{
    const auto t = DwColumnType::parse(column(index).prop(QStringLiteral("coltype")));
    if (!t)
        return false;
    m_types[index] = *t;
    return true;
}

void DwDefinition::reindex()
{
    m_columns.clear();
    m_types.clear();
    m_byName.clear();
    m_columnByExactName.clear();
    for (int i = 0; i < m_objects.size(); ++i) {
        DwObjectDef &o = m_objects[i];
        m_byName.insert(o.name().toLower(), i);
        if (o.kind() == DwObjectKind::Column) {
            m_columnByExactName.insert(o.name(), int(m_columns.size()));
            m_columns << i;
            m_types << DwColumnType::parse(o.prop(QStringLiteral("coltype"))).value_or(DwColumnType());
            o.setProp(QStringLiteral("id"), QString::number(m_columns.size()));
        }
    }
}

namespace {

// Properties whose values are numbers are written as JSON numbers, the rest as strings.
bool isNumeric(const QString &value)
{
    bool ok = false;
    value.toLongLong(&ok);
    return ok && !value.startsWith(QLatin1Char('+')) && !(value.size() > 1 && value.startsWith(QLatin1Char('0')));
}

QJsonObject objectToJson(const DwObjectDef &o)
{
    QJsonObject j;
    j.insert(QStringLiteral("type"), o.typeName());
    for (auto it = o.props().cbegin(); it != o.props().cend(); ++it) {
        if (it.key() == QLatin1String("type") || it.key() == QLatin1String("id"))
            continue;
        j.insert(it.key(), isNumeric(it.value()) ? QJsonValue(it.value().toLongLong()) : QJsonValue(it.value()));
    }
    return j;
}

QString jsonText(const QJsonValue &v)
{
    if (v.isString())
        return v.toString();
    if (v.isBool())
        return v.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (v.isDouble()) {
        const double d = v.toDouble();
        // A whole number is written as one; a number beyond a 64-bit integer (1e37) is no whole
        // number that a property could hold, and converting it would be undefined.
        constexpr double limit = 9223372036854775808.0; // 2^63
        const bool whole = d > -limit && d < limit && d == double(qint64(d));
        return whole ? QString::number(qint64(d)) : QString::number(d, 'g', 15);
    }
    return QString();
}

} // namespace

QByteArray DwDefinition::toJson() const
{
    QJsonObject root;
    root.insert(QStringLiteral("style"), styleName(style));
    for (auto it = m_props.cbegin(); it != m_props.cend(); ++it)
        root.insert(it.key(), it.value());
    QJsonArray objects;
    for (const DwObjectDef &o : m_objects)
        objects.append(objectToJson(o));
    root.insert(QStringLiteral("objects"), objects);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<DwDefinition> DwDefinition::fromJson(const QByteArray &json, QString &errorText)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        // Report a line number: the offset alone means little to whoever edits the file.
        const int line = int(json.left(parseError.offset).count('\n')) + 1;
        errorText = QStringLiteral("line %1: %2").arg(line).arg(parseError.errorString());
        return std::nullopt;
    }
    if (!doc.isObject()) {
        errorText = QStringLiteral("a DataWindow definition is a JSON object");
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    DwDefinition def;
    const QString style = root.value(QStringLiteral("style")).toString(QStringLiteral("grid")).toLower();
    if (style == QLatin1String("grid") || style == QLatin1String("tabular"))
        def.style = DwStyle::Grid;
    else if (style == QLatin1String("form") || style == QLatin1String("freeform"))
        def.style = DwStyle::Form;
    else if (style == QLatin1String("drawing"))
        def.style = DwStyle::Drawing;
    else {
        errorText = QStringLiteral("unknown style '%1'").arg(style);
        return std::nullopt;
    }
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (it.key() == QLatin1String("style") || it.key() == QLatin1String("objects"))
            continue;
        if (!propertyNames().contains(it.key())) {
            errorText = QStringLiteral("unknown DataWindow property '%1'").arg(it.key());
            return std::nullopt;
        }
        def.m_props.insert(it.key(), jsonText(it.value()));
    }
    const QJsonArray objects = root.value(QStringLiteral("objects")).toArray();
    for (int i = 0; i < objects.size(); ++i) {
        const QJsonObject o = objects[i].toObject();
        const auto kind = DwObjectDef::kindFromTypeName(o.value(QStringLiteral("type")).toString());
        const QString name = o.value(QStringLiteral("name")).toString();
        if (!kind) {
            errorText = QStringLiteral("object %1 (%2): unknown type '%3'")
                            .arg(i + 1)
                            .arg(name, o.value(QStringLiteral("type")).toString());
            return std::nullopt;
        }
        DwObjectDef def1(*kind, name);
        for (auto p = o.constBegin(); p != o.constEnd(); ++p) {
            if (p.key() == QLatin1String("type"))
                continue;
            if (!def1.hasProperty(p.key())) {
                errorText = QStringLiteral("object %1: unknown property '%2'").arg(name, p.key());
                return std::nullopt;
            }
            def1.setProp(p.key(), jsonText(p.value()));
        }
        if (*kind == DwObjectKind::Column && !DwColumnType::parse(def1.prop(QStringLiteral("coltype")))) {
            errorText = QStringLiteral("column %1: unknown coltype '%2'").arg(name, def1.prop(QStringLiteral("coltype")));
            return std::nullopt;
        }
        if (!def.addObject(def1)) {
            errorText = QStringLiteral("object %1: the name is empty or used twice").arg(i + 1);
            return std::nullopt;
        }
    }
    return def;
}

} // namespace rt
