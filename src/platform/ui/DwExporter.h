#pragma once

#include <QString>

namespace rt {
class DataStore;
class DwRowSource;
}

namespace rt::ui {

// SaveAs of a DataWindow's rows. CSV: UTF-8 with a byte-order mark (spreadsheet programs then
// read Chinese correctly), a first line of column captions, the visible columns, values in their
// exact stored form, nulls as empty fields, fields with commas, quotes or line breaks quoted.
class DwExporter
{
public:
    static bool saveCsv(const rt::DataStore &store, const QString &path, QString &errorText);
    // Every row of a source, read and written a portion at a time (a grid's unread rows too,
    // without keeping them).
    static bool saveCsv(rt::DwRowSource &rows, const QString &path, QString &errorText);
    static QString csvField(const QString &text);
};

} // namespace rt::ui
