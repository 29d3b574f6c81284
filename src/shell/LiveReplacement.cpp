#include "shell/LiveReplacement.h"

#include "shell/HistoryRecovery.h"

#include "host/SchemaCatalogue.h"
#include "host/ui/Globals.h"
#include "model/Category.h"
#include "host/LockHint.h"
#include "model/RecoveryPlan.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

namespace hm {

namespace {

// The step's message (with the lock hint when another operator was in the way), the database's
// reason and the caller's context, a line each. Made before the failed transaction is rolled back.
QString told(const char *message, const rt::Transaction *failed, const QString &context)
{
    QString text = failed ? host::LockHint::add(message, *failed) : QString::fromUtf8(message);
    if (failed && !failed->SQLErrText().trimmed().isEmpty())
        text += QStringLiteral("\r\n") + failed->SQLErrText().trimmed();
    if (!context.isEmpty())
        text += QStringLiteral("\r\n") + context;
    return text;
}

// Takes the copy of the replaced state back out of history; if that fails the copy stays,
// which only repeats what the live register holds.
void withdrawCopy(const host::TableDef &table, const rt::Value &hisid)
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    if (hisid.isNull())
        return;
    if (photosqlca.execute(QStringLiteral("DELETE FROM %1 WHERE hisid = ?").arg(table.historyTable), {hisid}) != 0
        || photosqlca.commit() != 0)
        photosqlca.rollback();
}

} // namespace

bool LiveReplacement::replace(const rt::DataStore &source, long row, const model::Category &category,
                              const QString &context, const host::Journal::Entry *journal)
{
    rt::Transaction &sqlca = host::g().sqlca;
    rt::Transaction &photosqlca = host::g().photosqlca;
    const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
    if (!table)
        return false;
    const QString key = source.GetItemString(row, table->keyColumn);
    const QString keyColumn = rt::sqlIdentifier(table->keyColumn);
    const QString liveTable = rt::sqlIdentifier(table->liveTable);

    // 1. Hold the live record, so nobody changes it between the copy and the update.
    sqlca.execute(QStringLiteral("UPDATE %1 SET %2 = %2 WHERE %2 = ?").arg(liveTable, keyColumn), {key});
    if (sqlca.SQLCode() != 0) {
        const QString text = sqlca.SQLCode() == 100 ? told("现有记录已被其他操作员删除，未作替换。请重新恢复。", nullptr, context)
                                                    : told("锁定现有记录失败，未作替换", &sqlca, context);
        sqlca.rollback();
        HistoryRecovery::tell(text);
        return false;
    }
    rt::DataStore current;
    current.SetDataObject(category.singleRowTarget);
    current.SetSQLSelect(current.GetSQLSelect() + QStringLiteral(" WHERE ") + keyColumn + QStringLiteral(" = ")
                         + rt::sqlQuote(key));
    current.SetTransObject(&sqlca);
    if (current.Retrieve() != 1) {
        QString text = told("读取现有记录失败，未作替换", &sqlca, context);
        if (sqlca.SQLErrText().isEmpty() && !current.lastError().isEmpty())
            text += QStringLiteral("\r\n") + current.lastError();
        sqlca.rollback();
        HistoryRecovery::tell(text);
        return false;
    }

    // 2. The present state becomes a history row, committed before anything overwrites it.
    rt::DataStore before;
    if (before.SetDataObject(category.historyGrid) != 1) {
        sqlca.rollback();
        HistoryRecovery::tell(told("保存现有记录到历史信息时失败，现有记录未被替换", nullptr, context) + QStringLiteral("\r\n")
                              + before.lastError());
        return false;
    }
    before.SetTransObject(&photosqlca);
    const long copy = before.InsertRow(0);
    for (const host::ColumnDef &c : table->liveColumns) {
        const rt::Value v = current.GetItem(1, c.name);
        if (!v.isNull())
            before.SetItem(copy, c.name, v);
    }
    before.SetItem(copy, host::TableDef::saveTimeColumn(), rt::Value(rt::DateTime::currentDateTime()));
    before.SetItem(copy, QStringLiteral("issave"), rt::Value(model::RecoveryPlan::replacedCode()));
    if (before.Update() != 1 || photosqlca.commit() != 0) {
        const QString text = told("保存现有记录到历史信息时失败，现有记录未被替换", &photosqlca, context);
        photosqlca.rollback();
        sqlca.rollback();
        HistoryRecovery::tell(text);
        return false;
    }
    const rt::Value copyId = before.GetItem(copy, host::TableDef::surrogateKey());

    // 3. The live record takes the history row's values.
    HistoryRecovery::copyColumns(source, row, current, 1);
    if (current.Update() != 1 || (journal && host::Journal::append(sqlca, *journal) != 0) || sqlca.commit() != 0) {
        // A COMMIT that got no answer may have held: then the copy is the only record of the
        // state replaced, and it stays.
        const bool unknown = sqlca.connectionLost();
        const QString text = unknown ? told("保存恢复数据时失败", &sqlca, context)
                                     : told("保存恢复数据时失败\r\n替换现有记录失败，现有记录未改动", &sqlca, context);
        sqlca.rollback();
        if (!unknown)
            withdrawCopy(*table, copyId);
        HistoryRecovery::tell(text);
        return false;
    }
    return true;
}

} // namespace hm
