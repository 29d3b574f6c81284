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
class DwStoreRows;
}
namespace rt::ui {
class DwPrintRenderer;
}

namespace host {

// The host's print preview: opened with a DataWindow control as its parameter, it shows the
// printed pages of that control one at a time and can print them or save them as a PDF. The
// pages are laid out from row counts alone and only the page shown is painted, so a grid of any
// size opens its preview in the time of one page. Printing and PDF go page by page under a
// progress dialog that can be cancelled.
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
    // Saves the pages as a PDF, page by page; 1, or -1 (also when cancelled: no file is left).
    int savePdf(const QString &file);

    QPushButton *cb_first = nullptr, *cb_prior = nullptr, *cb_next = nullptr, *cb_last = nullptr;
    QSpinBox *sp_page = nullptr;
    QLabel *st_pages = nullptr;

protected:
    void onOpen() override;

private:
    void layoutPages();
    void print();
    void saveWithDialog();
    // Paints every page onto the device under a cancellable progress dialog; false with why.
    bool renderAll(QPagedPaintDevice &device, QString &error);

    QPointer<rt::ui::DataWindowControl> m_dw;
    QPrinter *m_printer = nullptr;
    std::unique_ptr<rt::DwStoreRows> m_rows;             // the grid's rows, read as pages need them
    std::unique_ptr<rt::ui::DwPrintRenderer> m_renderer; // laid out for the screen's page
    QScrollArea *m_area = nullptr;
    QLabel *m_page = nullptr;
    int m_current = 0;
    int m_painted = 0;
};

} // namespace host
