#include "shell/HistoryDeletion.h"

#include "host/SchemaCatalogue.h"
#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "model/deletion/HistoryRowDeletion.h"
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

bool HistoryDeletion::runProcedure(bool household, const QString &key, const char *failureMessage)
{
    const model::ChangeOutcome outcome = model::HistoryRowDeletion::deleteByProcedure(host::g().photosqlca, household, key);
    if (outcome.saved())
        return true; // also a COMMIT that held though its answer did not arrive
    MessageBox(Title, outcome.failureText(QString::fromUtf8(failureMessage)), MsgIcon::StopSign, MsgButtons::OK, 1);
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
        if (runProcedure(true, key, "删除户籍历史信息失败!"))
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
    if (runProcedure(false, key, "删除个人历史信息失败!"))
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
    const model::Category *category = model::CategoryTable::byHistoryGrid(grid->DataObject());
    const host::TableDef *table = category ? host::SchemaCatalogue::byStem(category->stem) : nullptr;
    // The grid's flags are reset only once the deletion is saved; what the register holds decides
    // what is told (a COMMIT whose answer was lost may have held).
    const model::ChangeOutcome outcome = model::HistoryRowDeletion::deleteRows(
        grid->dataStore(), host::g().photosqlca, category ? category->tabText : grid->DataObject(), table ? table->keyColumn : QString());
    if (!outcome.saved()) {
        const QString failed = outcome.failureText(QString::fromUtf8("删除失败!"));
        // Unknown: whether the row is still there cannot be read either; it is shown again, and
        // a later deletion or retrieve finds out.
        if (settleFailedDeletion(grid, row) && !outcome.unknown())
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
    if (model::HistoryRowDeletion::rowGone(host::g().photosqlca, table, hisid)) {
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
