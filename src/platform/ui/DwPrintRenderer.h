#pragma once

#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

class QPagedPaintDevice;
class QPainter;

namespace rt {
class DataStore;
class DwRowSource;
}

namespace rt::ui {

// The printed form of a DataWindow, for printing, print preview and PDF export. A grid prints
// its title, the column captions on every page and the rows, with page numbers; columns that do
// not fit the paper width continue on following pages. A form prints one row per page at its
// layout (only the current row when asked).
//
// Pages are laid out by one rule whatever they are painted on: on the printable area of the
// paper (the page layout's paper less its margins), measured in layout pixels of 96 to the inch.
// A printer, a PDF and the preview's screen image given the same page layout have the same
// pages; painting scales to the device's resolution.
class DwPrintRenderer
{
public:
    static constexpr int LayoutDpi = 96;
    // The paper of print preview, printing and PDF unless the operator chooses another in the
    // print dialog: A4 landscape, 10 mm margins.
    static QPageLayout defaultPageLayout();

    DwPrintRenderer(const rt::DataStore &store, QString title);
    ~DwPrintRenderer();

    // Where a grid's rows come from (not owned): by default the rows the store holds. A source
    // that knows more rows than the store holds (a grid still reading) lays out pages for all.
    void setRows(rt::DwRowSource *rows);
    // Why the rows of the last page painted could not all be read, "" when they were.
    const QString &rowsError() const { return m_rowsError; }
    void setCurrentRowOnly(bool on) { m_currentRowOnly = on; }
    // Lays out pages for the printable area of this paper.
    void layout(const QPageLayout &paper);
    // Lays out pages for a printable area of this size in layout pixels.
    void layout(const QSize &area);
    int pageCount() const { return int(m_pages.size()); }
    // The rows a page shows, first..last (last < first for a page without rows).
    std::pair<long, long> rowsOf(int pageIndex) const;
    // Paints a page with the painter's origin at the top left of the printable area, scaled to
    // the resolution of the painter's device (its logical dots per inch).
    void paintPage(QPainter &painter, int pageIndex) const;
    // A page on its whole sheet of paper, margins included, as an image of dpi dots per inch:
    // what the preview shows.
    QImage sheet(int pageIndex, const QPageLayout &paper, int dpi) const;
    // Lays out for the device's page layout and paints every page onto it, one after the other;
    // false with errorText on failure. progress, when given, is told each page before it is
    // painted (page, pages) and stops the painting by answering false (errorText then says it
    // was cancelled).
    bool render(QPagedPaintDevice &device, QString &errorText,
                const std::function<bool(int page, int pages)> &progress = {});

private:
    struct Page
    {
        long firstRow = 1, lastRow = 0;
        int firstColumn = 0, lastColumn = -1; // indexes into m_columns
    };
    void paintGridPage(QPainter &p, const Page &page, int number) const;
    void paintFormPage(QPainter &p, const Page &page, int number) const;
    void paintFooter(QPainter &p, int number) const;
    // A font of the runtime at its point size on the device painted on.
    QFont font(const QString &face, int points, bool bold = false) const;

    const rt::DataStore &m_ds;
    std::unique_ptr<rt::DwRowSource> m_ownRows;
    rt::DwRowSource *m_rows = nullptr;
    mutable QString m_rowsError;
    QString m_title;
    bool m_currentRowOnly = false;
    QSize m_page;               // the printable area, in layout pixels
    mutable double m_fontScale = 1.0; // point sizes for the painter's device, scaled as it is
    QList<int> m_columns;        // visible columns
    QList<Page> m_pages;
    int m_rowHeight = 0, m_headerHeight = 0, m_titleHeight = 0, m_footerHeight = 0;
};

} // namespace rt::ui
