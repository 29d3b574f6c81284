#pragma once

#include "host/ui/w_response.h"
#include "platform/ui/DataWindowControl.h"

#include <QPointer>

class QStandardItemModel;
class QTableView;
class QPushButton;

namespace host {

// Display customisation, opened with a DataWindow control as its parameter: the grid's columns
// by caption, each with a visible check and a width, in their order on the grid. 上移/下移
// reorder, 恢复默认 puts back the object's own layout, 确定 applies (visible, width and x of each
// column and its caption, through Modify) and closes. Hidden columns stay hidden in print and
// export, which follow the same properties.
class w_setshow_his : public w_response
{
    Q_OBJECT
public:
    explicit w_setshow_his(QWidget *parent = nullptr);

    rt::ui::DataWindowControl *datawindow() const { return m_dw.data(); }
    // The list, one row per column: 0 the visible check, 1 the caption, 2 the width (units).
    QStandardItemModel *columns() const { return m_model; }
    // The column name of a row of the list.
    QString columnName(int row) const;
    void moveRow(int row, int by);
    // The object's own layout back into the list.
    void restoreDefaults();
    // Applies the list to the grid; "" or the Modify error.
    QString apply();

    QPushButton *cb_up = nullptr, *cb_down = nullptr, *cb_default = nullptr, *cb_ok = nullptr, *cb_cancel = nullptr;

protected:
    void onOpen() override;

private:
    struct Entry
    {
        QString name;
        bool visible;
        int width;
    };
    void fill(const QList<Entry> &entries);
    QList<Entry> current() const;
    QList<Entry> defaults() const;

    QPointer<rt::ui::DataWindowControl> m_dw;
    QStandardItemModel *m_model = nullptr;
    QTableView *m_view = nullptr;
};

} // namespace host
