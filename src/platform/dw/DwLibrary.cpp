#include "DwLibrary.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace rt {

namespace {
const DwLibrary *g_defaultLibrary = nullptr;
}

const DwLibrary *DwLibrary::defaultLibrary()
{
    return g_defaultLibrary;
}

void DwLibrary::setDefaultLibrary(const DwLibrary *library)
{
    g_defaultLibrary = library;
}

bool DwLibrary::addLibraryFile(const QString &path, QString &errorText)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        errorText = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &parseError);
    if (!doc.isObject()) {
        errorText = QStringLiteral("%1: %2").arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject root = doc.object();
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        QString error;
        const auto def = DwDefinition::fromJson(QJsonDocument(it.value().toObject()).toJson(), error);
        if (!def) {
            errorText = QStringLiteral("%1: %2: %3").arg(path, it.key(), error);
            return false;
        }
        add(it.key(), *def);
    }
    return true;
}

void DwLibrary::add(const QString &name, const DwDefinition &definition)
{
    DwDefinition d = definition;
    d.setName(name);
    m_objects.insert(name.toLower(), d);
}

std::optional<DwDefinition> DwLibrary::find(const QString &name, QString &errorText) const
{
    if (!m_overrideFolder.isEmpty()) {
        const QString path = QDir(m_overrideFolder).filePath(name + QStringLiteral(".json"));
        QFile f(path);
        if (f.exists()) {
            if (!f.open(QIODevice::ReadOnly)) {
                errorText = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
                return std::nullopt;
            }
            auto def = DwDefinition::fromJson(f.readAll(), errorText);
            if (!def) {
                errorText = QStringLiteral("%1: %2").arg(path, errorText);
                return std::nullopt;
            }
            def->setName(name);
            return def;
        }
    }
    const auto it = m_objects.constFind(name.toLower());
    if (it == m_objects.constEnd()) {
        errorText = QStringLiteral("no DataWindow object named %1").arg(name);
        return std::nullopt;
    }
    return *it;
}

bool DwLibrary::contains(const QString &name) const
{
    return m_objects.contains(name.toLower());
}

QStringList DwLibrary::names() const
{
    QStringList out;
    for (const DwDefinition &d : m_objects)
        out << d.name();
    out.sort();
    return out;
}

} // namespace rt
