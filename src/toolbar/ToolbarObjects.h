#pragma once

#include <QString>

namespace rt {
class DwLibrary;
}

namespace hm {

// The toolbar's own DataWindow object d_toolright_his (a drawing: background, eleven picture
// buttons with captions, separators, the four frame lines), built into the module.
class ToolbarObjects
{
public:
    // Adds it to the library; false with errorText when the built-in text is broken.
    static bool addTo(rt::DwLibrary &library, QString &errorText);
};

} // namespace hm
