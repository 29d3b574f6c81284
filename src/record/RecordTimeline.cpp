#include "record/RecordTimeline.h"

#include "host/QueryCondition.h"
#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/recovery/RecoveryPlan.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/ui/DwValueFormat.h"

namespace hm {

namespace {

// Columns that tell about a state rather than the record: the history key, when and why it was
// saved, and a number the live table gives its rows itself (a recovered row gets a new one).
bool isBookkeeping(const QString &name, const host::TableDef &table)
{
    if (name.compare(QLatin1String("hisid"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("savetime"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("issave"), Qt::CaseInsensitive) == 0)
        return true;
    for (const host::ColumnDef &c : table.liveColumns) {
        if (c.identity && c.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QString RecordTimeline::nullText()
{
    return QString::fromUtf8("（空）");
}

QString RecordTimeline::emptyText()
{
    return QString::fromUtf8("“”");
}

RecordTimeline RecordTimeline::load(const model::Category &category, const QString &key, rt::Transaction &live,
                                    rt::Transaction &history)
{
    RecordTimeline t;
    const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
    rt::DataStore snapshots;
    if (!table || snapshots.SetDataObject(category.historyGrid) != 1) {
        t.error = QStringLiteral("unknown category %1").arg(category.stem);
        return t;
    }
    // The key is bound; newest first, and among snapshots saved at the same moment the one
    // saved last first.
    const QString where = QStringLiteral(" WHERE ") + rt::sqlIdentifier(table->keyColumn) + QStringLiteral(" = ?");
    snapshots.SetSQLSelect(snapshots.GetSQLSelect() + where + QStringLiteral(" ORDER BY SaveTime DESC, hisid DESC"));
    snapshots.SetTransObject(&history);
    if (snapshots.Retrieve({rt::Value(key)}) < 0)
        t.error = history.SQLErrText().isEmpty() ? snapshots.lastError() : history.SQLErrText();

    rt::DataStore current;
    long liveRows = 0;
    if (model::RecoveryPlan::selectLiveRecord(current, category, live)) {
        liveRows = current.Retrieve({rt::Value(key)});
        if (liveRows < 0 && t.error.isEmpty())
            t.error = live.SQLErrText().isEmpty() ? current.lastError() : live.SQLErrText();
    }
    t.liveFound = liveRows >= 1;

    const rt::DwDefinition &def = snapshots.definition();
    QList<int> columns;
    for (const int c : def.displayOrder()) {
        if (isBookkeeping(def.column(c).name(), *table))
            continue;
        columns << c;
        t.fields << host::QueryCondition::caption(def, c);
    }
    const auto text = [](const rt::Value &v, const rt::DwObjectDef &column) {
        return v.isNull() ? QString() : rt::ui::DwValueFormat::display(v, column);
    };
    if (t.liveFound) {
        State s;
        s.live = true;
        for (const int c : columns) {
            const QString name = def.column(c).name();
            const rt::Value v = current.columnIndex(rt::DwCol(name)) >= 0 ? current.GetItem(1, name) : rt::Value();
            s.values << text(v, def.column(c));
            s.exact << (v.isNull() ? QString() : v.toText());
            s.nulls << v.isNull();
        }
        t.states << s;
    }
    const int saveTime = def.findColumn(QStringLiteral("SaveTime")), issave = def.findColumn(QStringLiteral("issave"));
    // What the dedupe compares: the history's columns but hisid, SaveTime and the record's key.
    QStringList stored;
    for (const host::ColumnDef &c : table->historyColumns()) {
        if (c.name == host::TableDef::surrogateKey() || c.name == host::TableDef::saveTimeColumn()
            || c.name.compare(table->keyColumn, Qt::CaseInsensitive) == 0)
            continue;
        stored << c.name;
    }
    for (long r = 1; r <= snapshots.RowCount(); ++r) {
        State s;
        for (const QString &name : std::as_const(stored)) {
            const rt::Value v = snapshots.GetItem(r, name);
            // A number to the last bit (the shown text rounds to 15 digits, the dedupe compares
            // the stored value).
            const QString exact = v.type() == rt::ValueType::Number ? QString::number(v.number(), 'g', 17) : v.toText();
            s.stored << (v.isNull() ? QStringLiteral("\x01") : QStringLiteral("=") + exact);
        }
        s.hisid = snapshots.GetItem(r, "hisid");
        if (saveTime >= 0)
            s.saveTime = text(snapshots.GetItem(r, saveTime + 1), def.column(saveTime));
        if (issave >= 0)
            s.issave = snapshots.GetItemString(r, issave + 1);
        for (const int c : columns) {
            const rt::Value v = snapshots.GetItem(r, c + 1);
            s.values << text(v, def.column(c));
            s.exact << (v.isNull() ? QString() : v.toText());
            s.nulls << v.isNull();
        }
        t.states << s;
    }
    t.compare();
    return t;
}

QString RecordTimeline::sameAsOlderText()
{
    return QString::fromUtf8("与上一状态相同");
}

void RecordTimeline::compare()
{
    for (int i = 0; i < states.size(); ++i) {
        State &s = states[i];
        // Newest first: the next older state is the next one, and only snapshots are compared
        // so (the live record is never a duplicate of the history).
        s.sameAsOlder = !s.live && i + 1 < states.size() && !states[i + 1].live && states[i + 1].stored == s.stored;
        s.changed.clear();
        s.changes.clear();
        for (int f = 0; f < fields.size(); ++f) {
            // A null and an empty text are different states of a field.
            const bool differs = i > 0
                                 && (s.nulls[f] != states[i - 1].nulls[f] || s.exact[f] != states[i - 1].exact[f]);
            s.changed << differs;
            if (differs) {
                const State &newer = states[i - 1];
                // Values that show alike but are not (seconds a format leaves out, trailing
                // blanks) are told as stored.
                const bool alike = !s.nulls[f] && !newer.nulls[f] && s.values[f] == newer.values[f];
                const auto shown = [alike](const State &x, int k) {
                    if (x.nulls[k])
                        return nullText();
                    const QString v = alike ? x.exact[k] : x.values[k];
                    return v.isEmpty() ? emptyText() : v;
                };
                s.changes << QString::fromUtf8("%1：%2 → %3").arg(fields[f], shown(s, f), shown(newer, f));
            }
        }
    }
}

bool RecordTimeline::fieldChanges(int field) const
{
    for (const State &s : states) {
        if (field < s.changed.size() && s.changed[field])
            return true;
    }
    return false;
}

} // namespace hm
