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
#include "platform/ui/PbWindow.h"

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
    // A commit that fails (a full disk, an I/O error, an answer lost with the connection) is
    // settled by reading the register before anything is told.
    if (ok && photosqlca.commit() == 0) {
        procedure.close();
        return true;
    }
    QString told = host::LockHint::add(failureMessage, photosqlca, true);
    const QString why = countError.isEmpty() ? photosqlca.SQLErrText() : countError;
    QString error;
    const host::Journal::Outcome outcome = host::Journal::settle(photosqlca, entry, error);
    procedure.close();
    if (outcome == host::Journal::Outcome::Saved)
        return true; // the COMMIT held though its answer did not arrive
    if (outcome == host::Journal::Outcome::NotSaved)
        host::Journal::appendFailure(photosqlca, entry, why);
    else
        told += QStringLiteral("\r\n") + host::LockHint::unknownText() + (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error);
    MessageBox(Title, told, MsgIcon::StopSign, MsgButtons::OK, 1);
    return false;
}

void HistoryDeletion::dropProcedureRows(rt::ui::DataWindowControl *grid, bool household, const QString &key)
{
    // The grids of the sheet that holds this one: a person's related grids sit beside the person
    // grid, and every row the procedure deleted leaves whichever of them shows it.
    QList<rt::ui::DataWindowControl *> grids{grid};
    for (QWidget *w = grid->parentWidget(); w; w = w->parentWidget()) {
        auto *window = qobject_cast<rt::ui::PbWindow *>(w);
        if (window && window->ClassName() == QLatin1String("w_histabsheet")) {
            grids = window->findChildren<rt::ui::DataWindowControl *>();
            break;
        }
    }
    QStringList related;
    for (const host::TableDef *t : host::SchemaCatalogue::relatedTables())
        related << t->historyTable.toLower();
    for (rt::ui::DataWindowControl *g : std::as_const(grids)) {
        const QString table = g->Describe(QStringLiteral("datawindow.Table.UpdateTable")).toLower();
        QString column;
        if (household && (table == QLatin1String("th_ge_rpr") || table == QLatin1String("th_ge_personinfo")))
            column = QStringLiteral("RprNo");
        else if (!household && table == QLatin1String("th_ge_personinfo"))
            column = QStringLiteral("PersonNo");
        else if (!household && related.contains(table))
            column = QStringLiteral("personno");
        if (column.isEmpty())
            continue;
        const long deletedBefore = g->DeletedCount();
        // Backwards, so the rows still to visit keep their numbers.
        for (long r = g->RowCount(); r >= 1; --r) {
            if (g->GetItemString(r, column) == key)
                g->DeleteRow(r);
        }
        // The database rows are gone already: nothing is kept for a later Update to write.
        if (g->DeletedCount() > deletedBefore)
            g->RowsDiscard(deletedBefore + 1, g->DeletedCount(), rt::DwBuffer::Delete);
    }
}

bool HistoryDeletion::deleteHousehold(rt::ui::DataWindowControl *grid, long row, bool &writeBack)
{
    const int answer = MessageBox(Title, QString::fromUtf8("删除户籍历史信息时,是否删除该户中所有人员的信息?"),
                                  MsgIcon::Question, MsgButtons::YesNoCancel, 3);
    if (answer == 1) {
        const QString key = grid->GetItemString(row, "rprno");
        if (runProcedure("proc_delrpr @s_rprno = :ls_rprno", "ls_rprno", key, "删除户籍历史信息失败!"))
            dropProcedureRows(grid, true, key);
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
    const QString key = grid->GetItemString(row, "personno");
    if (runProcedure("proc_delperson @s_personno = :ls_personno", "ls_personno", key, "删除个人历史信息失败!"))
        dropProcedureRows(grid, false, key);
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
    bool saved = grid->Update(true, false) == 1 && host::Journal::append(photosqlca, entry) == 0 && photosqlca.commit() == 0;
    if (!saved) {
        QString failed = host::LockHint::add("删除失败!", photosqlca, true);
        const QString why = photosqlca.SQLErrText();
        // What the register holds decides what is told: a COMMIT whose answer was lost may
        // have held.
        QString error;
        const host::Journal::Outcome outcome = host::Journal::settle(photosqlca, entry, error);
        saved = outcome == host::Journal::Outcome::Saved;
        if (outcome == host::Journal::Outcome::NotSaved) {
            host::Journal::appendFailure(photosqlca, entry, why);
            if (settleFailedDeletion(grid, row))
                MessageBox(Title, alreadyDeletedText(), MsgIcon::Information, MsgButtons::OK, 1);
            else
                MessageBox(Title, failed, MsgIcon::StopSign, MsgButtons::OK, 1);
            return;
        }
        if (outcome == host::Journal::Outcome::Unknown) {
            // Whether the row is still there cannot be read either: it is shown again, and a
            // later deletion or retrieve finds out.
            settleFailedDeletion(grid, row);
            MessageBox(Title,
                       failed + QStringLiteral("\r\n") + host::LockHint::unknownText()
                           + (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error),
                       MsgIcon::StopSign, MsgButtons::OK, 1);
            return;
        }
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
