#pragma once

#include "platform/core/Transaction.h"

// The failure of a full disk (SQLITE_FULL, the injected fault's own default), on the first
// statement whose text contains sqlContains.
inline rt::InjectedFault fullAt(const char *sqlContains)
{
    rt::InjectedFault fault;
    fault.sqlContains = QString::fromUtf8(sqlContains);
    return fault;
}

// The failure another operator's lock gives (SQLITE_BUSY), on the first statement whose text
// contains sqlContains.
inline rt::InjectedFault lockedAt(const char *sqlContains)
{
    rt::InjectedFault fault;
    fault.sqlContains = QString::fromUtf8(sqlContains);
    fault.code = 5;
    fault.text = QStringLiteral("database is locked");
    return fault;
}
