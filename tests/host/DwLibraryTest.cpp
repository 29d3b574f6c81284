#include "RegisterFixture.h"

#include "host/HostDwLibrary.h"
#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"
#include "platform/dw/SyntaxFromSql.h"

#include <QDir>
#include <QRect>
#include <QFile>

using namespace rt;

class DwLibraryTest : public RegisterFixture
{
protected:
    void SetUp() override
    {
        RegisterFixture::SetUp();
        QString error;
        ASSERT_TRUE(host::HostDwLibrary::load(library, QString(), error)) << error.toStdString();
    }
    DwDefinition object(const QString &name)
    {
        QString error;
        const auto def = library.find(name, error);
        EXPECT_TRUE(def.has_value()) << name.toStdString() << ": " << error.toStdString();
        return def.value_or(DwDefinition());
    }
    DwLibrary library;
};

TEST_F(DwLibraryTest, EveryCategoryHasItsObjectsSpelledAsTheModuleUsesThem)
{
    for (const auto &c : model::CategoryTable::all()) {
        EXPECT_TRUE(library.contains(c.historyGrid)) << c.historyGrid.toStdString();
        EXPECT_TRUE(library.contains(c.historyGrid + QStringLiteral("_f"))) << c.historyGrid.toStdString();
        EXPECT_TRUE(library.contains(c.singleRowTarget)) << c.singleRowTarget.toStdString();
        if (c.inCascade()) {
            EXPECT_TRUE(library.names().contains(c.cascadeTarget)) << c.cascadeTarget.toStdString();
        }
    }
}

TEST_F(DwLibraryTest, HistoryGridsAgreeWithTheirTablesAndRetrieve)
{
    for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
        const DwDefinition grid = object(QStringLiteral("dh_") + t.stem);
        EXPECT_EQ(grid.style, DwStyle::Grid);
        EXPECT_EQ(grid.updateTable(), t.historyTable);
        const auto columns = t.historyColumns();
        ASSERT_EQ(grid.columnCount(), columns.size()) << t.stem.toStdString();
        // What the database itself says of the select matches the object column by column.
        QString errors;
        const QString syntax = SyntaxFromSql::build(photosqlca, grid.select(), QStringLiteral("style(type=grid)"), errors);
        ASSERT_TRUE(errors.isEmpty()) << errors.toStdString();
        DataStore probe;
        ASSERT_EQ(probe.Create(syntax, errors), 1);
        for (int c = 0; c < columns.size(); ++c) {
            EXPECT_EQ(grid.column(c).name(), columns[c].name);
            EXPECT_EQ(grid.column(c).prop(QStringLiteral("coltype")), columns[c].runtimeType());
            EXPECT_EQ(probe.definition().column(c).prop(QStringLiteral("coltype")), columns[c].runtimeType())
                << t.stem.toStdString() << "." << columns[c].name.toStdString();
            const DwObjectDef *caption = grid.object(columns[c].name + QStringLiteral("_t"));
            ASSERT_NE(caption, nullptr);
            EXPECT_EQ(caption->prop(QStringLiteral("text")), columns[c].caption);
            EXPECT_EQ(caption->prop(QStringLiteral("band")), QStringLiteral("header"));
        }
        EXPECT_EQ(grid.keyColumns(), QList<int>{0}) << "the surrogate key";
        DataStore ds;
        ds.setDefinition(grid);
        ds.SetTransObject(&photosqlca);
        EXPECT_EQ(ds.Retrieve(), 0) << photosqlca.SQLErrText().toStdString();
    }
}

TEST_F(DwLibraryTest, FormsHaveColonCaptionsInTwoColumnsAndFlagTheKey)
{
    const DwDefinition form = object(QStringLiteral("dh_ge_rpr_f"));
    EXPECT_EQ(form.style, DwStyle::Form);
    EXPECT_EQ(form.object(QStringLiteral("hostname_t"))->prop(QStringLiteral("text")), QString::fromUtf8("户主姓名："));
    EXPECT_EQ(form.column(form.findColumn(QStringLiteral("RprNo"))).prop(QStringLiteral("key")), QStringLiteral("yes"));
    QSet<int> xs;
    for (int c = 0; c < form.columnCount(); ++c) {
        if (form.column(c).intProp(QStringLiteral("visible"), 1))
            xs.insert(form.column(c).intProp(QStringLiteral("x")));
    }
    EXPECT_EQ(xs.size(), 2);
}

