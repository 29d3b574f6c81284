#include "TestRegister.h"

#include "platform/core/DateTime.h"
#include "platform/core/Decimal.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwOnwardReader.h"
#include "platform/dw/DwPageRows.h"
#include "platform/dw/DwPager.h"
#include "platform/dw/DwSorter.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace rt;

namespace {

QString definitionText()
{
    return QString::fromUtf8(R"json({
  "style": "grid",
  "table.select": "SELECT hisid, name, amount, born, saved FROM paged",
  "table.updatetable": "paged",
  "objects": [
    {"type": "column", "name": "hisid", "coltype": "long", "key": "yes", "identity": "yes"},
    {"type": "column", "name": "name", "coltype": "char(20)"},
    {"type": "column", "name": "amount", "coltype": "decimal(2)"},
    {"type": "column", "name": "born", "coltype": "date"},
    {"type": "column", "name": "saved", "coltype": "datetime"}
  ]
})json");
}

} // namespace

// A grid that retrieves as it is scrolled, on the files and on the server: pages by key must
// give exactly the rows of one read in the same order, whatever the sort, the nulls and the ties,
// and must leave nothing open between pages.
class PagedRetrieveTest : public ::testing::Test
{
protected:
    static constexpr int Rows = 240;

    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        QString error;
        ASSERT_EQ(TestRegister::connectPlain(dir.path(), t, true, error), 0) << error.toStdString();
        const bool server = TestRegister::onServer();
        ASSERT_EQ(t.executeImmediate(QStringLiteral("CREATE TABLE paged (hisid INTEGER PRIMARY KEY, name VARCHAR(20), "
                                                    "amount %1, born DATE, saved %2)")
                                         .arg(server ? QStringLiteral("NUMERIC(18,2)") : QStringLiteral("DECIMAL_TEXT(18,2)"),
                                              server ? QStringLiteral("TIMESTAMP(6)") : QStringLiteral("DATETIME"))),
                  0)
            << t.SQLErrText().toStdString();
        // Few distinct values, nulls and empty names: ties at page boundaries are the rule.
        // Amounts of different lengths (0.25, 43.46, 86.67, 129.88): in text order they would
        // not be in order.
        QRandomGenerator random(7);
        static const char *names[] = {"张三", "O'Brien", "", "李四", "王五"};
        for (int i = 1; i <= Rows; ++i) {
            const auto pick = [&](int n) { return int(random.bounded(n)); };
            QList<Value> row{Value(i),
                             pick(6) == 0 ? Value::null(ValueType::String) : Value(QString::fromUtf8(names[pick(5)])),
                             pick(5) == 0 ? Value::null(ValueType::Decimal) : Value(Decimal(pick(4) * 4321 + 25, 2)),
                             pick(5) == 0 ? Value::null(ValueType::Date) : Value(QDate(2020, 1 + pick(3), 1)),
                             pick(5) == 0 ? Value::null(ValueType::DateTime)
                                          : Value(DateTime(QDate(2021, 5, 1), Time(10, 0, 0, pick(3) * 250000)))};
            ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO paged VALUES (?, ?, ?, ?, ?)"), row), 0) << t.SQLErrText().toStdString();
        }
        ASSERT_EQ(t.commit(), 0);
        QString errors;
        ASSERT_EQ(ds.Create(definitionText(), errors), 1) << errors.toStdString();
        ds.SetTransObject(&t);
    }

    std::vector<long long> keys(const DataStore &from) const
    {
        std::vector<long long> out;
        for (long r = 1; r <= from.RowCount(); ++r)
            out.push_back(from.GetItem(r, "hisid").longValue());
        return out;
    }
    // The rows in the database's own order for this sort: one statement, no pages.
    std::vector<long long> inOneRead(const QString &sort)
    {
        QList<DwPager::Key> order;
        std::vector<int> columns;
        EXPECT_TRUE(DwPager::orderKeys(ds.definition(), sort, !TestRegister::onServer(), order, columns));
        QList<Value> binds;
        DataStore all;
        QString errors;
        all.Create(definitionText(), errors);
        all.SetTransObject(&t);
        all.SetSQLSelect(DwPager::pageSelect(ds.GetSQLSelect(), order, nullptr, 0, binds));
        EXPECT_EQ(all.Retrieve(), Rows);
        return keys(all);
    }

    QTemporaryDir dir;
    Transaction t{QStringLiteral("photosqlca")};
    DataStore ds;
};

