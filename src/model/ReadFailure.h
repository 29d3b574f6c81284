#pragma once

#include <QString>

namespace rt {
class Transaction;
}

namespace model {

// What the operator is told when the history in view could not be read: that it failed and
// why, never an empty grid that looks like no history.
class ReadFailure
{
public:
    // "读取历史信息失败：" and the database's reason, with the lock hint when another operator
    // was in the way. Made from the failed transaction before anything else runs on it.
    static QString historyText(const rt::Transaction &failed);
};

} // namespace model
