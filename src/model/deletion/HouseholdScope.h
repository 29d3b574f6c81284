#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>
#include <utility>

namespace rt {
class Transaction;
}

namespace model {

class PurgeDates;

// What the history procedures delete of households and persons, table by table, each with the
// procedure's own predicate, so that counts read first in the same transaction are what they
// delete. The one home of those scopes:
//  - of(): proc_DelRprScope for a purge's dates — the households saved within them, their
//    persons' snapshots saved within them, and those persons' related snapshots saved within
//    them; the batch dialog's count line, the counts its deletion journals and the command
//    line's dry run and real run all read it;
//  - ofKey(): proc_delrpr and proc_delperson for one household or person (删除户, 删除人员).
class HouseholdScope
{
public:
    struct Table
    {
        QString table; // history table, as the catalogue names it
        QString where; // a condition on that table
        QList<rt::Value> params;
        // "SELECT count(*) FROM <table> WHERE <where>"
        QString countSql(const rt::Transaction &t) const;
    };

    // In the order the operator reads them: 户籍信息, 个人信息, then the related categories in
    // their cascade order.
    static QList<Table> of(const rt::Transaction &t, const PurgeDates &dates);
    // Each table with its "SELECT count(*) …" of one household's (household) or one person's
    // history, the key bound once as the only value.
    static QList<std::pair<QString, QString>> ofKey(bool household);
};

} // namespace model
