#include "host/ui/w_print_preview.h"

#include "platform/ui/DataWindowControl.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DwPageRows.h"
#include "platform/ui/DwExporter.h"
#include "platform/ui/DwPrintRenderer.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/ReadAside.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace host {

w_print_preview::w_print_preview(QWidget *parent) : w_response(QStringLiteral("w_print_preview"), parent)
{
    setTitle(QString::fromUtf8("打印预览"));
    m_printer = new QPrinter(QPrinter::HighResolution);
    m_printer->setPageLayout(rt::ui::DwPrintRenderer::defaultPageLayout());
    auto *printButton = new QPushButton(QString::fromUtf8("打印(&P)..."), client());
    auto *pdfButton = new QPushButton(QString::fromUtf8("保存为 PDF(&S)..."), client());
    auto *closeButton = new QPushButton(QString::fromUtf8("关闭(&C)"), client());
    // Alt and a letter turns the pages from anywhere in the window, the page number too.
    cb_first = new QPushButton(QString::fromUtf8("首页(&F)"), client());
    cb_prior = new QPushButton(QString::fromUtf8("上一页(&B)"), client());
    cb_next = new QPushButton(QString::fromUtf8("下一页(&N)"), client());
    cb_last = new QPushButton(QString::fromUtf8("末页(&L)"), client());
    sp_page = new QSpinBox(client());
    sp_page->setMinimum(1);
    sp_page->setKeyboardTracking(false); // a page number typed is taken on Enter, not digit by digit
    st_pages = new QLabel(client());
    connect(printButton, &QPushButton::clicked, this, &w_print_preview::print);
    connect(pdfButton, &QPushButton::clicked, this, &w_print_preview::saveWithDialog);
    connect(closeButton, &QPushButton::clicked, this, [this]() { Close(); });
    connect(cb_first, &QPushButton::clicked, this, [this]() { showPage(0); });
    connect(cb_prior, &QPushButton::clicked, this, [this]() { showPage(m_current - 1); });
    connect(cb_next, &QPushButton::clicked, this, [this]() { showPage(m_current + 1); });
    connect(cb_last, &QPushButton::clicked, this, [this]() { showPage(pageCount() - 1); });
    connect(sp_page, &QSpinBox::valueChanged, this, [this](int page) { showPage(page - 1); });
    // Tab goes along the row as it is seen (the widgets were made in another order).
    QWidget *previous = printButton;
    for (QWidget *w : std::initializer_list<QWidget *>{pdfButton, cb_first, cb_prior, sp_page, cb_next, cb_last, closeButton}) {
        setTabOrder(previous, w);
        previous = w;
    }
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addWidget(pdfButton);
    buttons->addSpacing(24);
    for (QWidget *w : std::initializer_list<QWidget *>{cb_first, cb_prior, sp_page, st_pages, cb_next, cb_last})
        buttons->addWidget(w);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    m_page = new QLabel;
    m_page->setAlignment(Qt::AlignCenter);
    m_area = new QScrollArea(client());
    m_area->setWidget(m_page);
    m_area->setWidgetResizable(true);
    m_area->setBackgroundRole(QPalette::Dark);
    auto *layout = new QVBoxLayout(client());
    layout->addLayout(buttons);
    layout->addWidget(m_area, 1);
    setUnitsSize(3600, 2600);
}

w_print_preview::~w_print_preview()
{
    m_renderer.reset();
    m_rows.reset();
    m_aside.reset();
    delete m_printer;
}

void w_print_preview::onOpen()
{
    m_dw = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (!m_dw)
        return;
    setTitle(QString::fromUtf8("打印预览 - %1").arg(m_dw->title()));
    // Page breaks come from row counts and heights alone: nothing is painted yet. A grid still
    // reading is laid out for its total once that is counted; the rows of a page shown are read
    // into the grid as scrolling would read them.
    m_renderer = std::make_unique<rt::ui::DwPrintRenderer>(m_dw->dataStore(), m_dw->title());
    m_renderer->setCurrentRowOnly(m_dw->dataStore().definition().style != rt::DwStyle::Grid);
    m_rows = std::make_unique<rt::DwPageRows>(m_dw->dataStore(), long(m_dw->totalRows()));
    if (m_dw->canRetrieveMore() && m_dw->dataStore().transaction()) {
        // Pages the grid has not read come on a connection of their own, on another thread: the
        // window stays painted, and 取消 stops a read that takes long.
        m_aside = std::make_unique<rt::ui::ReadAside>(*m_dw->dataStore().transaction());
        if (rt::Transaction *own = m_aside->transaction()) {
            m_rows->setReading(own, [this](const std::function<bool()> &read) {
                return m_aside->runWithProgress(read, this, QString::fromUtf8("打印预览"),
                                                QString::fromUtf8("正在读取要预览的记录……"), m_cancelled);
            });
        }
    }
    m_renderer->setRows(m_rows.get());
    connect(m_dw, &rt::ui::DataWindowControl::totalRowsChanged, this, [this](long long total) {
        m_rows->setTotal(long(total));
        layoutPages();
    });
    m_current = -1;
    layoutPages();
}

