#include "model/recovery/RecoveryTransaction.h"

#include "host/LockHint.h"
#include "host/RegisterDatabases.h"
#include "model/CategoryTable.h"
#include "platform/core/Functions.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/core/Value.h"

namespace model {

RecoveryTransaction::RecoveryTransaction(rt::Transaction &sqlca, model::Journal::Entry entry)
    : m_change(sqlca, std::move(entry))
{
    m_change.entry().counts.clear();
}

// The change rolls back what was neither committed nor failed.
RecoveryTransaction::~RecoveryTransaction() = default;

rt::Transaction &RecoveryTransaction::sqlca() const
{
    return m_change.transaction();
}

QString RecoveryTransaction::failureText(const QString &message, const rt::Transaction *failed, const QString &context,
                                         const QString &own)
{
    QString text = failed ? host::LockHint::add(message, *failed, true) : message;
    const QString why = failed && !failed->SQLErrText().trimmed().isEmpty() ? failed->SQLErrText().trimmed() : own.trimmed();
    if (!why.isEmpty())
        text += QStringLiteral("\r\n") + why;
    if (!context.isEmpty())
        text += QStringLiteral("\r\n") + context;
    return text;
}

bool RecoveryTransaction::takeFromHistory(const QString &historyTable, const rt::Value &hisid, const QString &failure,
                                          const QString &context, bool principal)
{
    rt::Transaction &t = sqlca();
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE hisid = ?").arg(rt::sqlIdentifier(historyTable));
    if (t.execute(sql, {hisid}) == -1)
        return fail(failureText(failure, &t, context));
    if (t.SQLNRows() < 1) {
        // The row the operator chose is gone: it leaves the grid. A dependant's row that went
        // meanwhile ends the recovery like any failed step.
        m_historyRowGone = principal;
        QString text = principal ? QString::fromUtf8("这条历史记录已被其他操作员删除，未作恢复。")
                                 : QString::fromUtf8("要一同恢复的历史记录已被其他操作员删除");
        if (!context.isEmpty())
            text += QStringLiteral("\r\n") + context;
        return fail(text);
    }
    moved(historyTable, t.SQLNRows());
    m_wrote = true;
    return true;
}

void RecoveryTransaction::moved(const QString &historyTable, long long rows)
{
    if (rows <= 0)
        return;
    model::Journal::Entry &entry = m_change.entry();
    for (auto &[table, n] : entry.counts) {
        if (table == historyTable) {
            n += rows;
            return;
        }
    }
    entry.counts << std::pair<QString, long long>(historyTable, rows);
}

void RecoveryTransaction::addDetail(const QString &text)
{
    QString &detail = m_change.entry().detail;
    detail += (detail.isEmpty() ? QString() : QString::fromUtf8("；")) + text;
}

bool RecoveryTransaction::fail(const QString &text)
{
    if (m_failed || m_committed)
        return false;
    m_failed = true;
    m_failureText = text;
    // The journal keeps the database's reason, or the operator's text when the database had none.
    const ChangeOutcome &outcome = m_change.fail(text);
    if (outcome.saved()) {
        // Only a COMMIT whose failure came after the commit itself gets here (commit()).
        m_failed = false;
        m_committed = true;
        return false;
    }
    if (outcome.unknown()) {
        m_unknown = true;
        m_failureText += QStringLiteral("\r\n") + host::LockHint::unknownText();
        if (!outcome.unreadable.isEmpty())
            m_failureText += QStringLiteral("\r\n") + outcome.unreadable;
        return false;
    }
    // A row another operator deleted says itself that nothing was recovered.
    if (m_wrote && !m_historyRowGone)
        m_failureText += QString::fromUtf8("\r\n整个恢复已撤销，现有信息和历史信息都未改动。");
    return false;
}

bool RecoveryTransaction::commit()
{
    if (m_failed)
        return false;
    if (m_replaced > 0)
        addDetail(QString::fromUtf8("替换现有记录 %1 条，替换前的记录另存为历史记录").arg(m_replaced));
    rt::Transaction &t = sqlca();
    // Both files must still commit together: a file another program has put back into WAL mode
    // would commit on its own.
    QString why;
    if (!host::RegisterDatabases::savesBothFilesTogether(t, why))
        return fail(QString::fromUtf8("保存恢复数据时失败\r\n") + why);
    const ChangeOutcome &outcome = m_change.commit(QString::fromUtf8("保存恢复数据时失败"));
    if (outcome.saved()) {
        // A COMMIT that failed after it took effect (its answer lost with the connection) is
        // found saved by reading the register before anything is said.
        m_committed = true;
        return true;
    }
    m_failed = true;
    m_failureText = outcome.failureText(QString::fromUtf8("保存恢复数据时失败"));
    m_unknown = outcome.unknown();
    if (!m_unknown && m_wrote && !m_historyRowGone)
        m_failureText += QString::fromUtf8("\r\n整个恢复已撤销，现有信息和历史信息都未改动。");
    return false;
}

QString RecoveryTransaction::summary() const
{
    QStringList moved;
    const model::Journal::Entry &entry = m_change.entry();
    for (const auto &[table, rows] : entry.counts) {
        const model::Category *c = model::CategoryTable::byHistoryTable(table.toLower());
        moved << QString::fromUtf8("%1 %2 条").arg(c ? c->tabText : table, rt::fn::Grouped(rows));
    }
    QString text = QString::fromUtf8("已恢复 %1 %2：%3从历史信息移入现有信息")
                       .arg(entry.category, entry.key, moved.join(QString::fromUtf8("、")));
    if (m_replaced > 0)
        text += QString::fromUtf8("，替换现有记录 %1 条（原来的记录另存为历史记录）").arg(rt::fn::Grouped(m_replaced));
    return text;
}

} // namespace model
