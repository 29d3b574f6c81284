#pragma once

class QCoreApplication;

namespace app {

// Qt's own texts (the buttons and captions of the file and print dialogs, the standard buttons
// of message boxes) in Chinese. The program speaks Chinese whatever the system's locale — an
// office machine is often set up in English or C —, so Qt's Chinese (China) translations are
// installed always, not only under a Chinese locale; an English dialog in a Chinese program
// would be the odd one out.
class QtTranslations
{
public:
    // Installs the translator into the application (once; later calls do nothing). False when
    // Qt's Chinese translations are not installed (package qt6-translations-l10n): Qt's texts
    // then stay English and the program goes on.
    static bool install(QCoreApplication &application);
};

} // namespace app
