#include "host/LockHint.h"

#include "platform/core/Transaction.h"

namespace host {

QString LockHint::add(const QString &message, const rt::Transaction &failed)
{
    if (failed.connectionLost())
        return message + QStringLiteral("\r\n") + lostText();
    return failed.lockConflict() ? message + QStringLiteral("\r\n") + text() : message;
}

} // namespace host
