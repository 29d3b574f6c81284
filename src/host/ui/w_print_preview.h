#pragma once

#include "host/ui/w_response.h"

#include <QPointer>
#include <memory>

#include "platform/ui/DataWindowControl.h"

class QLabel;
class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace rt {
class DwPageRows;
}
namespace rt::ui {
class DwPrintRenderer;
class ReadAside;
}

namespace host {

// The host's print preview: opened with a DataWindow control as its parameter, it shows the
// printed pages of that control one at a time and can print them or save them as a PDF. The
// pages are laid out from row counts alone and only the page shown is painted, so a grid of any
// size opens its preview in the time of one page. A page the grid has not read is read by
// itself at its place in the grid's order (rt::DwPageRows: the last page from the end of the
// order), on a connection of its own and another thread; a read that takes longer than a moment
// shows a progress dialog whose 取消 stops it and leaves the page shown as it was. Preview,
// printing and PDF lay out the same pages: the printer's paper (A4 landscape unless chosen
// otherwise in the print dialog) by one rule (rt::ui::DwPrintRenderer). Printing and PDF go page
// by page under a progress dialog that can be cancelled.
class w_print_preview : public w_response
{
    Q_OBJECT
public:
    explicit w_print_preview(QWidget *parent = nullptr);
    ~w_print_preview() override;

    rt::ui::DataWindowControl *datawindow() const { return m_dw.data(); }
    int pageCount() const;
    // The page shown, 0-based; showPage moves to another (clamped to the pages there are).
    int currentPage() const { return m_current; }
    void showPage(int index);
    // How many pages have been painted for the screen since the window opened.
    int pagesPainted() const { return m_painted; }
    // Saves the pages as a PDF, page by page, on the printer's paper; 1, or -1 (also when
    // cancelled: no file is left).
    int savePdf(const QString &file);
    // The rows the pages are painted from (null before the window opens on a grid).
    rt::DwPageRows *pageRows() const { return m_rows.get(); }
    // The rows a page shows, first..last (last < first for a page without rows).
    std::pair<long, long> rowsOf(int page) const;
    // The printer the pages are laid out for and printed on.
    QPrinter *printer() const { return m_printer; }
    // What 打印 does once the print dialog is accepted: lays the pages out again for the paper
    // chosen and prints every page; 1, 0 when cancelled, -1 (the operator is told why).
    int printPages();
    static constexpr int PreviewDpi = 96;

    QPushButton *cb_first = nullptr, *cb_prior = nullptr, *cb_next = nullptr, *cb_last = nullptr;
    QSpinBox *sp_page = nullptr;
    QLabel *st_pages = nullptr;

protected:
    void onOpen() override;

private:
    // Lays the pages out again and shows the page shown before (or the last there is).
    void layoutPages();
    // Lays the pages out and updates the page count, showing nothing.
    void layoutOnly();
    void print();
    void saveWithDialog();
    // Paints every page onto the device under a cancellable progress dialog; false with why.
    bool renderAll(QPagedPaintDevice &device, QString &error);

    QPointer<rt::ui::DataWindowControl> m_dw;
    QPrinter *m_printer = nullptr;
    std::unique_ptr<rt::ui::ReadAside> m_aside;          // the connection pages are read on
    std::unique_ptr<rt::DwPageRows> m_rows;              // the grid's rows, read as pages need them
    bool m_cancelled = false;                            // the last read was stopped by 取消
    std::unique_ptr<rt::ui::DwPrintRenderer> m_renderer; // laid out for the printer's paper
    QScrollArea *m_area = nullptr;
    QLabel *m_page = nullptr;
    int m_current = 0;
    int m_painted = 0;
    long m_laidOutRows = 0; // the rows the pages were laid out for
};

} // namespace host
