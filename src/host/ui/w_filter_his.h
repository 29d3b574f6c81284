#pragma once

#include "host/QueryCondition.h"
#include "host/ui/w_response.h"
#include "platform/ui/DataWindowControl.h"

#include <QPointer>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace host {

class ElidedLabel;

// Query, opened with a DataWindow control as its parameter: one or more conditions (a column by
// caption, a comparison, a value — a DateField for date and datetime columns), joined by
// 并且 / 或者. 查询 (or Enter in a value) retrieves the grid with its object's own select
// restricted to the condition (see QueryCondition), puts the condition's text in gs_querystr and
// shows how many rows were found; the window stays open for another query. 全部显示 retrieves
// everything again. A date half typed or that does not exist is refused before anything is
// read, and the operator is taken back to its field. However long the values, the window keeps
// within its screen: values scroll inside their fields, the line of what was found is cut.
class w_filter_his : public w_response
{
    Q_OBJECT
public:
    explicit w_filter_his(QWidget *parent = nullptr);

    rt::ui::DataWindowControl *datawindow() const { return m_dw.data(); }
    // Adds a condition row filled in as given (column 0-based; value as typed, yyyy-mm-dd for dates).
    // The value editor of a row is cellWidget(row, 3), a QLineEdit (a DateField for dates).
    void addTerm(const QueryTerm &term);
    void removeTerm(int row);
    int termCount() const;
    QList<QueryTerm> terms() const;
    // Runs the query; the rows found, or -1 after telling the operator.
    long query();
    // Shows every row again; the rows found or -1.
    long showAll();
    // The line under the conditions, whole (it is shown cut when longer than the window).
    QString statusText() const;

    QTableWidget *conditions = nullptr;
    QPushButton *cb_add = nullptr, *cb_remove = nullptr, *cb_query = nullptr, *cb_all = nullptr, *cb_close = nullptr;

protected:
    void onOpen() override;

private:
    void setValueEditor(int row, const QString &value = QString());
    QString objectSelect() const;
    long retrieveWith(const QString &select, const QString &text);
    // "查询到 N 条记录" with the total, once counted.
    void showFound();
    // The first row whose date field holds no date (half typed, or a day that does not exist), or -1.
    int badDateRow() const;
    // Tab order: each condition's fields row by row, then the buttons.
    void orderTabs();

    QPointer<rt::ui::DataWindowControl> m_dw;
    QList<int> m_columns; // the columns the column boxes list, in their order
    ElidedLabel *m_status = nullptr;
    bool m_found = false;
    QString m_foundText;
};

} // namespace host
