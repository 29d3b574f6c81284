#pragma once

#include <QStringList>

namespace host {

// The register on one PostgreSQL database: the live tables in the schema "live", the history
// tables in "history", each schema with its register_info, and the four stored procedures as
// PL/pgSQL functions with the contracts of the embedded ones. Names are the catalogue's, folded
// to lower case (the server's unquoted spelling).
class PgSchema
{
public:
    static QString liveSchema() { return QStringLiteral("live"); }
    static QString historySchema() { return QStringLiteral("history"); }
    // sqlca sees both schemas, photosqlca the history only.
    static QString liveSearchPath() { return QStringLiteral("live, history"); }
    static QString historySearchPath() { return QStringLiteral("history"); }

    // Every statement that creates the register, in order.
    static QStringList createStatements();
    // The functions alone (proc_delrpr, proc_delperson, proc_delrprscope in history,
    // proc_justifydelperson in live).
    static QStringList procedureStatements();
};

} // namespace host
