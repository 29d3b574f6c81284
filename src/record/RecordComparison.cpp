#include "record/RecordComparison.h"

#include "host/QueryCondition.h"
#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"
#include "model/recovery/RecoveryPlan.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

namespace hm {

QList<RecordComparison::Field> RecordComparison::compare(const rt::DataStore &history, long row, rt::Transaction &live,
                                                          bool &liveFound, QString &readError)
{
    liveFound = false;
    readError.clear();
    QString object = history.DataObject();
    if (object.endsWith(QLatin1String("_f")))
        object.chop(2);
    const model::Category *category = model::CategoryTable::byHistoryGrid(object);
    const host::TableDef *table = category ? host::SchemaCatalogue::byStem(category->stem) : nullptr;
    rt::DataStore current;
    if (table && model::RecoveryPlan::selectLiveRecord(current, *category, live)) {
        const QString key = history.GetItemString(row, table->keyColumn);
        const long rows = key.isNull() ? 0 : current.Retrieve({rt::Value(key)});
        if (rows < 0)
            readError = live.SQLErrText().isEmpty() ? current.lastError() : live.SQLErrText();
        liveFound = rows >= 1;
    }
    QList<Field> fields;
    const rt::DwDefinition &def = history.definition();
    for (const int c : def.displayOrder()) {
        const QString name = def.column(c).name();
        if (name.compare(QLatin1String("hisid"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("savetime"), Qt::CaseInsensitive) == 0)
            continue;
        Field f;
        f.caption = host::QueryCondition::caption(def, c);
        const rt::Value h = history.GetItem(row, c + 1);
        f.history = h.isNull() ? QString() : h.toText();
        if (liveFound && current.columnIndex(rt::DwCol(name)) >= 0) {
            const rt::Value l = current.GetItem(1, name);
            f.live = l.isNull() ? QString() : l.toText();
            f.differs = h.isNull() != l.isNull() || f.history != f.live;
        }
        fields << f;
    }
    return fields;
}

} // namespace hm
