#include "platform/dw/DataStore.h"
#include "platform/ui/DwPrintRenderer.h"
#include "platform/ui/PbDropDownList.h"
#include "platform/ui/PbEditMask.h"
#include "platform/ui/Pictures.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace rt;
using namespace rt::ui;

TEST(EditMask, DateMaskGivesOnlyRealDates)
{
    PbEditMask em;
    em.setMask(QStringLiteral("yyyy-mm-dd"));
    em.setText(QStringLiteral("2024-02-29"));
    EXPECT_EQ(em.date(), QDate(2024, 2, 29));
    em.setText(QStringLiteral("2023-02-30"));
    EXPECT_FALSE(em.date().isValid());
    em.clear();
    QTest::keyClicks(&em, QStringLiteral("20250704"));
    EXPECT_EQ(em.Text(), QStringLiteral("2025-07-04")) << "the operator types the digits only";
    EXPECT_EQ(em.date(), QDate(2025, 7, 4));
    // The last digit not yet typed: no date at all, not the 3rd of December.
    em.clear();
    QTest::keyClicks(&em, QStringLiteral("2024123"));
    EXPECT_FALSE(em.date().isValid()) << em.Text().toStdString();
    em.clear();
    QTest::keyClicks(&em, QStringLiteral("2024011"));
    EXPECT_FALSE(em.date().isValid()) << em.Text().toStdString();
}

TEST(DropDownList, StartsWithoutASelection)
{
    PbDropDownList ddlb;
    ddlb.setItems({QString::fromUtf8("删除两年前记录"), QString::fromUtf8("删除所有记录")});
    EXPECT_EQ(ddlb.Text(), QString());
    EXPECT_FALSE(ddlb.Text().isNull());
    EXPECT_EQ(ddlb.SelectItem(2), 2);
    EXPECT_EQ(ddlb.Text(), QString::fromUtf8("删除所有记录"));
    EXPECT_EQ(ddlb.SelectItem(3), -1);
    EXPECT_FALSE(ddlb.isEditable());
}

TEST(Pictures, UnknownNamesGiveNoPicture)
{
    EXPECT_TRUE(Pictures::load(QStringLiteral("bmp\\no_such_picture.bmp")).isNull());
    EXPECT_TRUE(Pictures::resolve(QStringLiteral("bmp\\no_such_picture.bmp")).isEmpty());
}

TEST(PrintRenderer, WideGridsContinueOnFurtherPagesAndLongOnesPageDown)
{
    QString errors;
    DataStore ds;
    QString objects;
    for (int c = 0; c < 12; ++c)
        objects += QStringLiteral(R"json({"type": "column", "name": "c%1", "coltype": "char(10)", "width": 600},)json").arg(c);
    objects.chop(1);
    ASSERT_EQ(ds.Create(QStringLiteral(R"json({"style": "grid", "objects": [%1]})json").arg(objects), errors), 1) << errors.toStdString();
    for (int r = 0; r < 100; ++r)
        ds.InsertRow(0);
    DwPrintRenderer renderer(ds, QStringLiteral("t"));
    // A printable area 600 layout pixels wide takes four 131-px columns.
    renderer.layout(QSize(600, 800));
    const int across = 3; // 12 columns in groups of 4
    EXPECT_EQ(renderer.pageCount() % across, 0);
    EXPECT_GE(renderer.pageCount(), across * 2) << "100 rows do not fit one page";
    renderer.layout(QSize(6000, 80000));
    EXPECT_EQ(renderer.pageCount(), 1);
    QImage page(600, 800, QImage::Format_RGB32);
    page.fill(Qt::white);
    renderer.layout(page.size());
    QPainter p(&page);
    renderer.paintPage(p, 0);
    p.end();
    int inked = 0, inkedLow = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixel(x, y) != QColor(Qt::white).rgb()) {
                ++inked;
                if (y > page.height() - 80)
                    ++inkedLow;
            }
        }
    }
    EXPECT_GT(inked, 1000) << "title, captions and grid lines";
    EXPECT_GT(inkedLow, 0) << "the page number at the foot";
}
