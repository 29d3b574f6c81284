#pragma once

class QWidget;

namespace host {

// Keeps a window whole on its screen: a window (frame included) larger than the screen's
// available area is shrunk to it, and one reaching past an edge is moved back inside. Called
// once a window is shown, so that its controls are never out of the operator's reach whatever
// its design size or contents.
class ScreenFit
{
public:
    static void keepOnScreen(QWidget *window);
};

} // namespace host
