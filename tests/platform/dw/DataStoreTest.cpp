#include "Fixtures.h"

#include "platform/dw/DataStore.h"

#include <gtest/gtest.h>

using namespace rt;

namespace {

const char *statusName(DwItemStatus s)
{
    switch (s) {
    case DwItemStatus::New: return "New!";
    case DwItemStatus::NewModified: return "NewModified!";
    case DwItemStatus::DataModified: return "DataModified!";
    case DwItemStatus::NotModified: return "NotModified!";
    }
    return "?";
}

// Puts a row into the given status the way the runtime gets there.
long rowIn(DataStore &ds, DwItemStatus status)
{
    const long row = ds.InsertRow(0);
    if (status == DwItemStatus::New)
        return row;
    ds.SetItem(row, "RprNo", Value(QStringLiteral("R1")));
    if (status == DwItemStatus::NewModified)
        return row;
    // New rows reach NotModified! only through DataModified! (the record window's two steps).
    ds.SetItemStatus(row, 0, DwBuffer::Primary, DwItemStatus::DataModified);
    if (status == DwItemStatus::DataModified)
        return row;
    ds.SetItemStatus(row, 0, DwBuffer::Primary, DwItemStatus::NotModified);
    return row;
}

} // namespace

struct Transition
{
    DwItemStatus from, to, result;
};

void PrintTo(const Transition &t, std::ostream *os)
{
    *os << statusName(t.from) << " to " << statusName(t.to);
}

class StatusTransition : public ::testing::TestWithParam<Transition>
{
};

TEST_P(StatusTransition, FollowsTheRuntimeTable)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    const long row = rowIn(ds, GetParam().from);
    ASSERT_EQ(ds.GetItemStatus(row, 0, DwBuffer::Primary), GetParam().from);
    ds.SetItemStatus(row, 0, DwBuffer::Primary, GetParam().to);
    EXPECT_EQ(statusName(ds.GetItemStatus(row, 0, DwBuffer::Primary)), std::string(statusName(GetParam().result)));
}

using S = DwItemStatus;
INSTANTIATE_TEST_SUITE_P(
    Table, StatusTransition,
    ::testing::Values(Transition{S::New, S::NewModified, S::NewModified}, Transition{S::New, S::DataModified, S::DataModified},
                      Transition{S::New, S::NotModified, S::New}, Transition{S::NewModified, S::New, S::NewModified},
                      Transition{S::NewModified, S::DataModified, S::DataModified},
                      Transition{S::NewModified, S::NotModified, S::New},
                      Transition{S::DataModified, S::New, S::NewModified},
                      Transition{S::DataModified, S::NewModified, S::NewModified},
                      Transition{S::DataModified, S::NotModified, S::NotModified},
                      Transition{S::NotModified, S::New, S::New}, Transition{S::NotModified, S::NewModified, S::NewModified},
                      Transition{S::NotModified, S::DataModified, S::DataModified}));

