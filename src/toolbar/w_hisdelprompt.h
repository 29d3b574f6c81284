#pragma once

#include "host/ui/w_response.h"
#include "toolbar/BatchDeletion.h"

#include <QFutureWatcher>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QScrollArea;

namespace rt {
class Transaction;
}
namespace rt::ui {
class PbDropDownList;
class PbEditMask;
class PbPicture;
} // namespace rt::ui

namespace hm {

// 批量删除: deletes the history behind the grid in view in bulk — by a range of saving dates or
// by age — and removes the deleted rows from the grid. For the household history the related
// information of the households' persons can go with it (proc_DelRprScope). The dialog stays
// open for further deletions; each deletion is one transaction on photosqlca.
class w_hisdelprompt : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hisdelprompt(QWidget *parent = nullptr);

    QGroupBox *gb_1 = nullptr, *gb_2 = nullptr, *gb_3 = nullptr;
    QRadioButton *rb_delkind = nullptr, *rb_deldate = nullptr;
    QLabel *st_1 = nullptr, *st_2 = nullptr, *st_3 = nullptr;
    rt::ui::PbEditMask *em_start = nullptr, *em_end = nullptr;
    rt::ui::PbDropDownList *ddlb_kind = nullptr;
    QCheckBox *cbx_rpr = nullptr;
    rt::ui::PbPicture *p_ok = nullptr, *p_close = nullptr;
    // What the last deletion did, in words.
    QLabel *st_status = nullptr;
    // What the deletion as chosen now would remove, table by table (kept up to date as the
    // operator changes the mode, the kind, the dates or the household box). The count runs off
    // the user-interface thread on a connection of the dialog's own, so that counting a large
    // register never freezes the window; the figures arrive when ready, and a change made
    // meanwhile is counted once the count in progress is done.
    QLabel *st_count = nullptr;
    QScrollArea *countArea = nullptr; // holds st_count
    void refreshCount();
    // Waits until the count shown is the count of the present choice (for scripted operators).
    void waitForCount();
    ~w_hisdelprompt() override;

    // The events of the controls, as the operator's clicks raise them.
    void rb_deldate_clicked();
    void rb_delkind_clicked();
    void p_ok_clicked();
    void p_close_clicked();

protected:
    void onOpen() override;
    void onKey(int key, Qt::KeyboardModifiers modifiers) override;

private:
    BatchRequest request() const;
    void startCount();
    void countFinished();

    struct Counted
    {
        QList<std::pair<QString, long>> counts;
        QString error;
    };
    std::unique_ptr<rt::Transaction> m_counter; // the counts' own connection
    QFutureWatcher<Counted> m_counting;
    QList<BatchDeletion::CountQuery> m_queries; // the present choice's counts
    QList<std::pair<QString, long>> m_counted;  // what the last count found, table by table
    QString m_countedError;
    QString m_when;
    bool m_recount = false; // the choice changed while a count ran
    bool m_shown = true;    // the count shown is that of the present choice
};

} // namespace hm
