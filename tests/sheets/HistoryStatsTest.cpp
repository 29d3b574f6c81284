#include "ModuleFixture.h"

#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/HistoryMaintenance.h"
#include "platform/core/Cursor.h"
#include "platform/core/Functions.h"
#include "toolbar/HistoryYearChart.h"
#include "toolbar/w_hisstats.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

// 历史统计 on a demo register of its own (it deletes): the figures against the register read
// directly, the policy's preview against the engine's dry run, and 去除重复快照 answered 否 and 是.
class HistoryStatsTest : public ModuleFixture
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        makeOwnDemo(40, 41);
        if (HasFatalFailure())
            return;
        ModuleFixture::SetUp();
    }

    // Snapshots equal to the one saved just before them for the same record, counted here row
    // by row rather than by the engine's select: every column but hisid and SaveTime, a null
    // equal only to a null.
    long long duplicatesOf(const host::TableDef &def)
    {
        QStringList columns, keys{def.keyColumn};
        if (def.hasOrderNo() && def.keyColumn.compare(QLatin1String("orderno"), Qt::CaseInsensitive) != 0)
            keys << QStringLiteral("orderno");
        for (const host::ColumnDef &c : def.historyColumns()) {
            if (c.name != host::TableDef::surrogateKey() && c.name != host::TableDef::saveTimeColumn())
                columns << c.name;
        }
        rt::Cursor cursor(host::g().photosqlca, QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1, SaveTime, hisid")
                                                    .arg(keys.join(QStringLiteral(", ")), columns.join(QStringLiteral(", ")),
                                                         def.historyTable));
        EXPECT_EQ(cursor.open(), 0) << host::g().photosqlca.SQLErrText().toStdString();
        QList<Value> row;
        for (int i = 0; i < keys.size() + columns.size(); ++i)
            row << Value::null(rt::ValueType::String);
        QStringList previous;
        long long found = 0;
        while (cursor.fetch(row) == 0) {
            QStringList now;
            for (const Value &v : row)
                now << (v.isNull() ? QStringLiteral("\\N") : QStringLiteral("=") + v.string());
            if (!previous.isEmpty() && now.mid(0, keys.size()) == previous.mid(0, keys.size()) && now == previous)
                ++found;
            previous = now;
        }
        cursor.close();
        return found;
    }
    long long cell(hm::w_hisstats *w, int row, int column)
    {
        return w->categories->item(row, column)->text().remove(QLatin1Char(',')).toLongLong();
    }
    // Opens the window with its key on the frame and runs `act` on it while it is open.
    void withWindow(const std::function<void(hm::w_hisstats *)> &act)
    {
        bool seen = false;
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *stats = qobject_cast<hm::w_hisstats *>(w);
            ASSERT_NE(stats, nullptr);
            seen = true;
            act(stats);
            if (stats->isVisible())
                stats->Close(); // whatever a failed check left open

        });
        frame->activateWindow();
        QTest::keyClick(frame, Qt::Key_T, Qt::ControlModifier);
        op.clearHooks();
        EXPECT_TRUE(seen) << "Ctrl+T opened 历史统计";
    }
};

