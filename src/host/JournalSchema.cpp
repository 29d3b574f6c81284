#include "host/JournalSchema.h"

#include <QStringList>

namespace host {

QString JournalSchema::createFilesSql()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS hm_journal (id INTEGER PRIMARY KEY AUTOINCREMENT, at DATETIME NOT NULL, "
                          "operator VARCHAR(64), login VARCHAR(64), action VARCHAR(20) NOT NULL, category VARCHAR(40), "
                          "reckey VARCHAR(40), counts VARCHAR(2000), outcome VARCHAR(10) NOT NULL, detail VARCHAR(2000), "
                          "token VARCHAR(40));\n"
                          "CREATE INDEX IF NOT EXISTS hm_journal_token ON hm_journal (token)");
}

QStringList JournalSchema::upgradeFilesSql()
{
    return {QStringLiteral("ALTER TABLE hm_journal ADD COLUMN token VARCHAR(40)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS hm_journal_token ON hm_journal (token)")};
}

QString JournalSchema::createServerIndexSql()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS hm_journal_token ON history.hm_journal (token)");
}

QString JournalSchema::createServerSql()
{
    // The server numbers, dates and signs each entry itself: an operator cannot insert at all
    // and adds entries through history.hm_journal_add (scripts/journal-upgrade.sql), which
    // stamps them. The columns in the order that script leaves an older journal in.
    return QStringLiteral("CREATE TABLE IF NOT EXISTS history.hm_journal (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                          "at timestamp(6) NOT NULL DEFAULT localtimestamp, operator varchar(64) NOT NULL DEFAULT current_user, "
                          "login varchar(64), action varchar(20) NOT NULL, category varchar(40), reckey varchar(40), "
                          "counts varchar(2000), outcome varchar(10) NOT NULL, detail varchar(2000), token varchar(40), "
                          "db_user varchar(64), txid bigint, txat timestamptz)");
}

} // namespace host