void w_print_preview::layoutPages()
{
    layoutOnly();
    const int shown = std::max(0, m_current);
    m_current = -1;
    showPage(shown);
}

void w_print_preview::layoutOnly()
{
    m_renderer->layout(m_printer->pageLayout());
    m_laidOutRows = m_rows ? m_rows->rowCount() : 0;
    sp_page->setMaximum(std::max(1, pageCount()));
    const bool counting = m_dw && m_dw->canRetrieveMore() && m_dw->totalRows() < 0;
    st_pages->setText(counting ? QString::fromUtf8("已排 %1 页，正在统计总页数……").arg(pageCount())
                               : QString::fromUtf8("共 %1 页").arg(pageCount()));
}

std::pair<long, long> w_print_preview::rowsOf(int page) const
{
    return m_renderer ? m_renderer->rowsOf(page) : std::pair<long, long>{1, 0};
}

int w_print_preview::pageCount() const
{
    return m_renderer ? m_renderer->pageCount() : 0;
}

void w_print_preview::showPage(int index)
{
    if (!m_renderer || pageCount() == 0)
        return;
    index = std::clamp(index, 0, pageCount() - 1);
    if (index == m_current)
        return;
    // The rows of a page the grid has not read are read first; that may take a moment.
    const auto [first, last] = m_renderer->rowsOf(index);
    if (m_dw && m_dw->dataStore().definition().style == rt::DwStyle::Grid && !m_rows->holds(first, last)) {
        QString error;
        m_cancelled = false;
        if (!m_rows->hold(first, last, error)) {
            if (!m_cancelled)
                rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("读取要预览的记录失败：") + error,
                                   rt::ui::MsgIcon::StopSign);
            const QSignalBlocker quiet(sp_page);
            sp_page->setValue(std::max(0, m_current) + 1); // the page shown stays
            return;
        }
        if (m_rows->rowCount() != m_laidOutRows) {
            // The grid has read to its end on the way (a filter kept in memory has no place to
            // read at): its rows are now known, and the pages are laid out for them.
            layoutOnly();
            index = std::min(index, pageCount() - 1);
        }
    }
    m_current = index;
    const QImage image = m_renderer->sheet(index, m_printer->pageLayout(), PreviewDpi);
    ++m_painted;
    if (!m_renderer->rowsError().isEmpty()) {
        const QString error = m_renderer->rowsError();
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("读取要预览的记录失败：") + error,
                           rt::ui::MsgIcon::StopSign);
    }
    m_page->setPixmap(QPixmap::fromImage(image));
    const QSignalBlocker quiet(sp_page);
    sp_page->setValue(index + 1);
    cb_first->setEnabled(index > 0);
    cb_prior->setEnabled(index > 0);
    cb_next->setEnabled(index < pageCount() - 1);
    cb_last->setEnabled(index < pageCount() - 1);
}

bool w_print_preview::renderAll(QPagedPaintDevice &device, QString &error)
{
    if (!m_dw)
        return false;
    QProgressDialog progress(QString::fromUtf8("正在输出…"), QString::fromUtf8("取消"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    return m_dw->renderPages(device, error, [&](int page, int pages) {
        progress.setMaximum(std::max(pages, 0));
        progress.setValue(std::max(page, 0));
        progress.setLabelText(page < 0 ? QString::fromUtf8("正在统计要输出的页数…")
                                       : QString::fromUtf8("正在输出第 %1 页，共 %2 页…").arg(page + 1).arg(pages));
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
}

int w_print_preview::savePdf(const QString &file)
{
    if (!m_dw)
        return -1;
    // Personal data: written into a temporary file made the owner's alone before the first page
    // (DwExporter::ownerOnly), which replaces the file only once complete; a cancelled or failed
    // PDF is no PDF, and a file it would have replaced stays as it was.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !rt::ui::DwExporter::ownerOnly(out))
        return -1;
    QString error;
    bool ok = false;
    {
        QPdfWriter pdf(&out);
        pdf.setResolution(150);
        pdf.setTitle(m_dw->title());
        pdf.setPageLayout(m_printer->pageLayout()); // the pages the preview shows
        ok = renderAll(pdf, error);
    }
    if (!ok) {
        out.cancelWriting();
        return -1;
    }
    return out.commit() ? 1 : -1;
}

void w_print_preview::print()
{
    QPrintDialog dialog(m_printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printPages();
}

int w_print_preview::printPages()
{
    if (!m_dw)
        return -1;
    // The paper may have changed in the print dialog: the preview shows what is printed.
    layoutPages();
    QString error;
    if (renderAll(*m_printer, error))
        return 1;
    if (error == QLatin1String("cancelled"))
        return 0;
    rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("打印失败：%1").arg(error));
    return -1;
}

void w_print_preview::saveWithDialog()
{
    const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8("保存为 PDF"), QString(),
                                                      QString::fromUtf8("PDF 文件 (*.pdf)"));
    if (file.isEmpty())
        return;
    if (savePdf(file) != 1)
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("没有保存 PDF：输出失败或已取消。"));
}

} // namespace host
