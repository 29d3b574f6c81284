#include "model/ReadFailure.h"

#include "model/LockHint.h"
#include "platform/core/Transaction.h"

namespace model {

QString ReadFailure::historyText(const rt::Transaction &failed)
{
    return LockHint::add(QString::fromUtf8("读取历史信息失败：") + failed.SQLErrText(), failed);
}

} // namespace model
