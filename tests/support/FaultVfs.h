#pragma once

#include <QString>
#include <QStringList>

// A file layer under SQLite that breaks the register's files on purpose, as SQLite tests its own
// guarantees: registered as the default VFS over the real one, so the code under test runs as it
// is. It counts the operations that change a file in the watched folder (the register's two
// files, their journals and the super-journal): each write, sync, truncate and delete.
//  - Fail: the Nth of them fails with an I/O error, once; the others go through, as after a
//    passing disk error.
//  - Crash: from the Nth on, none reaches the disk and each reports success, as if the process
//    had stopped there: the files hold exactly what the earlier operations wrote, which is what a
//    copy made at that moment would hold, without any file being opened and closed under the
//    program's locks (closing a descriptor drops every POSIX lock the process holds on the file).
//    Close every connection, disarm, then open the register again from what is on disk.
// Not thread-safe: one test at a time arms it.
class FaultVfs
{
public:
    enum class Mode { Count, Fail, Crash };

    // Registers the layer as the default VFS (once; later calls do nothing).
    static void install();
    // Only files whose path starts with this folder count; counting restarts.
    static void watch(const QString &folder);
    // Counting restarts; in Fail or Crash mode the nth operation (1-based) is the one.
    static void arm(Mode mode, int nth = 0);
    // Back to counting only; nothing fails, everything reaches the disk.
    static void disarm();

    // Operations counted since the last watch() or arm().
    static int operations();
    // Whether the nth operation was reached, and what it was ("write history.db-journal").
    static bool fired();
    static QString firedAt();
    // Each operation counted since the last arm(), in order ("sync register.db-journal").
    static QStringList trace();
};
