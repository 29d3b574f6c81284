#include "host/HostDwLibrary.h"

#include "platform/dw/DwLibrary.h"

namespace host {

bool HostDwLibrary::load(rt::DwLibrary &library, const QString &overrideFolder, QString &errorText)
{
    library.setOverrideFolder(overrideFolder);
    return library.addLibraryFile(QStringLiteral(":/dwlib/library.json"), errorText);
}

} // namespace host
