#pragma once

#include "host/ui/w_response.h"
#include "platform/ui/DataWindowControl.h"

#include <QPointer>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace host {

// Sort, opened with a DataWindow control as its parameter: one or more columns (by caption),
// each ascending or descending, applied in memory with SetSort/Sort; the current row stays on
// the same record. It starts with the grid's present sort.
class w_datawindow_sort : public w_response
{
    Q_OBJECT
public:
    explicit w_datawindow_sort(QWidget *parent = nullptr);

    rt::ui::DataWindowControl *datawindow() const { return m_dw.data(); }
    // Adds a key row: a column (0-based, -1 for none yet), ascending or not.
    void addKey(int column = -1, bool ascending = true);
    void removeKey(int row);
    int keyCount() const;
    // The sort format of the keys ("RprNo A, SaveTime D"); keys without a column are skipped.
    QString format() const;
    // Sorts the grid; 1, or -1 after telling the operator.
    int apply();

    QPushButton *cb_add = nullptr, *cb_remove = nullptr, *cb_clear = nullptr, *cb_ok = nullptr, *cb_cancel = nullptr;
    QTableWidget *keys = nullptr;
    // The key row's column and direction boxes (null for a row that does not exist).
    QComboBox *columnBox(int row) const;
    QComboBox *directionBox(int row) const;

protected:
    void onOpen() override;

private:

    QPointer<rt::ui::DataWindowControl> m_dw;
    QList<int> m_columns; // the sortable columns, in the order the column boxes list them
    QList<int> m_hidden;  // columns hidden in the grid that the present sort uses
};

} // namespace host
