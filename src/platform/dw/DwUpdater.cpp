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
        const Value v = m_ds.store().value(slot, k);
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

bool DwUpdater::updateRow(RowStore::Slot slot, long row)
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
        return fail(QString(), sql, DwBuffer::Primary, row);
    if (rc == 100)
        return fail(QStringLiteral("the row to update is no longer in %1 (changed or deleted elsewhere)").arg(m_table),
                    sql, DwBuffer::Primary, row);
    return true;
}

bool DwUpdater::insertRow(RowStore::Slot slot, long row)
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
        // Only what was set: a column left alone keeps the table's default.
        if (!updatable(col) || !store.isModified(slot, c) || store.isNull(slot, c))
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
        return fail(QString(), sql, DwBuffer::Primary, row);
    if (identity >= 0)
        store.putInt(slot, identity, m_ds.transaction()->connection()->lastInsertId());
    return true;
}

int DwUpdater::run()
{
    Transaction *t = m_ds.transaction();
    if (!t || !t->isConnected()) {
        m_ds.reportDbError(-1, QStringLiteral("Update: no connected transaction object"), QString(), DwBuffer::Primary, 0);
        return -1;
    }
    const DwDefinition &def = m_ds.definition();
    m_table = def.updateTable();
    m_keys = def.keyColumns();
    SlotList &primary = m_ds.buffer(DwBuffer::Primary);
    SlotList &deleted = m_ds.buffer(DwBuffer::Delete);
    const RowStore &store = m_ds.store();
    bool needsKey = !deleted.empty();
    bool anyChange = needsKey;
    for (const RowStore::Slot s : primary.slots()) {
        const DwItemStatus st = store.status(s);
        needsKey = needsKey || st == DwItemStatus::DataModified;
        anyChange = anyChange || st == DwItemStatus::DataModified || st == DwItemStatus::NewModified;
    }
    if (!anyChange)
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
    const std::vector<RowStore::Slot> rows = primary.slots();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const DwItemStatus st = store.status(rows[i]);
        if (st == DwItemStatus::DataModified && !updateRow(rows[i], long(i + 1)))
            return -1;
        if (st == DwItemStatus::NewModified && !insertRow(rows[i], long(i + 1)))
            return -1;
    }
    m_ds.resetUpdateFlags();
    return 1;
}

} // namespace rt
