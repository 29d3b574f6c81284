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
    static QString add(const QString &message, const rt::Transaction &failed);
    static QString add(const char *message, const rt::Transaction &failed) { return add(QString::fromUtf8(message), failed); }
    static QString text() { return QString::fromUtf8("另一位操作员正在修改这些记录，请稍后再试。"); }
    static QString lostText()
    {
        return QString::fromUtf8("与数据库服务器的连接已断开，这次操作的结果不明，请重新检索核对；下一次操作时将重新连接。");
    }
};

} // namespace host
