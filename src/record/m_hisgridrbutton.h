#pragma once

#include "platform/ui/DataWindowControl.h"
#include "platform/ui/PbMenu.h"

#include <QPointer>

namespace hm {

// The history grid's context menu: align or colour the clicked column, take its colour away,
// export (数据导出: the grid's save-as dialog, CSV or PDF, every row), print. The commands act on
// the grid given to mf_setdw and change its presentation only.
class m_hisgridrbutton : public rt::ui::PbMenu
{
    Q_OBJECT
public:
    explicit m_hisgridrbutton(QObject *parent = nullptr);

    Q_INVOKABLE void mf_setdw(rt::ui::DataWindowControl *adw_data);

    QPointer<rt::ui::DataWindowControl> idw_data;
    rt::ui::PbMenuItem *m_gridmenu = nullptr;
    rt::ui::PbMenuItem *m_alignleft = nullptr, *m_aligncenter = nullptr, *m_alignright = nullptr, *m_color = nullptr,
                       *m_nocolor = nullptr, *m_saveas = nullptr, *m_print = nullptr,
                       *m_timeline = nullptr;

private:
    // The clicked column, or 0 when there is none.
    int clickedColumn() const;
    void align(int alignment);
    void chooseColor();
    void noColor();
    void saveAs();
    void print();
};

} // namespace hm
