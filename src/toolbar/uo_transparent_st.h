#pragma once

#include <QLabel>

namespace hm {

// A static text drawn over whatever its parent painted behind it (the category captions on the
// button strip): transparent background, "Arial" 12 points, window-text colour.
class uo_transparent_st : public QLabel
{
    Q_OBJECT
public:
    explicit uo_transparent_st(QWidget *parent = nullptr);

    bool ib_painting = false;
    // The repaint pass: hides the text, lets the parent paint the area under it (Yield while
    // messages are processed), shows the text again. A pass that starts while one is running
    // does nothing. Returns 0.
    Q_INVOKABLE long ue_paint(long hdc);
    long BackColor() const { return m_backColor; }

private:
    long m_backColor = 67108864;
};

} // namespace hm
