#pragma once

#include "DwPager.h"
#include "DwRowSource.h"

#include <functional>
#include <memory>
#include <vector>

namespace rt {

class DataStore;
class Transaction;

// The rows of a grid as a print preview shows them: page by page, in any order. Rows the grid
// holds come from the grid. Any other page is read straight at its place in the grid's order,
// with the rows around it (a window of WindowRows), by LIMIT and OFFSET from whichever end of
// the order is nearer: the last page is the first rows of the reversed order, and costs what the
// first page costs however many rows lie between. Nothing is added to the grid, and only the
// last window is kept.
//
// A grid whose order is not total by its keys (no key columns, a filter kept in memory) has its
// rows read into the grid up to the page, as scrolling would read them.
//
// Rows are placed by the total given (DwTotalCounter's count): rows added or deleted by others
// since it was counted shift the pages far from the start by as many rows; the last page is
// still the last rows of the order. Once the grid has read every row, its own rows are the count
// (a filter kept in memory hides some of those the total counted).
class DwPageRows : public DwRowSource
{
public:
    static constexpr long WindowRows = 1024;

    // total: the rows of the grid's select, counted; -1 while not known (only the rows the grid
    // holds are there then). windowRows: the rows read at a time around a page.
    DwPageRows(DataStore &grid, long total, long windowRows = WindowRows);
    ~DwPageRows() override;
    void setTotal(long total) { m_total = total; }

    // How pages are read: by default at once, on the grid's transaction. Given a transaction of
    // their own (a connection made like the grid's) and a runner, they are read on that
    // transaction inside runner, which may run the read on another thread and keep a window
    // painted meanwhile; the read touches that transaction and this object's next window only.
    // The runner answers whether the read succeeded (false also when it stopped it).
    using Runner = std::function<bool(const std::function<bool()> &read)>;
    void setReading(Transaction *own, Runner runner)
    {
        m_own = own;
        m_runner = std::move(runner);
    }

    const DwDefinition &definition() const override;
    long rowCount() const override;
    // Reads the window around first..last when its rows are not held yet; false with errorText
    // when the read failed or the runner stopped it (the rows held before stay).
    bool hold(long first, long last, QString &errorText) override;
    long lastHeld() const override { return m_lastHeld; }
    Value item(long row, int column) const override;
    // Whether rows first..last can be shown without reading the database.
    bool holds(long first, long last) const;

private:
    // Rows first..last (of rows there are) straight from the database into a new window.
    bool readWindow(long first, long last, QString &errorText);
    long available(long last) const { return std::min(last, rowCount()); }

    DataStore &m_grid;
    long m_total = -1;
    long m_windowRows = WindowRows;
    long m_lastHeld = 0;
    Transaction *m_own = nullptr;
    Runner m_runner;
    std::unique_ptr<DataStore> m_window; // rows m_windowFirst .. m_windowFirst + RowCount() - 1
    long m_windowFirst = 0;
    long m_windowAskedLast = 0; // the last row the window was read for
};

} // namespace rt
