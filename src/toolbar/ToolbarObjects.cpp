#include "toolbar/ToolbarObjects.h"

#include "platform/dw/DwLibrary.h"

#include <QFile>

namespace hm {

bool ToolbarObjects::addTo(rt::DwLibrary &library, QString &errorText)
{
    QFile f(QStringLiteral(":/toolbar/d_toolright_his.json"));
    if (!f.open(QIODevice::ReadOnly)) {
        errorText = QStringLiteral("the toolbar's object d_toolright_his is missing from the program");
        return false;
    }
    QString error;
    const auto def = rt::DwDefinition::fromJson(f.readAll(), error);
    if (!def) {
        errorText = QStringLiteral("d_toolright_his: %1").arg(error);
        return false;
    }
    library.add(QStringLiteral("d_toolright_his"), *def);
    return true;
}

} // namespace hm
