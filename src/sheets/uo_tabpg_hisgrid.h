#pragma once

#include "host/ui/uo_tabpg_datawindow.h"

#include <QStringList>

namespace hm {

// A tab page showing one history table as a read-only grid. Its DataWindow object is the
// parameter of OpenTabWithParm; the page flattens the header captions, highlights the current
// row, opens the record window on Enter or a double-click and pops up the grid menu on a right
// click. The host page's own key, refresh, save-as, auto-column, row-count, retrieve and key
// events are switched off.
class uo_tabpg_hisgrid : public host::uo_tabpg_datawindow
{
    Q_OBJECT
public:
    uo_tabpg_hisgrid();

    int ii_issingle = 0;
    // Rows read when the grid is retrieved; more follow as the operator scrolls.
    static constexpr long FirstRows = 1000;

    // The names of the drawing objects of adw of this type and band ("*" for any), only the
    // visible ones when ab_visibleonly; the count.
    Q_INVOKABLE int wf_getobjects(rt::ui::DataWindowControl *adw, QStringList &as_objlist, const QString &as_objtype,
                                  const QString &as_band, bool ab_visibleonly);

    void ue_keydown(int key, int keyflags) override;
    void ue_refreshtab() override;
    void ue_saveas() override;
    void ue_enter() override;
    void ue_setautocolumn(long al_row) override;
    void ue_rowcountchanged() override;
    void ue_retrieve() override;
    void ue_dwnkey(int key, int keyflags) override;

protected:
    void dw_1_constructor() override;
    void dw_1_rowfocuschanged(long currentrow) override;
    void dw_1_rbuttondown(int xpos, int ypos, long row, const QString &dwo) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // A click on a column's caption: sorted by it ascending, by it descending when it already
    // was; a failure is told.
    void sortByCaption(const QString &column);
};

} // namespace hm
