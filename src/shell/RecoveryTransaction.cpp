#include "shell/RecoveryTransaction.h"

#include "host/LockHint.h"
#include "host/ui/Globals.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/core/Value.h"

namespace hm {

RecoveryTransaction::RecoveryTransaction(host::Journal::Entry entry)
    : m_entry(std::move(entry))
{
    m_entry.counts.clear();
}

RecoveryTransaction::~RecoveryTransaction()
{
    if (!m_committed && !m_failed && sqlca().inTransaction())
        sqlca().rollback();
}

rt::Transaction &RecoveryTransaction::sqlca() const
{
    return host::g().sqlca;
}

bool RecoveryTransaction::takeFromHistory(const QString &historyTable, const rt::Value &hisid, const QString &failure,
                                          const QString &context)
{
    rt::Transaction &t = sqlca();
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE hisid = ?").arg(rt::sqlIdentifier(historyTable));
    if (t.execute(sql, {hisid}) == -1) {
        QString text = host::LockHint::add(failure, t);
        if (!t.SQLErrText().trimmed().isEmpty())
            text += QStringLiteral("\r\n") + t.SQLErrText().trimmed();
        if (!context.isEmpty())
            text += QStringLiteral("\r\n") + context;
        return fail(text);
    }
    if (t.SQLNRows() < 1) {
        m_historyRowGone = true;
        QString text = QString::fromUtf8("这条历史记录已被其他操作员删除，未作恢复。");
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
    for (auto &[table, n] : m_entry.counts) {
        if (table == historyTable) {
            n += rows;
            return;
        }
    }
    m_entry.counts << std::pair<QString, long long>(historyTable, rows);
}

void RecoveryTransaction::addDetail(const QString &text)
{
    m_entry.detail += (m_entry.detail.isEmpty() ? QString() : QString::fromUtf8("；")) + text;
}

bool RecoveryTransaction::fail(const QString &text)
{
    if (m_failed || m_committed)
        return false;
    m_failed = true;
    m_failureText = text;
    // A row another operator deleted says itself that nothing was recovered.
    if (m_wrote && !m_historyRowGone)
        m_failureText += QString::fromUtf8("\r\n整个恢复已撤销，现有信息和历史信息都未改动。");
    rt::Transaction &t = sqlca();
    // The journal keeps the database's reason, or the operator's text when the database had none.
    QString why = t.SQLCode() == -1 ? t.SQLErrText().trimmed() : QString();
    if (why.isEmpty())
        why = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    // A connection that broke may have taken a COMMIT with it: the outcome is unknown, and an
    // entry saying the recovery failed could be false.
    const bool unknown = t.connectionLost();
    t.rollback();
    if (!unknown)
        host::Journal::appendFailure(t, m_entry, why);
    return false;
}

bool RecoveryTransaction::commit()
{
    if (m_failed)
        return false;
    if (m_replaced > 0)
        addDetail(QString::fromUtf8("替换现有记录 %1 条，替换前的记录另存为历史记录").arg(m_replaced));
    rt::Transaction &t = sqlca();
    if (host::Journal::append(t, m_entry) != 0 || t.commit() != 0)
        return fail(host::LockHint::add("保存恢复数据时失败", t));
    m_committed = true;
    return true;
}

} // namespace hm
