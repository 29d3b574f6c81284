#include "DwTableModel.h"

#include "ColorLong.h"
#include "DwValueFormat.h"
#include "platform/dw/DataStore.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>

namespace rt::ui {

DwTableModel::DwTableModel(rt::DataStore &store, QObject *parent) : QAbstractTableModel(parent), m_ds(store)
{
    m_ds.addObserver(this);
}

DwTableModel::~DwTableModel()
{
    m_ds.removeObserver(this);
}

int DwTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::min<long>(m_shown, m_ds.RowCount()));
}

bool DwTableModel::canFetchMore(const QModelIndex &parent) const
{
    if (parent.isValid() || m_burst)
        return false;
    return m_shown < m_ds.RowCount() || (m_ds.canRetrieveMore() && !m_fetchFailed);
}

void DwTableModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    if (m_shown < m_ds.RowCount()) {
        ensureShown(std::min<long>(m_ds.RowCount(), m_shown + std::max(FirstPortion, m_shown)));
        return;
    }
    // The rows held are all shown: the next page comes from the database, and its rows arrive
    // as an insertion right after the shown ones.
    if (m_ds.RetrieveMore() < 0) {
        // Not asked again at every scroll: the grid says so once, and a retrieve starts afresh.
        m_fetchFailed = true;
        Q_EMIT retrieveMoreFailed(m_ds.lastError());
    }
}

void DwTableModel::ensureShown(long row)
{
    row = std::min<long>(row, m_ds.RowCount());
    if (m_burst || row <= m_shown)
        return;
    QAbstractTableModel::beginInsertRows(QModelIndex(), int(m_shown), int(row - 1));
    m_shown = row;
    QAbstractTableModel::endInsertRows();
}

int DwTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_ds.definition().columnCount();
}

QVariant DwTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    const rt::DwObjectDef &column = m_ds.definition().column(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return DwValueFormat::display(m_ds.GetItem(index.row() + 1, index.column() + 1), column);
    case Qt::TextAlignmentRole: {
        const int a = column.intProp(QStringLiteral("alignment"));
        const Qt::Alignment h = a == 1 ? Qt::AlignRight : (a == 2 ? Qt::AlignHCenter : Qt::AlignLeft);
        return QVariant::fromValue(int(h | Qt::AlignVCenter));
    }
    case Qt::ForegroundRole: {
        if (isSelected(index.row() + 1))
            return QBrush(QGuiApplication::palette().color(QPalette::HighlightedText));
        const long color = column.isSet(QStringLiteral("color")) ? column.prop(QStringLiteral("color")).toLong()
                                                                 : ColorLong::WindowText;
        return QBrush(ColorLong::toColor(color, QGuiApplication::palette()));
    }
    case Qt::BackgroundRole:
        if (isSelected(index.row() + 1))
            return QBrush(QGuiApplication::palette().color(QPalette::Highlight));
        return QVariant();
    default: return QVariant();
    }
}

QVariant DwTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return QVariant();
    const rt::DwDefinition &def = m_ds.definition();
    const QString name = def.column(section).name();
    if (const rt::DwObjectDef *caption = def.object(name + QStringLiteral("_t")))
        return caption->prop(QStringLiteral("text"));
    return name;
}

Qt::ItemFlags DwTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

int DwTableModel::selectRow(long row, bool select)
{
    const long n = m_ds.RowCount();
    if (row < 0 || row > n)
        return -1;
    m_selected.resize(std::size_t(n), false);
    if (row == 0) {
        std::fill(m_selected.begin(), m_selected.end(), select);
        m_selectedCount = select ? std::size_t(n) : 0;
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    } else {
        if (m_selected[std::size_t(row - 1)] != select)
            select ? ++m_selectedCount : --m_selectedCount;
        m_selected[std::size_t(row - 1)] = select;
        if (row <= rowCount())
            Q_EMIT dataChanged(index(int(row - 1), 0), index(int(row - 1), columnCount() - 1));
    }
    return 1;
}

bool DwTableModel::isSelected(long row) const
{
    return row >= 1 && std::size_t(row) <= m_selected.size() && m_selected[std::size_t(row - 1)];
}

