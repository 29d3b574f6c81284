#pragma once

#include <QEvent>
#include <QObject>

// Installed on a view's viewport: tells when it has painted (the first rows are on the screen).
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};
