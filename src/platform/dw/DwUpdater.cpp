#include "DwUpdater.h"

#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QStringList>

namespace rt {

namespace {

// The name a column has in the table: its dbname without a table prefix, else its name.
QString dbColumn(const DwObjectDef &c)
{
    QString n = c.prop(QStringLiteral("dbname"));
    if (n.isEmpty())
        return c.name();
    const int dot = n.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? n.mid(dot + 1) : n;
}

bool updatable(const DwObjectDef &c)
{
    return !c.isSet(QStringLiteral("update")) || c.boolProp(QStringLiteral("update"));
}

} // namespace

bool DwUpdater::fail(const QString &text, const QString &sql, DwBuffer buffer, long row, long code)
{
    Transaction *t = m_ds.transaction();
    if (t && t->SQLCode() != -1)
        t->setError(code, text);
    m_ds.reportDbError(t ? t->SQLDBCode() : code, t ? t->SQLErrText() : text, sql, buffer, row);
    return false;
}

QString DwUpdater::whereKey(RowStore::Slot slot, QList<Value> &params) const
{
    const DwDefinition &def = m_ds.definition();
    QStringList parts;
    for (int k : m_keys) {
        // As the row was read: an edited key must not choose another row.
        const Value v = m_ds.originalValue(slot, k);
        if (v.isNull()) {
            parts << sqlIdentifier(dbColumn(def.column(k))) + QStringLiteral(" IS NULL");
        } else {
            parts << sqlIdentifier(dbColumn(def.column(k))) + QStringLiteral(" = ?");
            params << v;
        }
    }
    return parts.join(QStringLiteral(" AND "));
}

bool DwUpdater::deleteRow(RowStore::Slot slot, long row)
{
    QList<Value> params;
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(sqlIdentifier(m_table), whereKey(slot, params));
    const int rc = m_ds.transaction()->execute(sql, params);
    if (rc == -1)
        return fail(QString(), sql, DwBuffer::Delete, row);
    if (rc == 100)
        return fail(QStringLiteral("the row to delete is no longer in %1 (changed or deleted elsewhere)").arg(m_table), sql,
                    DwBuffer::Delete, row);
    return true;
}

bool DwUpdater::updateRow(RowStore::Slot slot, DwBuffer buffer, long row)
{
    const DwDefinition &def = m_ds.definition();
    const RowStore &store = m_ds.store();
    QStringList sets;
    QList<Value> params;
    const bool any = store.anyModified(slot);
    for (int c = 0; c < def.columnCount(); ++c) {
        const DwObjectDef &col = def.column(c);
        if (!updatable(col) || col.boolProp(QStringLiteral("identity")) || (any && !store.isModified(slot, c)))
            continue;
        sets << sqlIdentifier(dbColumn(col)) + QStringLiteral(" = ?");
        params << store.value(slot, c);
    }
    if (sets.isEmpty())
        return true;
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(sqlIdentifier(m_table), sets.join(QStringLiteral(", ")), whereKey(slot, params));
    const int rc = m_ds.transaction()->execute(sql, params);
    if (rc == -1)
        return fail(QString(), sql, buffer, row);
    if (rc == 100)
        return fail(QStringLiteral("the row to update is no longer in %1 (changed or deleted elsewhere)").arg(m_table),
                    sql, buffer, row);
    return true;
}

bool DwUpdater::insertRow(RowStore::Slot slot, DwBuffer buffer, long row)
{
    const DwDefinition &def = m_ds.definition();
    RowStore &store = m_ds.store();
    QStringList columns, marks;
    QList<Value> params;
    int identity = -1;
    for (int c = 0; c < def.columnCount(); ++c) {
        const DwObjectDef &col = def.column(c);
        if (col.boolProp(QStringLiteral("identity"))) {
            identity = c;
            continue; // the database numbers it
        }
        // Whatever was set, a null too; a column never set keeps the table's default.
        if (!updatable(col) || !store.isModified(slot, c))
            continue;
        columns << sqlIdentifier(dbColumn(col));
        marks << QStringLiteral("?");
        params << store.value(slot, c);
    }
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(sqlIdentifier(m_table))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(sqlIdentifier(m_table), columns.join(QStringLiteral(", ")),
                                       marks.join(QStringLiteral(", ")));
    if (m_ds.transaction()->execute(sql, params) == -1)
        return fail(QString(), sql, buffer, row);
    if (identity >= 0)
        store.putInt(slot, identity, m_ds.transaction()->connection()->lastInsertId());
    return true;
}

int DwUpdater::run(bool resetFlags)
{
    Transaction *t = m_ds.transaction();
    if (!t || !t->isConnected()) {
        m_ds.reportDbError(-1, QStringLiteral("Update: no connected transaction object"), QString(), DwBuffer::Primary, 0);
        return -1;
    }
    const DwDefinition &def = m_ds.definition();
    m_table = def.updateTable();
    m_keys = def.keyColumns();
    SlotList &deleted = m_ds.buffer(DwBuffer::Delete);
    const RowStore &store = m_ds.store();
    // Rows to write come from the primary and the filter buffer: a row hidden by a filter
    // keeps its change.
    struct Pending
    {
        RowStore::Slot slot;
        DwBuffer buffer;
        long row;
        bool insert;
    };
    std::vector<Pending> pending;
    bool needsKey = !deleted.empty();
    for (const DwBuffer b : {DwBuffer::Primary, DwBuffer::Filter}) {
        const std::vector<RowStore::Slot> &slots = m_ds.buffer(b).slots();
        for (std::size_t i = 0; i < slots.size(); ++i) {
            const DwItemStatus st = store.status(slots[i]);
            if (st == DwItemStatus::DataModified || st == DwItemStatus::NewModified)
                pending.push_back({slots[i], b, long(i + 1), st == DwItemStatus::NewModified});
            needsKey = needsKey || st == DwItemStatus::DataModified;
        }
    }
    if (deleted.empty() && pending.empty())
        return 1;
    if (m_table.isEmpty()) {
        fail(QStringLiteral("the DataWindow has no update table"), QString(), DwBuffer::Primary, 0);
        return -1;
    }
    if (needsKey && m_keys.isEmpty()) {
        fail(QStringLiteral("the DataWindow has no key columns for %1").arg(m_table), QString(), DwBuffer::Primary, 0);
        return -1;
    }
    const std::vector<RowStore::Slot> gone = deleted.slots();
    for (std::size_t i = 0; i < gone.size(); ++i) {
        if (!deleteRow(gone[i], long(i + 1)))
            return -1;
    }
    std::vector<RowStore::Slot> written;
    written.reserve(pending.size());
    for (const Pending &p : pending) {
        if (!(p.insert ? insertRow(p.slot, p.buffer, p.row) : updateRow(p.slot, p.buffer, p.row)))
            return -1;
        written.push_back(p.slot);
    }
    if (resetFlags)
        m_ds.resetUpdateFlags(written);
    return 1;
}

} // namespace rt
