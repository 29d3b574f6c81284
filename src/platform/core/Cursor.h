#pragma once

#include "DbBackend.h"
#include "Value.h"

#include <QList>
#include <QString>
#include <memory>

namespace rt {

class Transaction;

// A declared cursor: DECLARE name CURSOR FOR select; OPEN with bound values; FETCH row by
// row; CLOSE. Each call sets the transaction's SQLCode: FETCH past the last row gives 100.
// An open cursor reads one consistent snapshot until it is closed. The transaction must
// outlive the cursor.
class Cursor
{
public:
    Cursor(Transaction &transaction, QString sql);
    ~Cursor();
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    int open(const QList<Value> &params = {});
    // Values arrive converted to the types of the entries already in `into`. Once past the
    // last row, every further fetch gives 100 until the cursor is closed and opened again.
    int fetch(QList<Value> &into);
    int close();
    bool isOpen() const { return m_open; }

private:
    Transaction &m_transaction;
    QString m_sql;
    std::unique_ptr<DbStatement> m_stmt;
    bool m_open = false;
    bool m_atEnd = false; // stepping a finished statement again would start it over
};

} // namespace rt
