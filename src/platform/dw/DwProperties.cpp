#include "DwProperties.h"

#include "DwDefinition.h"

#include <QRegularExpression>
#include <QStringList>

namespace rt {

namespace {

const QString Unknown = QStringLiteral("!");
const QString NoValue = QStringLiteral("?");

bool isNumericProperty(const QString &p)
{
    static const QStringList names{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"),
                                   QStringLiteral("height"), QStringLiteral("x1"), QStringLiteral("y1"),
                                   QStringLiteral("x2"), QStringLiteral("y2"), QStringLiteral("color"),
                                   QStringLiteral("background.color"), QStringLiteral("background.mode"),
                                   QStringLiteral("alignment"), QStringLiteral("border"), QStringLiteral("visible"),
                                   QStringLiteral("font.height"), QStringLiteral("font.weight"),
                                   QStringLiteral("pen.color"), QStringLiteral("pen.width"), QStringLiteral("pen.style"),
                                   QStringLiteral("brush.color"), QStringLiteral("brush.hatch")};
    return names.contains(p);
}

bool isYesNoProperty(const QString &p)
{
    return p == QLatin1String("key") || p == QLatin1String("identity") || p == QLatin1String("update")
           || p == QLatin1String("readonly") || p == QLatin1String("originalsize");
}

// The value a property has when the definition does not set it; empty for "no value".
QString defaultValue(const DwObjectDef &o, const QString &p)
{
    if (p == QLatin1String("visible"))
        return QStringLiteral("1");
    if (p == QLatin1String("color") || p == QLatin1String("pen.color"))
        return QStringLiteral("33554432");
    if (p == QLatin1String("alignment") || p == QLatin1String("border") || p == QLatin1String("x")
        || p == QLatin1String("y") || p == QLatin1String("width") || p == QLatin1String("height"))
        return QStringLiteral("0");
    if (p == QLatin1String("background.mode"))
        return o.kind() == DwObjectKind::Column ? QStringLiteral("1") : QStringLiteral("0");
    if (p == QLatin1String("background.color"))
        return QStringLiteral("67108864");
    if (p == QLatin1String("band"))
        return o.kind() == DwObjectKind::Column ? QStringLiteral("detail") : QStringLiteral("header");
    if (p == QLatin1String("key") || p == QLatin1String("identity"))
        return QStringLiteral("no");
    if (p == QLatin1String("update"))
        return QStringLiteral("yes");
    if (p == QLatin1String("font.face"))
        return QString::fromUtf8("宋体");
    if (p == QLatin1String("font.height"))
        return QStringLiteral("-9");
    if (p == QLatin1String("font.weight"))
        return QStringLiteral("400");
    return QString();
}

QString normalizedYesNo(const QString &value, bool *ok)
{
    const QString v = value.trimmed().toLower();
    *ok = true;
    if (v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("1"))
        return QStringLiteral("yes");
    if (v == QLatin1String("no") || v == QLatin1String("false") || v == QLatin1String("0"))
        return QStringLiteral("no");
    *ok = false;
    return QString();
}

// Splits "obj.prop" into the object and the lower-cased property.
bool splitName(const QString &name, QString &object, QString &property)
{
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return false;
    object = name.left(dot);
    property = name.mid(dot + 1).toLower();
    return true;
}

const DwObjectDef *findObject(const DwDefinition &def, const QString &name)
{
    if (name.startsWith(QLatin1Char('#'))) {
        const int c = def.findColumn(name);
        return c < 0 ? nullptr : &def.column(c);
    }
    return def.object(name);
}

QString describeOne(const DwDefinition &def, const QString &name)
{
    QString objectName, p;
    if (!splitName(name, objectName, p))
        return Unknown;
    if (objectName.compare(QLatin1String("datawindow"), Qt::CaseInsensitive) == 0) {
        if (p == QLatin1String("column.count"))
            return QString::number(def.columnCount());
        if (p == QLatin1String("objects")) {
            QStringList names;
            for (const DwObjectDef &o : def.objects())
                names << o.name();
            return names.join(QLatin1Char('\t'));
        }
        if (p == QLatin1String("processing"))
            return def.style == DwStyle::Grid ? QStringLiteral("1") : QStringLiteral("0");
        if (p == QLatin1String("style"))
            return styleName(def.style);
        if (!DwDefinition::propertyNames().contains(p))
            return Unknown;
        if (p == QLatin1String("readonly"))
            return def.readOnly() ? QStringLiteral("yes") : QStringLiteral("no");
        const QString v = def.prop(p);
        return v.isEmpty() ? NoValue : v;
    }
    const DwObjectDef *o = findObject(def, objectName);
    if (!o)
        return Unknown;
    if (p == QLatin1String("type"))
        return o->typeName();
    if (!o->hasProperty(p))
        return Unknown;
    if (o->isSet(p)) {
        const QString v = o->prop(p);
        return v.isEmpty() && p != QLatin1String("text") ? NoValue : v;
    }
    const QString fallback = defaultValue(*o, p);
    return fallback.isEmpty() ? NoValue : fallback;
}

struct Assignment
{
    QString name;
    QString value;
};

// Reads "name = value" pairs; error text on a malformed expression.
QString parseAssignments(const QString &text, QList<Assignment> &out)
{
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&]() {
        while (i < n && text[i].isSpace())
            ++i;
    };
    auto where = [&]() { return QStringLiteral("column %1").arg(i + 1); };
    for (;;) {
        skipBlanks();
        if (i >= n)
            return QString();
        const int start = i;
        while (i < n && (text[i].isLetterOrNumber() || text[i] == QLatin1Char('_') || text[i] == QLatin1Char('.')
                         || text[i] == QLatin1Char('#')))
            ++i;
        Assignment a;
        a.name = text.mid(start, i - start);
        if (a.name.isEmpty())
            return QStringLiteral("%1: a property name is expected").arg(where());
        skipBlanks();
        if (i >= n || text[i] != QLatin1Char('='))
            return QStringLiteral("%1: '=' expected after %2").arg(where(), a.name);
        ++i;
        skipBlanks();
        if (i < n && (text[i] == QLatin1Char('\'') || text[i] == QLatin1Char('"'))) {
            const QChar quote = text[i++];
            QString raw;
            bool closed = false;
            while (i < n) {
                const QChar c = text[i];
                if (c == QLatin1Char('~') && i + 1 < n) {
                    raw += c;
                    raw += text[i + 1];
                    i += 2;
                    continue;
                }
                ++i;
                if (c == quote) {
                    closed = true;
                    break;
                }
                raw += c;
            }
            if (!closed)
                return QStringLiteral("%1: the value of %2 has no closing quote").arg(where(), a.name);
            a.value = DwProperties::unescape(raw);
        } else {
            const int vs = i;
            while (i < n && !text[i].isSpace())
                ++i;
            a.value = DwProperties::unescape(text.mid(vs, i - vs));
        }
        out << a;
    }
}

} // namespace

