#pragma once

#include <QString>

namespace rt {
class Transaction;
}

namespace host {

// A failure message as the operator reads it: the module's own text, and, when the database
// failed because another operator held what was wanted, a second line saying so; when the
// connection to the server broke, a line saying that the next operation connects again.
class LockHint
{
public:
    // Call before the failed transaction is rolled back (the rollback clears its result).
    // settled: a change whose outcome the caller reads from the register next (Journal::settle),
    // which connects again by itself; the line then only says that the connection broke.
    static QString add(const QString &message, const rt::Transaction &failed, bool settled = false);
    static QString add(const char *message, const rt::Transaction &failed, bool settled = false)
    {
        return add(QString::fromUtf8(message), failed, settled);
    }
    static QString text() { return QString::fromUtf8("另一位操作员或其他程序正在修改这些记录，请稍后再试。"); }
    // The connection broke. Whether the change was saved is told apart, once the register has
    // been read again (Journal::settle).
    static QString lostText() { return QString::fromUtf8("与数据库服务器的连接已断开，下一次操作时将重新连接。"); }
    static QString brokeText() { return QString::fromUtf8("与数据库服务器的连接中途断开了。"); }
    // After a failure, when the register could not be read to find out what it now holds.
    static QString unknownText()
    {
        return QString::fromUtf8("现在无法读取人口信息库，不能确定这次操作是否已经保存。请稍后重新检索，并在“操作记录”中核对。");
    }
};

} // namespace host
