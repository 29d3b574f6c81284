#pragma once

#include "DwRowSource.h"

namespace rt {

class DataStore;

// The rows of a DataStore as a row source. A store that retrieves as needed reads the rows a
// hold reaches into its own buffer (a print preview browsing pages keeps them, as scrolling
// does); rowCount is the total given, or the rows held when none was.
class DwStoreRows : public DwRowSource
{
public:
    // Only the rows the store holds.
    explicit DwStoreRows(const DataStore &store) : m_store(store) {}
    // Rows held, and rows read into the store as holds reach them; total, when known, is how
    // many there are in all.
    DwStoreRows(DataStore &store, long total) : m_store(store), m_reading(&store), m_total(total) {}
    void setTotal(long total) { m_total = total; }

    const DwDefinition &definition() const override;
    long rowCount() const override;
    bool hold(long first, long last, QString &errorText) override;
    long lastHeld() const override { return m_lastHeld; }
    Value item(long row, int column) const override;

private:
    const DataStore &m_store;
    DataStore *m_reading = nullptr;
    long m_total = -1;
    long m_lastHeld = 0;
};

} // namespace rt
