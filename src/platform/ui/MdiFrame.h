#pragma once

#include "PbWindow.h"

class QMdiArea;

namespace rt::ui {

// An MDI frame window: the client control mdi_1 holds the sheets. The frame's own resize event
// lays mdi_1 out (it is a control like any other).
class MdiFrame : public PbWindow
{
    Q_OBJECT
public:
    MdiFrame(const QString &className, QWidget *parent = nullptr);

    QMdiArea *mdi_1 = nullptr;
    void setMdiBackColor(long color);
    // Places mdi_1 in units.
    void placeMdi(int x, int y, int width, int height);
    int mdiUnitsWidth() const;
    int mdiUnitsHeight() const;

    // The active sheet, or null.
    Q_INVOKABLE rt::ui::PbWindow *GetActiveSheet() const;
    QList<PbWindow *> sheets() const;
    // Opens a window as a sheet (the frame takes ownership) and runs its open event.
    void openSheet(PbWindow *sheet, bool frameless, bool maximized = false);
};

} // namespace rt::ui
