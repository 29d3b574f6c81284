#include "host/ui/w_print_preview.h"

#include "platform/ui/DataWindowControl.h"
#include "platform/ui/DwPrintRenderer.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace host {

w_print_preview::w_print_preview(QWidget *parent) : w_response(QStringLiteral("w_print_preview"), parent)
{
    setTitle(QString::fromUtf8("打印预览"));
    m_printer = new QPrinter(QPrinter::ScreenResolution);
    m_printer->setPageOrientation(QPageLayout::Landscape);
    m_preview = new QPrintPreviewWidget(m_printer, client());
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &w_print_preview::paint);
    auto *printButton = new QPushButton(QString::fromUtf8("打印(&P)..."), client());
    auto *pdfButton = new QPushButton(QString::fromUtf8("保存为 PDF(&S)..."), client());
    auto *closeButton = new QPushButton(QString::fromUtf8("关闭(&C)"), client());
    connect(printButton, &QPushButton::clicked, this, &w_print_preview::print);
    connect(pdfButton, &QPushButton::clicked, this, &w_print_preview::saveWithDialog);
    connect(closeButton, &QPushButton::clicked, this, [this]() { Close(); });
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addWidget(pdfButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(client());
    layout->addLayout(buttons);
    layout->addWidget(m_preview, 1);
    setUnitsSize(3600, 2600);
}

w_print_preview::~w_print_preview()
{
    delete m_preview;
    delete m_printer;
}

void w_print_preview::onOpen()
{
    m_dw = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (m_dw)
        setTitle(QString::fromUtf8("打印预览 - %1").arg(m_dw->title()));
    m_preview->updatePreview();
}

void w_print_preview::paint(QPrinter *printer)
{
    if (!m_dw)
        return;
    rt::ui::DwPrintRenderer renderer(m_dw->dataStore(), m_dw->title());
    renderer.setCurrentRowOnly(m_dw->dataStore().definition().style != rt::DwStyle::Grid);
    QString error;
    if (!renderer.render(*printer, error))
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("打印失败：%1").arg(error));
}

int w_print_preview::pageCount() const
{
    return m_preview->pageCount();
}

int w_print_preview::savePdf(const QString &file)
{
    if (!m_dw)
        return -1;
    return m_dw->SaveAs(file, QStringLiteral("pdf"));
}

void w_print_preview::print()
{
    QPrintDialog dialog(m_printer, this);
    if (dialog.exec() == QDialog::Accepted)
        m_preview->print();
}

void w_print_preview::saveWithDialog()
{
    const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8("保存为 PDF"), QString(),
                                                      QString::fromUtf8("PDF 文件 (*.pdf)"));
    if (file.isEmpty())
        return;
    if (savePdf(file) != 1)
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("保存失败：%1").arg(m_dw ? m_dw->lastError() : QString()));
}

} // namespace host
