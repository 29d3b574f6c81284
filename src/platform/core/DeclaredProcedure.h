#pragma once

#include "ProcedureArgs.h"
#include "Value.h"

#include <QString>

namespace rt {

class Transaction;

// DECLARE name PROCEDURE FOR proc @p = :host, @q = 1 …; EXECUTE; CLOSE.
// The declaration text is "[execute] procname [@param = value {, @param = value}]", where a
// value is a host variable (":name", bound at execute from `hostValues`), a number, a quoted
// string or nothing (null). The transaction must outlive the declared procedure.
class DeclaredProcedure
{
public:
    DeclaredProcedure(Transaction &transaction, const QString &declaration);

    bool isValid() const { return m_error.isEmpty(); }
    const QString &declarationError() const { return m_error; }
    const QString &procedureName() const { return m_procedure; }

    // Runs the procedure; the transaction's SQLCode tells the outcome (0 or -1).
    int execute(const ProcedureArgs &hostValues = {});
    // Ends the execution; always allowed, also after a failure.
    int close();

private:
    struct Parameter
    {
        QString name;
        QString hostVariable; // empty: a constant
        Value constant;
    };

    Transaction &m_transaction;
    QString m_procedure;
    QList<Parameter> m_parameters;
    QString m_error;
};

} // namespace rt
