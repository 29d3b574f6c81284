#pragma once

#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QString>

namespace model {

// How the domain's statements name the catalogue's tables and columns on each backend.
struct HistorySql
{
    static bool onServer(const rt::Transaction &t) { return t.DBMS == QLatin1String("PostgreSQL"); }
    // A catalogue name as the backend spells it: the server's tables and columns are lower case
    // (and resolve through the history search path), the files' are quoted as declared.
    static QString ident(const rt::Transaction &t, const QString &name)
    {
        return onServer(t) ? name.toLower() : rt::sqlIdentifier(name);
    }
    // Ends the read transaction a select may have opened, so that no snapshot or lock is held
    // between statements (another connection's VACUUM or write would wait for it).
    static void endRead(rt::Transaction &t)
    {
        if (t.inTransaction())
            t.rollback();
    }
};

} // namespace model
