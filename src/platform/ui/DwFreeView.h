#pragma once

#include <QWidget>

namespace rt {
class DwObjectDef;
}

namespace rt::ui {

class DataWindowControl;

// The form and drawing presentations: every object drawn at its own position — columns with the
// current row's value, texts, pictures, lines — in band order (background first, foreground
// last). Mouse notifications name the object under the pointer: a text over a picture wins, and
// the background picture is an object too.
class DwFreeView : public QWidget
{
    Q_OBJECT
public:
    explicit DwFreeView(DataWindowControl *control);

    // The name of the object under a point (in pixels), "" for none.
    QString objectAt(const QPoint &pos) const;
    // The size the objects need, in pixels.
    QSize contentSize() const;
    // What the pointer at pos shows as a tip: the whole value of the column there, as it is
    // displayed ("" elsewhere), so that a value wider than its field can still be read.
    QString toolTipAt(const QPoint &pos) const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void emitMouse(QMouseEvent *event, int kind);

    DataWindowControl *m_control;
};

} // namespace rt::ui