TEST(DataStore, InsertSetItemAndConversions)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    EXPECT_EQ(ds.InsertRow(0), 1);
    EXPECT_EQ(ds.InsertRow(1), 1) << "before row 1";
    EXPECT_EQ(ds.InsertRow(9), -1);
    EXPECT_EQ(ds.RowCount(), 2);
    EXPECT_EQ(ds.GetItemStatus(1, 0, DwBuffer::Primary), DwItemStatus::New);
    EXPECT_EQ(ds.SetItem(1, "amount", Value(QStringLiteral("12345.67"))), 1);
    EXPECT_EQ(ds.GetItemStatus(1, 0, DwBuffer::Primary), DwItemStatus::NewModified);
    EXPECT_EQ(ds.GetItemStatus(1, 4, DwBuffer::Primary), DwItemStatus::DataModified);
    EXPECT_EQ(ds.GetItemStatus(1, 3, DwBuffer::Primary), DwItemStatus::NotModified);
    EXPECT_EQ(ds.GetItemDecimal(1, "amount").toText(), QStringLiteral("12345.67"));
    EXPECT_EQ(ds.GetItemString(1, 4), QStringLiteral("12345.67"));
    EXPECT_EQ(ds.SetItem(1, "SaveTime", Value(QStringLiteral("2024-02-29 10:11:12.000123"))), 1);
    EXPECT_EQ(ds.GetItemDateTime(1, "savetime").dateTime().toCanonical(), QStringLiteral("2024-02-29 10:11:12.000123"));
    EXPECT_EQ(ds.GetItemDate(1, "SaveTime").date(), QDate(2024, 2, 29));
    EXPECT_EQ(ds.SetItem(1, "hostname", Value(QStringLiteral("欧阳明月"))), 1);
    EXPECT_EQ(ds.GetItemString(1, "HOSTNAME"), QStringLiteral("欧阳明月"));
    const QString longName = QStringLiteral("一个很长很长的名字超过七个字节");
    EXPECT_EQ(ds.SetItem(2, "hostname", Value(longName)), 1);
    EXPECT_EQ(ds.GetItemString(2, "hostname"), longName);
    EXPECT_EQ(ds.SetItem(2, "hostname", Value(QStringLiteral(""))), 1);
    EXPECT_FALSE(ds.GetItemString(2, "hostname").isNull()) << "empty text is not null";
    EXPECT_TRUE(ds.GetItemString(2, "RprNo").isNull());
    // Refused: the value stays as it was.
    EXPECT_EQ(ds.SetItem(1, "SaveTime", Value(QStringLiteral("2023-02-30"))), -1);
    EXPECT_EQ(ds.GetItemDateTime(1, "SaveTime").dateTime().toCanonical(), QStringLiteral("2024-02-29 10:11:12.000123"));
    EXPECT_EQ(ds.SetItem(1, "nothing", Value(1)), -1);
    EXPECT_EQ(ds.SetItem(7, "hostname", Value(1)), -1);
    EXPECT_EQ(ds.SetItem(1, 99, Value(1)), -1);
    EXPECT_TRUE(ds.GetItemNumber(0, 1).isNull());
    EXPECT_TRUE(ds.GetItemNumber(1, 0).isNull());
    EXPECT_TRUE(ds.GetItemString(3, 2).isNull());
    EXPECT_EQ(ds.DeleteRow(5), -1);
}

TEST(DataStore, DeleteRowKeepsRetrievedRowsOnly)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    const long kept = rowIn(ds, DwItemStatus::NotModified);
    rowIn(ds, DwItemStatus::NewModified);
    EXPECT_EQ(ds.DeleteRow(2), 1);
    EXPECT_EQ(ds.DeletedCount(), 0) << "a new row is simply dropped";
    EXPECT_EQ(ds.DeleteRow(kept), 1);
    EXPECT_EQ(ds.DeletedCount(), 1);
    EXPECT_EQ(ds.GetItemString(1, "RprNo", DwBuffer::Delete), QStringLiteral("R1"));
    EXPECT_EQ(ds.RowCount(), 0);
    EXPECT_EQ(ds.GetRow(), 0);
}

