#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "host/HostDwLibrary.h"
#include "host/QueryCondition.h"
#include "host/RegisterDatabases.h"
#include "platform/core/SqlLexer.h"
#include "platform/core/Transaction.h"
#include "platform/core/DateTime.h"
#include "platform/core/Decimal.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QFile>
#include <QTemporaryDir>

namespace fuzz {

namespace {

// The person history grid, as the module shows it: every column type the register has.
const rt::DwDefinition &personGrid()
{
    static const rt::DwDefinition definition = [] {
        rt::DwLibrary library;
        QString error;
        if (!host::HostDwLibrary::load(library, QString(), error))
            broken("the built-in library does not load", error);
        const auto found = library.find(QStringLiteral("dh_ge_personinfo"), error);
        if (!found)
            broken("dh_ge_personinfo is missing", error);
        return *found;
    }();
    return definition;
}

// A grid over personGrid() holding a few rows with values of every kind, nulls among them.
rt::DataStore &filledGrid()
{
    static rt::DataStore *ds = [] {
        auto *store = new rt::DataStore; // kept for the process's life
        store->setDefinition(personGrid(), QStringLiteral("dh_ge_personinfo"));
        const rt::DwDefinition &d = store->definition();
        for (int r = 0; r < 6; ++r) {
            const long row = store->InsertRow(0);
            for (int c = 0; c < d.columnCount(); ++c) {
                if ((r + c) % 5 == 0)
                    continue; // null
                rt::Value v;
                switch (d.columnType(c).valueType) {
                case rt::ValueType::String:
                    v = rt::Value(QStringLiteral("值'%1\"%2").arg(r).arg(c));
                    break;
                case rt::ValueType::Date:
                    v = rt::Value(QDate(2000 + r, 1 + c % 12, 1 + r));
                    break;
                case rt::ValueType::DateTime:
                    v = rt::Value(*rt::DateTime::parse(QStringLiteral("2024-0%1-1%2 10:00:00").arg(1 + r).arg(r)));
                    break;
                case rt::ValueType::Decimal:
                    v = rt::Value(*rt::Decimal::parse(QStringLiteral("%1.25").arg(r * 7 - 10)));
                    break;
                default:
                    v = rt::Value(std::int64_t(r * 3 - 5));
                }
                store->SetItem(row, rt::DwCol(c + 1), v);
            }
        }
        return store;
    }();
    return *ds;
}

// The history file the conditions run against, made once per process.
rt::Transaction &historyFile()
{
    static rt::Transaction *t = [] {
        static QTemporaryDir folder;
        QString error;
        const QString live = folder.filePath(QStringLiteral("register.db")), history = folder.filePath(QStringLiteral("history.db"));
        static rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
        if (host::RegisterDatabases::create(live, history, error) != 0
            || host::RegisterDatabases::connect(live, history, sqlca, photosqlca, error) != 0)
            broken("cannot make a register", error);
        return &photosqlca;
    }();
    return *t;
}

// A condition the query window built is one statement with nothing left to bind, and on the
// files the database takes it as it stands.
void checkCondition(const QString &condition, bool files)
{
    const QString sql = QStringLiteral("SELECT count(*) FROM (%1) q")
                            .arg(host::QueryCondition::restrict(personGrid().select(), condition));
    const rt::SqlLexer::Statement st = rt::SqlLexer::first(sql);
    check(st.tail == sql.size() && st.parameterCount == 0 && st.error.isEmpty(), "query: not one statement", condition);
    if (!files)
        return;
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    rt::Transaction &t = historyFile();
    check(t.selectInto(sql, {}, n) == 0, "query: the database refuses the condition", condition + QStringLiteral(" -- ") + t.SQLErrText());
}

} // namespace

int filterExpression(const std::uint8_t *data, std::size_t size)
{
    rt::DataStore &ds = filledGrid();
    const long all = ds.RowCount() + ds.FilteredCount();
    if (ds.SetFilter(text(data, size)) == 1)
        ds.Filter();
    check(ds.RowCount() + ds.FilteredCount() == all, "filter: rows lost or made");
    // No filter shows every row again.
    check(ds.SetFilter(QString()) == 1 && ds.Filter() == 1 && ds.RowCount() == all, "filter: rows not restored");
    return 0;
}

int propertyExpression(const std::uint8_t *data, std::size_t size)
{
    rt::DataStore ds;
    ds.setDefinition(personGrid(), QStringLiteral("dh_ge_personinfo"));
    ds.InsertRow(0);
    const QString expression = text(data, size);
    ds.Describe(expression);
    if (!ds.Modify(expression).isEmpty())
        return 0; // refused: nothing changed
    ds.Describe(expression);
    // Whatever was changed, the definition is still one that can be written and read back.
    QString error;
    const auto again = rt::DwDefinition::fromJson(ds.definition().toJson(), error);
    check(again.has_value(), "Modify: definition no longer reads back", error);
    return 0;
}

int definitionJson(const std::uint8_t *data, std::size_t size)
{
    // As a --layouts folder holds it: a file named after the object it replaces.
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("dh_ge_rpr.json"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            broken("cannot write the layouts file");
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    rt::DwLibrary library;
    library.setOverrideFolder(folder.path());
    QString error;
    const auto definition = library.find(QStringLiteral("dh_ge_rpr"), error);
    if (!definition)
        return 0;
    // What was read is written and read back the same.
    const QByteArray json = definition->toJson();
    const auto again = rt::DwDefinition::fromJson(json, error);
    check(again.has_value(), "definition: its own text does not read back", error);
    check(again->toJson() == json, "definition: round trip differs");
    // And the object is usable as a DataWindow.
    rt::DataStore ds;
    ds.setDefinition(*definition, QStringLiteral("dh_ge_rpr"));
    const long row = ds.InsertRow(0);
    for (int c = 0; c < definition->columnCount(); ++c) {
        ds.SetItem(row, rt::DwCol(c + 1), rt::Value(QStringLiteral("1")));
        ds.GetItemString(row, rt::DwCol(c + 1));
    }
    ds.Describe(QStringLiteral("datawindow.column.count"));
    ds.Sort();
    return 0;
}

int queryCondition(const std::uint8_t *data, std::size_t size)
{
    // A line a condition: its first character picks the column, the second the comparison (and
    // whether it joins with or), the rest is the value as typed.
    const rt::DwDefinition &d = personGrid();
    const QList<host::QueryTerm::Op> ops = host::QueryCondition::ops();
    QList<host::QueryTerm> terms;
    for (const QString &line : text(data, size).split(QLatin1Char('\n'))) {
        if (line.size() < 2 || terms.size() >= 8)
            continue;
        host::QueryTerm t;
        t.column = int(line[0].unicode() % d.columnCount());
        t.op = ops[line[1].unicode() % ops.size()];
        t.orWithPrevious = (line[1].unicode() / ops.size()) % 2 == 1;
        t.value = line.mid(2);
        terms << t;
    }
    for (const auto dialect : {host::QueryCondition::Dialect::SQLite, host::QueryCondition::Dialect::PostgreSQL}) {
        QString sql, shown, error;
        if (!host::QueryCondition::build(d, terms, sql, shown, error, dialect))
            continue;
        checkCondition(sql, dialect == host::QueryCondition::Dialect::SQLite);
    }
    return 0;
}

} // namespace fuzz
