#include "model/recovery/LiveReplacement.h"

#include "model/recovery/RecoveryMove.h"
#include "model/recovery/RecoveryTransaction.h"

#include "host/IsSave.h"
#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/recovery/RecoveryPlan.h"
#include "platform/core/DateTime.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

namespace model {

namespace {

// RecoveryTransaction::failureText for the steps' own messages.
QString told(const char *message, const rt::Transaction *failed, const QString &context, const QString &own = QString())
{
    return RecoveryTransaction::failureText(QString::fromUtf8(message), failed, context, own);
}

} // namespace

bool LiveReplacement::replace(const rt::DataStore &source, long row, const model::Category &category,
                              RecoveryTransaction &tx, const QString &context, const QList<rt::Value> *shown)
{
    rt::Transaction &sqlca = tx.sqlca();
    const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
    if (!table)
        return tx.fail(told("保存恢复数据时失败", nullptr, context));
    const QString key = source.GetItemString(row, table->keyColumn);
    const QString keyColumn = rt::sqlIdentifier(table->keyColumn);
    const QString liveTable = rt::sqlIdentifier(table->liveTable);

    // 1. Hold the live record, so nobody changes it between the copy and the update.
    sqlca.execute(QStringLiteral("UPDATE %1 SET %2 = %2 WHERE %2 = ?").arg(liveTable, keyColumn), {key});
    if (sqlca.SQLCode() != 0)
        return tx.fail(sqlca.SQLCode() == 100 ? told("现有记录已被其他操作员删除，未作替换。请重新恢复。", nullptr, context)
                                              : told("锁定现有记录失败，未作替换", &sqlca, context));
    rt::DataStore current;
    if (!model::RecoveryPlan::selectLiveRecord(current, category, sqlca) || current.Retrieve({rt::Value(key)}) != 1)
        return tx.fail(told("读取现有记录失败，未作替换", &sqlca, context, current.lastError()));

    // The operator agreed to replace the state the question showed: another operator's change
    // since then is not overwritten on a comparison nobody saw.
    if (shown) {
        bool same = shown->size() == table->liveColumns.size();
        for (int c = 0; same && c < table->liveColumns.size(); ++c) {
            const rt::Value v = current.GetItem(1, table->liveColumns[c].name);
            const rt::Value &w = (*shown)[c];
            same = v.isNull() == w.isNull() && (v.isNull() || rt::Value::compare(v, w) == 0);
        }
        if (!same)
            return tx.fail(told("现有记录刚被其他操作员修改，未作替换。请重新恢复。", nullptr, context));
    }

    // 2. Its present state is kept in history; a copy is no snapshot to recover (issave 4), so
    //    no cascade takes it for the latest one.
    rt::DataStore copy;
    copy.SetDataObject(category.historyGrid);
    copy.SetTransObject(&sqlca);
    const long copied = copy.InsertRow(0);
    for (const host::ColumnDef &c : table->liveColumns) {
        const rt::Value v = current.GetItem(1, c.name);
        if (!v.isNull())
            copy.SetItem(copied, c.name, v);
    }
    copy.SetItem(copied, host::TableDef::saveTimeColumn(), rt::Value(rt::DateTime::currentDateTime()));
    copy.SetItem(copied, QStringLiteral("issave"), rt::Value(host::IsSave::replaced()));
    if (copy.Update() != 1)
        return tx.fail(told("保存现有记录到历史信息时失败，现有记录未被替换", &sqlca, context, copy.lastError()));
    tx.wrote();

    // 3. The live record takes the history row's values.
    RecoveryMove::copyColumns(source, row, current, 1);
    if (current.Update() != 1)
        return tx.fail(told("保存恢复数据时失败\r\n替换现有记录失败，现有记录未改动", &sqlca, context));
    tx.replaced();
    tx.wrote();
    return true;
}

} // namespace model
