#pragma once

#include "platform/ui/MdiFrame.h"
#include "platform/ui/PbPicture.h"

#include <QPointer>

class QLabel;

namespace host {
class uo_button;
}

namespace hm {

class uo_toolbar_his;
class uo_transparent_st;

// The history maintenance window: an MDI frame with the command toolbar across the top, the
// strip of seven category buttons on the left and the MDI client holding the background sheet
// and the one history tab sheet.
class w_histmanage : public rt::ui::MdiFrame
{
    Q_OBJECT
public:
    explicit w_histmanage(QWidget *parent = nullptr);
    ~w_histmanage() override;

    // The category buttons and their labels, the strip, the toolbar.
    host::uo_button *p_rprinfo = nullptr, *p_personinfo = nullptr, *p_eldinfo = nullptr, *p_children = nullptr,
                    *p_womaninfo = nullptr, *p_oowpersoninfo = nullptr, *p_minlivingprotect = nullptr;
    uo_transparent_st *st_rprinfo = nullptr, *st_personinfo = nullptr, *st_eldinfo = nullptr,
                      *st_childreninfo = nullptr, *st_womaninfo = nullptr, *st_lostjobperson = nullptr,
                      *st_minprotect = nullptr;
    rt::ui::PbPicture *p_speedbar = nullptr;
    uo_toolbar_his *dw_maintoolbar = nullptr;
    // The status line along the frame's bottom edge: what the last change did.
    QLabel *st_status = nullptr;
    // At the status line's right end, for as long as the window is open: how unsafe the way to
    // the server is (empty, and taking no room, when there is nothing to say). Status texts
    // never cover it.
    QLabel *st_link = nullptr;

    // The sheet variables.
    QPointer<rt::ui::PbWindow> w_hisexplore;
    QPointer<rt::ui::PbWindow> w_histabsheet;

    Q_INVOKABLE void ue_postopen();
    Q_INVOKABLE void ue_opensheet(const QString &as_sheetname);
    // Deletes history: 1 the selected row of the grid in view, 2 the batch dialog.
    Q_INVOKABLE void ue_del(int ai_flag);
    // Recovers the selected history row of the grid in view into the live register.
    Q_INVOKABLE void ue_recovery();

    // Shows what a change did in the status line (the time in front; the whole text as its tip
    // when the line is too narrow for it).
    Q_INVOKABLE void wf_setstatus(const QString &as_text);
    // Sets the words at the status line's right end (see st_link).
    Q_INVOKABLE void wf_setlinkstatus(const QString &as_text);

    // The category button of a name as the window knows it ("p_Children" finds p_children).
    host::uo_button *categoryButton(const QString &name) const;

protected:
    void onOpen() override;
    void onResize(int sizetype, int newWidth, int newHeight) override;
    void onClose() override;

private:
    void showStatus();
    QString m_status;
    host::uo_button *addCategory(const char *name, const char *sheetName, const char *picture, int y, bool stretch);
    uo_transparent_st *addLabel(const char *name, const char *text, int y);
};

} // namespace hm
