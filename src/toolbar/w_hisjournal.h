#pragma once

#include "host/ui/w_response.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace hm {

// 操作记录: the maintenance journal, newest entry first, filtered by saving date range, operator,
// action and key; the entries shown can be exported as CSV. Read-only: the journal is only ever
// appended to by the changes it records.
class w_hisjournal : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hisjournal(QWidget *parent = nullptr);

    QCheckBox *cbx_from = nullptr, *cbx_to = nullptr;
    QDateEdit *de_from = nullptr, *de_to = nullptr;
    QComboBox *ddlb_operator = nullptr, *ddlb_action = nullptr;
    QLineEdit *sle_key = nullptr;
    QPushButton *cb_query = nullptr, *cb_export = nullptr, *cb_close = nullptr;
    QTableWidget *entries = nullptr;
    QLabel *st_status = nullptr;

    // Reads the entries the filters choose; their number, or -1 (the reason is shown).
    long query();
    // Writes the entries shown to a CSV file (UTF-8 with a byte-order mark); 1 or -1.
    int exportCsv(const QString &file);

protected:
    void onOpen() override;

private:
    static constexpr long Shown = 10000; // the newest entries shown at most
};

} // namespace hm