class PagedOrderTest : public PagedRetrieveTest, public ::testing::WithParamInterface<const char *>
{};

// GRD-01, GRD-04, GRD-08
TEST_P(PagedOrderTest, PagesGiveEveryRowOnceInTheOrderOfOneRead)
{
    const QString sort = QString::fromUtf8(GetParam());
    ASSERT_EQ(ds.SetSort(sort), 1);
    ds.setRetrievePortion(7);
    ASSERT_EQ(ds.Retrieve(), 7);
    EXPECT_TRUE(ds.canRetrieveMore());
    EXPECT_EQ(ds.RetrieveMore(), 14) << "pages grow with what was read";
    ASSERT_EQ(ds.RetrieveAll(), Rows) << ds.lastError().toStdString();
    EXPECT_FALSE(ds.canRetrieveMore());
    EXPECT_EQ(ds.RetrieveMore(), 0);
    EXPECT_EQ(keys(ds), inOneRead(sort));

    // The pages also agree with the sort the grid does in memory, nulls first ascending and last
    // descending, names in the order a Chinese reader expects on both backends.
    {
        DataStore memory;
        QString errors;
        memory.Create(definitionText(), errors);
        memory.SetTransObject(&t);
        memory.SetSQLSelect(memory.GetSQLSelect() + QStringLiteral(" ORDER BY hisid"));
        ASSERT_EQ(memory.Retrieve(), Rows);
        if (!sort.isEmpty()) {
            ASSERT_EQ(memory.SetSort(sort), 1);
            ASSERT_EQ(memory.Sort(), 1);
        }
        EXPECT_EQ(keys(ds), keys(memory));
    }
}

// A print preview's pages far from the rows a grid holds: each read by itself at its place in
// the order, from whichever end is nearer (the last page first in the reversed order), with
// nulls, ties and decimals where one read puts them; the grid itself reads nothing more.
// GRD-16
TEST_P(PagedOrderTest, PagesFarAheadAreReadAtTheirPlaceWithoutTheRowsBefore)
{
    const QString sort = QString::fromUtf8(GetParam());
    ASSERT_EQ(ds.SetSort(sort), 1);
    ds.setRetrievePortion(7);
    ASSERT_EQ(ds.Retrieve(), 7);
    const std::vector<long long> order = inOneRead(sort);
    DwPageRows rows(ds, Rows, 10);
    // The grid's own rows, across its end, the last page, one near the end, the middle, pages
    // going back from the end, and one past the end.
    for (const auto &[first, last] : std::vector<std::pair<long, long>>{
             {1, 5}, {5, 12}, {234, 240}, {219, 226}, {118, 125}, {226, 233}, {212, 219}, {239, 250}}) {
        QString error;
        ASSERT_TRUE(rows.hold(first, last, error)) << error.toStdString();
        EXPECT_TRUE(rows.holds(first, last));
        ASSERT_EQ(rows.lastHeld(), std::min<long>(last, Rows));
        for (long r = first; r <= rows.lastHeld(); ++r)
            ASSERT_EQ(rows.item(r, 1).longValue(), order[std::size_t(r - 1)]) << "row " << r << " of " << first << ".." << last;
    }
    EXPECT_EQ(ds.RowCount(), 7) << "nothing read into the grid";
}

INSTANTIATE_TEST_SUITE_P(Sorts, PagedOrderTest,
                         ::testing::Values("", "hisid D", "name A", "name D", "amount A, born D", "born A, saved D",
                                           "saved A", "amount D, name A, saved A"));

// GRD-05
TEST_F(PagedRetrieveTest, RowsChangedBetweenPagesAreReadAsTheyNowAre)
{
    ds.setRetrievePortion(50);
    ASSERT_EQ(ds.Retrieve(), 50);
    // Another operator deletes rows not yet read, and one already read, and a new row arrives.
    Transaction other{QStringLiteral("other")};
    QString error;
    ASSERT_EQ(TestRegister::connectPlain(dir.path(), other, false, error), 0) << error.toStdString();
    ASSERT_EQ(other.execute(QStringLiteral("DELETE FROM paged WHERE hisid IN (10, 60, 61, 239)")), 0);
    ASSERT_EQ(other.execute(QStringLiteral("INSERT INTO paged (hisid, name) VALUES (500, 'new')")), 0);
    ASSERT_EQ(other.commit(), 0);
    ASSERT_EQ(ds.RetrieveAll(), Rows - 3 + 1);
    const auto got = keys(ds);
    EXPECT_EQ(got[9], 10) << "a row already read stays until the grid is retrieved again";
    EXPECT_EQ(std::count(got.begin(), got.end(), 60), 0);
    EXPECT_EQ(got.back(), 500);
}

