#pragma once

#include "platform/ui/PbEditMask.h"

class QCalendarWidget;

namespace host {

// A date typed in full, yyyy-mm-dd, as the batch dialog takes it: the operator types the digits
// (the dashes are the mask's own), or picks the day from a calendar (F4, Alt+Down or the button
// at the field's end). What was typed is read as it stands: a date half typed ("2024-1-5"
// leaves "2024-1_-5_") or one that does not exist (2023-02-30) gives an invalid date(), for the
// window to refuse — never another date made up from the digits, as a spin-box date editor does
// when a section is typed over.
//
// Enter emits submitted() whatever the field holds (a masked QLineEdit emits returnPressed only
// for a complete mask), so that Enter on a date half typed is refused and not ignored.
class DateField : public rt::ui::PbEditMask
{
    Q_OBJECT
public:
    explicit DateField(QWidget *parent = nullptr);

    // Shows the date as yyyy-mm-dd; an invalid date empties the field.
    void setDate(QDate date);
    // Pops the calendar up under the field, on the field's date (today when it holds none).
    void showCalendar();
    // The calendar once it has been shown, else null.
    QCalendarWidget *calendar() const { return m_calendar; }

Q_SIGNALS:
    void submitted();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void pick(QDate date);

    QCalendarWidget *m_calendar = nullptr;
};

} // namespace host
