#include "sheets/uo_tabpg_hisgrid.h"

#include "host/ui/Globals.h"
#include "model/ReadFailure.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/core/Functions.h"
#include "platform/ui/DwTableModel.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/Message.h"
#include "platform/ui/Units.h"
#include "platform/ui/Windows.h"
#include "record/m_hisgridrbutton.h"

#include <QApplication>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTimer>

namespace hm {

using namespace rt::fn;

uo_tabpg_hisgrid::uo_tabpg_hisgrid() : host::uo_tabpg_datawindow(QStringLiteral("uo_tabpg_hisgrid")) {}

void uo_tabpg_hisgrid::dw_1_constructor()
{
    dw_1->SetDataObject(rt::ui::Message::instance().StringParm);
    dw_1->SetTransObject(&host::g().photosqlca);
    // A city's history is millions of rows: the first screen at once, the rest as it is
    // scrolled to, the total counted beside.
    dw_1->setRetrieveAsNeeded(FirstRows);
    // The reason is read when the page fails; the operator is told once the view is done laying
    // out (the view asked for the page in the middle of it).
    connect(dw_1->model(), &rt::ui::DwTableModel::retrieveMoreFailed, this, [this](const QString &) {
        const QString told = model::ReadFailure::historyText(host::g().photosqlca);
        QTimer::singleShot(0, this, [told]() { rt::ui::MessageBox(QString::fromUtf8("提示"), told, rt::ui::MsgIcon::StopSign); });
    });
    // A click on a column's caption sorts by it, ascending, and again on the same column
    // descending: the same sort as 排序 sets.
    connect(dw_1, &rt::ui::DataWindowControl::captionClicked, this, &uo_tabpg_hisgrid::sortByCaption);
    is_sql = dw_1->Describe(QStringLiteral("DataWindow.Table.Select"));
    is_sql = dw_1->Describe(QStringLiteral("datawindow.Table.Select"));
    dw_1->Modify(QStringLiteral("Datawindow.ReadOnly=true"));
    QStringList names;
    wf_getobjects(dw_1, names, QStringLiteral("text"), QStringLiteral("header"), true);
    for (const QString &n : names) {
        dw_1->Modify(n + QStringLiteral(".Border = '0'"));
        dw_1->Modify(n + QStringLiteral(".Background.Color = '16777215'"));
        dw_1->Modify(n + QStringLiteral(".Background.Mode") + QLatin1Char('\t') + QStringLiteral(" = '1'"));
    }
    host::gf_dwinit(dw_1);
}

int uo_tabpg_hisgrid::wf_getobjects(rt::ui::DataWindowControl *adw, QStringList &as_objlist, const QString &as_objtype,
                                    const QString &as_band, bool ab_visibleonly)
{
    if (!adw)
        return 0;
    const QString ls_objstring = adw->Describe(QStringLiteral("Datawindow.Objects"));
    int li_count = 0;
    auto test = [&](const QString &ls_objholder) {
        const bool typeOk = adw->Describe(ls_objholder + QStringLiteral(".type")) == as_objtype || as_objtype == QLatin1String("*");
        const bool bandOk = adw->Describe(ls_objholder + QStringLiteral(".band")) == as_band || as_band == QLatin1String("*");
        const bool visibleOk = adw->Describe(ls_objholder + QStringLiteral(".visible")) == QLatin1String("1") || !ab_visibleonly;
        if (typeOk && bandOk && visibleOk) {
            ++li_count;
            if (as_objlist.size() < li_count)
                as_objlist.append(ls_objholder);
            else
                as_objlist[li_count - 1] = ls_objholder;
        }
    };
    std::int64_t li_start = 1;
    std::int64_t li_tab = Pos(ls_objstring, QStringLiteral("\t"), li_start);
    while (li_tab > 0) {
        test(Mid(ls_objstring, li_start, li_tab - li_start));
        li_start = li_tab + 1;
        li_tab = Pos(ls_objstring, QStringLiteral("\t"), li_start);
    }
    test(Mid(ls_objstring, li_start, Len(ls_objstring)));
    return li_count;
}

void uo_tabpg_hisgrid::dw_1_rowfocuschanged(long currentrow)
{
    host::uo_tabpg_datawindow::dw_1_rowfocuschanged(currentrow);
    dw_1->SelectRow(0, false);
    dw_1->SelectRow(currentrow, true);
}

void uo_tabpg_hisgrid::ue_enter()
{
    const long ll_row = dw_1->GetRow();
    if (ll_row < 1)
        return;
    rt::ui::Windows::OpenByName(QStringLiteral("w_hismodify"), dw_1->DataObject());
}

void uo_tabpg_hisgrid::dw_1_rbuttondown(int, int, long row, const QString &)
{
    // The menu acts on the row clicked (历史轨迹 opens that row's record).
    if (row > 0 && row <= dw_1->RowCount())
        dw_1->SetRow(row);
    // A new menu for every right click; it is not destroyed by the page (it goes with the page).
    auto *lm_popmenu = new m_hisgridrbutton(this);
    rt::ui::LateBinding::callFunction(lm_popmenu, "mf_setdw", dw_1);
    const int ll_currentcolumn = dw_1->GetClickedColumn();
    if (ll_currentcolumn > 0) {
        const QString ls_color = dw_1->Describe(QStringLiteral("#") + QString::number(ll_currentcolumn) + QStringLiteral(".Color"));
        const std::int64_t ll_color = Long(ls_color);
        if (ll_color == 33554432)
            lm_popmenu->m_nocolor->setEnabled(false);
    } else {
        lm_popmenu->m_alignleft->setEnabled(false);
        lm_popmenu->m_aligncenter->setEnabled(false);
        lm_popmenu->m_alignright->setEnabled(false);
        lm_popmenu->m_color->setEnabled(false);
        lm_popmenu->m_nocolor->setEnabled(false);
    }
    rt::ui::PbWindow *mainWindow = host::g().w_main;
    lm_popmenu->PopMenu(lm_popmenu->m_gridmenu, mainWindow, mainWindow ? mainWindow->PointerX() : 0,
                        mainWindow ? mainWindow->PointerY() : 0);
}

void uo_tabpg_hisgrid::resizeEvent(QResizeEvent *event)
{
    host::uo_tabpg_datawindow::resizeEvent(event);
    // The grid stays 5 units inside its page whenever the tab control lays the page out.
    dw_1->setWidth(UnitsWidth() - 5);
    dw_1->setHeight(UnitsHeight() - 5);
}

void uo_tabpg_hisgrid::ue_keydown(int, int) {}
void uo_tabpg_hisgrid::ue_refreshtab() {}
void uo_tabpg_hisgrid::ue_saveas() {}
void uo_tabpg_hisgrid::ue_setautocolumn(long) {}
void uo_tabpg_hisgrid::ue_rowcountchanged() {}
void uo_tabpg_hisgrid::ue_retrieve() {}
void uo_tabpg_hisgrid::ue_dwnkey(int, int) {}

void uo_tabpg_hisgrid::sortByCaption(const QString &column)
{
    const QString ascending = column + QStringLiteral(" A");
    const bool again = dw_1->dataStore().GetSort().simplified().compare(ascending, Qt::CaseInsensitive) == 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool sorted = dw_1->SetSort(again ? column + QStringLiteral(" D") : ascending) == 1 && dw_1->Sort() == 1;
    QApplication::restoreOverrideCursor();
    for (QHeaderView *header : dw_1->findChildren<QHeaderView *>())
        header->viewport()->update(); // the mark of the column sorted by
    if (!sorted)
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("排序失败：%1").arg(dw_1->dataStore().lastError()));
}

} // namespace hm
