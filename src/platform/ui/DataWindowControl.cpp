#include "DataWindowControl.h"

#include "platform/core/Functions.h"
#include "DwExporter.h"
#include "DwFreeView.h"
#include "DwGridView.h"
#include "DwPrintRenderer.h"
#include "DwTableModel.h"
#include "DwTotalCounter.h"
#include "ReadAside.h"
#include "platform/dw/DwOnwardReader.h"
#include "Units.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QFileInfo>
#include <QPdfWriter>
#include <climits>
#include <QProgressDialog>
#include <QSaveFile>
#include <QPrinter>
#include <QResizeEvent>
#include <QTimer>

namespace rt::ui {

DataWindowControl::DataWindowControl(QWidget *parent) : QWidget(parent)
{
    m_ds.setDbErrorHandler([this](long code, const QString &text, const QString &sql, rt::DwBuffer, long row) {
        Q_EMIT dberror(code, text, sql, row);
    });
    m_model = new DwTableModel(m_ds, this);
    // Queued: the view asked for the page in the middle of its layout, and the operator is told
    // after it.
    connect(m_model, &DwTableModel::retrieveMoreFailed, this, &DataWindowControl::retrieveMoreFailed, Qt::QueuedConnection);
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
    layoutChildren();
    m_view->show();
}

void DataWindowControl::layoutChildren()
{
    QRect area = rect();
    if (m_rowsLine) {
        const int h = m_rowsLine->sizeHint().height();
        m_rowsLine->setGeometry(0, std::max(0, height() - h), width(), h);
        area.setHeight(std::max(0, height() - h));
    }
    if (m_view)
        m_view->setGeometry(area);
}

void DataWindowControl::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_countOnShow) {
        m_countOnShow = false;
        startCount();
        updateRowsLine();
    }
}

void DataWindowControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
    if (m_busy)
        m_busy->move((width() - m_busy->width()) / 2, (height() - m_busy->height()) / 2);
}

void DataWindowControl::endReset()
{
    rebuildPresentation();
    updateRowsLine();
}

void DataWindowControl::beginInsertRows(long, long count)
{
    m_pendingCount = count;
    m_pendingIsPage = m_ds.appendingPage();
}

void DataWindowControl::endInsertRows()
{
    if (!m_pendingIsPage && m_total >= 0)
        m_changedSinceCount += m_pendingCount;
    if (!m_pendingIsPage)
        queueRecount();
    updateRowsLine();
}

void DataWindowControl::queueRecount()
{
    // Rows left the grid or came back: what else the same operation did to rows not read yet
    // (a batch deletion, a cascade) only a count can tell. Meanwhile the total shown is the last
    // count adjusted by the grid's own changes.
    if (!m_counter || m_recountQueued || !m_ds.canRetrieveMore() || m_total < 0)
        return;
    m_recountQueued = true;
    // A moment later: the operation that removed the rows commits before it tells the operator.
    QTimer::singleShot(RecountDelayMs, this, [this]() {
        m_recountQueued = false;
        if (m_counter && m_ds.canRetrieveMore() && m_ds.transaction())
            m_counter->start(*m_ds.transaction(), m_ds.retrievedSelect(), m_ds.retrieveArguments());
    });
}

void DataWindowControl::beginRemoveRows(long, long count)
{
    m_pendingCount = count;
}

void DataWindowControl::endRemoveRows()
{
    if (m_total >= 0)
        m_changedSinceCount -= m_pendingCount;
    queueRecount();
    updateRowsLine();
}

void DataWindowControl::setRetrieveAsNeeded(long firstRows)
{
    m_ds.setRetrievePortion(firstRows);
    if (firstRows > 0 && !m_rowsLine) {
        m_rowsLine = new QLabel(this);
        m_rowsLine->setObjectName(QStringLiteral("rows_line"));
        m_rowsLine->setIndent(6);
        m_rowsLine->show();
        m_counter = new DwTotalCounter(this);
        connect(m_counter, &DwTotalCounter::counted, this, [this](long long total) {
            m_total = total;
            m_changedSinceCount = 0;
            m_countError.clear();
            updateRowsLine();
            Q_EMIT totalRowsChanged(totalRows());
        });
        connect(m_counter, &DwTotalCounter::failed, this, [this](const QString &text) {
            m_countError = text;
            updateRowsLine();
        });
    } else if (firstRows <= 0 && m_rowsLine) {
        delete m_rowsLine;
        m_rowsLine = nullptr;
        delete m_counter;
        m_counter = nullptr;
    }
    layoutChildren();
}

long long DataWindowControl::totalRows() const
{
    if (!m_ds.canRetrieveMore())
        return m_ds.RowCount();
    return m_total < 0 ? -1 : std::max<long long>(m_ds.RowCount(), m_total + m_changedSinceCount);
}