TEST_F(HistoryStatsTest, TheFiguresAreTheRegistersAndEscCloses)
{
    bool closed = false;
    withWindow([&](hm::w_hisstats *w) {
        const auto &categories = w->stats().categories;
        ASSERT_EQ(w->categories->rowCount(), categories.size() + 1);
        long long rows = 0, duplicates = 0;
        for (int r = 0; r < categories.size(); ++r) {
            const host::TableDef *def = host::SchemaCatalogue::byStem(categories[r].category->stem);
            ASSERT_NE(def, nullptr);
            const long long direct = count(QStringLiteral("SELECT count(*) FROM %1").arg(def->historyTable));
            EXPECT_EQ(cell(w, r, hm::w_hisstats::Rows), direct) << def->historyTable.toStdString();
            EXPECT_EQ(cell(w, r, hm::w_hisstats::Duplicates), duplicatesOf(*def)) << def->historyTable.toStdString();
            long long perYear = 0;
            for (long long n : categories[r].rowsPerYear)
                perYear += n;
            EXPECT_EQ(perYear, direct);
            rows += direct;
            duplicates += categories[r].duplicates;
        }
        EXPECT_GT(duplicates, 0) << "the demo register has duplicate snapshots";
        EXPECT_EQ(cell(w, int(categories.size()), hm::w_hisstats::Rows), rows);
        EXPECT_EQ(cell(w, int(categories.size()), hm::w_hisstats::Duplicates), duplicates);
        // The arrows choose a category and the chart follows it.
        w->categories->setFocus();
        QTest::keyClick(w->categories, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(w->categories, Qt::Key_Down);
        EXPECT_EQ(w->chart->rows(), categories[1].rowsPerYear);
        EXPECT_FALSE(w->st_size->text().isEmpty());
        QTest::keyClick(w->categories, Qt::Key_Escape);
        closed = !w->isVisible();
    });
    EXPECT_TRUE(closed);
}

TEST_F(HistoryStatsTest, ThePreviewIsTheEnginesDryRunAndDeletesNothing)
{
    withWindow([&](hm::w_hisstats *w) {
        const long long before = cell(w, int(w->stats().categories.size()), hm::w_hisstats::Rows);
        // 早于 1 年前, keeping the newest 2 of each record, typed.
        w->ddlb_age->setFocus();
        QTest::keyClick(w->ddlb_age, Qt::Key_Home);
        w->em_age->setFocus();
        QTest::keyClick(w->em_age, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w->em_age, QStringLiteral("1"));
        w->em_keeplast->setFocus();
        QTest::keyClick(w->em_keeplast, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w->em_keeplast, QStringLiteral("2"));
        w->cb_preview->setFocus();
        QTest::keyClick(w->cb_preview, Qt::Key_Space);
        EXPECT_EQ(w->policyDate(), QDate::currentDate().addYears(-1));

        model::HistoryMaintenance engine(host::g().sqlca, host::g().photosqlca);
        model::HistoryMaintenance::PurgePolicy policy;
        policy.before = QDate::currentDate().addYears(-1);
        policy.keepLast = 2;
        model::HistoryMaintenance::RunOptions dry;
        dry.dryRun = true;
        long long all = 0;
        for (int r = 0; r < w->stats().categories.size(); ++r) {
            const model::Category *c = w->stats().categories[r].category;
            model::HistoryMaintenance::RunResult result;
            ASSERT_EQ(engine.purge(*c, policy, dry, result), 0) << result.error.toStdString();
            long long expected = 0;
            for (const auto &t : result.deleted)
                expected += t.table.compare(c->historyTable, Qt::CaseInsensitive) == 0 ? t.rows : 0;
            EXPECT_EQ(cell(w, r, hm::w_hisstats::Preview), expected) << c->tabText.toStdString();
            all += expected;
        }
        EXPECT_GT(all, 0);
        EXPECT_EQ(cell(w, int(w->stats().categories.size()), hm::w_hisstats::Preview), all);
        EXPECT_TRUE(w->st_status->text().contains(rt::fn::Grouped(all))) << w->st_status->text().toStdString();
        w->cb_refresh->click();
        EXPECT_EQ(cell(w, int(w->stats().categories.size()), hm::w_hisstats::Rows), before);
    });
}

TEST_F(HistoryStatsTest, DedupeAnsweredNoChangesNothingAndYesDeletesExactlyTheDuplicates)
{
    QMap<QString, long long> rowsBefore, duplicates;
    for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
        rowsBefore[t.historyTable] = count(QStringLiteral("SELECT count(*) FROM %1").arg(t.historyTable));
        duplicates[t.historyTable] = duplicatesOf(t);
    }
    long long all = 0;
    for (long long n : duplicates)
        all += n;
    ASSERT_GT(all, 0);
    const long entriesBefore = count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重'"));
    withWindow([&](hm::w_hisstats *w) {
        // 合计: every category; chosen with the keys, 去除重复快照 pressed from the keyboard.
        w->categories->setFocus();
        QTest::keyClick(w->categories, Qt::Key_End, Qt::ControlModifier);
        ASSERT_EQ(w->categories->currentRow(), w->stats().categories.size());
        w->cb_dedupe->setFocus();
        op.answer(2);
        QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
        ASSERT_EQ(op.boxes.size(), 1);
        EXPECT_TRUE(op.boxes[0].text.startsWith(
            QString::fromUtf8("将删除 %1 条重复快照（与上一状态相同的历史记录）").arg(rt::fn::Grouped(all))))
            << op.boxes[0].text.toStdString();
        EXPECT_TRUE(op.boxes[0].text.contains(QString::fromUtf8("确定吗？")));
        EXPECT_EQ(op.boxes[0].defaultButton, 2) << "否 is the default";
        for (const host::TableDef &t : host::SchemaCatalogue::tables())
            EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM %1").arg(t.historyTable)), rowsBefore[t.historyTable]);

        op.answer(1);
        QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
        ASSERT_EQ(op.boxes.size(), 3);
        EXPECT_EQ(op.boxes[2].text, QString::fromUtf8("已删除 %1 条重复快照。").arg(rt::fn::Grouped(all)));
        // The window read the figures again.
        EXPECT_EQ(cell(w, int(w->stats().categories.size()), hm::w_hisstats::Duplicates), 0);
    });
    for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM %1").arg(t.historyTable)),
                  rowsBefore[t.historyTable] - duplicates[t.historyTable])
            << t.historyTable.toStdString();
        EXPECT_EQ(duplicatesOf(t), 0) << t.historyTable.toStdString();
    }
    EXPECT_GT(count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重'")), entriesBefore);
    EXPECT_EQ(count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重' AND outcome <> '成功'")), 0);
}
