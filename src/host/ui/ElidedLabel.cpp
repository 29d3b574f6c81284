#include "host/ui/ElidedLabel.h"

#include <algorithm>

namespace host {

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_full = text;
    elide();
    updateGeometry();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, lineHeight());
}

QSize ElidedLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 20, lineHeight());
}

int ElidedLabel::lineHeight() const
{
    // One line of text, also while there is none: the window does not jump when a text comes.
    const QMargins m = contentsMargins();
    // Chinese comes from a fallback font that may be taller than the label's own.
    const int text = fontMetrics().size(0, QString::fromUtf8("国Ag…")).height();
    return std::max(fontMetrics().height(), text) + m.top() + m.bottom() + 2 * margin();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    const QString shown = fontMetrics().elidedText(m_full, Qt::ElideRight, contentsRect().width());
    QLabel::setText(shown);
    setToolTip(shown == m_full ? QString() : m_full);
}

} // namespace host
