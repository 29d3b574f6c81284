#pragma once

#include "DwPager.h"
#include "RowStore.h"
#include "platform/core/DbBackend.h"
#include "platform/core/Value.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace rt {

class DataStore;

// How a DataStore reads its rows from the database: the whole select at once, or, with a
// portion set, page by page by key (DwPager), each page a short statement run and reset at once
// so that nothing stays open between pages (no read lock on the files, no transaction on the
// server). It keeps where the next page starts; the DataStore owns one and lends itself to each
// call (the rows go into its buffers, its observers are told).
//
// Failure value: -1, with the DataStore's lastError and the transaction's SQLCode/SQLErrText
// saying why. A select that cannot be prepared or run leaves the rows as they were; a failure
// while rows arrive keeps those of a first page that arrived, and none of a later page cut
// short (where the page after it starts is known only for a whole page).
class DwReader
{
public:
    static constexpr long MaxPortion = 65536;

    void setPortion(long rows);
    long portion() const { return m_portion; }
    // Unread rows of the last read are still in the database.
    bool more() const { return m_more; }
    bool readingPage() const { return m_readingPage; }
    bool appending() const { return m_appending; }
    const QList<Value> &arguments() const { return m_arguments; }
    const QString &pagedSelect() const { return m_pagedSelect; }
    const QString &pagedSort() const { return m_pagedSort; }
    void setProgress(std::function<bool(long rows)> progress) { m_progress = std::move(progress); }

    // DataStore::Retrieve, RetrieveMore and RetrieveAll (see there).
    long retrieve(DataStore &ds, const QList<Value> &arguments);
    long readMore(DataStore &ds, long rows);
    long readAll(DataStore &ds);
    // Continues where another reader stopped (same arguments, order and select; no page read).
    void continueFrom(const DwReader &other);
    // Nothing read: no next page.
    void forget();

private:
    bool pagingKeys(const DataStore &ds, const QString &sort, QList<DwPager::Key> &keys, std::vector<int> &columns) const;
    // streamed: every row is read at once (a whole retrieve), so the backend may hand them out
    // as they arrive.
    std::unique_ptr<DbStatement> runSelect(DataStore &ds, const QString &select, const QList<Value> &binds, DbStep &first,
                                           bool streamed = false);
    // Reads rows into new slots until the statement is done (or limit rows); false on an error.
    // next receives the paging keys of the limit-th row (where the next page starts).
    bool readRows(DataStore &ds, DbStatement &stmt, DbStep step, std::vector<RowStore::Slot> &slots, long limit,
                  QList<Value> &next);
    // A page's rows to the end of the primary buffer (or the filter buffer, as the filter says).
    void appendRows(DataStore &ds, const std::vector<RowStore::Slot> &slots);

    std::function<bool(long)> m_progress;
    QList<Value> m_arguments;       // of the last Retrieve, for the pages after it
    long m_portion = 0;
    bool m_more = false;
    std::vector<int> m_pageColumns; // the order keys of the pages read
    QString m_pagedSort;            // the sort they are read in
    QString m_pagedSelect;          // and the select
    QList<Value> m_after;           // their values in the last row read
    long m_pageRows = 0;
    long m_retrievedBefore = 0;     // for the progress callback
    bool m_appending = false;
    bool m_readingPage = false;
};

} // namespace rt