// GRD-04
TEST_F(PagedRetrieveTest, NothingStaysOpenBetweenPages)
{
    // The grid's own session, looked at by its process id (other tests' sessions may be about).
    QList<Value> pid{Value::null(ValueType::Long)};
    if (TestRegister::onServer()) {
        ASSERT_EQ(t.selectInto(QStringLiteral("SELECT pg_backend_pid()"), {}, pid), 0) << t.SQLErrText().toStdString();
        t.rollback();
    }
    ds.setRetrievePortion(20);
    ASSERT_EQ(ds.Retrieve(), 20);
    Transaction other{QStringLiteral("other")};
    QString error;
    ASSERT_EQ(TestRegister::connectPlain(dir.path(), other, false, error), 0) << error.toStdString();
    other.BusyTimeoutMs = 200;
    // On the files a writer's COMMIT must wait until no reader holds the file (a rollback
    // journal): it goes through within a short wait only because the grid holds nothing open.
    ASSERT_EQ(other.execute(QStringLiteral("UPDATE paged SET name = 'x' WHERE hisid = 100")), 0) << other.SQLErrText().toStdString();
    ASSERT_EQ(other.commit(), 0) << other.SQLErrText().toStdString();
    if (TestRegister::onServer()) {
        // The grid's session holds no transaction, so no snapshot that VACUUM must respect.
        QList<Value> state{Value::null(ValueType::String)};
        ASSERT_EQ(other.selectInto(QStringLiteral("SELECT state FROM pg_stat_activity WHERE pid = ?"), {pid[0]}, state),
                  0)
            << other.SQLErrText().toStdString();
        EXPECT_EQ(state[0].string().toStdString(), "idle");
    }
    ASSERT_EQ(ds.RetrieveAll(), Rows);
    EXPECT_EQ(ds.GetItemString(100, "name").toStdString(), "x");
}

// GRD-09
TEST_F(PagedRetrieveTest, SortAndFilterOfAGridNotFullyRead)
{
    ds.setRetrievePortion(30);
    ASSERT_EQ(ds.Retrieve(), 30);
    ds.SetRow(12);
    // Sorted in the database, from the first page again: the rows not read yet belong in it.
    ASSERT_EQ(ds.SetSort(QStringLiteral("hisid D")), 1);
    ASSERT_EQ(ds.Sort(), 1);
    EXPECT_EQ(ds.RowCount(), 30);
    EXPECT_EQ(ds.GetItem(1, "hisid").longValue(), Rows);
    EXPECT_EQ(ds.GetRow(), 1);
    // A filter applies to the pages that come after it, too.
    ASSERT_EQ(ds.SetFilter(QStringLiteral("hisid <= 100")), 1);
    ASSERT_EQ(ds.Filter(), 1);
    EXPECT_EQ(ds.RowCount(), 0);
    ASSERT_EQ(ds.RetrieveAll(), 100);
    EXPECT_EQ(ds.GetItem(1, "hisid").longValue(), 100);
    EXPECT_EQ(ds.RowCount() + ds.FilteredCount(), Rows);
    // Fully read, the grid sorts in memory and reads nothing again.
    ASSERT_EQ(ds.SetFilter(QString()), 1);
    ASSERT_EQ(ds.Filter(), 1);
    ASSERT_EQ(ds.SetSort(QStringLiteral("hisid A")), 1);
    t.injectFault({InjectedFault::On::Statement, 1, QString(), 13, QStringLiteral("no reading now")});
    ASSERT_EQ(ds.Sort(), 1);
    EXPECT_EQ(ds.GetItem(Rows, "hisid").longValue(), Rows);
    EXPECT_EQ(t.injectedFaultsPending(), 1);
}

