#include "toolbar/HistoryPrune.h"

#include "platform/dw/RowStore.h"
#include "platform/ui/DataWindowControl.h"

namespace hm {

long HistoryPrune::prune(rt::ui::DataWindowControl *grid, long rows, const std::optional<rt::DateTime> &from,
                         const std::optional<rt::DateTime> &to, const std::optional<qint64> &throughHisid)
{
    rt::DataStore &ds = grid->dataStore();
    const int column = ds.columnIndex(rt::DwCol("SaveTime"));
    if (column < 0 || ds.definition().columnType(column).valueType != rt::ValueType::DateTime)
        return 0;
    // The cells hold datetimes in one encoding that orders like the values: compare them as they are.
    const std::int64_t lower = from ? rt::RowStore::encodeDateTime(*from) : INT64_MIN;
    const std::int64_t upper = to ? rt::RowStore::encodeDateTime(*to) : INT64_MAX;
    const int hisid = ds.columnIndex(rt::DwCol("hisid"));
    if (throughHisid && hisid < 0)
        return 0;
    const bool bounded = from || to;
    const rt::RowStore &store = ds.store();
    const long deletedBefore = ds.DeletedCount();
    long removed = 0;
    rows = std::min(rows, ds.RowCount());
    // Backwards, so the rows still to visit keep their numbers.
    for (long r = rows; r >= 1; --r) {
        const rt::RowStore::Slot s = ds.buffer(rt::DwBuffer::Primary).at(std::size_t(r - 1));
        if (throughHisid && (store.isNull(s, hisid) || store.intValue(s, hisid) > *throughHisid))
            continue;
        if (bounded && store.isNull(s, column))
            continue;
        const std::int64_t saved = store.isNull(s, column) ? 0 : store.intValue(s, column);
        if (bounded && (saved < lower || saved > upper))
            continue;
        ds.DeleteRow(r);
        ++removed;
    }
    if (ds.DeletedCount() > deletedBefore)
        ds.RowsDiscard(deletedBefore + 1, ds.DeletedCount(), rt::DwBuffer::Delete);
    return removed;
}

} // namespace hm
