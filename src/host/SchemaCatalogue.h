#pragma once

#include "host/TableDef.h"

#include <QList>
#include <QString>

namespace host {

// The single source of the register's tables: every category's live table and history table,
// their columns with captions, keys and indexes. The DataWindow library and the demo register
// are generated from it.
class SchemaCatalogue
{
public:
    static const QList<TableDef> &tables();
    static const TableDef *byStem(const QString &stem);
    // By live or history table name, without regard to case.
    static const TableDef *byTable(const QString &table);
    // The eight tables related to a person, in the order the cascade and the deletes use.
    static QList<const TableDef *> relatedTables();

    // Bookkeeping table in both files that tells which file is which.
    static QString infoTable() { return QStringLiteral("register_info"); }
    static int schemaVersion() { return 1; }
};

} // namespace host
