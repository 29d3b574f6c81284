#pragma once

#include <QPixmap>
#include <QWidget>

namespace rt::ui {

// A picture control: shows a picture file at the image's own size (originalSize) or stretched
// over the control, optionally with a border; raises clicked on a left-button release over it.
class PbPicture : public QWidget
{
    Q_OBJECT
public:
    explicit PbPicture(QWidget *parent = nullptr);

    void setPictureName(const QString &name);
    QString PictureName() const { return m_name; }
    void setOriginalSize(bool on);
    bool originalSize() const { return m_originalSize; }
    void setBorder(bool on);
    bool hasPicture() const { return !m_pixmap.isNull(); }
    const QPixmap &pixmap() const { return m_pixmap; }
    void setEnabledLook(bool enabled);
    // A picture used as a button can also be reached with Tab and pressed with Enter or Space;
    // it then shows a focus frame when it has the focus.
    void setKeyboardButton(bool on);

Q_SIGNALS:
    void clicked();
    void leftButtonDown();
    void leftButtonUp();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QString m_name;
    QPixmap m_pixmap;
    QPixmap m_disabledPixmap;
    bool m_originalSize = false;
    bool m_border = false;
    bool m_enabledLook = true;
};

} // namespace rt::ui