// GRD-12
TEST_F(PagedRetrieveTest, AFailedPageKeepsTheRowsAndCanBeReadAgain)
{
    ds.setRetrievePortion(40);
    ASSERT_EQ(ds.Retrieve(), 40);
    t.injectFault({InjectedFault::On::Statement, 1, QStringLiteral("hm_page"), 13, QStringLiteral("disk I/O error")});
    EXPECT_EQ(ds.RetrieveMore(), -1);
    EXPECT_EQ(ds.RowCount(), 40);
    EXPECT_TRUE(ds.canRetrieveMore());
    EXPECT_EQ(ds.RetrieveMore(), 80);
    EXPECT_EQ(ds.GetItem(41, "hisid").longValue(), 41);
    // A failed first page leaves the grid as it was.
    t.injectFault({InjectedFault::On::Statement, 1, QStringLiteral("hm_page"), 13, QStringLiteral("disk I/O error")});
    EXPECT_EQ(ds.Retrieve(), -1);
    EXPECT_EQ(ds.RowCount(), 120);
    EXPECT_TRUE(ds.canRetrieveMore());
}

// GRD-07
TEST_F(PagedRetrieveTest, ARetrieveWithArgumentsReadsEverythingAndPendingChangesStopADatabaseSort)
{
    ds.setRetrievePortion(7);
    ds.SetSQLSelect(ds.GetSQLSelect() + QStringLiteral(" WHERE hisid > ?"));
    EXPECT_EQ(ds.Retrieve({Value(5)}), Rows - 5) << "the select's own parameters are numbered by it alone";
    EXPECT_FALSE(ds.canRetrieveMore());

    DataStore grid;
    QString errors;
    grid.Create(definitionText(), errors);
    grid.SetTransObject(&t);
    grid.setRetrievePortion(7);
    ASSERT_EQ(grid.Retrieve(), 7);
    ASSERT_EQ(grid.DeleteRow(2), 1);
    ASSERT_EQ(grid.SetSort(QStringLiteral("hisid D")), 1);
    EXPECT_EQ(grid.Sort(), -1) << "reading again would drop the deletion not written yet";
    EXPECT_EQ(grid.DeletedCount(), 1);
    EXPECT_EQ(grid.RowCount(), 6);
}

// A whole retrieve reads every character as stored: on the server its rows come as COPY text,
// where tabs, line ends, backslashes and the null mark are escaped; here each of them stands in a
// value, beside a value that only looks like an escape, an empty text and a null.
TEST_F(PagedRetrieveTest, AWholeRetrieveKeepsEveryCharacterOfTheText)
{
    const std::vector<std::optional<QString>> texts{
        QStringLiteral("a\tb"),    QStringLiteral("第一行\n第二行"), QStringLiteral("C:\\temp\\"), QStringLiteral("\\N"),
        QStringLiteral("\\N\t\\"), QStringLiteral(""),                QStringLiteral("\r\n"),         QStringLiteral("\\x41 \\101"),
        QStringLiteral("\b\f\v"), QStringLiteral("O'Brien\t张三"), QStringLiteral("\t"),           std::nullopt,
        QStringLiteral("end\\")};
    ASSERT_EQ(t.executeImmediate(QStringLiteral("DELETE FROM paged")), 0);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QList<Value> row{Value(int(i + 1)), texts[i] ? Value(*texts[i]) : Value::null(ValueType::String),
                               Value(Decimal(-12345, 2)), Value(QDate(2024, 2, 29)),
                               Value(DateTime(QDate(2024, 2, 29), Time(23, 59, 59, 999999)))};
        ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO paged VALUES (?, ?, ?, ?, ?)"), row), 0) << t.SQLErrText().toStdString();
    }
    ASSERT_EQ(t.commit(), 0);
    ASSERT_EQ(ds.Retrieve(), long(texts.size()));
    ASSERT_EQ(ds.SetSort(QStringLiteral("hisid A")), 1);
    ASSERT_EQ(ds.Sort(), 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const long r = long(i + 1);
        ASSERT_EQ(ds.GetItemNumber(r, "hisid").number(), double(i + 1));
        const Value name = ds.GetItem(r, "name");
        EXPECT_EQ(name.isNull(), !texts[i]) << "row " << r;
        if (texts[i]) {
            EXPECT_EQ(name.toText(), *texts[i]) << "row " << r;
        }
        EXPECT_EQ(ds.GetItemDecimal(r, "amount").toText(), QStringLiteral("-123.45"));
        EXPECT_EQ(ds.GetItemDateTime(r, "saved").dateTime().toCanonical(), QStringLiteral("2024-02-29 23:59:59.999999"));
    }
}

