#pragma once

#include <QString>

namespace app {

// What the operator is told when the program cannot start: the reason in Chinese first, and
// English on the lines after it for the logs and for whoever reads them with the developers.
class StartupTexts
{
public:
    // The folder given (--data, or the folder of --live/--history) does not exist. No demo
    // register is suggested: the operator meant the office's register and mistyped or lost it.
    static QString missingFolder(const QString &folder);
    // The folder exists but holds neither register file.
    static QString noRegisterIn(const QString &folder);
    // One of the two files is missing (the other is there).
    static QString missingFile(const QString &path);
    // The register could not be opened; reason as the register layer gave it. A reason that
    // has no Chinese in its first line (an engine's own message) gets a Chinese line before it.
    static QString cannotOpen(const QString &reason);
    // The DataWindow objects (the built-in library or a --layouts folder) could not be read.
    static QString cannotLoadLayouts(const QString &reason);
    // No display to show windows on.
    static QString noDisplay();
    // The command line cannot be used; reason in English as the options parser gives it.
    static QString badArguments(const QString &reason);
    // Whether the first line of text is Chinese (holds a Chinese character; it may begin with a
    // file's name, "history.db 正被…").
    static bool chineseFirst(const QString &text);
};

} // namespace app
