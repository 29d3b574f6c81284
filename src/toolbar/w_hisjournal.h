#pragma once

#include "host/ui/w_response.h"

#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace rt {
class Value;
}

namespace host {
class DateField;
}

namespace hm {

// 操作记录: the maintenance journal, newest entry first, filtered by saving date range, operator,
// action and key; the entries shown can be exported as CSV (readable by its owner only).
// Read-only: the journal is only ever appended to by the changes it records.
//
// Shown as the operator knows it: 记录数 names categories, not tables ("个人职业信息 2" for the
// stored "th_ge_company 2"), and numbers have the thousands separator; the export writes what is
// shown. Every column is in view at any width the window has, down to what the time, the action,
// the key, the outcome and the captions need: each column as wide as its contents, the widest of the
// others cut down alike when they do not all fit, 说明 taking the rest (a cut text is whole in
// its tool tip). A range whose dates are half typed, do not exist, or run backwards is
// refused with the batch dialog's words, the list left as it was and the date at fault focused.
//
// On a server register the window also reads the audit trail (history.hm_audit), which the
// server writes for every statement that changes a table, whoever runs it. 审计 shows beside
// each entry what its transaction changed ("个人信息 删除 3，现有个人信息 新增 1"); an entry
// whose deleted history rows there do not add up to its 记录数 is marked Mismatch. A
// transaction that changed tables without any journal entry (psql, another program) is listed
// as a row of its own, 操作 "（未经本程序）", with the login and program that made it, marked
// Unjournaled: in the date range, for the operator chosen (the login), unless an action of the
// program or a key is asked for. Marked rows are coloured. An entry older than the trail has
// no transaction to compare and shows nothing there. On the files there is no trail: 审计 is
// not shown, nor exported.
class w_hisjournal : public host::w_response
{
    Q_OBJECT
public:
    enum class Mark { None, Mismatch, Unjournaled };

    explicit w_hisjournal(QWidget *parent = nullptr);

    QCheckBox *cbx_from = nullptr, *cbx_to = nullptr;
    host::DateField *de_from = nullptr, *de_to = nullptr;
    QComboBox *ddlb_operator = nullptr, *ddlb_action = nullptr;
    QLineEdit *sle_key = nullptr;
    QPushButton *cb_query = nullptr, *cb_export = nullptr, *cb_close = nullptr;
    QTableWidget *entries = nullptr;
    QLabel *st_status = nullptr;

    // Reads the entries the filters choose; their number, or -1 (a read failure is shown in the
    // status line; a refused range is told in a box and changes nothing).
    long query();
    // Writes the entries shown, as shown, to a CSV file (UTF-8 with a byte-order mark, mode
    // 0600); 1 or -1.
    int exportCsv(const QString &file);
    // A journal's counts as the operator reads them: "th_ge_company 2，th_ge_personinfo 1234" →
    // "个人职业信息 2，个人信息 1,234". A table that is no category's stays as it is.
    static QString shownCounts(const QString &stored);
    // One audit row as the operator reads it: ("history.th_ge_personinfo", "DELETE", 3) →
    // "个人信息 删除 3"; a live table's category is "现有…" ("现有个人信息 新增 1"); a table
    // that is no category's keeps its name.
    static QString shownAudit(const QString &table, const QString &operation, long long rows);
    // How row `row` of the list is marked (see the class comment).
    Mark rowMark(int row) const;

protected:
    void onOpen() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Sets the columns' widths to the view's present width (see the class comment).
    void fitColumns();

    struct Line;
    // The filters' condition on the journal ("" or " AND …") with its values, as query() reads
    // the entries; the audit of those entries is read by the same condition.
    // The dates and the operator chosen, as conditions on the given columns (names of this
    // file's own queries), their values appended to params.
    QString periodCondition(const QString &at, const QString &login, QList<rt::Value> &params) const;
    QString entryCondition(QList<rt::Value> &params) const;
    // Adds to `lines` the audit of the entries read (by transaction) and the transactions no
    // entry explains; false, with the status line set, when the trail cannot be read.
    bool readAudit(QList<Line> &lines, const QString &condition, const QList<rt::Value> &params);

    static constexpr long Shown = 10000; // the newest entries shown at most
    QList<int> m_wanted;                 // each column's width for its whole contents
    bool m_audited = false;              // a server register with its audit trail
};

} // namespace hm
