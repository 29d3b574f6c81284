#pragma once

#include "platform/dw/DwDefinition.h"

#include <QList>
#include <QString>

namespace host {

// One condition of the host's query window: a column, a comparison and the value as the
// operator typed it, joined to the condition before it by 并且 (and) or 或者 (or).
struct QueryTerm
{
    enum class Op { Equal, NotEqual, Greater, GreaterEqual, Less, LessEqual, Contains, IsEmpty, IsNotEmpty };
    bool orWithPrevious = false;
    int column = 0; // 0-based column of the DataWindow
    Op op = Op::Equal;
    QString value;
};

// Turns the query window's conditions into SQL over a grid's select, and into the Chinese text
// of the condition for gs_querystr. Values become SQL only through the one quoting routine, so
// a value with a quote finds exactly the rows that hold it; 包含 matches its value literally
// (% and _ included). AND binds before OR, as in SQL.
//
// Values by column type: numbers must be plain numbers (no "inf", no "nan"); decimals compare as
// decimals, exactly on both backends (on the files through the connection's hm_deccmp);
// dates are yyyy-mm-dd and must exist; on a datetime column a date means the whole day
// (= that day, > after it, ≤ up to its end …), 9999-12-31 included. 包含 on a number or date
// column looks into its text. 为空 on a text column also takes the empty string.
class QueryCondition
{
public:
    enum class Dialect { SQLite, PostgreSQL };
    // The dialect of a transaction's DBMS ("PostgreSQL" or anything else).
    static Dialect dialectOf(const QString &dbms);
    // The condition, or false with errorText (a value that is not a number, an impossible date,
    // an unknown column, a comparison without a value).
    static bool build(const rt::DwDefinition &definition, const QList<QueryTerm> &terms, QString &sql,
                      QString &text, QString &errorText, Dialect dialect = Dialect::SQLite);
    // The select restricted to the condition; the result columns keep their names.
    static QString restrict(const QString &select, const QString &condition);
    // The comparison as the window lists it ("=", "≠", "包含" …).
    static QString opText(QueryTerm::Op op);
    static QList<QueryTerm::Op> ops();
    static bool needsValue(QueryTerm::Op op);
    // The caption a column is known by: its header text without the colon, else its name.
    static QString caption(const rt::DwDefinition &definition, int column);
    // The column's name in the table (its dbname without a table prefix, else its name).
    static QString dbColumn(const rt::DwDefinition &definition, int column);
};

} // namespace host
