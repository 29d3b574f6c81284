#pragma once

#include <QString>

namespace rt {

class Transaction;

// The transaction's SyntaxFromSQL: the text form of a DataWindow definition over a select.
// presentation is "style(type=grid)" (or form). On failure the result is empty and errors says
// why (the database's message for a bad select, e.g. an unknown table).
class SyntaxFromSql
{
public:
    static QString build(Transaction &transaction, const QString &select, const QString &presentation, QString &errors);
    // The runtime type of a database column type ("VARCHAR(20)" -> "char(20)").
    static QString runtimeType(const QString &declaredType);
};

// The runtime's spelling: transaction.SyntaxFromSQL(select, presentation, errors).
inline QString SyntaxFromSQL(Transaction &transaction, const QString &select, const QString &presentation, QString &errors)
{
    return SyntaxFromSql::build(transaction, select, presentation, errors);
}

} // namespace rt