// Every form shows its long texts on a whole row, wide enough for thirty Chinese characters,
// and no field lies over another.
// RWN-03
TEST_F(DwLibraryTest, FormsGiveLongTextsAWholeRow)
{
    for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
        const DwDefinition form = object(QStringLiteral("dh_") + t.stem + QStringLiteral("_f"));
        QList<QRect> boxes;
        for (int c = 0; c < form.columnCount(); ++c) {
            const rt::DwObjectDef &col = form.column(c);
            if (!col.intProp(QStringLiteral("visible"), 1))
                continue;
            const QRect box(col.intProp(QStringLiteral("x")), col.intProp(QStringLiteral("y")), col.intProp(QStringLiteral("width")),
                            col.intProp(QStringLiteral("height")));
            const host::ColumnDef *def = t.liveColumn(col.name());
            if (def && def->type == host::ColumnType::Char && def->size >= 20) {
                EXPECT_GE(box.width(), 30 * 55) << t.stem.toStdString() << "." << col.name().toStdString();
            }
            for (const QRect &other : boxes)
                EXPECT_FALSE(box.intersects(other)) << t.stem.toStdString() << "." << col.name().toStdString();
            boxes << box;
        }
    }
}

TEST_F(DwLibraryTest, TargetsReportIdentityExactlyWhereTheLiveTableGeneratesIt)
{
    for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
        DataStore ds;
        ds.setDefinition(object(QStringLiteral("tc_") + t.stem));
        EXPECT_EQ(ds.Describe(QStringLiteral("datawindow.table.updatetable")), t.liveTable);
        if (t.hasOrderNo()) {
            EXPECT_EQ(ds.Describe(QStringLiteral("orderno.identity")), t.orderNoIsIdentity() ? QStringLiteral("yes") : QStringLiteral("no"))
                << t.stem.toStdString();
        }
    }
}

TEST_F(DwLibraryTest, ASingleRowTargetInsertsALiveRowThroughSqlca)
{
    DataStore target;
    ASSERT_EQ(target.SetDataObject(QStringLiteral("tc_sv_elderinfo"), &library), 1);
    target.SetTransObject(&sqlca);
    const long row = target.InsertRow(0);
    target.SetItem(row, "personno", Value(QStringLiteral("P1")));
    target.SetItem(row, "pension", Value(QStringLiteral("3210.50")));
    target.SetItem(row, "issave", Value(QStringLiteral("0")));
    ASSERT_EQ(target.Update(), 1) << target.lastError().toStdString();
    ASSERT_EQ(sqlca.commit(), 0);
    QList<Value> v{Value::null(ValueType::Decimal), Value::null(ValueType::Long)};
    ASSERT_EQ(sqlca.selectInto(QStringLiteral("SELECT pension, orderno FROM sv_elderinfo WHERE personno = 'P1'"), {}, v), 0);
    EXPECT_EQ(v[0].toText(), QStringLiteral("3210.50"));
    EXPECT_EQ(target.GetItemNumber(row, "orderno").number(), double(v[1].longValue())) << "identity read back";
}

TEST_F(DwLibraryTest, AnOverrideFolderWinsAndUnknownNamesFailCleanly)
{
    QFile f(QDir(dir.path()).filePath(QStringLiteral("dh_ge_rpr.json")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"json({"style": "grid", "title": "changed", "objects": []})json");
    f.close();
    library.setOverrideFolder(dir.path());
    EXPECT_EQ(object(QStringLiteral("dh_ge_rpr")).prop(QStringLiteral("title")), QStringLiteral("changed"));
    EXPECT_EQ(object(QStringLiteral("dh_ge_personinfo")).columnCount(), 15);
    DataStore ds;
    EXPECT_EQ(ds.SetDataObject(QStringLiteral("dh_nothing"), &library), -1);
    EXPECT_TRUE(ds.lastError().contains(QStringLiteral("dh_nothing")));
    EXPECT_EQ(ds.Describe(QStringLiteral("datawindow.column.count")), QStringLiteral("0"));
}
