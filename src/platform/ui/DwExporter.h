#pragma once

#include <functional>

#include <QString>

class QFileDevice;

namespace rt {
class DataStore;
class DwRowSource;
}

namespace rt::ui {

// SaveAs of a DataWindow's rows. CSV: UTF-8 with a byte-order mark (spreadsheet programs then
// read Chinese correctly), a first line of column captions, the visible columns, values in their
// exact stored form, nulls as empty fields, fields with commas, quotes or line breaks quoted.
//
// The register's rows are personal data: every file of them the program writes (CSV here, the
// journal's CSV, PDFs) is readable and writable by its owner only (0600), whatever the umask
// and whatever mode a file it replaces had.
class DwExporter
{
public:
    static bool saveCsv(const rt::DataStore &store, const QString &path, QString &errorText);
    // Every row of a source, read and written a portion at a time (a grid's unread rows too,
    // without keeping them).
    // progress, when given, is told the rows written so far after each portion and stops the
    // export by answering false (errorText is then "cancelled"; nothing is left).
    static bool saveCsv(rt::DwRowSource &rows, const QString &path, QString &errorText,
                        const std::function<bool(long written)> &progress = {});
    static QString csvField(const QString &text);
    // Makes an open file (a QSaveFile: its temporary file, before anything is written into it,
    // so that the commit moves a private file into place) or a file written (by its name)
    // readable and writable by its owner only. False when the mode cannot be set.
    static bool ownerOnly(QFileDevice &file);
    static bool ownerOnly(const QString &path);
};

} // namespace rt::ui
