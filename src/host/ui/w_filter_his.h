#pragma once

#include "host/QueryCondition.h"
#include "host/ui/w_response.h"
#include "platform/ui/DataWindowControl.h"

#include <QPointer>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace host {

// Query, opened with a DataWindow control as its parameter: one or more conditions (a column by
// caption, a comparison, a value — with a date editor for date and datetime columns), joined by
// 并且 / 或者. 查询 retrieves the grid with its object's own select restricted to the condition
// (see QueryCondition), puts the condition's text in gs_querystr and shows how many rows were
// found; the window stays open for another query. 全部显示 retrieves everything again.
class w_filter_his : public w_response
{
    Q_OBJECT
public:
    explicit w_filter_his(QWidget *parent = nullptr);

    rt::ui::DataWindowControl *datawindow() const { return m_dw.data(); }
    // Adds a condition row filled in as given (column 0-based; value as typed, yyyy-mm-dd for dates).
    void addTerm(const QueryTerm &term);
    void removeTerm(int row);
    int termCount() const;
    QList<QueryTerm> terms() const;
    // Runs the query; the rows found, or -1 after telling the operator.
    long query();
    // Shows every row again; the rows found or -1.
    long showAll();
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

    QPointer<rt::ui::DataWindowControl> m_dw;
    QList<int> m_columns; // the columns the column boxes list, in their order
    QLabel *m_status = nullptr;
    bool m_found = false;
    QString m_foundText;
};

} // namespace host
