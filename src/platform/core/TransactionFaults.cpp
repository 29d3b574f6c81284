// The transaction's test hooks: failures injected at a chosen statement or COMMIT, kept apart
// from the transaction's own work.
#include "Transaction.h"

namespace rt {

void Transaction::injectFault(const InjectedFault &fault)
{
    m_faults.push_back({fault, 0});
}

bool Transaction::fire(InjectedFault::On on, const QString &sql)
{
    ++(on == InjectedFault::On::Commit ? m_commitsRun : m_statementsRun);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        const InjectedFault &f = it->fault;
        if (f.on != on || (on == InjectedFault::On::Statement && !f.sqlContains.isEmpty()
                           && !sql.contains(f.sqlContains, Qt::CaseInsensitive)))
            continue;
        if (++it->seen < f.nth)
            continue;
        const InjectedFault fired = f;
        m_faults.erase(it);
        m_lastFault = on == InjectedFault::On::Commit ? QStringLiteral("COMMIT") : sql;
        setError(fired.code, fired.text);
        // SQLite's own codes for another connection's lock, as the engine would say them.
        m_lockConflict = (fired.code & 0xff) == 5 || (fired.code & 0xff) == 6;
        return true;
    }
    return false;
}

} // namespace rt
