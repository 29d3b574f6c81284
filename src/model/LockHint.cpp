#include "model/LockHint.h"

#include "platform/core/Transaction.h"

namespace model {

QString LockHint::add(const QString &message, const rt::Transaction &failed)
{
    if (failed.connectionLost())
        return message + QStringLiteral("\r\n") + lostText();
    return failed.lockConflict() ? message + QStringLiteral("\r\n") + text() : message;
}

} // namespace model