// A preview reads its pages on a connection of its own, through a runner that may run the read
// elsewhere; a read that fails keeps the rows held before. A filter kept in memory has no place
// to read at: the grid reads on to the page instead.
// GRD-17
TEST_F(PagedRetrieveTest, PageRowsReadOnTheirOwnConnectionAndKeepWhatTheyHeldWhenAReadFails)
{
    ds.setRetrievePortion(7);
    ASSERT_EQ(ds.Retrieve(), 7);
    Transaction own{QStringLiteral("read")};
    own.copySettingsFrom(t);
    ASSERT_EQ(own.connect(), 0) << own.SQLErrText().toStdString();
    DwPageRows rows(ds, Rows, 10);
    int runs = 0;
    rows.setReading(&own, [&runs](const std::function<bool()> &read) {
        ++runs;
        return read();
    });
    t.injectFault({InjectedFault::On::Statement, 1, QStringLiteral("hm_page"), 13, QStringLiteral("not this connection")});
    QString error;
    ASSERT_TRUE(rows.hold(231, 240, error)) << error.toStdString();
    EXPECT_EQ(rows.item(240, 1).longValue(), Rows);
    EXPECT_TRUE(rows.hold(235, 238, error));
    EXPECT_EQ(runs, 1) << "a page inside the window read before is not read again";
    own.injectFault({InjectedFault::On::Statement, 1, QStringLiteral("hm_page"), 13, QStringLiteral("disk I/O error")});
    EXPECT_FALSE(rows.hold(100, 105, error));
    EXPECT_TRUE(error.contains(QLatin1String("disk I/O error"))) << error.toStdString();
    EXPECT_FALSE(rows.holds(100, 105));
    EXPECT_TRUE(rows.holds(231, 240));
    EXPECT_EQ(rows.item(231, 1).longValue(), 231);
    EXPECT_EQ(t.injectedFaultsPending(), 1);
    t.clearInjectedFaults();

    ASSERT_EQ(ds.SetFilter(QStringLiteral("hisid <> 3")), 1);
    ASSERT_EQ(ds.Filter(), 1);
    DwPageRows filtered(ds, Rows - 1, 10);
    ASSERT_TRUE(filtered.hold(20, 25, error)) << error.toStdString();
    EXPECT_GE(ds.RowCount(), 25) << "read into the grid, as scrolling would";
    EXPECT_EQ(filtered.item(20, 1).longValue(), 21);
}

// GRD-11
TEST_F(PagedRetrieveTest, AnOnwardReaderGoesThroughEveryRowAWindowAtATime)
{
    DataStore whole;
    QString errors;
    whole.Create(definitionText(), errors);
    whole.SetTransObject(&t);
    ASSERT_EQ(whole.Retrieve(), Rows);
    ds.setRetrievePortion(7);
    ASSERT_EQ(ds.Retrieve(), 7);
    DwOnwardReader rows(ds, Rows, 10);
    QString error;
    const auto same = [&](long first, long last) {
        for (long r = first; r <= last; ++r) {
            for (int c = 1; c <= 5; ++c)
                ASSERT_EQ(rows.item(r, c).toText(), whole.GetItem(r, c).toText()) << "row " << r << " column " << c;
        }
    };
    // Rows the grid holds, rows across the grid's end, one range twice (the column groups of a
    // printed page), a window into the next, a jump ahead, and the end.
    for (const auto &[first, last] : std::vector<std::pair<long, long>>{{1, 5}, {3, 12}, {3, 12}, {13, 40}, {38, 41}, {100, 130}, {231, 260}}) {
        ASSERT_TRUE(rows.hold(first, last, error)) << error.toStdString();
        EXPECT_EQ(rows.lastHeld(), std::min<long>(last, Rows));
        same(first, rows.lastHeld());
    }
    EXPECT_EQ(ds.RowCount(), 7) << "the grid keeps only what it had";
    EXPECT_FALSE(rows.hold(50, 60, error)) << "backwards, past what any window holds";
}

// GRD-05
TEST_F(PagedRetrieveTest, DeletionsWrittenBackBeforeTheNextPage)
{
    ds.setRetrievePortion(25);
    ASSERT_EQ(ds.Retrieve(), 25);
    ASSERT_EQ(ds.DeleteRow(25), 1);
    ASSERT_EQ(ds.DeleteRow(1), 1);
    ASSERT_EQ(ds.Update(), 1) << ds.lastError().toStdString();
    ASSERT_EQ(t.commit(), 0);
    // The page after the deleted last row starts where that row was.
    ASSERT_EQ(ds.RetrieveMore(), 50);
    EXPECT_EQ(ds.GetItem(24, "hisid").longValue(), 26);
    ASSERT_EQ(ds.RetrieveAll(), Rows - 2);
}