TEST(DataStore, RowsCopyMatchesColumnsByNameAndArrivesNewModified)
{
    DataStore source;
    source.setDefinition(sampleDefinition());
    for (int i = 1; i <= 3; ++i) {
        source.InsertRow(0);
        source.SetItem(i, "RprNo", Value(QStringLiteral("R%1").arg(i)));
        source.SetItem(i, "hostname", Value(QStringLiteral("户主%1").arg(i)));
        source.SetItem(i, "amount", Value(Decimal(i * 101, 2)));
    }
    // The target orders its columns differently and lacks some.
    QString error;
    const auto def = DwDefinition::fromJson(QByteArray(R"json({"objects": [
        {"type": "column", "name": "amount", "coltype": "decimal(2)"},
        {"type": "column", "name": "extra", "coltype": "char(5)"},
        {"type": "column", "name": "rprno", "coltype": "char(14)"}]})json"),
                                            error);
    ASSERT_TRUE(def) << error.toStdString();
    DataStore target;
    target.setDefinition(*def);
    target.InsertRow(0);
    target.SetItem(1, "extra", Value(QStringLiteral("keep")));
    EXPECT_EQ(source.RowsCopy(2, 3, DwBuffer::Primary, target, 999999, DwBuffer::Primary), 1);
    ASSERT_EQ(target.RowCount(), 3);
    EXPECT_EQ(target.GetItemString(2, "rprno"), QStringLiteral("R2"));
    EXPECT_EQ(target.GetItemDecimal(3, "amount").toText(), QStringLiteral("3.03"));
    EXPECT_TRUE(target.GetItemString(2, "extra").isNull());
    EXPECT_EQ(target.GetItemStatus(2, 0, DwBuffer::Primary), DwItemStatus::NewModified);
    EXPECT_EQ(source.RowsCopy(1, 1, DwBuffer::Primary, target, 1, DwBuffer::Primary), 1);
    EXPECT_EQ(target.GetItemString(1, "rprno"), QStringLiteral("R1"));
    EXPECT_EQ(target.GetItemString(2, "extra"), QStringLiteral("keep"));
    EXPECT_EQ(source.RowsCopy(4, 5, DwBuffer::Primary, target, 0, DwBuffer::Primary), -1);
    // The record window's reset: a copied row made NotModified! in two steps.
    EXPECT_EQ(target.SetItemStatus(1, 0, DwBuffer::Primary, DwItemStatus::DataModified), 1);
    EXPECT_EQ(target.SetItemStatus(1, 0, DwBuffer::Primary, DwItemStatus::NotModified), 1);
    EXPECT_EQ(target.GetItemStatus(1, 0, DwBuffer::Primary), DwItemStatus::NotModified);
    EXPECT_EQ(target.GetItemStatus(1, 1, DwBuffer::Primary), DwItemStatus::NotModified);
}

TEST(DataStore, CurrentRowFollowsTheRows)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    EXPECT_EQ(ds.GetRow(), 0);
    EXPECT_EQ(ds.SetRow(1), -1);
    for (int i = 0; i < 3; ++i)
        ds.InsertRow(0);
    EXPECT_EQ(ds.SetRow(3), 1);
    EXPECT_EQ(ds.GetRow(), 3);
    EXPECT_EQ(ds.ScrollToRow(99), 1);
    EXPECT_EQ(ds.GetRow(), 3);
    ds.DeleteRow(0);
    EXPECT_EQ(ds.GetRow(), 2);
}

TEST(DataStore, BackwardPruneOfAMillionRowsIsLinearAndExact)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    RowStore &store = ds.store();
    const long n = 1'000'000;
    for (long i = 0; i < n; ++i) {
        const auto s = store.newRow();
        store.setStatus(s, DwItemStatus::NotModified);
        store.putInt(s, 0, i);
        ds.buffer(DwBuffer::Primary).append(s);
    }
    ASSERT_EQ(ds.RowCount(), n);
    // Delete every row whose number is divisible by three, walking backwards.
    for (long row = ds.RowCount(); row >= 1; --row) {
        if (ds.GetItemNumber(row, "hisid").number() == double(((row - 1) / 3) * 3) && (row - 1) % 3 == 0)
            ds.DeleteRow(row);
    }
    EXPECT_EQ(ds.DeletedCount(), (n + 2) / 3);
    EXPECT_EQ(ds.RowCount(), n - (n + 2) / 3);
    for (long row : {1L, 2L, 3L, ds.RowCount()}) {
        const long value = long(ds.GetItemNumber(row, "hisid").number());
        EXPECT_NE(value % 3, 0) << row;
    }
    EXPECT_EQ(long(ds.GetItemNumber(1, "hisid").number()), 1);
    EXPECT_EQ(long(ds.GetItemNumber(2, "hisid").number()), 2);
    EXPECT_EQ(long(ds.GetItemNumber(3, "hisid").number()), 4);
}

