#pragma once

#include <QStringList>

class QWidget;

// What an operator would find cut off or out of reach in a window, as its widgets lay out with
// the fonts at hand: a label, button or check box whose text needs more room than it has, a
// column header narrower than its caption, a control that lies outside its window. The content
// of a scroll area is not judged by the area's visible part (it scrolls to the rest). Each
// problem is a line naming the widget ("st_count: text needs 540 × 15 px, has 384 × 34").
class LayoutCheck
{
public:
    static QStringList problems(QWidget *window);
};