QString DwProperties::unescape(const QString &value)
{
    if (!value.contains(QLatin1Char('~')))
        return value;
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('~') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar e = value[++i];
        switch (e.unicode()) {
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 'n': out += QLatin1Char('\n'); break;
        default: out += e; break; // ~' ~" ~~ and any other character stand for themselves
        }
    }
    return out;
}

QString DwProperties::describe(const DwDefinition &definition, const QString &expression)
{
    const QStringList names = expression.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (names.isEmpty())
        return Unknown;
    QStringList answers;
    for (const QString &name : names)
        answers << describeOne(definition, name);
    return answers.join(QLatin1Char('\n'));
}

QString DwProperties::modify(DwDefinition &definition, const QString &expression)
{
    QList<Assignment> assignments;
    const QString parseError = parseAssignments(expression, assignments);
    if (!parseError.isEmpty())
        return parseError;
    if (assignments.isEmpty())
        return QStringLiteral("nothing to modify");
    // Check every assignment on a copy first, so that a failing one changes nothing.
    DwDefinition work = definition;
    for (const Assignment &a : assignments) {
        QString objectName, p;
        if (!splitName(a.name, objectName, p))
            return QStringLiteral("'%1' is not of the form object.property").arg(a.name);
        QString value = a.value;
        if (objectName.compare(QLatin1String("datawindow"), Qt::CaseInsensitive) == 0) {
            if (p == QLatin1String("column.count") || p == QLatin1String("objects") || p == QLatin1String("name"))
                return QStringLiteral("datawindow.%1 cannot be changed").arg(p);
            if (!DwDefinition::propertyNames().contains(p))
                return QStringLiteral("unknown property datawindow.%1").arg(p);
            if (p == QLatin1String("readonly")) {
                bool ok = false;
                value = normalizedYesNo(value, &ok);
                if (!ok)
                    return QStringLiteral("datawindow.readonly takes yes or no, not '%1'").arg(a.value);
            }
            work.setProp(p, value);
            continue;
        }
        DwObjectDef *o = nullptr;
        if (objectName.startsWith(QLatin1Char('#'))) {
            const int c = work.findColumn(objectName);
            o = c < 0 ? nullptr : &work.column(c);
        } else {
            o = work.object(objectName);
        }
        if (!o)
            return QStringLiteral("unknown object '%1'").arg(objectName);
        if (p == QLatin1String("type") || p == QLatin1String("name") || p == QLatin1String("id"))
            return QStringLiteral("%1.%2 cannot be changed").arg(objectName, p);
        if (!o->hasProperty(p))
            return QStringLiteral("unknown property %1.%2").arg(objectName, p);
        if (isNumericProperty(p)) {
            bool ok = false;
            value.trimmed().toLongLong(&ok);
            if (!ok)
                return QStringLiteral("%1.%2 takes a number, not '%3'").arg(objectName, p, a.value);
            value = value.trimmed();
        } else if (isYesNoProperty(p)) {
            bool ok = false;
            value = normalizedYesNo(value, &ok);
            if (!ok)
                return QStringLiteral("%1.%2 takes yes or no, not '%3'").arg(objectName, p, a.value);
        } else if (p == QLatin1String("band")) {
            static const QStringList bands{QStringLiteral("header"), QStringLiteral("detail"), QStringLiteral("footer"),
                                           QStringLiteral("summary"), QStringLiteral("background"),
                                           QStringLiteral("foreground")};
            value = value.trimmed().toLower();
            if (!bands.contains(value))
                return QStringLiteral("unknown band '%1'").arg(a.value);
        }
        o->setProp(p, value);
        if (p == QLatin1String("coltype")) {
            const int c = work.findColumn(o->name());
            if (!work.refreshColumnType(c))
                return QStringLiteral("unknown column type '%1'").arg(a.value);
        }
    }
    definition = std::move(work);
    return QString();
}

} // namespace rt
