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

    // The text of one of the register owner's scripts as the program carries it (the files of
    // scripts/, built in): "audit.sql", "journal-upgrade.sql", "operator-role.sql". A psql
    // include line ("\ir audit.sql") is replaced by the named script's text, so the text runs
    // through a transaction as psql runs the file; any other psql command is not part of a
    // script the program runs. Empty for a name it does not carry.
    static QString script(const QString &name);
    // What a register made now has beside its tables and procedures, from the same scripts an
    // older register is upgraded with: the journal's stamping function and the audit trail.
    // Runs after createStatements' tables exist (the audit trail covers every table there is).
    static QString serverSetupScript() { return script(QStringLiteral("journal-upgrade.sql")); }
};

} // namespace host
