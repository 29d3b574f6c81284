#pragma once

#include "host/RegisterTransactions.h"
#include "platform/core/Transaction.h"
#include "platform/ui/MdiFrame.h"

#include <QPointer>
#include <QString>

namespace host {

class uo_tabpg_datawindow;

// The host application's documented globals: its main window, the current query condition,
// the sheet colours, the tab page in view, and the two transaction objects (which live in
// RegisterTransactions, below the windows).
class Globals
{
public:
    static Globals &instance();

    QPointer<rt::ui::MdiFrame> w_main;
    QString gs_querystr;
    long gl_backcolor = 16316664;  // a pale blue-grey (RGB 248, 248, 248 mixed towards blue)
    long gl_textcolor = 33554432;  // window text
    QPointer<uo_tabpg_datawindow> guo_tabpg_now;
    rt::Transaction &sqlca = RegisterTransactions::instance().sqlca;
    rt::Transaction &photosqlca = RegisterTransactions::instance().photosqlca;
    QString dataDirectory;

private:
    Globals() = default;
};

inline Globals &g()
{
    return Globals::instance();
}

} // namespace host
