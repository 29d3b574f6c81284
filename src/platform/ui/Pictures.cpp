#include "Pictures.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QPixmapCache>

namespace rt::ui {

namespace {

// Lower-case resource path -> real path, built once.
const QHash<QString, QString> &resourceIndex()
{
    static const QHash<QString, QString> index = [] {
        QHash<QString, QString> out;
        QDirIterator it(QStringLiteral(":/"), QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            out.insert(path.toLower(), path);
        }
        return out;
    }();
    return index;
}

} // namespace

QString Pictures::resolve(const QString &name)
{
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    const auto it = resourceIndex().constFind(QStringLiteral(":/") + path.toLower());
    if (it != resourceIndex().constEnd())
        return *it;
    if (QFileInfo::exists(path))
        return path;
    return QString();
}

QPixmap Pictures::load(const QString &name)
{
    const QString path = resolve(name);
    if (path.isEmpty())
        return QPixmap();
    QPixmap p;
    if (!QPixmapCache::find(path, &p)) {
        p.load(path);
        QPixmapCache::insert(path, p);
    }
    return p;
}

} // namespace rt::ui
