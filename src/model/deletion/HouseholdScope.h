#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>

namespace rt {
class Transaction;
}

namespace model {

class PurgeDates;

// What the household procedure (proc_DelRprScope) deletes for a purge's dates, table by table:
// the households saved within them, their persons' snapshots saved within them, and those
// persons' related snapshots saved within them, each with the procedure's own predicate. The one
// home of that scope: the batch dialog's count line, the counts its deletion journals and the
// command line's dry run and real run all read it.
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
};

} // namespace model
