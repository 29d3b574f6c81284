#pragma once

#include <QList>
#include <functional>
#include <QRect>
#include <QString>

class QPagedPaintDevice;
class QPainter;

#include <memory>

namespace rt {
class DataStore;
class DwRowSource;
}

namespace rt::ui {

// The printed form of a DataWindow, for printing, print preview and PDF export. A grid prints
// its title, the column captions on every page and the rows, with page numbers; columns that do
// not fit the paper width continue on following pages. A form prints one row per page at its
// layout (only the current row when asked).
class DwPrintRenderer
{
public:
    DwPrintRenderer(const rt::DataStore &store, QString title);
    ~DwPrintRenderer();

    // Where a grid's rows come from (not owned): by default the rows the store holds. A source
    // that knows more rows than the store holds (a grid still reading) lays out pages for all.
    void setRows(rt::DwRowSource *rows);
    // Why the rows of the last page painted could not all be read, "" when they were.
    const QString &rowsError() const { return m_rowsError; }
    void setCurrentRowOnly(bool on) { m_currentRowOnly = on; }
    // Lays out pages for a page of this size in device pixels at this resolution (dots per inch).
    void layout(const QSize &page, int dpi);
    int pageCount() const { return int(m_pages.size()); }
    void paintPage(QPainter &painter, int pageIndex) const;
    // Lays out for the device and paints every page onto it, one after the other; false with
    // errorText on failure. progress, when given, is told each page before it is painted (page,
    // pages) and stops the painting by answering false (errorText then says it was cancelled).
    bool render(QPagedPaintDevice &device, QString &errorText,
                const std::function<bool(int page, int pages)> &progress = {});

private:
    struct Page
    {
        long firstRow = 1, lastRow = 0;
        int firstColumn = 0, lastColumn = -1; // indexes into m_columns
    };
    double scale() const { return m_dpi / 96.0; }
    void paintGridPage(QPainter &p, const Page &page, int number) const;
    void paintFormPage(QPainter &p, const Page &page, int number) const;
    void paintFooter(QPainter &p, int number) const;

    const rt::DataStore &m_ds;
    std::unique_ptr<rt::DwRowSource> m_ownRows;
    rt::DwRowSource *m_rows = nullptr;
    mutable QString m_rowsError;
    QString m_title;
    bool m_currentRowOnly = false;
    QSize m_page;
    int m_dpi = 96;
    QList<int> m_columns;        // visible columns
    QList<Page> m_pages;
    int m_rowHeight = 0, m_headerHeight = 0, m_titleHeight = 0, m_footerHeight = 0, m_margin = 0;
};

} // namespace rt::ui
