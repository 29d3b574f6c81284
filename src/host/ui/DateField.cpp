#include "host/ui/DateField.h"

#include "platform/core/DateTime.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLocale>
#include <QScreen>
#include <QStyle>

namespace host {

DateField::DateField(QWidget *parent) : rt::ui::PbEditMask(parent)
{
    setMask(QStringLiteral("yyyy-mm-dd"));
    auto *pop = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    pop->setToolTip(QString::fromUtf8("选择日期（F4）"));
    connect(pop, &QAction::triggered, this, &DateField::showCalendar);
    // Room for the whole date and the button, whatever the font.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 2 * fontMetrics().height() + 16);
}

void DateField::setDate(QDate date)
{
    setText(rt::canonicalDate(date));
}

void DateField::showCalendar()
{
    if (!m_calendar) {
        m_calendar = new QCalendarWidget(this);
        m_calendar->setWindowFlags(Qt::Popup);
        m_calendar->setObjectName(QStringLiteral("calendar"));
        m_calendar->setGridVisible(true);
        m_calendar->setLocale(QLocale(QLocale::Chinese, QLocale::China)); // months and days as the operator reads them
        connect(m_calendar, &QCalendarWidget::clicked, this, &DateField::pick);
        connect(m_calendar, &QCalendarWidget::activated, this, &DateField::pick);
    }
    const QDate shown = date();
    m_calendar->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    m_calendar->adjustSize();
    // Under the field, kept on its screen.
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *s = screen()) {
        const QRect room = s->availableGeometry();
        const QSize size = m_calendar->sizeHint();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - size.width() + 1)));
        if (at.y() + size.height() > room.bottom() + 1)
            at.setY(std::max(room.top(), mapToGlobal(QPoint(0, 0)).y() - size.height()));
    }
    m_calendar->move(at);
    m_calendar->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void DateField::pick(QDate date)
{
    setDate(date);
    m_calendar->hide();
    setFocus(Qt::PopupFocusReason);
}

void DateField::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_F4 || (key == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
        showCalendar();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Q_EMIT submitted();
        event->accept();
        return;
    }
    rt::ui::PbEditMask::keyPressEvent(event);
}

} // namespace host
