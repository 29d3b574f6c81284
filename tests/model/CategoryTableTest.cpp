#include "model/CategoryTable.h"

#include <QSet>
#include <gtest/gtest.h>

using model::CategoryTable;

TEST(CategoryTable, LooksUpByButtonGridAndTable)
{
    ASSERT_NE(CategoryTable::byButton(QStringLiteral("p_Children")), nullptr);
    EXPECT_EQ(CategoryTable::byButton(QStringLiteral("p_Children"))->stem, QStringLiteral("sv_children"));
    EXPECT_EQ(CategoryTable::byHistoryTable(QStringLiteral("TH_SV_ELDERINFO"))->stem, QStringLiteral("sv_elderinfo"));
    EXPECT_EQ(CategoryTable::byHistoryTable(QStringLiteral("th_mh_adultwomaninfo"))->historyTable,
              QStringLiteral("th_mh_AdultWomaninfo"));
    const auto *woman = CategoryTable::byStem(QStringLiteral("mh_adultwomaninfo"));
    ASSERT_NE(woman, nullptr);
    EXPECT_EQ(woman->historyGrid, QStringLiteral("dh_mh_adultwomaninfo"));
    EXPECT_EQ(woman->singleRowTarget, QStringLiteral("tc_mh_adultwomaninfo"));
    EXPECT_EQ(woman->cascadeTarget, QStringLiteral("d_mh_AdultWomaninfoparm"));
    EXPECT_EQ(CategoryTable::byButton(QString()), nullptr);
    EXPECT_EQ(CategoryTable::byButton(QStringLiteral("p_nothing")), nullptr);
    EXPECT_EQ(CategoryTable::byHistoryTable(QString()), nullptr);
}

TEST(CategoryTable, SevenButtonsAndRelatedCategoriesOnlyInsideThePersonalSheet)
{
    QSet<QString> buttons;
    for (const auto &c : CategoryTable::all()) {
        if (c.hasButton())
            buttons.insert(c.button);
    }
    EXPECT_EQ(buttons.size(), 7);
    for (const char *stem : {"ge_personotherinfo", "ge_company", "ge_foreignorregistry"})
        EXPECT_FALSE(CategoryTable::byStem(QString::fromUtf8(stem))->hasButton()) << stem;
    const auto personal = CategoryTable::gridsOfButton(QStringLiteral("p_personinfo"));
    ASSERT_EQ(personal.size(), 4);
    EXPECT_EQ(personal[0]->historyGrid, QStringLiteral("dh_ge_personinfo"));
    EXPECT_EQ(personal[2]->tabText, QString::fromUtf8("个人职业信息"));
    EXPECT_EQ(CategoryTable::gridsOfButton(QStringLiteral("p_eldinfo")).size(), 1);
}

TEST(CategoryTable, CascadeOrderIsOneToEight)
{
    const auto cascade = CategoryTable::cascade();
    ASSERT_EQ(cascade.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(cascade[i]->cascadeOrder, i + 1);
        EXPECT_FALSE(cascade[i]->cascadeFailure.isEmpty());
        EXPECT_TRUE(cascade[i]->cascadeTarget.endsWith(QLatin1String("parm")));
    }
    EXPECT_EQ(cascade[0]->historyTable, QStringLiteral("th_ge_personotherinfo"));
    EXPECT_EQ(cascade[7]->cascadeFailure, QString::fromUtf8("删除育龄妇女历史信息失败!"));
}
