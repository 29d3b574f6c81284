#include "sheets/w_histabsheet.h"

#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "model/ReadFailure.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/DataWindowControl.h"
#include "sheets/HisTab.h"
#include "sheets/uo_tabpg_hisgrid.h"
#include "sheets/uo_tabpg_histab.h"
#include "platform/ui/Units.h"

namespace hm {

w_histabsheet::w_histabsheet(QWidget *parent) : rt::ui::PbWindow(QStringLiteral("w_histabsheet"), Kind::Sheet, parent)
{
    tab_1 = new HisTab(client());
    tab_1->setObjectName(QStringLiteral("tab_1"));
    tab_1->setUnitsGeometry(0, 0, 1605, 1048);
    tab_1->setVisible(false);
    tab_1->raise();
    setUnitsSize(1979, 1100);
}

void w_histabsheet::onOpen()
{
    setBackColor(host::g().gl_backcolor);
    tab_1->SelectTab(0); // no page is selected yet
}

void w_histabsheet::onResize(int, int newWidth, int newHeight)
{
    wf_resize(newWidth, newHeight);
}

void w_histabsheet::retrieve(uo_tabpg_hisgrid *page)
{
    page->dw_1->SetTransObject(&host::g().photosqlca);
    page->is_sql = page->dw_1->GetSQLSelect();
    if (page->dw_1->Retrieve() < 0)
        rt::ui::MessageBox(QString::fromUtf8("提示"), model::ReadFailure::historyText(host::g().photosqlca),
                           rt::ui::MsgIcon::StopSign);
}

void w_histabsheet::wf_open(const QString &as_menuid)
{
    uo_tabpg_hisgrid *luo_grid = nullptr;
    bool lb_have = false, lb_person = false;
    const QList<rt::ui::PbTabPage *> pages = tab_1->Control();
    if (!pages.isEmpty()) {
        if (auto *grid = qobject_cast<uo_tabpg_hisgrid *>(pages[0])) {
            if (grid->ii_issingle == 0) {
                luo_grid = grid;
                lb_have = true;
            } else {
                lb_person = true;
            }
        } else if (qobject_cast<uo_tabpg_histab *>(pages[0])) {
            lb_person = true;
        }
    }
    const model::Category *category = nullptr;
    for (const model::Category &c : model::CategoryTable::all()) {
        // Exact (case matters); the related categories have no button and match nothing.
        if (!c.button.isEmpty() && c.button == as_menuid)
            category = &c;
    }
    if (category && as_menuid != QLatin1String("p_personinfo")) {
        const QString D = category->historyGrid, T = category->tabText;
        if (!lb_have) {
            if (lb_person)
                tab_1->CloseTab(pages[0]);
            luo_grid = tab_1->OpenTabWithParm<uo_tabpg_hisgrid>(D, 0);
            luo_grid->setText(T);
            luo_grid->ii_issingle = 0;
            luo_grid->setUnitsSize(tab_1->UnitsWidth(), tab_1->UnitsHeight());
            luo_grid->dw_1->setUnitsGeometry(0, 0, luo_grid->UnitsWidth(), luo_grid->UnitsHeight());
            retrieve(luo_grid);
            if (as_menuid == QLatin1String("p_children"))
                luo_grid->dw_1->Modify(QStringLiteral("datawindow.ReadOnly=yes"));
            luo_grid->setTag(as_menuid);
        } else if (luo_grid->Tag() != as_menuid) {
            luo_grid->dw_1->SetRedraw(false);
            luo_grid->setText(T);
            luo_grid->ii_issingle = 0;
            luo_grid->dw_1->SetDataObject(D);
            // A history grid stays read-only whatever object it shows (the page's one-time
            // set-up is not repeated for the new object, and without this the reused grid
            // would no longer be).
            luo_grid->dw_1->Modify(QStringLiteral("Datawindow.ReadOnly=true"));
            retrieve(luo_grid);
            luo_grid->dw_1->SetRedraw(true);
            if (as_menuid == QLatin1String("p_children"))
                luo_grid->dw_1->Modify(QStringLiteral("datawindow.ReadOnly=yes"));
            luo_grid->setTag(as_menuid);
        }
    } else if (as_menuid == QLatin1String("p_personinfo")) {
        if (!lb_person) {
            if (lb_have)
                tab_1->CloseTab(pages[0]);
            auto *luo_tab = new uo_tabpg_histab();
            tab_1->OpenTab(luo_tab, 0);
            luo_tab->setText(QString::fromUtf8("个人信息"));
            luo_tab->setUnitsSize(tab_1->UnitsWidth(), tab_1->UnitsHeight());
            luo_tab->tab_1->setUnitsGeometry(0, 0, luo_tab->UnitsWidth(), luo_tab->UnitsHeight());
            uo_tabpg_hisgrid *last = nullptr;
            for (const model::Category *c : model::CategoryTable::gridsOfButton(as_menuid)) {
                auto *page = luo_tab->tab_1->OpenTabWithParm<uo_tabpg_hisgrid>(c->historyGrid, 0);
                page->setText(c->tabText);
                page->setUnitsSize(luo_tab->tab_1->UnitsWidth(), luo_tab->tab_1->UnitsHeight());
                page->dw_1->setUnitsGeometry(0, 0, page->UnitsWidth(), page->UnitsHeight());
                retrieve(page);
                last = page;
            }
            if (last)
                last->setTag(as_menuid);
        }
    }
    SetRedraw(false);
    wf_resize(UnitsWidth(), UnitsHeight());
    SetRedraw(true);
    if (!tab_1->isVisible())
        tab_1->setVisible(true);
}

int w_histabsheet::wf_resize(int width, int height)
{
    SetRedraw(false);
    tab_1->setUnitsGeometry(rt::ui::Units::fromPixelsX(tab_1->x()), rt::ui::Units::fromPixelsY(tab_1->y()), width - 10,
                            height - 10);
    tab_1->SelectTab(tab_1->SelectedTab());
    const int tabWidth = tab_1->UnitsWidth(), tabHeight = tab_1->UnitsHeight();
    for (rt::ui::PbTabPage *page : tab_1->Control()) {
        if (auto *grid = qobject_cast<uo_tabpg_hisgrid *>(page)) {
            grid->dw_1->setWidth(grid->UnitsWidth() - 5);
            grid->dw_1->setHeight(grid->UnitsHeight() - 5);
        } else if (auto *category = qobject_cast<uo_tabpg_histab *>(page)) {
            category->setUnitsSize(tabWidth, tabHeight);
            category->layOut();
        }
    }
    SetRedraw(true);
    return 0;
}

uo_tabpg_hisgrid *w_histabsheet::currentGridPage() const
{
    const int ll_selecttab = tab_1->SelectedTab();
    const QList<rt::ui::PbTabPage *> pages = tab_1->Control();
    if (ll_selecttab < 1 || ll_selecttab > pages.size())
        return nullptr;
    rt::ui::PbTabPage *page = pages[ll_selecttab - 1];
    if (page->ClassName() == QLatin1String("uo_tabpg_hisgrid"))
        return qobject_cast<uo_tabpg_hisgrid *>(page);
    auto *luo_tab = qobject_cast<uo_tabpg_histab *>(page);
    if (!luo_tab)
        return nullptr;
    const int inner = luo_tab->tab_1->SelectedTab();
    const QList<rt::ui::PbTabPage *> innerPages = luo_tab->tab_1->Control();
    if (inner < 1 || inner > innerPages.size())
        return nullptr;
    return qobject_cast<uo_tabpg_hisgrid *>(innerPages[inner - 1]);
}

rt::ui::DataWindowControl *w_histabsheet::wf_getcurrentdw()
{
    uo_tabpg_hisgrid *page = currentGridPage();
    return page ? page->dw_1 : nullptr;
}

QString w_histabsheet::wf_getcurrentsql()
{
    uo_tabpg_hisgrid *page = currentGridPage();
    return page ? page->is_sql : QString(QLatin1String(""));
}

QString w_histabsheet::wf_gettitle()
{
    uo_tabpg_hisgrid *page = currentGridPage();
    return page ? page->Text() : QString(QLatin1String(""));
}

} // namespace hm
