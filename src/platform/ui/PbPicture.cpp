#include "PbPicture.h"

#include "Pictures.h"

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
