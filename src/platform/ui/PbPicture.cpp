#include "PbPicture.h"

#include "Pictures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace rt::ui {

PbPicture::PbPicture(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void PbPicture::setPictureName(const QString &name)
{
    m_name = name;
    m_pixmap = Pictures::load(name);
    m_disabledPixmap = QPixmap();
    if (m_originalSize && !m_pixmap.isNull())
        resize(m_pixmap.size());
    update();
}

void PbPicture::setOriginalSize(bool on)
{
    m_originalSize = on;
    if (on && !m_pixmap.isNull())
        resize(m_pixmap.size());
    update();
}

void PbPicture::setBorder(bool on)
{
    m_border = on;
    update();
}

void PbPicture::setEnabledLook(bool enabled)
{
    m_enabledLook = enabled;
    update();
}

void PbPicture::setKeyboardButton(bool on)
{
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
}

void PbPicture::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        if (!event->isAutoRepeat()) // a key held down presses once
            Q_EMIT clicked();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PbPicture::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void PbPicture::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void PbPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QPixmap shown = m_pixmap;
    if (!m_enabledLook && !m_pixmap.isNull()) {
        if (m_disabledPixmap.isNull()) {
            QStyleOption opt;
            opt.initFrom(this);
            m_disabledPixmap = style()->generatedIconPixmap(QIcon::Disabled, m_pixmap, &opt);
        }
        shown = m_disabledPixmap;
    }
    if (!shown.isNull()) {
        if (m_originalSize)
            p.drawPixmap(0, 0, shown);
        else
            p.drawPixmap(rect(), shown);
    }
    if (m_border) {
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

void PbPicture::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT leftButtonDown();
    QWidget::mousePressEvent(event);
}

void PbPicture::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT leftButtonUp();
        if (rect().contains(event->position().toPoint()))
            Q_EMIT clicked();
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace rt::ui
