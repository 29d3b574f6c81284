#pragma once

#include <QPixmap>
#include <QString>

namespace rt::ui {

// Picture names as the program writes them ("bmp\GE_Rpr.bmp") resolved against the program's
// resources (":/bmp/GE_Rpr.bmp"), backslash or slash, without regard to case; then as a file.
class Pictures
{
public:
    // A null pixmap when there is no such picture.
    static QPixmap load(const QString &name);
    static QString resolve(const QString &name);
};

} // namespace rt::ui