// Names sorted by 姓名 page by page, two rows a page, on the files (collation hm_zh) and on the
// server ("zh-x-icu", then code point order): the rows come in the order of the sort in memory —
// pinyin, not character code —, each once, the tie of two spellings of é included.
class ChineseNamesPaged : public PagedRetrieveTest, public ::testing::WithParamInterface<bool>
{};

// GRD-01
TEST_P(ChineseNamesPaged, PagesFollowTheChineseOrderOfTheSortInMemory)
{
    const bool descending = GetParam();
    ASSERT_EQ(t.executeImmediate(QStringLiteral("DELETE FROM paged")), 0);
    const std::vector<const char *> names{"张三", "丁一", "阿明", "王五", "赵六", "李四", "安娜", "Zhang", "abc",
                                          "", nullptr, "ABC", "e\u0301", "\u00e9", "张三", "丁一"};
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO paged (hisid, name) VALUES (?, ?)"),
                            {Value(int(i + 1)), names[i] ? Value(QString::fromUtf8(names[i])) : Value::null(ValueType::String)}),
                  0)
            << t.SQLErrText().toStdString();
    ASSERT_EQ(t.commit(), 0);
    const QString sort = descending ? QStringLiteral("name D") : QStringLiteral("name A");
    ASSERT_EQ(ds.SetSort(sort), 1);
    ds.setRetrievePortion(2);
    ASSERT_EQ(ds.Retrieve(), 2);
    ASSERT_EQ(ds.RetrieveMore(), 4);
    ASSERT_EQ(ds.RetrieveAll(), long(names.size())) << ds.lastError().toStdString();

    DataStore memory;
    QString errors;
    memory.Create(definitionText(), errors);
    memory.SetTransObject(&t);
    ASSERT_EQ(memory.Retrieve(), long(names.size()));
    ASSERT_EQ(memory.SetSort(sort + QStringLiteral(", hisid A")), 1);
    ASSERT_EQ(memory.Sort(), 1);
    EXPECT_EQ(keys(ds), keys(memory));

    QStringList got;
    for (long r = 1; r <= ds.RowCount(); ++r)
        got << (ds.GetItem(r, "name").isNull() ? QStringLiteral("<null>") : ds.GetItem(r, "name").toText());
    QStringList expected = QString::fromUtf8("<null>||阿明|安娜|丁一|丁一|李四|王五|张三|张三|赵六|abc|ABC|e\u0301|\u00e9|Zhang")
                               .split(QLatin1Char('|'));
    if (descending)
        std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Directions, ChineseNamesPaged, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Descending" : "Ascending"; });

TEST(DwPagerText, KeysNullsAndTheSelectsOwnEnd)
{
    QList<Value> binds;
    const QList<DwPager::Key> keys{{QStringLiteral("name"), true, false, QString()}, {QStringLiteral("hisid"), false, true, QString()}};
    EXPECT_EQ(DwPager::pageSelect(QStringLiteral("SELECT a FROM t -- note\n;"), keys, nullptr, 5, binds).toStdString(),
              "SELECT * FROM (\nSELECT a FROM t -- note\n\n) hm_page ORDER BY name DESC NULLS LAST, hisid LIMIT 5");
    EXPECT_TRUE(binds.isEmpty());
    const QList<Value> after{Value(QStringLiteral("O'Brien")), Value(9)};
    const QString next = DwPager::pageSelect(QStringLiteral("SELECT a FROM t"), keys, &after, 5, binds);
    EXPECT_NE(next.indexOf(QStringLiteral("WHERE (name < ? OR name IS NULL) OR (name = ? AND hisid > ?)")), -1) << next.toStdString();
    EXPECT_EQ(next.indexOf(QStringLiteral("O'Brien")), -1) << "values are bound, never written into the text";
    EXPECT_EQ(binds.size(), 3);
    // After a null that sorts last nothing of that key is later; only its ties continue.
    const QList<Value> afterNull{Value::null(ValueType::String), Value(9)};
    EXPECT_NE(DwPager::pageSelect(QStringLiteral("SELECT a FROM t"), keys, &afterNull, 5, binds)
                  .indexOf(QStringLiteral("WHERE (name IS NULL AND hisid > ?)")),
              -1);
    EXPECT_EQ(DwPager::columnReference(QStringLiteral("户号")).toStdString(), "\"户号\"");
    EXPECT_EQ(DwPager::columnReference(QStringLiteral("RprNo")).toStdString(), "RprNo");
}
