#pragma once

#include "platform/dw/DataStoreObserver.h"

#include <QAbstractTableModel>
#include <vector>

namespace rt {
class DataStore;
}

namespace rt::ui {

// The primary buffer of a DataStore as a table: one row per row, one column per definition
// column, values formatted as the column shows them, alignment and text colour per column,
// selected rows (SelectRow) highlighted. Nothing is copied: data() reads the buffer.
//
// A burst of row insertions or removals (a loop deleting thousands of rows) is folded into one
// model reset delivered when control returns to the event loop, so a view never pays per row.
//
// Rows reach views in growing portions (canFetchMore/fetchMore: 65,536 at first, then as many
// again as are shown): a view's per-row bookkeeping (its header sections) then costs the same
// for a million rows as for a thousand when the grid opens. ensureShown() makes a row reachable
// at once (current row, ScrollToRow). When the DataStore retrieves as needed, a view that wants
// more than it holds makes it read its next page; a page that fails is told by
// retrieveMoreFailed and not asked for again until the next retrieve.
class DwTableModel : public QAbstractTableModel, public rt::DataStoreObserver
{
    Q_OBJECT
public:
    explicit DwTableModel(rt::DataStore &store, QObject *parent = nullptr);
    ~DwTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Makes rows up to this one (1-based) part of the model.
    void ensureShown(long row);
    static constexpr long FirstPortion = 65536;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Selection of rows (1-based), independent of the current row.
    int selectRow(long row, bool select);
    bool isSelected(long row) const;
    // True while a burst is being folded into one reset.
    bool inBurst() const { return m_burst; }

    // Structural changes folded into a reset after this many in one go.
    static constexpr int BurstThreshold = 32;

Q_SIGNALS:
    void burstStarted();
    void burstFinished();
    void definitionChanged();
    void currentRowChangedTo(long row);
    void itemChangedAt(long row, int column);
    void retrieveMoreFailed(const QString &text);

private:
    // DataStoreObserver.
    void beginReset() override;
    void endReset() override;
    void beginInsertRows(long first, long count) override;
    void endInsertRows() override;
    void beginRemoveRows(long first, long count) override;
    void endRemoveRows() override;
    void itemChanged(long row, int column) override;
    void propertiesChanged() override;
    void currentRowChanged(long row) override;

    bool foldIntoBurst();
    void finishBurst();

    rt::DataStore &m_ds;
    std::vector<bool> m_selected; // by 0-based row
    std::size_t m_selectedCount = 0;
    bool m_burst = false;
    int m_changesThisTurn = 0;
    bool m_turnResetQueued = false;
    long m_pendingFirst = 0, m_pendingCount = 0;
    long m_shown = 0;          // rows the views know of: a prefix of the buffer
    bool m_pendingInView = true;
    bool m_fetchFailed = false;
};

} // namespace rt::ui
