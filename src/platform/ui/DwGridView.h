#pragma once

#include <QTableView>

namespace rt::ui {

class DataWindowControl;
class DwTableModel;

// The grid presentation: a table view over the control's model with the object's column order,
// widths, visibility and row height, uniform rows (so a million rows open at once), no editing.
// Mouse and key notifications go to the control with the row and the object under the pointer.
class DwGridView : public QTableView
{
    Q_OBJECT
public:
    DwGridView(DataWindowControl *control, DwTableModel *model);

    // Re-reads widths, visibility and heights from the definition.
    void applyDefinition();
    // Makes the DataStore's current row the view's current row, scrolled into view.
    void showCurrentRow(long row);
    // What lies under a point of the viewport: row (0 for none) and column (0 for none).
    void hit(const QPoint &viewportPos, long &row, int &column) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void notify(QMouseEvent *event, bool onHeader, bool doubleClick);

    DataWindowControl *m_control;
    DwTableModel *m_model;
};

} // namespace rt::ui
