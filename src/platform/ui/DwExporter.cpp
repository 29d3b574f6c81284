#include "DwExporter.h"

#include "platform/dw/DataStore.h"
#include "platform/dw/DwStoreRows.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace rt::ui {

QString DwExporter::csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

bool DwExporter::ownerOnly(QFileDevice &file)
{
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool DwExporter::ownerOnly(const QString &path)
{
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool DwExporter::saveCsv(const rt::DataStore &store, const QString &path, QString &errorText)
{
    rt::DwStoreRows rows(store);
    return saveCsv(rows, path, errorText);
}

bool DwExporter::saveCsv(rt::DwRowSource &rows, const QString &path, QString &errorText,
                         const std::function<bool(long written)> &progress)
{
    // Written to a temporary file and moved into place: a failed export leaves no half file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        errorText = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    // Private before the first row is in it.
    if (!ownerOnly(file)) {
        errorText = QStringLiteral("cannot make %1 private: %2").arg(path, file.errorString());
        return false;
    }
    const rt::DwDefinition &def = rows.definition();
    QList<int> columns;
    QStringList header;
    for (const int c : def.displayOrder()) {
        if (def.column(c).intProp(QStringLiteral("visible"), 1) == 0)
            continue;
        columns << c;
        const rt::DwObjectDef *caption = def.object(def.column(c).name() + QStringLiteral("_t"));
        header << csvField(caption ? caption->prop(QStringLiteral("text")).remove(QString::fromUtf8("：")) : def.column(c).name());
    }
    file.write("\xEF\xBB\xBF");
    file.write(header.join(QLatin1Char(',')).toUtf8() + "\r\n");
    constexpr long Portion = 4096;
    for (long first = 1;; first += Portion) {
        if (!rows.hold(first, first + Portion - 1, errorText))
            return false; // the temporary file goes, the old file stays
        for (long r = first; r <= rows.lastHeld(); ++r) {
            QStringList fields;
            for (int c : columns)
                fields << csvField(rows.item(r, c + 1).toText());
            file.write(fields.join(QLatin1Char(',')).toUtf8() + "\r\n");
        }
        if (progress && !progress(rows.lastHeld())) {
            errorText = QStringLiteral("cancelled");
            return false; // the temporary file goes, the old file stays
        }
        if (rows.lastHeld() < first + Portion - 1)
            break;
    }
    if (!file.commit()) {
        errorText = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace rt::ui
