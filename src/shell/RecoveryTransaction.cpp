#include "shell/RecoveryTransaction.h"

#include "host/LockHint.h"
#include "host/RegisterDatabases.h"
#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "platform/core/Functions.h"
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
    rt::Transaction &t = sqlca();
    // The journal keeps the database's reason, or the operator's text when the database had none.
    QString why = t.SQLCode() == -1 ? t.SQLErrText().trimmed() : QString();
    if (why.isEmpty())
        why = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    m_failureText = text;
    // What the register holds now is read before anything is said about it: the entry goes into
    // the recovery's own transaction last, so it is absent unless the recovery was saved.
    QString error;
    switch (host::Journal::settle(t, m_entry, error)) {
    case host::Journal::Outcome::Saved:
        // Only a COMMIT whose failure came after the commit itself gets here (commit()).
        m_failed = false;
        m_committed = true;
        return false;
    case host::Journal::Outcome::Unknown:
        m_unknown = true;
        m_failureText += QStringLiteral("\r\n") + host::LockHint::unknownText();
        if (!error.isEmpty())
            m_failureText += QStringLiteral("\r\n") + error;
        return false;
    case host::Journal::Outcome::NotSaved:
        break;
    }
    // A row another operator deleted says itself that nothing was recovered.
    if (m_wrote && !m_historyRowGone)
        m_failureText += QString::fromUtf8("\r\n整个恢复已撤销，现有信息和历史信息都未改动。");
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
    // Both files must still commit together: a file another program has put back into WAL mode
    // would commit on its own.
    QString why;
    if (!host::RegisterDatabases::savesBothFilesTogether(t, why))
        return fail(QString::fromUtf8("保存恢复数据时失败\r\n") + why);
    if (host::Journal::append(t, m_entry) != 0 || t.commit() != 0) {
        // A COMMIT that failed after it took effect (its answer lost with the connection) is
        // found saved by fail(), which reads the register before it says anything.
        fail(host::LockHint::add("保存恢复数据时失败", t, true));
        return m_committed;
    }
    m_committed = true;
    return true;
}

QString RecoveryTransaction::summary() const
{
    QStringList moved;
    for (const auto &[table, rows] : m_entry.counts) {
        const model::Category *c = model::CategoryTable::byHistoryTable(table.toLower());
        moved << QString::fromUtf8("%1 %2 条").arg(c ? c->tabText : table, rt::fn::Grouped(rows));
    }
    QString text = QString::fromUtf8("已恢复 %1 %2：%3从历史信息移入现有信息")
                       .arg(m_entry.category, m_entry.key, moved.join(QString::fromUtf8("、")));
    if (m_replaced > 0)
        text += QString::fromUtf8("，替换现有记录 %1 条（原来的记录另存为历史记录）").arg(rt::fn::Grouped(m_replaced));
    return text;
}

} // namespace hm
