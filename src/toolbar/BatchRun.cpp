#include "toolbar/BatchRun.h"

#include "platform/core/DeclaredProcedure.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

namespace hm {

BatchRun::BatchRun(rt::Transaction &history, Work work, host::Journal::Entry entry)
    : m_t(history), m_work(std::move(work)), m_entry(std::move(entry))
{
}

void BatchRun::stop()
{
    // Either the stop comes first, and the deletion never reaches its journal entry and COMMIT,
    // or the COMMIT has begun and the stop is refused: one exchange of one state decides, so a
    // cancel never lands on the entry or the COMMIT.
    int working = Working;
    if (!m_state.compare_exchange_strong(working, Stopping))
        return;
    // The chunk or the procedure running stops too (a statement interrupted fails).
    m_t.cancel();
}

bool BatchRun::stopped() const
{
    return m_state.load() == Stopping;
}

BatchRun::Outcome BatchRun::fail(const QString &why)
{
    m_why = why;
    return Outcome::Failed;
}

BatchRun::Outcome BatchRun::run()
{
    const Outcome deleted = m_work.household ? deleteByProcedure() : deleteByStatement();
    if (deleted != Outcome::Done)
        return deleted;
    // From here on the deletion is saved or fails; a cancel no longer lands.
    int working = Working;
    if (!m_state.compare_exchange_strong(working, Committing))
        return Outcome::Cancelled;
    if (host::Journal::append(m_t, m_entry) != 0 || m_t.commit() != 0)
        return fail(m_t.SQLErrText());
    return Outcome::Done;
}

BatchRun::Outcome BatchRun::deleteByProcedure()
{
    // The procedure cannot tell what it took: its tables are counted with its own predicates in
    // its transaction first, seeing the rows it then deletes.
    m_done.store(-1);
    if (host::Journal::beginCounted(m_t) != 0)
        return fail(m_t.SQLErrText());
    m_entry.counts.clear();
    long long found = 0;
    for (const auto &[table, select] : m_work.counts) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (m_t.selectInto(select, {}, n) != 0)
            return fail(m_t.SQLErrText());
        m_entry.counts << std::pair<QString, long long>(table, n[0].longValue());
        found += n[0].longValue();
    }
    if (found > m_work.confirmed) {
        m_found = found;
        return Outcome::More;
    }
    const QString declaration
        = QStringLiteral("proc_DelRprScope @pi_flag =%1 , @pd_start = :ldt_start, @pd_end = :ldt_end").arg(m_work.flag);
    rt::DeclaredProcedure procedure(m_t, declaration);
    procedure.execute({{QStringLiteral("ldt_start"), m_work.start}, {QStringLiteral("ldt_end"), m_work.end}});
    const long code = m_t.SQLCode();
    procedure.close();
    if (stopped())
        return Outcome::Cancelled;
    if (code == -1)
        return fail(m_t.SQLErrText());
    if (code != 0) {
        m_t.rollback();
        return Outcome::NothingFound;
    }
    m_deleted = found;
    return Outcome::Done;
}

BatchRun::Outcome BatchRun::deleteByStatement()
{
    // The grid's update table is a name like every other: quoted, never spliced. Chunks by the
    // surrogate key, each the next rows the condition finds (those before are gone).
    const QString table = rt::sqlIdentifier(m_work.table);
    const QString chunk = QStringLiteral("delete from %1 where hisid in (select hisid from %1%2 limit %3)")
                              .arg(table, m_work.where)
                              .arg(m_work.chunkRows);
    long long total = 0;
    for (;;) {
        if (m_t.executeImmediate(chunk) == -1)
            return stopped() ? Outcome::Cancelled : fail(m_t.SQLErrText());
        const long long rows = m_t.SQLNRows();
        total += rows;
        m_done.store(total);
        if (rows < m_work.chunkRows)
            break;
        if (m_work.afterChunk && !m_work.afterChunk(total))
            stop();
        if (stopped())
            return Outcome::Cancelled;
    }
    m_deleted = total;
    if (total == 0) {
        // Nothing was deleted, but the statement opened a write transaction that would hold
        // the history file locked: end it.
        m_t.rollback();
        return Outcome::NothingFound;
    }
    m_entry.counts = {{m_work.table, total}};
    if (total > m_work.confirmed) {
        m_found = total;
        return Outcome::More;
    }
    return Outcome::Done;
}

} // namespace hm
