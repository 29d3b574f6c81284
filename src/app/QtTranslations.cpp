#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace app {

bool QtTranslations::install(QCoreApplication &application)
{
    // Owned by the application: gone with it, so that a later application installs again.
    static QPointer<QTranslator> installed;
    if (installed)
        return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    // "qt" is the catalogue that gathers qtbase and the other modules where the distribution
    // ships it; "qtbase" alone where only that is shipped.
    auto *translator = new QTranslator(&application);
    if (!translator->load(chinese, QStringLiteral("qt"), QStringLiteral("_"), folder)
        && !translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

} // namespace app
