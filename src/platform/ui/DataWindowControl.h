#pragma once

#include "platform/dw/DataStore.h"
#include "platform/dw/DataStoreObserver.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPagedPaintDevice;

namespace rt::ui {

class DwGridView;
class DwTableModel;

// The visual DataWindow control: a widget over an engine DataStore it owns. The presentation
// (grid, form or drawing) follows the object's style; the operations are the DataStore's.
class DataWindowControl : public QWidget, private rt::DataStoreObserver
{
    Q_OBJECT
public:
    explicit DataWindowControl(QWidget *parent = nullptr);
    ~DataWindowControl() override;

    rt::DataStore &dataStore() { return m_ds; }
    const rt::DataStore &dataStore() const { return m_ds; }

    // Position and size in units.
    void setUnitsGeometry(int x, int y, int width, int height);
    int X() const;
    int Y() const;
    int Width() const;
    int Height() const;
    void setX(int x);
    void setY(int y);
    void setWidth(int width);
    void setHeight(int height);

    int SetDataObject(const QString &name);
    QString DataObject() const { return m_ds.DataObject(); }
    int Create(const QString &syntax, QString &errors);
    int SetTransObject(rt::Transaction *t) { return m_ds.SetTransObject(t); }
    // Shows that it is working: a busy cursor, and a row count for anything longer than a moment.
    long Retrieve();
    // Retrieve as needed: the first rows at once, the next ones as the grid is scrolled (see
    // DataStore::setRetrievePortion). A line under the grid then tells the rows read and the
    // total, which is counted off the user-interface thread and shown when it is known.
    void setRetrieveAsNeeded(long firstRows);
    bool canRetrieveMore() const { return m_ds.canRetrieveMore(); }
    // The next page, or every row still unread (a busy cursor, and a count after a moment);
    // the rows read, or -1 with lastError() and the rows before kept.
    long RetrieveMore();
    long RetrieveAll();
    // The rows of the last retrieve as counted in the database, adjusted for rows removed or
    // put back since; -1 while not known.
    long long totalRows() const;
    // The total, counted now if it is not known yet, or counted again when fresh (a busy
    // cursor meanwhile); -1 when the count failed.
    long long waitForTotal(bool fresh = false);
    // The text of the line under the grid ("" when the grid retrieves everything at once).
    QString rowsText() const;
    static constexpr int RecountDelayMs = 1000;
    int Reset() { return m_ds.Reset(); }
    long RowCount() const { return m_ds.RowCount(); }
    long InsertRow(long before) { return m_ds.InsertRow(before); }
    int DeleteRow(long row) { return m_ds.DeleteRow(row); }
    int RowsCopy(long start, long end, rt::DwBuffer from, rt::DataStore &target, long before, rt::DwBuffer to)
    {
        return m_ds.RowsCopy(start, end, from, target, before, to);
    }
    int RowsMove(long start, long end, rt::DwBuffer from, rt::DataStore &target, long before, rt::DwBuffer to)
    {
        return m_ds.RowsMove(start, end, from, target, before, to);
    }
    int RowsDiscard(long start, long end, rt::DwBuffer buffer) { return m_ds.RowsDiscard(start, end, buffer); }
    long DeletedCount() const { return m_ds.DeletedCount(); }
    QString GetItemString(long row, const rt::DwCol &col) const { return m_ds.GetItemString(row, col); }
    rt::Value GetItem(long row, const rt::DwCol &col, rt::DwBuffer b = rt::DwBuffer::Primary, bool original = false) const
    {
        return m_ds.GetItem(row, col, b, original);
    }
    rt::Value GetItemNumber(long row, const rt::DwCol &col) const { return m_ds.GetItemNumber(row, col); }
    rt::Value GetItemDecimal(long row, const rt::DwCol &col) const { return m_ds.GetItemDecimal(row, col); }
    rt::Value GetItemDate(long row, const rt::DwCol &col) const { return m_ds.GetItemDate(row, col); }
    rt::Value GetItemDateTime(long row, const rt::DwCol &col) const { return m_ds.GetItemDateTime(row, col); }
    rt::Value GetItemTime(long row, const rt::DwCol &col) const { return m_ds.GetItemTime(row, col); }
    int SetItem(long row, const rt::DwCol &col, const rt::Value &v) { return m_ds.SetItem(row, col, v); }
    rt::DwItemStatus GetItemStatus(long row, int col, rt::DwBuffer b) const { return m_ds.GetItemStatus(row, col, b); }
    int SetItemStatus(long row, int col, rt::DwBuffer b, rt::DwItemStatus s) { return m_ds.SetItemStatus(row, col, b, s); }
    long GetRow() const { return m_ds.GetRow(); }
    int SetRow(long row) { return m_ds.SetRow(row); }
    int ScrollToRow(long row) { return m_ds.ScrollToRow(row); }
    QString GetSQLSelect() const { return m_ds.GetSQLSelect(); }
    int SetSQLSelect(const QString &s) { return m_ds.SetSQLSelect(s); }
    QString Describe(const QString &e) const { return m_ds.Describe(e); }
    QString Modify(const QString &e) { return m_ds.Modify(e); }
    int Update(bool accept = true, bool resetFlags = true) { return m_ds.Update(accept, resetFlags); }
    int ResetUpdate() { return m_ds.ResetUpdate(); }
    int SetSort(const QString &f) { return m_ds.SetSort(f); }
    int Sort() { return m_ds.Sort(); }
    int SetFilter(const QString &f) { return m_ds.SetFilter(f); }
    int Filter() { return m_ds.Filter(); }
    void SetRedraw(bool on);

