#include "model/ReadFailure.h"

#include "host/LockHint.h"
#include "platform/core/Transaction.h"

namespace model {

QString ReadFailure::historyText(const rt::Transaction &failed)
{
    return host::LockHint::add(QString::fromUtf8("读取历史信息失败：") + failed.SQLErrText(), failed);
}

} // namespace model
