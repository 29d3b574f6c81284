#pragma once

#include "DwRowSource.h"

#include <functional>
#include <memory>

namespace rt {

class DataStore;
class Transaction;

// Every row of a grid, read once from the first to the last without keeping them: the rows the
// grid holds, then the ones it has not read yet, page by page into a window of its own that
// holds only what the last hold asked for. Printing and export of a grid over millions of rows
// go through it and need the memory of a page, not of the grid. Holds go forward: a range may be
// held again, but never one that starts before the one held last.
class DwOnwardReader : public DwRowSource
{
public:
    // pageRows: rows read from the database at a time (the window's size beyond what is held).
    explicit DwOnwardReader(const DataStore &grid, long total = -1, long pageRows = 65536);
    ~DwOnwardReader() override;

    // How the unread rows are read: by default at once, on the grid's transaction. Given a
    // transaction of their own (a connection made like the grid's) and a runner, they are read
    // on that transaction inside runner, which may run the read on another thread and keep a
    // window painted meanwhile; the read touches that transaction and this reader's window only.
    // The runner answers whether the read succeeded (false also when it stopped it).
    using Runner = std::function<bool(const std::function<bool()> &read)>;
    void setReading(Transaction *own, Runner runner)
    {
        m_own = own;
        m_runner = std::move(runner);
    }

    const DwDefinition &definition() const override;
    long rowCount() const override { return m_total; }
    bool hold(long first, long last, QString &errorText) override;
    long lastHeld() const override { return m_lastHeld; }
    Value item(long row, int column) const override;

private:
    const DataStore &m_grid;
    std::unique_ptr<DataStore> m_window; // rows m_base + 1 .. m_base + its RowCount()
    long m_base = 0;
    long m_total = -1;
    long m_lastHeld = 0;
    long m_pageRows = 65536;
    bool m_fromGrid = true;
    Transaction *m_own = nullptr;
    Runner m_runner;
};

} // namespace rt
