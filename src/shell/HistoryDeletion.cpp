#include "shell/HistoryDeletion.h"

#include "host/ui/Globals.h"
#include "host/Journal.h"
#include "host/LockHint.h"
#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"
#include "platform/core/DeclaredProcedure.h"
#include "platform/core/SqlQuote.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/OperatorDialogs.h"

namespace hm {

using rt::ui::MessageBox;
using rt::ui::MsgButtons;
using rt::ui::MsgIcon;

namespace {
const QString Title = QString::fromUtf8("提示");
}

namespace {

// The rows a history procedure deletes for a household or a person, table by table, counted as
// the procedure finds them (before it runs, in the same transaction) for the journal.
QList<std::pair<QString, QString>> procedureScope(bool household)
{
    QList<std::pair<QString, QString>> out;
    const QString persons = household ? QStringLiteral("SELECT PersonNo FROM th_ge_personinfo WHERE RprNo = ?")
                                      : QStringLiteral("SELECT ?");
    for (const host::TableDef *related : host::SchemaCatalogue::relatedTables())
        out << std::pair(related->historyTable, QStringLiteral("SELECT count(*) FROM %1 WHERE personno IN (%2)")
                                                    .arg(rt::sqlIdentifier(related->historyTable), persons));
    out << std::pair(QStringLiteral("th_ge_personinfo"),
                     QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE %1 = ?").arg(household ? "RprNo" : "PersonNo"));
    if (household)
        out << std::pair(QStringLiteral("th_ge_rpr"), QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = ?"));
    return out;
}

} // namespace

bool HistoryDeletion::runProcedure(const char *declaration, const char *hostVariable, const QString &key,
                                   const char *failureMessage)
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    const bool household = QByteArray(hostVariable) == "ls_rprno";
    host::Journal::Entry entry{household ? QString::fromUtf8("删除户") : QString::fromUtf8("删除人员"),
                               household ? QString::fromUtf8("户籍信息") : QString::fromUtf8("个人信息"),
                               key,
                               {},
                               QString::fromUtf8("成功"),
                               household ? QString::fromUtf8("连同该户全部人员的历史信息")
                                         : QString::fromUtf8("连同个人相关的全部历史信息")};
    // The counts and the procedure see the same rows.
    QString countError;
    if (host::Journal::beginCounted(photosqlca) != 0)
        countError = photosqlca.SQLErrText();
    else
        entry.counts = host::Journal::count(photosqlca, procedureScope(household), rt::Value(key), countError);
    bool ok = countError.isEmpty();
    rt::DeclaredProcedure procedure(photosqlca, QString::fromLatin1(declaration));
    if (ok) {
        procedure.execute({{QString::fromLatin1(hostVariable), rt::Value(key)}});
        // The journal's entry goes with the deletion: without it, the deletion does not happen.
        ok = photosqlca.SQLCode() != -1 && host::Journal::append(photosqlca, entry) == 0;
    }
    // A commit that fails (a full disk, an I/O error) is a failed deletion: the transaction is
    // still open and would be undone by the next rollback on this connection.
    if (!ok || photosqlca.commit() != 0) {
        const QString told = host::LockHint::add(failureMessage, photosqlca);
        const QString why = photosqlca.SQLErrText();
        const bool unknown = photosqlca.connectionLost(); // the COMMIT may have held
        photosqlca.rollback();
        procedure.close();
        if (!unknown)
            host::Journal::appendFailure(photosqlca, entry, why);
        MessageBox(Title, told, MsgIcon::StopSign, MsgButtons::OK, 1);
        return false;
    }
    procedure.close();
    return true;
}

void HistoryDeletion::dropRow(rt::ui::DataWindowControl *grid, long row)
{
    if (grid->DeleteRow(row) == 1 && grid->DeletedCount() > 0)
        grid->RowsDiscard(grid->DeletedCount(), grid->DeletedCount(), rt::DwBuffer::Delete);
}

bool HistoryDeletion::deleteHousehold(rt::ui::DataWindowControl *grid, long row, bool &writeBack)
{
    const int answer = MessageBox(Title, QString::fromUtf8("删除户籍历史信息时,是否删除该户中所有人员的信息?"),
                                  MsgIcon::Question, MsgButtons::YesNoCancel, 3);
    if (answer == 1) {
        if (runProcedure("proc_delrpr @s_rprno = :ls_rprno", "ls_rprno", grid->GetItemString(row, "rprno"),
                         "删除户籍历史信息失败!"))
            dropRow(grid, row);
        return true;
    }
    if (answer == 2) {
        grid->DeleteRow(row);
        writeBack = true;
        return true;
    }
    return false;
}

bool HistoryDeletion::deletePerson(rt::ui::DataWindowControl *grid, long row)
{
    const int answer = MessageBox(Title, QString::fromUtf8("删除个人历史信息时，将删除个人相关的所有信息，\r\n确定要删除该记录?"),
                                  MsgIcon::Question, MsgButtons::YesNo, 2);
    if (answer != 1)
        return false;
    if (runProcedure("proc_delperson @s_personno = :ls_personno", "ls_personno", grid->GetItemString(row, "personno"),
                     "删除个人历史信息失败!"))
        dropRow(grid, row);
    return true;
}

void HistoryDeletion::deleteCurrentRow(rt::ui::DataWindowControl *grid)
{
    const long ll_row = grid->GetRow();
    if (ll_row < 1)
        return; // nothing selected: nothing to delete
    bool lb_delflag = false;
    const QString object = grid->DataObject();
    if (object == QLatin1String("dh_ge_rpr")) {
        if (!deleteHousehold(grid, ll_row, lb_delflag))
            return;
    } else if (object == QLatin1String("dh_ge_personinfo")) {
        deletePerson(grid, ll_row);
        return;
    } else {
        if (MessageBox(Title, QString::fromUtf8("删除后将无法进行恢复，确定要删除该记录?"), MsgIcon::Question,
                       MsgButtons::YesNo, 2)
            != 1)
            return;
        grid->DeleteRow(ll_row);
        lb_delflag = true;
    }
    if (!lb_delflag)
        return;
    writeBack(grid, ll_row);
}

void HistoryDeletion::writeBack(rt::ui::DataWindowControl *grid, long row)
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    const model::Category *category = model::CategoryTable::byHistoryGrid(grid->DataObject());
    const host::TableDef *table = category ? host::SchemaCatalogue::byStem(category->stem) : nullptr;
    const long deleted = grid->DeletedCount();
    host::Journal::Entry entry{QString::fromUtf8("删除"),
                               category ? category->tabText : grid->DataObject(),
                               table && deleted > 0 ? grid->dataStore().GetItemString(deleted, table->keyColumn, rt::DwBuffer::Delete)
                                                    : QString(),
                               {{grid->Describe(QStringLiteral("datawindow.Table.UpdateTable")), deleted}},
                               QString::fromUtf8("成功"),
                               QString::fromUtf8("历史序号 %1").arg(deleted > 0 ? grid->dataStore()
                                                                                   .GetItem(deleted, "hisid", rt::DwBuffer::Delete, true)
                                                                                   .toText()
                                                                             : QString())};
    // The grid's flags are reset only once the commit has held; the journal's entry goes with
    // the deletion, and without it the deletion does not happen.
    if (grid->Update(true, false) != 1 || host::Journal::append(photosqlca, entry) != 0 || photosqlca.commit() != 0) {
        const QString failed = host::LockHint::add("删除失败!", photosqlca);
        const QString why = photosqlca.SQLErrText();
        const bool unknown = photosqlca.connectionLost(); // our own deletion may have held
        photosqlca.rollback();
        if (!unknown)
            host::Journal::appendFailure(photosqlca, entry, why);
        if (settleFailedDeletion(grid, row) && !unknown)
            MessageBox(Title, alreadyDeletedText(), MsgIcon::Information, MsgButtons::OK, 1);
        else
            MessageBox(Title, failed, MsgIcon::StopSign, MsgButtons::OK, 1);
        return;
    }
    grid->ResetUpdate();
    MessageBox(Title, QString::fromUtf8("删除成功!"), MsgIcon::Information, MsgButtons::OK, 1);
}

bool HistoryDeletion::settleFailedDeletion(rt::ui::DataWindowControl *grid, long row)
{
    const long deleted = grid->DeletedCount();
    if (deleted < 1)
        return false;
    const rt::Value hisid = grid->dataStore().GetItem(deleted, "hisid", rt::DwBuffer::Delete, true);
    const QString table = grid->Describe(QStringLiteral("datawindow.Table.UpdateTable"));
    // Whether the row is still there decides where it belongs; when even that cannot be read,
    // the row is shown again (a later deletion will find out).
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    const bool gone = !hisid.isNull()
                      && host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE hisid = ?")
                                                             .arg(rt::sqlIdentifier(table)),
                                                         {hisid}, n)
                             == 0
                      && n[0].longValue() == 0;
    if (gone) {
        grid->RowsDiscard(deleted, deleted, rt::DwBuffer::Delete);
        return true;
    }
    grid->RowsMove(deleted, deleted, rt::DwBuffer::Delete, grid->dataStore(), row, rt::DwBuffer::Primary);
    grid->SetRow(row);
    return false;
}

QString HistoryDeletion::alreadyDeletedText()
{
    return QString::fromUtf8("这条历史记录已被其他操作员删除。");
}

} // namespace hm
