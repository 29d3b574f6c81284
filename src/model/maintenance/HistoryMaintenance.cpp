#include "model/maintenance/HistoryMaintenance.h"

#include "model/journal/Journal.h"
#include "host/LockHint.h"
#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/CategoryTable.h"
#include "model/HistorySql.h"
#include "model/deletion/HouseholdScope.h"
#include "model/deletion/PurgeDates.h"
#include "model/journal/JournalledChange.h"
#include "model/maintenance/HistoryCompaction.h"
#include "platform/core/Cursor.h"
#include "platform/core/DeclaredProcedure.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QUuid>
#include <algorithm>

namespace model {

namespace {

// How many hisids one DELETE binds: well under both databases' limits on bound values, so a
// chunk of any size is several statements in one transaction.
constexpr int IdsPerStatement = 500;

const host::TableDef *tableOf(const Category &category)
{
    return host::SchemaCatalogue::byTable(category.historyTable);
}

// The record a snapshot belongs to: the live table's key (its primary key, or the person's
// number, unique in every live table that numbers its rows: one row a person). A table's own
// number (orderno) is a column like the others: a recovered record is given a new one, and its
// history stays one record's.
QString recordKey(const rt::Transaction &t, const host::TableDef &def)
{
    return HistorySql::ident(t, def.keyColumn);
}

// Before `before` 00:00:00; SaveTime is compared as the databases store it.
rt::Value midnightOf(QDate before)
{
    return rt::Value(rt::DateTime(before));
}

// A snapshot without its record's key belongs to no record: keep-last and dedupe, which compare
// a snapshot with the others of its record, never take it (a purge by date alone does).
QString keyed(const rt::Transaction &t, const host::TableDef &def)
{
    return QStringLiteral("%1 IS NOT NULL").arg(recordKey(t, def));
}

// The same record as the row `d` a DELETE is at, in the table aliased `alias`.
QString sameRecord(const rt::Transaction &t, const host::TableDef &def, const QString &alias)
{
    return QStringLiteral("%1.%2 = d.%2").arg(alias, recordKey(t, def));
}

// What a chunk of hisids found by a select over several rows still has to hold when it is
// deleted, a condition on the DELETE's row `d`: another connection may have changed its record
// meanwhile, and the rows found are not deleted on the strength of rows no longer there.
// Keep-last: at least `keepLast` newer snapshots of its record remain.
QString keepLastStill(const rt::Transaction &t, const host::TableDef &def)
{
    const QString table = HistorySql::ident(t, def.historyTable);
    const QString hisid = HistorySql::ident(t, host::TableDef::surrogateKey());
    const QString saveTime = HistorySql::ident(t, host::TableDef::saveTimeColumn());
    return QStringLiteral("(SELECT count(*) FROM %1 q WHERE %2 AND q.%3 >= d.%3 AND (q.%3, q.%4) > (d.%3, d.%4)) >= ?")
        .arg(table, sameRecord(t, def, QStringLiteral("q")), saveTime, hisid);
}

// Dedupe: the snapshot saved just before it for its record is there and equal to it.
QString dedupeStill(const rt::Transaction &t, const host::TableDef &def, const QStringList &columns)
{
    const QString table = HistorySql::ident(t, def.historyTable);
    const QString hisid = HistorySql::ident(t, host::TableDef::surrogateKey());
    const QString saveTime = HistorySql::ident(t, host::TableDef::saveTimeColumn());
    QStringList equal;
    for (const QString &c : columns)
        equal << (HistorySql::onServer(t) ? QStringLiteral("p.%1 IS NOT DISTINCT FROM d.%1") : QStringLiteral("p.%1 IS d.%1")).arg(c);
    return QStringLiteral("EXISTS (SELECT 1 FROM %1 p WHERE p.%2 = (SELECT q.%2 FROM %1 q WHERE %3 AND q.%4 <= d.%4 AND "
                          "(q.%4, q.%2) < (d.%4, d.%2) ORDER BY q.%4 DESC, q.%2 DESC LIMIT 1) AND %5)")
        .arg(table, hisid, sameRecord(t, def, QStringLiteral("q")), saveTime, equal.join(QStringLiteral(" AND ")));
}

// `from`: the rows looked at, the table itself when empty (else a derived table, see sourceOf).
QString purgeSelect(const rt::Transaction &t, const host::TableDef &def, int keepLast, const QString &from = QString())
{
    const QString table = from.isEmpty() ? HistorySql::ident(t, def.historyTable) : from;
    const QString hisid = HistorySql::ident(t, host::TableDef::surrogateKey());
    const QString saveTime = HistorySql::ident(t, host::TableDef::saveTimeColumn());
    if (keepLast <= 0)
        return QStringLiteral("SELECT %1 FROM %2 WHERE %3 < ?").arg(hisid, table, saveTime);
    return QStringLiteral("SELECT h FROM (SELECT %1 AS h, %3 AS s, row_number() OVER (PARTITION BY %4 ORDER BY %3 DESC, %1 DESC) "
                          "AS rn FROM %2 WHERE %5) ranked WHERE s < ? AND rn > ?")
        .arg(hisid, table, saveTime, recordKey(t, def), keyed(t, def));
}

// The columns two snapshots of a record are compared by: all but hisid, SaveTime and the record's
// key (the same within a record by definition).
QStringList comparedColumns(const rt::Transaction &t, const host::TableDef &def)
{
    const QString key = recordKey(t, def);
    QStringList columns;
    for (const host::ColumnDef &c : def.historyColumns()) {
        if (c.name != host::TableDef::surrogateKey() && c.name != host::TableDef::saveTimeColumn() && HistorySql::ident(t, c.name) != key)
            columns << HistorySql::ident(t, c.name);
    }
    if (columns.isEmpty())
        columns << HistorySql::ident(t, host::TableDef::surrogateKey()); // nothing else to compare: no snapshot equals another
    return columns;
}

// Every snapshot equal, column by column but hisid and SaveTime, to the one saved just before
// it for the same record; the first of each record has no predecessor and always stays. The
// window only finds each snapshot's predecessor: carrying every column through it costs several
// times the pass itself. On the files the two rows are then joined by their rowid and compared
// (null-safe `IS`); on the server, where that join is the slower, one row value goes through the
// window and is compared whole (IS NOT DISTINCT FROM compares a row's fields null-safely).
QString dedupeSelect(const rt::Transaction &t, const host::TableDef &def, const QString &from = QString())
{
    const QString hisid = HistorySql::ident(t, host::TableDef::surrogateKey());
    const QString saveTime = HistorySql::ident(t, host::TableDef::saveTimeColumn());
    const QString table = HistorySql::ident(t, def.historyTable);
    const QString source = from.isEmpty() ? table : from;
    const QString key = recordKey(t, def);
    const QStringList columns = comparedColumns(t, def);
    if (HistorySql::onServer(t)) {
        // A record's first snapshot has no predecessor: lag gives a null where every row value
        // (a composite, however many of its fields are null) is distinct from it.
        return QStringLiteral("SELECT h FROM (SELECT %1 AS h, ROW(%4) AS r, lag(ROW(%4)) OVER (PARTITION BY %2 ORDER BY %3, %1) AS p "
                              "FROM %5 WHERE %6) runs WHERE r IS NOT DISTINCT FROM p")
            .arg(hisid, key, saveTime, columns.join(QStringLiteral(", ")), source, keyed(t, def));
    }
    QStringList equal;
    for (const QString &col : std::as_const(columns))
        equal << QStringLiteral("a.%1 IS b.%1").arg(col);
    // CROSS JOIN fixes the order: the predecessor first (a record's first snapshot, with none,
    // goes no further), each row then found by its rowid. Left to choose, the planner took the
    // predecessor through another index that the compared columns offered, and kept the window's
    // rows aside first, at half as much again.
    return QStringLiteral("SELECT x.h FROM (SELECT %1 AS h, lag(%1) OVER (PARTITION BY %2 ORDER BY %3, %1) AS p FROM %6 WHERE %7) x "
                          "CROSS JOIN %4 b CROSS JOIN %4 a WHERE b.%1 = x.p AND a.%1 = x.h AND %5")
        .arg(hisid, key, saveTime, table, equal.join(QStringLiteral(" AND ")), source, keyed(t, def));
}

// The rows of `def`'s table a dry run looks at when the steps in `earlier` run before it in the
// same run: the table without what those steps will have deleted by then, each step's rows
// found as it would find them (on what the steps before it leave). An empty text and no params
// when none of them touches the table. The derived table keeps every column under its name.
QString sourceOf(const rt::Transaction &t, const host::TableDef &def, const QList<HistoryMaintenance::Step> &earlier,
                 QList<rt::Value> &params)
{
    const QString table = HistorySql::ident(t, def.historyTable);
    const QString hisid = HistorySql::ident(t, host::TableDef::surrogateKey());
    QString from, previousAlias;
    for (int i = 0; i < earlier.size(); ++i) {
        const HistoryMaintenance::Step &step = earlier[i];
        const host::TableDef *stepDef = step.category ? tableOf(*step.category) : nullptr;
        if (!stepDef)
            continue;
        QString rows;
        QList<rt::Value> rowParams;
        bool readsFrom = false; // the step's rows are found on what the steps before it leave
        const bool sameTable = stepDef->historyTable.compare(def.historyTable, Qt::CaseInsensitive) == 0;
        if (!step.dedupe && step.policy.withPersons) {
            // The procedure runs on the register as it is before any other step.
            for (const HouseholdScope::Table &scope : HouseholdScope::of(t, PurgeDates::before(step.policy.before))) {
                if (scope.table.compare(def.historyTable, Qt::CaseInsensitive) == 0) {
                    rows = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(hisid, table, scope.where);
                    rowParams = scope.params;
                }
            }
        } else if (sameTable && step.dedupe) {
            rows = dedupeSelect(t, def, from);
            readsFrom = true;
        } else if (sameTable) {
            rows = purgeSelect(t, def, step.policy.keepLast, from);
            readsFrom = true;
            rowParams << midnightOf(step.policy.before);
            if (step.policy.keepLast > 0)
                rowParams << rt::Value(step.policy.keepLast);
        }
        if (rows.isEmpty())
            continue;
        // In the text's order: the rows read, then the step's select (which names them again
        // when it reads what the steps before it leave), then its own values.
        QList<rt::Value> outer = params;
        if (readsFrom)
            outer << params;
        outer << rowParams;
        // The server cannot turn NOT IN into an anti-join, and beyond its hash memory it would
        // compare every row with the whole list: NOT EXISTS there. SQLite indexes a NOT IN's
        // list (and names no columns of a derived table).
        const QString alias = QStringLiteral("s") + QString::number(i);
        // What is read so far, under a name of its own: the table, or the derived table before.
        const QString readAlias = from.isEmpty() ? QStringLiteral("t") + QString::number(i) : previousAlias;
        const QString source = from.isEmpty() ? table + QLatin1Char(' ') + readAlias : from;
        from = HistorySql::onServer(t) ? QStringLiteral("(SELECT * FROM %1 WHERE NOT EXISTS (SELECT 1 FROM (%2) e(id) WHERE e.id = %3.%4)) %5")
                                 .arg(source, rows, readAlias, hisid, alias)
                           : QStringLiteral("(SELECT * FROM %1 WHERE %2 NOT IN (%3)) %4").arg(source, hisid, rows, alias);
        previousAlias = alias;
        params = outer;
    }
    return from;
}

// hint: the line on another's lock or the lost connection, taken before the read is ended.
int readIds(rt::Transaction &t, const QString &select, const QList<rt::Value> &params, QList<qint64> &ids, QString &error,
            QString &hint)
{
    rt::Cursor cursor(t, select);
    if (cursor.open(params) != 0) {
        error = t.SQLErrText();
        hint = host::LockHint::add(QString(), t, true);
        HistorySql::endRead(t);
        return -1;
    }
    QList<rt::Value> row{rt::Value::null(rt::ValueType::Long)};
    int rc;
    while ((rc = cursor.fetch(row)) == 0)
        ids << row[0].longValue();
    if (rc == -1) {
        error = t.SQLErrText();
        hint = host::LockHint::add(QString(), t, true);
    }
    cursor.close();
    HistorySql::endRead(t);
    return rc == -1 ? -1 : 0;
}

QDateTime toQt(const rt::Value &v)
{
    if (v.isNull())
        return {};
    const rt::DateTime dt = v.dateTime();
    return QDateTime(dt.date(), QTime::fromMSecsSinceStartOfDay(int(dt.time().micros() / 1000)));
}

QString failureText(const char *what, const QString &database)
{
    return QString::fromUtf8(what) + (database.isEmpty() ? QString() : QStringLiteral("\n") + database);
}

} // namespace

HistoryMaintenance::HistoryMaintenance(rt::Transaction &live, rt::Transaction &history) : m_live(live), m_history(history)
{
}

const Category *HistoryMaintenance::categoryByName(const QString &name)
{
    const QString wanted = name.trimmed();
    for (const Category &c : CategoryTable::all()) {
        if (c.tabText == wanted || c.historyTable.compare(wanted, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

int HistoryMaintenance::stats(Stats &out, QString &error)
{
    out = Stats();
    rt::Transaction &t = m_history;
    const QString saveTime = HistorySql::ident(t, host::TableDef::saveTimeColumn());
    const QString year = HistorySql::onServer(t) ? QStringLiteral("CAST(extract(year FROM %1) AS integer)").arg(saveTime)
                                     : QStringLiteral("CAST(substr(%1, 1, 4) AS integer)").arg(saveTime);
    for (const Category &c : CategoryTable::all()) {
        const host::TableDef *def = tableOf(c);
        if (!def)
            continue;
        CategoryStats s;
        s.category = &c;
        const QString table = HistorySql::ident(t, def->historyTable);
        QList<rt::Value> row{rt::Value::null(rt::ValueType::Long), rt::Value::null(rt::ValueType::DateTime),
                             rt::Value::null(rt::ValueType::DateTime)};
        if (t.selectInto(QStringLiteral("SELECT count(*), min(%1), max(%1) FROM %2").arg(saveTime, table), {}, row) != 0) {
            error = failureText("无法读取历史信息的统计。", t.SQLErrText());
            HistorySql::endRead(t);
            return -1;
        }
        s.rows = row[0].longValue();
        if (s.rows > 0) {
            s.oldest = toQt(row[1]);
            s.newest = toQt(row[2]);
        }
        rt::Cursor years(t, QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %1 ORDER BY 1").arg(year, table));
        if (years.open() != 0) {
            error = failureText("无法读取历史信息的统计。", t.SQLErrText());
            HistorySql::endRead(t);
            return -1;
        }
        QList<rt::Value> y{rt::Value::null(rt::ValueType::Long), rt::Value::null(rt::ValueType::Long)};
        while (years.fetch(y) == 0)
            s.rowsPerYear[int(y[0].longValue())] = y[1].longValue();
        years.close();
        QList<rt::Value> dup{rt::Value::null(rt::ValueType::Long)};
        if (t.selectInto(QStringLiteral("SELECT count(*) FROM (%1) d").arg(dedupeSelect(t, *def)), {}, dup) != 0) {
            error = failureText("无法计算重复快照。", t.SQLErrText());
            HistorySql::endRead(t);
            return -1;
        }
        s.duplicates = dup[0].longValue();
        out.categories << s;
    }
    QList<rt::Value> bytes{rt::Value::null(rt::ValueType::Long)};
    const QString size = HistorySql::onServer(t)
                             ? QStringLiteral("SELECT CAST(coalesce(sum(pg_total_relation_size(c.oid)), 0) AS bigint) FROM pg_class c "
                                              "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'history' "
                                              "AND c.relkind IN ('r', 'p')")
                             : QStringLiteral("SELECT p.page_count * s.page_size FROM pragma_page_count() p, pragma_page_size() s");
    if (t.selectInto(size, {}, bytes) == 0)
        out.historyBytes = bytes[0].longValue();
    HistorySql::endRead(t);
    return 0;
}

int HistoryMaintenance::purge(const Category &category, const PurgePolicy &policy, const RunOptions &options, RunResult &result)
{
    result = RunResult();
    const host::TableDef *def = tableOf(category);
    if (!def) {
        result.error = QString::fromUtf8("没有这个信息类别：%1").arg(category.tabText);
        return -1;
    }
    if (!policy.before.isValid()) {
        result.error = QString::fromUtf8("没有给出删除的日期。");
        return -1;
    }
    if (policy.withPersons) {
        if (def->stem != QLatin1String("ge_rpr")) {
            result.error = QString::fromUtf8("只有户籍信息可以连同户中人员删除。");
            return -1;
        }
        if (policy.keepLast > 0) {
            // The household procedure deletes by date only; keeping the newest of each record
            // would silently not hold for the persons it takes along.
            result.error = QString::fromUtf8("连同户中人员删除时不能保留每条记录最近的快照。");
            return -1;
        }
        return purgeHouseholds(category, PurgeDates::before(policy.before), QString(), options, result);
    }
    if (policy.keepLast <= 0)
        return purgeDates(category, PurgeDates::before(policy.before), false, QString(), options, result);
    QList<rt::Value> params;
    const QString from = options.dryRun ? sourceOf(m_history, *def, options.earlier, params) : QString();
    params << midnightOf(policy.before) << rt::Value(policy.keepLast);
    const QString detail = PurgeDates::before(policy.before).words()
                           + QString::fromUtf8("，每条记录保留最近 %1 个快照").arg(policy.keepLast);
    return deleteSelected(category, *def, purgeSelect(m_history, *def, policy.keepLast, from), params, QString(),
                          keepLastStill(m_history, *def), {rt::Value(policy.keepLast)}, QString::fromUtf8("批量删除"), detail,
                          options, result);
}

int HistoryMaintenance::purgeDates(const Category &category, const PurgeDates &dates, bool withPersons, const QString &what,
                                   const RunOptions &options, RunResult &result)
{
    result = RunResult();
    const host::TableDef *def = tableOf(category);
    if (!def) {
        result.error = QString::fromUtf8("没有这个信息类别：%1").arg(category.tabText);
        return -1;
    }
    if (withPersons) {
        if (def->stem != QLatin1String("ge_rpr")) {
            result.error = QString::fromUtf8("只有户籍信息可以连同户中人员删除。");
            return -1;
        }
        return purgeHouseholds(category, dates, what, options, result);
    }
    QList<rt::Value> params;
    const QString from = options.dryRun ? sourceOf(m_history, *def, options.earlier, params) : QString();
    params << dates.values();
    // The dates are a test of each row by itself: chunks are deleted as ranges.
    const QString rowTest = dates.condition(HistorySql::ident(m_history, host::TableDef::saveTimeColumn()));
    const QString select = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                               .arg(HistorySql::ident(m_history, host::TableDef::surrogateKey()),
                                    from.isEmpty() ? HistorySql::ident(m_history, def->historyTable) : from, rowTest);
    return deleteSelected(category, *def, select, params, rowTest, QString(), {}, QString::fromUtf8("批量删除"),
                          what.isEmpty() ? dates.words() : what, options, result);
}

int HistoryMaintenance::dedupe(const Category &category, const RunOptions &options, RunResult &result)
{
    result = RunResult();
    const host::TableDef *def = tableOf(category);
    if (!def) {
        result.error = QString::fromUtf8("没有这个信息类别：%1").arg(category.tabText);
        return -1;
    }
    QList<rt::Value> params;
    const QString from = options.dryRun ? sourceOf(m_history, *def, options.earlier, params) : QString();
    return deleteSelected(category, *def, dedupeSelect(m_history, *def, from), params, QString(),
                          dedupeStill(m_history, *def, comparedColumns(m_history, *def)), {}, QString::fromUtf8("去重"),
                          QString::fromUtf8("与上一状态相同的快照"), options, result);
}

int HistoryMaintenance::deleteSelected(const Category &category, const host::TableDef &def, const QString &select,
                                       const QList<rt::Value> &params, const QString &rowTest, const QString &stillTest,
                                       const QList<rt::Value> &stillParams, const QString &action, const QString &what,
                                       const RunOptions &options, RunResult &result)
{
    rt::Transaction &t = m_history;
    QList<qint64> ids;
    QString error;
    if (readIds(t, select, params, ids, error, result.hint) != 0) {
        result.error = failureText("无法找出要删除的历史记录。", error);
        return -1;
    }
    // Deleted in the table's own order: each chunk then takes pages next to each other, written
    // (and journalled) about once, where the select's order would rewrite most of the table at
    // every chunk's COMMIT.
    std::sort(ids.begin(), ids.end());
    const long long total = ids.size();
    result.found = total;
    if (options.dryRun) {
        result.deleted = {{def.historyTable, total}};
        return 0;
    }
    if (options.confirmed >= 0 && total > options.confirmed) {
        result.changed = true;
        result.deleted = {{def.historyTable, 0}};
        return 0;
    }
    result.deleted = {{def.historyTable, 0}};
    const QString runId = options.runId.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : options.runId;
    const long chunkRows = std::max<long>(options.chunkRows, 1);
    ChunkProgress progress{&category, 0, total, 0};
    if (options.progress && !options.progress(progress)) {
        result.interrupted = true;
        return 0;
    }
    const QString table = HistorySql::ident(t, def.historyTable);
    const QString hisid = HistorySql::ident(t, host::TableDef::surrogateKey());
    const QString still = stillTest.isEmpty() ? QString() : QStringLiteral(" AND ") + stillTest;
    for (long long from = 0; from < total; from += chunkRows) {
        const long long to = std::min<long long>(from + chunkRows, total);
        const int chunk = result.chunks + 1;
        JournalledChange change(t, model::Journal::Entry{action, category.tabText, QString(), {}, QString::fromUtf8("成功"),
                                   QString::fromUtf8("%1；运行 %2；第 %3 块%4")
                                       .arg(what, runId)
                                       .arg(chunk)
                                       .arg(options.optionsText.isEmpty() ? QString() : QString::fromUtf8("；") + options.optionsText)});
        long long rows = 0;
        bool ok = true;
        if (!rowTest.isEmpty()) {
            // Its first to last hisid, with the test that found them: one range of the table's
            // key, where a list is one probe of it a row. Rows saved since the select have
            // hisids beyond every range found.
            QList<rt::Value> bound{rt::Value(std::int64_t(ids[from])), rt::Value(std::int64_t(ids[to - 1]))};
            bound << params;
            // On the files the planner, offered a range of SaveTime beside the range of hisids
            // (the dialog's two dates), walks the SaveTime index over the whole range at every
            // chunk: the hisids' range is the one to take.
            const QString byKey = HistorySql::onServer(t) ? QString() : QStringLiteral(" NOT INDEXED");
            ok = t.execute(QStringLiteral("DELETE FROM %1%4 WHERE %2 >= ? AND %2 <= ? AND %3").arg(table, hisid, rowTest, byKey), bound)
                 != -1;
            if (ok)
                rows += t.SQLNRows();
        } else if (HistorySql::onServer(t)) {
            // One statement a chunk, its keys bound as one array: the server's cost is per
            // statement more than per row.
            QStringList keys;
            for (long long i = from; i < to; ++i)
                keys << QString::number(ids[i]);
            QList<rt::Value> bound{rt::Value(QStringLiteral("{%1}").arg(keys.join(QLatin1Char(','))))};
            bound << stillParams;
            ok = t.execute(QStringLiteral("DELETE FROM %1 AS d WHERE d.%2 = ANY(CAST(? AS bigint[]))%3").arg(table, hisid, still), bound)
                 != -1;
            if (ok)
                rows += t.SQLNRows();
        }
        for (long long at = from; at < to && ok && rowTest.isEmpty() && !HistorySql::onServer(t); at += IdsPerStatement) {
            const long long end = std::min<long long>(at + IdsPerStatement, to);
            QStringList marks;
            QList<rt::Value> bound;
            for (long long i = at; i < end; ++i) {
                marks << QStringLiteral("?");
                bound << rt::Value(std::int64_t(ids[i]));
            }
            bound << stillParams;
            ok = t.execute(QStringLiteral("DELETE FROM %1 AS d WHERE d.%2 IN (%3)%4").arg(table, hisid, marks.join(QLatin1Char(',')), still),
                           bound)
                 != -1;
            if (ok)
                rows += t.SQLNRows();
        }
        change.entry().counts = {{def.historyTable, rows}};
        // What the register holds is read before anything is told: a COMMIT whose answer was
        // lost may have held. Found saved, the chunk is done, told and counted like any other.
        const ChangeOutcome &outcome = ok ? change.commit() : change.fail();
        if (!outcome.saved()) {
            result.failure = outcome;
            result.error = outcome.unknown()
                               ? failureText("删除历史记录失败，这一块是否已删除不明。", outcome.why + QStringLiteral("\n") + outcome.unreadable)
                               : failureText("删除历史记录失败，这一块没有删除。", outcome.why);
            return -1;
        }
        result.lastHisid = ids[to - 1];
        ++result.chunks;
        result.deleted[0].rows += rows;
        progress.deletedSoFar = result.deleted[0].rows;
        progress.chunk = result.chunks;
        if (options.progress && !options.progress(progress) && to < total) {
            result.interrupted = true;
            return 0;
        }
    }
    return 0;
}

int HistoryMaintenance::purgeHouseholds(const Category &category, const PurgeDates &dates, const QString &what,
                                        const RunOptions &options, RunResult &result)
{
    // The household procedure with the dates' flag: it cannot be chunked nor report its counts,
    // so they are read first in its own transaction, with its predicates (HouseholdScope).
    rt::Transaction &t = m_history;
    const QString runId = options.runId.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : options.runId;
    JournalledChange change(t, model::Journal::Entry{QString::fromUtf8("批量删除"), category.tabText, QString(), {},
                                                    QString::fromUtf8("成功"),
                                                    QString::fromUtf8("%1；连同户中人员；运行 %2；第 1 块%3")
                                                        .arg(what.isEmpty() ? dates.words() : what, runId,
                                                             options.optionsText.isEmpty() ? QString()
                                                                                           : QString::fromUtf8("；") + options.optionsText)});
    // A failure from here on is the change's: settled, and journalled unless it was a dry run.
    auto failed = [&](const char *message) {
        if (options.dryRun) {
            result.error = failureText(message, t.SQLErrText());
            change.abandon();
            return -1;
        }
        const bool stopped = options.stopped && options.stopped();
        const ChangeOutcome &outcome = stopped ? change.stop(QString::fromUtf8("操作员取消")) : change.fail();
        result.failure = outcome;
        result.interrupted = stopped;
        if (stopped)
            return 0;
        result.error = outcome.unknown() ? failureText(message, outcome.why + QStringLiteral("\n") + outcome.unreadable)
                                         : failureText(message, outcome.why);
        return -1;
    };
    if (!options.dryRun && change.beginCounted() != 0)
        return failed("无法开始删除。");
    long long found = 0;
    for (const HouseholdScope::Table &scope : HouseholdScope::of(t, dates)) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (t.selectInto(scope.countSql(t), scope.params, n) != 0)
            return failed("无法计算将删除的记录数，未作删除。");
        change.entry().counts << std::pair<QString, long long>(scope.table, n[0].longValue());
        result.deleted << TableCount{scope.table, n[0].longValue()};
        found += n[0].longValue();
    }
    result.found = found;
    auto nothingDeleted = [&result] {
        for (TableCount &c : result.deleted)
            c.rows = 0;
    };
    if (options.dryRun || found == 0) {
        change.abandon();
        return 0;
    }
    if (options.confirmed >= 0 && found > options.confirmed) {
        change.abandon();
        result.changed = true;
        nothingDeleted();
        return 0;
    }
    ChunkProgress progress{&category, 0, found, 0};
    if (options.progress && !options.progress(progress)) {
        // The operator's stop is journalled as such; an interrupt of the command line before
        // anything began leaves nothing to say.
        if (options.stopped && options.stopped())
            result.failure = change.stop(QString::fromUtf8("操作员取消"));
        else
            change.abandon();
        result.interrupted = true;
        nothingDeleted();
        return 0;
    }
    rt::DeclaredProcedure procedure(t, QStringLiteral("proc_DelRprScope @pi_flag =%1 , @pd_start = :ldt_start, @pd_end = :ldt_end")
                                           .arg(dates.procedureFlag()));
    procedure.execute({{QStringLiteral("ldt_start"), dates.procedureStart()}, {QStringLiteral("ldt_end"), dates.procedureEnd()}});
    const bool done = t.SQLCode() == 0;
    // Past this point a stop no longer lands: the change commits or fails as it would.
    const bool ok = done && (!options.beforeCommit || options.beforeCommit());
    const bool stopped = !ok && options.stopped && options.stopped();
    // Settled before the procedure is closed: its failure's error is the change's reason.
    const ChangeOutcome &outcome = !ok ? (stopped ? change.stop(QString::fromUtf8("操作员取消")) : change.fail()) : change.commit();
    procedure.close();
    if (!outcome.saved()) {
        result.failure = outcome;
        result.interrupted = stopped;
        nothingDeleted();
        if (stopped)
            return 0;
        result.error = outcome.unknown()
                           ? failureText("删除户籍历史信息失败，是否已删除不明。", outcome.why + QStringLiteral("\n") + outcome.unreadable)
                           : failureText("删除户籍历史信息失败，什么也没有删除。", outcome.why);
        return -1;
    }
    result.chunks = 1;
    progress.deletedSoFar = found;
    progress.chunk = 1;
    if (options.progress)
        options.progress(progress);
    return 0;
}

int HistoryMaintenance::compact(const QList<std::pair<TableCount, long long>> &deletedOfRowsBefore, RunResult &result)
{
    return HistoryCompaction::compact(m_history, deletedOfRowsBefore, result);
}

} // namespace model
