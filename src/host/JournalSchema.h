#pragma once

#include <QString>
#include <QStringList>

namespace host {

// The maintenance journal's table (hm_journal), as the register files and the server's history
// schema are made and upgraded with it. What goes into it, and how a change is found again by its
// entry, is the domain's (model::Journal).
class JournalSchema
{
public:
    static QString table() { return QStringLiteral("hm_journal"); }
    static QString createFilesSql();  // IF NOT EXISTS: also for registers made before the journal
    static QString createServerSql(); // in the history schema, IF NOT EXISTS
    // The journal's token column and its index, for a file made before entries carried it.
    static QStringList upgradeFilesSql();
    static QString createServerIndexSql();
};

} // namespace host
