#pragma once

#include "platform/ui/PbWindow.h"

namespace rt::ui {
class DataWindowControl;
}

namespace hm {

class HisTab;
class uo_tabpg_hisgrid;

// The history tab sheet: shows one category at a time — one grid page for a single-table
// category, or the personal-information page with its four grids — and tells the rest of the
// module which grid the operator is looking at.
class w_histabsheet : public rt::ui::PbWindow
{
    Q_OBJECT
public:
    explicit w_histabsheet(QWidget *parent = nullptr);

    HisTab *tab_1 = nullptr;

    Q_INVOKABLE void wf_open(const QString &as_menuid);
    Q_INVOKABLE int wf_resize(int width, int height);
    // The grid page in view; null (and "" for the texts) on an empty sheet.
    Q_INVOKABLE rt::ui::DataWindowControl *wf_getcurrentdw();
    Q_INVOKABLE QString wf_getcurrentsql();
    Q_INVOKABLE QString wf_gettitle();

protected:
    void onOpen() override;
    void onResize(int sizetype, int newWidth, int newHeight) override;

private:
    uo_tabpg_hisgrid *currentGridPage() const;
    // Binds, keeps the select and retrieves a grid page's grid.
    static void retrieve(uo_tabpg_hisgrid *page);
};

} // namespace hm
