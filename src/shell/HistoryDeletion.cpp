#include "shell/HistoryDeletion.h"

#include "host/ui/Globals.h"
#include "host/LockHint.h"
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

bool HistoryDeletion::runProcedure(const char *declaration, const char *hostVariable, const QString &key,
                                   const char *failureMessage)
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    rt::DeclaredProcedure procedure(photosqlca, QString::fromLatin1(declaration));
    procedure.execute({{QString::fromLatin1(hostVariable), rt::Value(key)}});
    // A commit that fails (a full disk, an I/O error) is a failed deletion: the transaction is
    // still open and would be undone by the next rollback on this connection.
    if (photosqlca.SQLCode() == -1 || photosqlca.commit() != 0) {
        const QString told = host::LockHint::add(failureMessage, photosqlca);
        photosqlca.rollback();
        MessageBox(Title, told, MsgIcon::StopSign, MsgButtons::OK, 1);
        procedure.close();
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
    // The grid's flags are reset only once the commit has held.
    if (grid->Update(true, false) != 1 || photosqlca.commit() != 0) {
        const QString failed = host::LockHint::add("删除失败!", photosqlca);
        const bool unknown = photosqlca.connectionLost(); // our own deletion may have held
        photosqlca.rollback();
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