    // Row selection (highlight), independent of the current row.
    int SelectRow(long row, bool select);
    bool IsSelected(long row) const;
    // The column of the last click, 0 when it was not on a column.
    int GetClickedColumn() const { return m_clickedColumn; }
    void setClickedColumn(int column) { m_clickedColumn = column; }

    // Prints through the system's printing (without a dialog); 1 or -1.
    int Print();
    // Lays out and paints every row's pages onto the device (rows not read yet included, for a
    // total counted afresh); progress as DwPrintRenderer::render has it. False with errorText.
    bool renderPages(QPagedPaintDevice &device, QString &errorText,
                     const std::function<bool(int page, int pages)> &progress = {});
    // Saves the rows: "csv" (UTF-8 with a byte-order mark) or "pdf" (the printed form). 1 or -1
    // with lastError().
    int SaveAs(const QString &file, const QString &type);
    // The same, telling progress as it goes: (rows written, 0) for CSV after each portion,
    // (page, pages) for PDF before each page; answering false stops it (-1, lastError()
    // "cancelled", no file left).
    int SaveAs(const QString &file, const QString &type, const std::function<bool(int done, int of)> &progress);
    // Asks for a file and saves there (a name without .csv or .pdf gets the ending of the kind
    // chosen in the dialog), with a progress dialog and 取消 once it takes longer than half a
    // second; returns the SaveAs result, 0 when the operator cancels either dialog.
    Q_INVOKABLE int saveAsWithDialog();
    QString title() const;
    const QString &lastError() const { return m_lastError; }

    // The presentation in use: the grid view (null for forms and drawings), the model.
    DwGridView *gridView() const { return m_grid; }
    QWidget *presentation() const { return m_view; }
    DwTableModel *model() const { return m_model; }

Q_SIGNALS:
    // The control's notifications; dwo is the name of the object under the pointer ("" for none).
    void clicked(int xpos, int ypos, long row, const QString &dwo);
    void doubleclicked(int xpos, int ypos, long row, const QString &dwo);
    void rbuttondown(int xpos, int ypos, long row, const QString &dwo);
    void mouseMove(int xpos, int ypos, long row, const QString &dwo);
    void lbuttonUp(int xpos, int ypos, long row, const QString &dwo);
    void rowfocuschanged(long currentrow);
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void dberror(long code, const QString &text, const QString &sql, long row);
    // A column's caption was clicked with the left button (pressed and released on it, not
    // dragged to resize): the column's name. What it does is the owner's to decide.
    void captionClicked(const QString &column);
    void selectionChanged();
    // A page read as the grid was scrolled failed; told once, after the view is done.
    void retrieveMoreFailed(const QString &text);
    void totalRowsChanged(long long total);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void rebuildPresentation();
    void layoutChildren();
    void updateRowsLine();
    void startCount();
    void queueRecount();
    long withBusyCursor(const std::function<long()> &read);
    void endReset() override;
    void beginInsertRows(long first, long count) override;
    void endInsertRows() override;
    void beginRemoveRows(long first, long count) override;
    void endRemoveRows() override;
    void propertiesChanged() override;
    void currentRowChanged(long row) override;

    rt::DataStore m_ds;
    DwTableModel *m_model = nullptr;
    QWidget *m_view = nullptr;
    DwGridView *m_grid = nullptr;
    rt::DwStyle m_style = rt::DwStyle::Grid;
    bool m_haveView = false;
    QLabel *m_busy = nullptr;
    QLabel *m_rowsLine = nullptr;             // only when retrieving as needed
    class DwTotalCounter *m_counter = nullptr;
    long long m_total = -1;                   // counted; -1 not known
    long long m_changedSinceCount = 0;        // rows removed (-) or put back (+) since
    QString m_countError;
    long m_pendingCount = 0;
    bool m_pendingIsPage = false;             // rows arriving from a page, not put back
    bool m_countOnShow = false;               // retrieved while hidden: count when shown
    bool m_recountQueued = false;
    int m_clickedColumn = 0;
    QString m_lastError;
};

} // namespace rt::ui
