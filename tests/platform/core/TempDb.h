#pragma once

#include <QDir>
#include <QTemporaryDir>

// A folder of scratch database files that disappears with the test.
class TempDb
{
public:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

private:
    QTemporaryDir m_dir;
};
