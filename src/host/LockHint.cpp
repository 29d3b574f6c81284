#include "host/LockHint.h"

#include "platform/core/Transaction.h"

namespace host {

QString LockHint::add(const QString &message, const rt::Transaction &failed, bool settled)
{
    if (failed.connectionLost())
        return message + QStringLiteral("\r\n") + (settled ? brokeText() : lostText());
    return failed.lockConflict() ? message + QStringLiteral("\r\n") + text() : message;
}

} // namespace host
