#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"

#include <QSet>
#include <gtest/gtest.h>

using host::ColumnType;
using host::SchemaCatalogue;

TEST(Catalogue, AgreesWithTheCategoryTable)
{
    const auto &categories = model::CategoryTable::all();
    ASSERT_EQ(SchemaCatalogue::tables().size(), categories.size());
    for (const auto &c : categories) {
        const auto *t = SchemaCatalogue::byStem(c.stem);
        ASSERT_NE(t, nullptr) << c.stem.toStdString();
        EXPECT_EQ(t->historyTable, c.historyTable) << "spelled exactly alike";
        EXPECT_EQ(t->caption, c.tabText);
        EXPECT_EQ(t->isRelated(), c.inCascade()) << c.stem.toStdString();
    }
    const auto related = SchemaCatalogue::relatedTables();
    const auto cascade = model::CategoryTable::cascade();
    ASSERT_EQ(related.size(), cascade.size());
    for (int i = 0; i < related.size(); ++i)
        EXPECT_EQ(related[i]->historyTable, cascade[i]->historyTable) << "same order";
}

TEST(Catalogue, KeysAndSpecialColumns)
{
    EXPECT_EQ(SchemaCatalogue::byStem(QStringLiteral("ge_rpr"))->keyColumn, QStringLiteral("RprNo"));
    EXPECT_EQ(SchemaCatalogue::byStem(QStringLiteral("ge_personinfo"))->keyColumn, QStringLiteral("PersonNo"));
    int identity = 0, ordinary = 0;
    QSet<ColumnType> types;
    for (const auto &t : SchemaCatalogue::tables()) {
        EXPECT_NE(t.liveColumn(QStringLiteral("issave")), nullptr) << t.stem.toStdString();
        EXPECT_EQ(t.liveColumn(QStringLiteral("SaveTime")), nullptr) << "no live table has SaveTime";
        const auto hist = t.historyColumns();
        EXPECT_EQ(hist.first().name, host::TableDef::surrogateKey());
        EXPECT_EQ(hist.last().name, QStringLiteral("SaveTime"));
        EXPECT_EQ(hist.last().type, ColumnType::DateTime);
        if (t.isRelated()) {
            EXPECT_EQ(t.keyColumn, QStringLiteral("personno"));
            EXPECT_TRUE(t.hasOrderNo()) << t.stem.toStdString();
            (t.orderNoIsIdentity() ? identity : ordinary)++;
        }
        for (const auto &c : hist) {
            types.insert(c.type);
            EXPECT_FALSE(c.caption.isEmpty()) << c.name.toStdString();
        }
    }
    EXPECT_GT(identity, 0);
    EXPECT_GT(ordinary, 0);
    EXPECT_EQ(types.size(), 7) << "char, date, datetime, time, integer, number and decimal all occur";
}

TEST(Catalogue, DecimalColumnsAreDeclaredWithTextAffinity)
{
    const auto *company = SchemaCatalogue::byStem(QStringLiteral("ge_company"));
    const auto *salary = company->liveColumn(QStringLiteral("salary"));
    ASSERT_NE(salary, nullptr);
    EXPECT_EQ(salary->runtimeType(), QStringLiteral("decimal(2)"));
    EXPECT_TRUE(salary->sqliteType().contains(QLatin1String("TEXT")));
    EXPECT_FALSE(salary->sqliteType().contains(QLatin1String("INT")));
}
