#include "host/ui/uo_tabpg_datawindow.h"

#include "host/ui/Globals.h"
#include "host/ui/uo_tab.h"

#include <QShowEvent>

namespace host {

uo_tabpg_datawindow::uo_tabpg_datawindow(const QString &className, QWidget *parent)
    : rt::ui::PbTabPage(className, parent)
{
    dw_1 = new rt::ui::DataWindowControl(this);
    dw_1->setObjectName(QStringLiteral("dw_1"));
    connect(dw_1, &rt::ui::DataWindowControl::keyDown, this, [this](int key, Qt::KeyboardModifiers modifiers) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            ue_enter();
        ue_dwnkey(key, int(modifiers));
    });
    connect(dw_1, &rt::ui::DataWindowControl::doubleclicked, this, [this](int, int, long, const QString &) { ue_enter(); });
    connect(dw_1, &rt::ui::DataWindowControl::rowfocuschanged, this, [this](long row) { dw_1_rowfocuschanged(row); });
    connect(dw_1, &rt::ui::DataWindowControl::rbuttondown, this,
            [this](int x, int y, long row, const QString &dwo) { dw_1_rbuttondown(x, y, row, dwo); });
}

void uo_tabpg_datawindow::constructor()
{
    dw_1_constructor();
}

void uo_tabpg_datawindow::ue_keydown(int, int) {}

void uo_tabpg_datawindow::ue_refreshtab()
{
    dw_1->Retrieve();
}

void uo_tabpg_datawindow::ue_saveas()
{
    // The host's own export of the grid in view; the visual control offers the file dialog.
    QMetaObject::invokeMethod(dw_1, "saveAsWithDialog");
}

void uo_tabpg_datawindow::ue_enter() {}
void uo_tabpg_datawindow::ue_setautocolumn(long) {}
void uo_tabpg_datawindow::ue_rowcountchanged() {}

void uo_tabpg_datawindow::ue_retrieve()
{
    dw_1->Retrieve();
}

void uo_tabpg_datawindow::ue_dwnkey(int, int) {}
void uo_tabpg_datawindow::dw_1_rowfocuschanged(long) {}
void uo_tabpg_datawindow::dw_1_rbuttondown(int, int, long, const QString &) {}

void uo_tabpg_datawindow::showEvent(QShowEvent *event)
{
    rt::ui::PbTabPage::showEvent(event);
    g().guo_tabpg_now = this;
}

void gf_dwinit(rt::ui::DataWindowControl *)
{
    // The host sets no grid defaults of its own: the library objects carry their look.
}

uo_tab::uo_tab(QWidget *parent) : rt::ui::PbTab(parent) {}

void uo_tab::onSelectionChanged(int, int newindex)
{
    const auto pages = Control();
    if (newindex >= 1 && newindex <= pages.size()) {
        if (auto *page = qobject_cast<uo_tabpg_datawindow *>(pages[newindex - 1]))
            g().guo_tabpg_now = page;
    }
}

} // namespace host
