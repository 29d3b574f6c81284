#pragma once

#include "DwDefinition.h"

#include <QHash>
#include <QString>
#include <optional>

namespace rt {

// Finds DataWindow objects by name: first in an override folder (<name>.json, so a layout can
// be changed without rebuilding), then in the library files built into the program as Qt
// resources (a JSON object mapping names to definitions). Names compare without regard to case.
class DwLibrary
{
public:
    DwLibrary() = default;

    // A library file: {"dh_ge_rpr": {…definition…}, …}. False with errorText on a bad file.
    bool addLibraryFile(const QString &path, QString &errorText);
    void setOverrideFolder(const QString &folder) { m_overrideFolder = folder; }
    const QString &overrideFolder() const { return m_overrideFolder; }
    void add(const QString &name, const DwDefinition &definition);

    // Nothing when there is no such object or its text is broken (errorText says which).
    std::optional<DwDefinition> find(const QString &name, QString &errorText) const;
    bool contains(const QString &name) const;
    QStringList names() const;

    // The library DataStores use when they are given none. Set once by the application at
    // start-up (the runtime's library search path); may be null.
    static const DwLibrary *defaultLibrary();
    static void setDefaultLibrary(const DwLibrary *library);

private:
    QHash<QString, DwDefinition> m_objects; // lower-case name
    QString m_overrideFolder;
};

} // namespace rt
