#include "model/deletion/HistoryRowDeletion.h"

#include "model/deletion/HouseholdScope.h"
#include "model/journal/Journal.h"
#include "model/journal/JournalledChange.h"
#include "platform/core/DeclaredProcedure.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"

namespace model {

ChangeOutcome HistoryRowDeletion::deleteRows(rt::DataStore &grid, rt::Transaction &history, const QString &category,
                                             const QString &keyColumn)
{
    const long deleted = grid.DeletedCount();
    JournalledChange change(history,
                            model::Journal::Entry{QString::fromUtf8("删除"),
                                                 category,
                                                 !keyColumn.isEmpty() && deleted > 0
                                                     ? grid.GetItemString(deleted, keyColumn, rt::DwBuffer::Delete)
                                                     : QString(),
                                                 {{grid.Describe(QStringLiteral("datawindow.Table.UpdateTable")), deleted}},
                                                 QString::fromUtf8("成功"),
                                                 QString::fromUtf8("历史序号 %1")
                                                     .arg(deleted > 0 ? grid.GetItem(deleted, "hisid", rt::DwBuffer::Delete, true).toText()
                                                                      : QString())});
    // The journal's entry goes with the deletion, and without it the deletion does not happen.
    if (grid.Update(true, false) != 1)
        return change.fail();
    return change.commit();
}

bool HistoryRowDeletion::rowGone(rt::Transaction &history, const QString &table, const rt::Value &hisid)
{
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    return !hisid.isNull()
           && history.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE hisid = ?").arg(rt::sqlIdentifier(table)), {hisid}, n)
                  == 0
           && n[0].longValue() == 0;
}

ChangeOutcome HistoryRowDeletion::deleteByProcedure(rt::Transaction &history, bool household, const QString &key)
{
    JournalledChange change(history, model::Journal::Entry{household ? QString::fromUtf8("删除户") : QString::fromUtf8("删除人员"),
                                                          household ? QString::fromUtf8("户籍信息") : QString::fromUtf8("个人信息"),
                                                          key,
                                                          {},
                                                          QString::fromUtf8("成功"),
                                                          household ? QString::fromUtf8("连同该户全部人员的历史信息")
                                                                    : QString::fromUtf8("连同个人相关的全部历史信息")});
    // The counts and the procedure see the same rows.
    if (change.beginCounted() != 0)
        return change.fail();
    QString countError;
    change.entry().counts = model::Journal::count(history, HouseholdScope::ofKey(household), rt::Value(key), countError);
    if (!countError.isEmpty())
        return change.fail(countError);
    rt::DeclaredProcedure procedure(history, household ? QStringLiteral("proc_delrpr @s_rprno = :ls_rprno")
                                                       : QStringLiteral("proc_delperson @s_personno = :ls_personno"));
    procedure.execute({{household ? QStringLiteral("ls_rprno") : QStringLiteral("ls_personno"), rt::Value(key)}});
    // Settled before the procedure is closed: its failure's error is the change's reason.
    const ChangeOutcome outcome = history.SQLCode() == -1 ? change.fail() : change.commit();
    procedure.close();
    return outcome;
}

} // namespace model
