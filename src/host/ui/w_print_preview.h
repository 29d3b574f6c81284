#pragma once

#include "host/ui/w_response.h"

#include <QPointer>

#include "platform/ui/DataWindowControl.h"

class QPrintPreviewWidget;
class QPrinter;

namespace host {

// The host's print preview: opened with a DataWindow control as its parameter, it shows the
// printed pages of that control and can print them or save them as a PDF.
class w_print_preview : public w_response
{
    Q_OBJECT
public:
    explicit w_print_preview(QWidget *parent = nullptr);
    ~w_print_preview() override;

    rt::ui::DataWindowControl *datawindow() const { return m_dw.data(); }
    int pageCount() const;
    // Saves the pages as a PDF; 1 or -1.
    int savePdf(const QString &file);

protected:
    void onOpen() override;

private:
    void paint(QPrinter *printer);
    void print();
    void saveWithDialog();

    QPointer<rt::ui::DataWindowControl> m_dw;
    QPrinter *m_printer = nullptr;
    QPrintPreviewWidget *m_preview = nullptr;
};

} // namespace host
