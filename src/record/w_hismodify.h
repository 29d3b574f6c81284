#pragma once

#include "host/ui/w_response.h"

#include <QPointer>

class QPushButton;

namespace host {
class uo_button;
class uo_dwform;
} // namespace host
namespace rt::ui {
class DataWindowControl;
}

namespace hm {

// The record window: one row of the history grid in view as a read-only form (the grid's object
// name with "_f"), sized to the form's layout, titled with the sheet's title. First / previous /
// next / last step through the grid's rows, and the grid's current row follows. It never writes.
// Opened while no history sheet is active, it closes at once without showing anything.
class w_hismodify : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hismodify(QWidget *parent = nullptr);

    long il_row = 0;
    QPointer<rt::ui::DataWindowControl> idw_datawindow;

    host::uo_dwform *dw_1 = nullptr;
    host::uo_button *cb_first = nullptr, *cb_prior = nullptr, *cb_next = nullptr, *cb_last = nullptr, *cb_exit = nullptr;
    // 对比当前: the row shown beside the live record with the same key (w_hiscompare).
    QPushButton *cb_compare = nullptr;
    QPushButton *cb_timeline = nullptr; // 历史轨迹

    Q_INVOKABLE void wf_getdata();
    Q_INVOKABLE void wf_scroll();
    Q_INVOKABLE int wf_closequery();
    Q_INVOKABLE QString wf_getpkey();
    Q_INVOKABLE void wf_setsize();
    Q_INVOKABLE void ue_print();
    // The form's events.
    void dw_1_rbuttondown();
    long dw_1_dberror(long sqldbcode, const QString &sqlerrtext);
    // The message dberror shows for a database error code (the runtime's codes, and SQLite's
    // extended codes for the same failures).
    QString dberrorText(long sqldbcode, const QString &sqlerrtext);

protected:
    void onOpen() override;
    int onCloseQuery() override;
    void onKey(int key, Qt::KeyboardModifiers modifiers) override;

private:
    void navigate(host::uo_button *button);
    void showCopiedRow();
};

} // namespace hm
