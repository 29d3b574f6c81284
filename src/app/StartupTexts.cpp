#include "StartupTexts.h"

#include <QDir>

namespace app {

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString StartupTexts::missingFolder(const QString &folder)
{
    return QString::fromUtf8("找不到人口信息库所在的文件夹 %1。请检查路径是否正确（--data 选项或程序的设置）。\n"
                             "The register folder %1 was not found. Check the path (the --data option).")
        .arg(native(folder));
}

QString StartupTexts::noRegisterIn(const QString &folder)
{
    return QString::fromUtf8("%1 中没有人口信息库（register.db 与 history.db）。可以用 histmaint --create-demo %1 建立演示库。\n"
                             "There is no register (register.db and history.db) in %1.")
        .arg(native(folder));
}

QString StartupTexts::missingFile(const QString &path)
{
    return QString::fromUtf8("找不到人口信息库文件 %1。请检查路径是否正确，两个文件（register.db 与 history.db）要在一起。\n"
                             "The register file %1 was not found.")
        .arg(native(path));
}

QString StartupTexts::cannotOpen(const QString &reason)
{
    if (chineseFirst(reason))
        return reason;
    return QString::fromUtf8("无法打开人口信息库。\ncannot open the register: %1").arg(reason);
}

QString StartupTexts::cannotLoadLayouts(const QString &reason)
{
    return QString::fromUtf8("无法读取数据窗口的定义（内置的或 --layouts 文件夹中的）。\ncannot read the DataWindow objects: %1")
        .arg(reason);
}

QString StartupTexts::noDisplay()
{
    return QString::fromUtf8("没有可以显示窗口的屏幕。\n"
                             "there is no display to show the windows on.\n"
                             "  Run it on a desktop, or under a virtual display:  xvfb-run -a histmaint\n"
                             "  or draw the window into a picture:               histmaint --screenshot window.png");
}

QString StartupTexts::badArguments(const QString &reason)
{
    return QString::fromUtf8("命令行参数有误。\n%1").arg(reason);
}

bool StartupTexts::chineseFirst(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            return false;
        if (c.script() == QChar::Script_Han)
            return true;
    }
    return false;
}

} // namespace app
