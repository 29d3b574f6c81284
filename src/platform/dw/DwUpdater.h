#pragma once

#include "DataStore.h"

namespace rt {

// Writes a DataStore's changes to its update table (see DataStore::Update).
class DwUpdater
{
public:
    explicit DwUpdater(DataStore &store) : m_ds(store) {}
    int run(bool resetFlags);

private:
    bool fail(const QString &text, const QString &sql, DwBuffer buffer, long row, long code = -1);
    bool deleteRow(RowStore::Slot slot, long row);
    bool updateRow(RowStore::Slot slot, DwBuffer buffer, long row);
    bool insertRow(RowStore::Slot slot, DwBuffer buffer, long row);
    // "k1 = ? AND k2 = ?" with the key values appended to params.
    QString whereKey(RowStore::Slot slot, QList<Value> &params) const;

    DataStore &m_ds;
    QString m_table;
    QList<int> m_keys;
};

} // namespace rt
