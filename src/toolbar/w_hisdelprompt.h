#pragma once

#include "host/ui/w_response.h"
#include "toolbar/BatchDeletion.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;

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
    // operator changes the mode, the kind, the dates or the household box).
    QLabel *st_count = nullptr;
    void refreshCount();

    // The events of the controls, as the operator's clicks raise them.
    void rb_deldate_clicked();
    void rb_delkind_clicked();
    void p_ok_clicked();
    void p_close_clicked();

protected:
    void onOpen() override;

private:
    BatchRequest request() const;
};

} // namespace hm
