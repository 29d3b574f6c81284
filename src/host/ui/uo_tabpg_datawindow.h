#pragma once

#include "platform/ui/DataWindowControl.h"
#include "platform/ui/PbTabPage.h"

namespace host {

// The host's grid page: a tab page with the DataWindow control dw_1 filling it and the SQL the
// grid was retrieved with (is_sql). The page raises ue_enter on dw_1 when the operator presses
// Enter in the grid or double-clicks it, and keeps guo_tabpg_now on the page in view.
// Subclasses replace the events by overriding them; the overrides stay reachable by name.
class uo_tabpg_datawindow : public rt::ui::PbTabPage
{
    Q_OBJECT
public:
    explicit uo_tabpg_datawindow(const QString &className, QWidget *parent = nullptr);

    rt::ui::DataWindowControl *dw_1 = nullptr;
    QString is_sql;

    void constructor() override;

    // Page events.
    Q_INVOKABLE virtual void ue_keydown(int key, int keyflags);
    Q_INVOKABLE virtual void ue_refreshtab();
    Q_INVOKABLE virtual void ue_saveas();
    // Events of dw_1.
    Q_INVOKABLE virtual void ue_enter();
    Q_INVOKABLE virtual void ue_setautocolumn(long al_row);
    Q_INVOKABLE virtual void ue_rowcountchanged();
    Q_INVOKABLE virtual void ue_retrieve();
    Q_INVOKABLE virtual void ue_dwnkey(int key, int keyflags);

protected:
    // dw_1's constructor, rowfocuschanged and rbuttondown scripts.
    virtual void dw_1_constructor() {}
    virtual void dw_1_rowfocuschanged(long currentrow);
    virtual void dw_1_rbuttondown(int xpos, int ypos, long row, const QString &dwo);
    void showEvent(QShowEvent *event) override;
};

// The host's grid initialisation, called once on every new history grid.
void gf_dwinit(rt::ui::DataWindowControl *dw);

} // namespace host