QString DataWindowControl::rowsText() const
{
    if (!m_rowsLine)
        return QString();
    const QString read = rt::fn::Grouped(m_ds.RowCount());
    if (!m_ds.canRetrieveMore())
        return QString::fromUtf8("共 %1 条").arg(read);
    if (!m_countError.isEmpty())
        return QString::fromUtf8("已读取 %1 条，总数未能统计：%2").arg(read, m_countError);
    const long long total = totalRows();
    if (total < 0)
        return QString::fromUtf8("已读取 %1 条，正在统计总数……").arg(read);
    return QString::fromUtf8("已读取 %1 条，共 %2 条").arg(read, rt::fn::Grouped(total));
}

void DataWindowControl::updateRowsLine()
{
    if (m_rowsLine)
        m_rowsLine->setText(rowsText());
}

void DataWindowControl::startCount()
{
    m_total = -1;
    m_changedSinceCount = 0;
    m_countError.clear();
    if (!m_counter)
        return;
    if (!m_ds.canRetrieveMore() || !m_ds.transaction()) {
        m_counter->stop();
        Q_EMIT totalRowsChanged(totalRows());
        return;
    }
    m_counter->start(*m_ds.transaction(), m_ds.retrievedSelect(), m_ds.retrieveArguments());
}

long DataWindowControl::withBusyCursor(const std::function<long()> &read)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer timer;
    timer.start();
    const long base = m_ds.RowCount();
    m_ds.setRetrieveProgress([this, &timer, base](long rows) {
        // After a moment, say how far it is and let the window repaint.
        if (timer.elapsed() < 400)
            return true;
        if (!m_busy) {
            m_busy = new QLabel(this);
            m_busy->setAutoFillBackground(true);
            m_busy->setFrameShape(QFrame::Box);
            m_busy->setMargin(8);
        }
        m_busy->setText(QString::fromUtf8("正在检索数据，已读取 %1 行……").arg(std::max(rows, base)));
        m_busy->adjustSize();
        m_busy->move((width() - m_busy->width()) / 2, (height() - m_busy->height()) / 2);
        m_busy->show();
        m_busy->raise();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    const long result = read();
    m_ds.setRetrieveProgress({});
    if (m_busy) {
        delete m_busy;
        m_busy = nullptr;
    }
    QApplication::restoreOverrideCursor();
    updateRowsLine();
    return result;
}

long DataWindowControl::RetrieveMore()
{
    return withBusyCursor([this]() { return m_ds.RetrieveMore(); });
}

long DataWindowControl::RetrieveAll()
{
    const long rows = withBusyCursor([this]() { return m_ds.RetrieveAll(); });
    if (rows >= 0)
        Q_EMIT totalRowsChanged(totalRows());
    return rows;
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
    const long rows = withBusyCursor([this]() { return m_ds.Retrieve(); });
    // Grids on pages not shown count when they are first shown: opening a category with
    // several grids starts one count, not one per grid.
    m_countOnShow = false;
    if (rows >= 0 && (isVisible() || !m_ds.canRetrieveMore())) {
        startCount();
    } else if (rows >= 0) {
        // The total of the rows before is no total of these.
        m_total = -1;
        m_changedSinceCount = 0;
        m_countError.clear();
        if (m_counter)
            m_counter->stop();
        m_countOnShow = true;
    }
    updateRowsLine();
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
    printer.setPageLayout(DwPrintRenderer::defaultPageLayout()); // the paper of the preview and the PDF
    return renderPages(printer, m_lastError) ? 1 : -1;
}

bool DataWindowControl::renderPages(QPagedPaintDevice &device, QString &errorText,
                                    const std::function<bool(int page, int pages)> &progress)
{
    DwPrintRenderer renderer(m_ds, title());
    renderer.setCurrentRowOnly(m_ds.definition().style != rt::DwStyle::Grid);
    // Every row: the unread ones read page by page and let go once painted, for a total
    // counted afresh. Told of progress, the count and the reads wait with the windows painted
    // and progress asked now and then, which may stop them (page -1: still counting).
    long long total = -1;
    if (progress && m_ds.canRetrieveMore() && m_counter && m_ds.transaction()) {
        m_countOnShow = false;
        m_countError.clear();
        m_counter->start(*m_ds.transaction(), m_ds.retrievedSelect(), m_ds.retrieveArguments());
        if (!m_counter->waitPainted([&progress]() { return progress(-1, 0); })) {
            errorText = QStringLiteral("cancelled");
            return false;
        }
        total = waitForTotal(false);
    } else {
        total = waitForTotal(true);
    }
    if (total < 0) {
        errorText = QString::fromUtf8("无法统计要输出的行数：") + m_countError;
        return false;
    }
    rt::DwOnwardReader rows(m_ds, long(total));
    int page = 0, pages = 0;
    bool stopped = false;
    std::unique_ptr<ReadAside> aside;
    if (progress && m_ds.canRetrieveMore() && m_ds.transaction()) {
        // On a connection of their own, on another thread: a page of a grid sorted by a column
        // without an index makes the database sort every row before the first comes.
        aside = std::make_unique<ReadAside>(*m_ds.transaction());
        if (rt::Transaction *own = aside->transaction()) {
            rows.setReading(own, [&](const std::function<bool()> &read) {
                return aside->run(read, [&]() { return !(stopped = !progress(page, pages)); });
            });
        }
    }
    renderer.setRows(&rows);
    const bool rendered = renderer.render(device, errorText, [&](int at, int of) {
        page = at;
        pages = of;
        return !progress || progress(at, of);
    });
    if (!rendered && stopped)
        errorText = QStringLiteral("cancelled"); // not the statement's own words for it
    return rendered;
}

long long DataWindowControl::waitForTotal(bool fresh)
{
    m_countOnShow = false;
    if (m_ds.canRetrieveMore() && m_counter && (fresh || m_total < 0)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (fresh) {
            // Rows deleted a moment ago by anyone are not to be laid out as pages.
            m_countError.clear();
            m_counter->start(*m_ds.transaction(), m_ds.retrievedSelect(), m_ds.retrieveArguments());
        }
        m_counter->waitForFinished();
        if (m_total < 0) {
            // None was running (the grid was read while hidden), or the last one failed: again.
            startCount();
            m_counter->waitForFinished();
        }
        QApplication::restoreOverrideCursor();
    }
    return totalRows();
}

int DataWindowControl::SaveAs(const QString &file, const QString &type)
{
    return SaveAs(file, type, {});
}

int DataWindowControl::SaveAs(const QString &file, const QString &type, const std::function<bool(int done, int of)> &progress)
{
    const QString t = type.toLower();
    if (t == QLatin1String("csv")) {
        rt::DwOnwardReader rows(m_ds);
        std::function<bool(long)> written;
        if (progress)
            written = [&progress](long n) { return progress(int(std::min<long>(n, INT_MAX)), 0); };
        return DwExporter::saveCsv(rows, file, m_lastError, written) ? 1 : -1;
    }
    if (t == QLatin1String("pdf")) {
        // Personal data: written into a temporary file made the owner's alone before the first
        // page (DwExporter::ownerOnly), which replaces the file only once complete; a failed or
        // cancelled PDF leaves nothing, and a file it would have replaced as it was.
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) || !DwExporter::ownerOnly(out)) {
            m_lastError = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
            return -1;
        }
        bool ok = false;
        {
            QPdfWriter pdf(&out);
            pdf.setResolution(150);
            pdf.setTitle(title());
            pdf.setPageLayout(DwPrintRenderer::defaultPageLayout()); // the paper of the preview and print
            ok = renderPages(pdf, m_lastError, progress);
        }
        if (!ok) {
            out.cancelWriting();
            return -1;
        }
        if (!out.commit()) {
            m_lastError = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
            return -1;
        }
        return 1;
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
    // The name's ending decides; a name without one takes the ending of the kind chosen.
    const QString suffix = QFileInfo(file).suffix().toLower();
    const bool pdf = suffix == QLatin1String("pdf") || (suffix != QLatin1String("csv") && selected.contains(QLatin1String("*.pdf")));
    QString target = file;
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("csv"))
        target += pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv");
    // A large grid takes a while: after half a second a progress dialog says how far the export
    // has come, and its 取消 stops it, leaving no file (and a file it would have replaced as it
    // was).
    QProgressDialog progress(QString(), QString::fromUtf8("取消"), 0, 0, this);
    progress.setObjectName(QStringLiteral("export_progress"));
    progress.setWindowTitle(QString::fromUtf8("数据导出"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    bool ok = false;
    if (pdf) {
        ok = SaveAs(target, QStringLiteral("pdf"), [&](int page, int pages) {
            progress.setMaximum(pages);
            progress.setLabelText(QString::fromUtf8("正在导出：第 %1 页，共 %2 页").arg(rt::fn::Grouped(page), rt::fn::Grouped(pages)));
            progress.setValue(page - 1);
            return !progress.wasCanceled();
        }) == 1;
    } else {
        const long long total = totalRows();
        ok = SaveAs(target, QStringLiteral("csv"), [&](int written, int) {
            if (total > 0)
                progress.setMaximum(int(std::min<long long>(total, INT_MAX)));
            progress.setLabelText(total > 0 ? QString::fromUtf8("正在导出：已写入 %1 条，共 %2 条")
                                                  .arg(rt::fn::Grouped(written), rt::fn::Grouped(total))
                                            : QString::fromUtf8("正在导出：已写入 %1 条").arg(rt::fn::Grouped(written)));
            progress.setValue(total > 0 ? int(std::min<long long>(written, total)) : 0);
            return !progress.wasCanceled();
        }) == 1;
    }
    if (!ok && m_lastError == QLatin1String("cancelled"))
        return 0;
    return ok ? 1 : -1;
}

} // namespace rt::ui
