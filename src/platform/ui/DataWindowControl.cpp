#include "DataWindowControl.h"

#include "DwExporter.h"
#include "DwFreeView.h"
#include "DwGridView.h"
#include "DwPrintRenderer.h"
#include "DwTableModel.h"
#include "Units.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QPdfWriter>
#include <QPrinter>
#include <QResizeEvent>

namespace rt::ui {

DataWindowControl::DataWindowControl(QWidget *parent) : QWidget(parent)
{
    m_ds.setDbErrorHandler([this](long code, const QString &text, const QString &sql, rt::DwBuffer, long row) {
        Q_EMIT dberror(code, text, sql, row);
    });
    m_model = new DwTableModel(m_ds, this);
    m_ds.addObserver(this);
    rebuildPresentation();
}

DataWindowControl::~DataWindowControl()
{
    m_ds.removeObserver(this);
    delete m_view;
    m_view = nullptr;
    delete m_model;
}

void DataWindowControl::rebuildPresentation()
{
    // A control without an object (or with an empty one) shows nothing rather than an empty grid.
    const rt::DwStyle style = m_ds.definition().objectCount() == 0 ? rt::DwStyle::Drawing : m_ds.definition().style;
    if (m_haveView && style == m_style) {
        if (m_grid)
            m_grid->applyDefinition();
        else if (m_view)
            m_view->update();
        return;
    }
    delete m_view;
    m_view = nullptr;
    m_grid = nullptr;
    m_style = style;
    m_haveView = true;
    if (style == rt::DwStyle::Grid) {
        m_grid = new DwGridView(this, m_model);
        m_view = m_grid;
    } else {
        m_view = new DwFreeView(this);
    }
    m_view->setGeometry(rect());
    m_view->show();
}

void DataWindowControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
    if (m_busy)
        m_busy->move((width() - m_busy->width()) / 2, (height() - m_busy->height()) / 2);
}

void DataWindowControl::endReset()
{
    rebuildPresentation();
}

void DataWindowControl::propertiesChanged()
{
    // A Modify repaints at once with the new properties.
    if (m_grid)
        m_grid->applyDefinition();
    else if (m_view)
        m_view->update();
}

void DataWindowControl::currentRowChanged(long row)
{
    if (m_grid)
        m_grid->showCurrentRow(row);
    else if (m_view)
        m_view->update();
    Q_EMIT rowfocuschanged(row);
}

int DataWindowControl::SetDataObject(const QString &name)
{
    m_clickedColumn = 0;
    return m_ds.SetDataObject(name);
}

int DataWindowControl::Create(const QString &syntax, QString &errors)
{
    m_clickedColumn = 0;
    return m_ds.Create(syntax, errors);
}

long DataWindowControl::Retrieve()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer timer;
    timer.start();
    m_ds.setRetrieveProgress([this, &timer](long rows) {
        // After a moment, say how far it is and let the window repaint.
        if (timer.elapsed() < 400)
            return true;
        if (!m_busy) {
            m_busy = new QLabel(this);
            m_busy->setAutoFillBackground(true);
            m_busy->setFrameShape(QFrame::Box);
            m_busy->setMargin(8);
        }
        m_busy->setText(QString::fromUtf8("正在检索数据，已读取 %1 行……").arg(rows));
        m_busy->adjustSize();
        m_busy->move((width() - m_busy->width()) / 2, (height() - m_busy->height()) / 2);
        m_busy->show();
        m_busy->raise();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    const long rows = m_ds.Retrieve();
    m_ds.setRetrieveProgress({});
    if (m_busy) {
        delete m_busy;
        m_busy = nullptr;
    }
    QApplication::restoreOverrideCursor();
    return rows;
}

void DataWindowControl::setUnitsGeometry(int x, int y, int width, int height)
{
    setGeometry(Units::toPixels(x, y, std::max(0, width), std::max(0, height)));
}

int DataWindowControl::X() const
{
    return Units::fromPixelsX(x());
}
int DataWindowControl::Y() const
{
    return Units::fromPixelsY(y());
}
int DataWindowControl::Width() const
{
    return Units::fromPixelsX(width());
}
int DataWindowControl::Height() const
{
    return Units::fromPixelsY(height());
}
void DataWindowControl::setX(int v)
{
    move(Units::toPixelsX(v), y());
}
void DataWindowControl::setY(int v)
{
    move(x(), Units::toPixelsY(v));
}
void DataWindowControl::setWidth(int v)
{
    resize(Units::toPixelsX(std::max(0, v)), height());
}
void DataWindowControl::setHeight(int v)
{
    resize(width(), Units::toPixelsY(std::max(0, v)));
}

void DataWindowControl::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
    if (on)
        update();
}

int DataWindowControl::SelectRow(long row, bool select)
{
    return m_model->selectRow(row, select);
}

bool DataWindowControl::IsSelected(long row) const
{
    return m_model->isSelected(row);
}

QString DataWindowControl::title() const
{
    const QString t = m_ds.definition().prop(QStringLiteral("title"));
    return t.isEmpty() ? m_ds.DataObject() : t;
}

int DataWindowControl::Print()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!printer.isValid()) {
        m_lastError = QString::fromUtf8("没有可用的打印机");
        return -1;
    }
    DwPrintRenderer renderer(m_ds, title());
    renderer.setCurrentRowOnly(m_ds.definition().style != rt::DwStyle::Grid);
    return renderer.render(printer, m_lastError) ? 1 : -1;
}

int DataWindowControl::SaveAs(const QString &file, const QString &type)
{
    const QString t = type.toLower();
    if (t == QLatin1String("csv"))
        return DwExporter::saveCsv(m_ds, file, m_lastError) ? 1 : -1;
    if (t == QLatin1String("pdf")) {
        QPdfWriter pdf(file);
        pdf.setResolution(150);
        pdf.setTitle(title());
        DwPrintRenderer renderer(m_ds, title());
        renderer.setCurrentRowOnly(m_ds.definition().style != rt::DwStyle::Grid);
        return renderer.render(pdf, m_lastError) ? 1 : -1;
    }
    m_lastError = QStringLiteral("unknown SaveAs type %1").arg(type);
    return -1;
}

int DataWindowControl::saveAsWithDialog()
{
    QString selected;
    const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8("另存为"), title(),
                                                      QString::fromUtf8("CSV 文件 (*.csv);;PDF 文件 (*.pdf)"), &selected);
    if (file.isEmpty())
        return 0;
    return SaveAs(file, file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? QStringLiteral("pdf")
                                                                                    : QStringLiteral("csv"));
}

} // namespace rt::ui
