#include "shell/RecoveryTransaction.h"

#include "host/LockHint.h"
#include "host/SchemaCatalogue.h"
#include "host/ui/Globals.h"
#include "model/Category.h"
#include "model/RecoveryPlan.h"
#include "platform/dw/DataStore.h"
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
    QString text = failed ? host::LockHint::add(message, *failed) : message;
    const QString why = failed && !failed->SQLErrText().trimmed().isEmpty() ? failed->SQLErrText().trimmed() : own.trimmed();
    if (!why.isEmpty())
        text += QStringLiteral("\r\n") + why;
    if (!context.isEmpty())
        text += QStringLiteral("\r\n") + context;
    return text;
}

namespace {

QString savedKey(const model::Category &category, const QString &key)
{
    return category.stem + QLatin1Char('\n') + key;
}

} // namespace

bool RecoveryTransaction::saveStates(const QList<Replaced> &records)
{
    rt::Transaction &live = sqlca();
    rt::Transaction &photosqlca = host::g().photosqlca;
    for (const Replaced &r : records) {
        const host::TableDef *table = host::SchemaCatalogue::byStem(r.category->stem);
        if (!table || m_saved.contains(savedKey(*r.category, r.key)))
            continue;
        rt::DataStore current;
        if (!model::RecoveryPlan::selectLiveRecord(current, *r.category, live) || current.Retrieve({rt::Value(r.key)}) != 1) {
            const QString text = failureText(QString::fromUtf8("读取现有记录失败，未作替换"), &live,
                                             QString::fromUtf8("（%1，编号 %2）").arg(r.category->tabText, r.key),
                                             current.lastError());
            withdrawCopies();
            return fail(text);
        }
        rt::DataStore copy;
        copy.SetDataObject(r.category->historyGrid);
        copy.SetTransObject(&photosqlca);
        const long row = copy.InsertRow(0);
        SavedState saved{table->historyTable, rt::Value(), {}};
        for (const host::ColumnDef &c : table->liveColumns) {
            const rt::Value v = current.GetItem(1, c.name);
            saved.values << v;
            if (!v.isNull())
                copy.SetItem(row, c.name, v);
        }
        copy.SetItem(row, host::TableDef::saveTimeColumn(), rt::Value(rt::DateTime::currentDateTime()));
        copy.SetItem(row, QStringLiteral("issave"), rt::Value(model::RecoveryPlan::replacedCode()));
        if (copy.Update() != 1 || photosqlca.commit() != 0) {
            const QString text = failureText(QString::fromUtf8("保存现有记录到历史信息时失败，现有记录未被替换"), &photosqlca);
            photosqlca.rollback();
            withdrawCopies();
            return fail(text);
        }
        saved.hisid = copy.GetItem(row, host::TableDef::surrogateKey());
        m_saved.insert(savedKey(*r.category, r.key), saved);
    }
    return true;
}

QList<rt::Value> RecoveryTransaction::copiesIn(const QString &historyTable) const
{
    QList<rt::Value> out;
    for (const SavedState &s : m_saved) {
        if (s.historyTable.compare(historyTable, Qt::CaseInsensitive) == 0 && !s.hisid.isNull())
            out << s.hisid;
    }
    return out;
}

const QList<rt::Value> *RecoveryTransaction::savedState(const model::Category &category, const QString &key) const
{
    const auto it = m_saved.constFind(savedKey(category, key));
    return it == m_saved.constEnd() ? nullptr : &it->values;
}

void RecoveryTransaction::withdrawCopies()
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    for (const SavedState &s : std::as_const(m_saved)) {
        if (s.hisid.isNull())
            continue;
        if (photosqlca.execute(QStringLiteral("DELETE FROM %1 WHERE hisid = ?").arg(rt::sqlIdentifier(s.historyTable)), {s.hisid}) != 0
            || photosqlca.commit() != 0)
            photosqlca.rollback();
    }
    m_saved.clear();
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
    // A connection that broke may have taken a COMMIT with it: the outcome is unknown (the text
    // says so), an entry saying the recovery failed could be false, and the copies of replaced
    // states may be all that is left of them.
    const bool unknown = t.connectionLost();
    m_failureText = text;
    // A row another operator deleted says itself that nothing was recovered.
    if (m_wrote && !m_historyRowGone && !unknown)
        m_failureText += QString::fromUtf8("\r\n整个恢复已撤销，现有信息和历史信息都未改动。");
    // The journal keeps the database's reason, or the operator's text when the database had none.
    QString why = t.SQLCode() == -1 ? t.SQLErrText().trimmed() : QString();
    if (why.isEmpty())
        why = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    t.rollback();
    if (unknown)
        return false;
    withdrawCopies();
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