TEST(DataStore, FilteredRowsAreKeptAndComeBack)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    for (int i = 1; i <= 4; ++i) {
        ds.InsertRow(0);
        ds.SetItem(i, "RprNo", Value(QStringLiteral("R%1").arg(i)));
    }
    ds.SetFilter(QStringLiteral("RprNo <> 'R2'"));
    ds.Filter();
    EXPECT_EQ(ds.RowCount(), 3);
    EXPECT_EQ(ds.FilteredCount(), 1);
    EXPECT_EQ(ds.GetItemString(1, "RprNo", DwBuffer::Filter), QStringLiteral("R2"));
    EXPECT_EQ(ds.GetItemStatus(1, 0, DwBuffer::Filter), DwItemStatus::NewModified);
    // Column-level status: a column can be marked changed and unchanged again.
    EXPECT_EQ(ds.SetItemStatus(1, 3, DwBuffer::Primary, DwItemStatus::DataModified), 1);
    EXPECT_EQ(ds.GetItemStatus(1, 3, DwBuffer::Primary), DwItemStatus::DataModified);
    EXPECT_EQ(ds.SetItemStatus(1, 3, DwBuffer::Primary, DwItemStatus::NotModified), 1);
    EXPECT_EQ(ds.GetItemStatus(1, 3, DwBuffer::Primary), DwItemStatus::NotModified);
    EXPECT_EQ(ds.SetItemStatus(1, 9, DwBuffer::Primary, DwItemStatus::DataModified), -1);
    ds.SetFilter(QString());
    ds.Filter();
    EXPECT_EQ(ds.RowCount(), 4);
    EXPECT_EQ(ds.FilteredCount(), 0);
}

TEST(DataStore, RowsCopyFromTheDeleteBufferAndOntoItself)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    ds.InsertRow(0);
    ds.SetItem(1, "RprNo", Value(QStringLiteral("R1")));
    ds.SetItemStatus(1, 0, DwBuffer::Primary, DwItemStatus::DataModified);
    ds.SetItemStatus(1, 0, DwBuffer::Primary, DwItemStatus::NotModified);
    ds.DeleteRow(1);
    ASSERT_EQ(ds.DeletedCount(), 1);
    EXPECT_EQ(ds.RowsCopy(1, 1, DwBuffer::Delete, ds, 1, DwBuffer::Primary), 1);
    EXPECT_EQ(ds.RowCount(), 1);
    EXPECT_EQ(ds.GetItemString(1, "RprNo"), QStringLiteral("R1"));
    EXPECT_EQ(ds.RowsCopy(1, 1, DwBuffer::Primary, ds, 999999, DwBuffer::Primary), 1) << "a row copied onto its own buffer";
    EXPECT_EQ(ds.RowCount(), 2);
    EXPECT_EQ(ds.GetItemStatus(2, 0, DwBuffer::Primary), DwItemStatus::NewModified);
}

TEST(DataStore, RowsDiscardDropsRowsWithoutKeepingThemForUpdate)
{
    DataStore ds;
    ds.setDefinition(sampleDefinition());
    for (int i = 0; i < 3; ++i)
        rowIn(ds, DwItemStatus::NotModified);
    ds.DeleteRow(1);
    EXPECT_EQ(ds.RowsDiscard(1, 1, DwBuffer::Delete), 1);
    EXPECT_EQ(ds.DeletedCount(), 0);
    EXPECT_EQ(ds.RowsDiscard(1, 2, DwBuffer::Primary), 1);
    EXPECT_EQ(ds.RowCount(), 0);
    EXPECT_EQ(ds.DeletedCount(), 0) << "discarded rows are not deleted rows";
    EXPECT_EQ(ds.RowsDiscard(1, 1, DwBuffer::Primary), -1);
}