bool DwTableModel::foldIntoBurst()
{
    if (m_burst)
        return true;
    // Count the structural changes of this turn of the event loop.
    if (!m_turnResetQueued) {
        m_turnResetQueued = true;
        QTimer::singleShot(0, this, [this]() {
            m_turnResetQueued = false;
            m_changesThisTurn = 0;
        });
    }
    if (++m_changesThisTurn <= BurstThreshold)
        return false;
    m_burst = true;
    QAbstractTableModel::beginResetModel();
    Q_EMIT burstStarted();
    QTimer::singleShot(0, this, &DwTableModel::finishBurst);
    return true;
}

void DwTableModel::finishBurst()
{
    if (!m_burst)
        return;
    m_selected.assign(std::size_t(m_ds.RowCount()), false);
    m_selectedCount = 0;
    m_shown = std::min<long>(std::max(m_shown, FirstPortion), m_ds.RowCount());
    m_burst = false;
    QAbstractTableModel::endResetModel();
    Q_EMIT burstFinished();
}

void DwTableModel::beginReset()
{
    if (m_burst)
        return;
    QAbstractTableModel::beginResetModel();
}

void DwTableModel::endReset()
{
    if (m_burst)
        return;
    m_selected.assign(std::size_t(m_ds.RowCount()), false);
    m_selectedCount = 0;
    m_shown = std::min<long>(m_ds.RowCount(), FirstPortion);
    m_fetchFailed = false;
    QAbstractTableModel::endResetModel();
}

void DwTableModel::beginInsertRows(long first, long count)
{
    m_pendingFirst = first;
    m_pendingCount = count;
    // Rows beyond the shown prefix are not the views' business yet (except right after it,
    // where an appended row of a small grid belongs).
    m_pendingInView = first <= m_shown + 1;
    // Many changes in one turn become one reset, in view or not: the selection flags of rows
    // beyond the view would otherwise be shifted row by row.
    if (foldIntoBurst() || !m_pendingInView)
        return;
    QAbstractTableModel::beginInsertRows(QModelIndex(), int(first - 1), int(first + count - 2));
}

void DwTableModel::endInsertRows()
{
    // In a burst the selection is cleared when it ends: keeping it up to date row by row would
    // make a large prune quadratic.
    if (!m_burst && m_selected.size() >= std::size_t(m_pendingFirst - 1))
        m_selected.insert(m_selected.begin() + (m_pendingFirst - 1), std::size_t(m_pendingCount), false);
    if (m_ds.appendingPage())
        m_fetchFailed = false; // a page read elsewhere (the record window): the next may work too
    if (m_burst || !m_pendingInView)
        return;
    m_shown += m_pendingCount;
    QAbstractTableModel::endInsertRows();
}

void DwTableModel::beginRemoveRows(long first, long count)
{
    m_pendingFirst = first;
    m_pendingCount = count;
    m_pendingInView = first <= m_shown;
    if (foldIntoBurst() || !m_pendingInView)
        return;
    QAbstractTableModel::beginRemoveRows(QModelIndex(), int(first - 1), int(first + count - 2));
}

void DwTableModel::endRemoveRows()
{
    const std::size_t from = std::size_t(m_pendingFirst - 1);
    if (!m_burst && from < m_selected.size() && m_selectedCount == 0) {
        // Nothing is selected: all flags are alike, only the length changes.
        m_selected.resize(m_selected.size() - std::min(m_selected.size() - from, std::size_t(m_pendingCount)));
    } else if (!m_burst && from < m_selected.size()) {
        for (std::size_t i = from; i < std::min(m_selected.size(), from + std::size_t(m_pendingCount)); ++i)
            m_selectedCount -= m_selected[i] ? 1 : 0;
        m_selected.erase(m_selected.begin() + std::ptrdiff_t(from),
                         m_selected.begin() + std::ptrdiff_t(std::min(m_selected.size(), from + std::size_t(m_pendingCount))));
    }
    if (m_burst || !m_pendingInView)
        return;
    m_shown -= std::min(m_pendingCount, m_shown - m_pendingFirst + 1);
    QAbstractTableModel::endRemoveRows();
}

void DwTableModel::itemChanged(long row, int column)
{
    if (m_burst || row < 1 || row > m_shown)
        return;
    const QModelIndex i = index(int(row - 1), column - 1);
    Q_EMIT dataChanged(i, i);
    Q_EMIT itemChangedAt(row, column);
}

void DwTableModel::propertiesChanged()
{
    // A Modify may change captions, colours, alignment or visibility: repaint everything.
    if (!m_burst && rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
    Q_EMIT definitionChanged();
}

void DwTableModel::currentRowChanged(long row)
{
    Q_EMIT currentRowChangedTo(row);
}

} // namespace rt::ui
