#include "BatchDeleteFixture.h"

#include <QLocale>

// A batch deletion runs off the window's thread in chunks, each saved with its own journal
// entry: after a moment a progress dialog says how many rows are deleted of how many, and its
// 取消 stops after the chunk in progress and says exactly what was deleted; the register, the
// grid and the journal all agree with what it says.
// BAT-07, BAT-10
TEST_F(BatchDeleteTest, ABatchRunsAsideShowsProgressAndCancelStopsAfterTheChunk)
{
    click("p_womaninfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), rows = dw->RowCount();
    ASSERT_GT(all, 6);
    ASSERT_EQ(rows, all);
    const long entries = count(QStringLiteral("SELECT count(*) FROM hm_journal"));
    auto saved = [&] {
        return count(QStringLiteral("SELECT count(*) FROM hm_journal WHERE action = ? AND outcome = ?"),
                     {QString::fromUtf8("批量删除"), QString::fromUtf8("成功")});
    };
    hm::BatchRequest request;
    request.byKind = true;
    request.kind = QString::fromUtf8("删除所有记录");
    hm::BatchOptions options;
    options.chunkRows = 2;
    options.progressAfterMs = 0;
    // Chunks slow enough for the window to show them.
    options.afterChunk = [](long long) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        return true;
    };
    QString label;
    bool painted = false;
    QTimer::singleShot(250, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *progress = qobject_cast<QProgressDialog *>(w); progress && w->objectName() == QLatin1String("batch_progress")) {
                label = progress->labelText();
                painted = progress->isVisible();
                progress->cancel();
            }
        }
    });
    op.answer(1); // 是 to the question with the count
    const QString status = hm::BatchDeletion::execute(dw, request, nullptr, options);
    EXPECT_TRUE(painted) << "the progress was shown while the deletion ran";
    EXPECT_TRUE(label.startsWith(QString::fromUtf8("正在删除：已删除 "))) << label.toStdString();
    EXPECT_TRUE(label.endsWith(QString::fromUtf8("条，共 %1 条").arg(all))) << label.toStdString();
    const long left = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
    const long gone = all - left;
    ASSERT_GT(gone, 0);
    ASSERT_LT(gone, all);
    EXPECT_EQ(gone % 2, 0) << "whole chunks";
    EXPECT_EQ(status, QString::fromUtf8("已停止：已删除 %1 条历史记录，表格中移去 %1 行。").arg(gone));
    EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("批量删除已停止：已删除 %1 条历史记录（%2 块，每块都已保存），其余的没有删除。")
                                        .arg(gone)
                                        .arg(gone / 2));
    EXPECT_EQ(dw->RowCount(), left) << "the grid lost exactly the rows the register lost";
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM hm_journal")), entries + gone / 2) << "an entry a chunk, none for the stop";
    EXPECT_EQ(saved(), gone / 2);
    // Stopped between two chunks by a caller without a window: the same.
    options.progressAfterMs = 60000;
    options.afterChunk = [](long long deleted) { return deleted < 4; };
    op.answer(1);
    EXPECT_EQ(hm::BatchDeletion::execute(dw, request, nullptr, options),
              QString::fromUtf8("已停止：已删除 4 条历史记录，表格中移去 4 行。"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), left - 4);
    // Let through, the chunks delete everything.
    options.afterChunk = nullptr;
    op.answer(1);
    EXPECT_TRUE(hm::BatchDeletion::execute(dw, request, nullptr, options)
                    .startsWith(QString::fromUtf8("已删除 %1 条历史记录").arg(left - 4)));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), 0);
    EXPECT_EQ(dw->RowCount(), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ?"), {QString::fromUtf8("失败")}), 0);
}

// The dialog's count of what a deletion would remove is what the deletion then removes, table
// by table, for every kind, the range and the household box.
struct CountCase
{
    const char *name;
    const char *button;
    int kind;       // 1..5 for a kind, 0 for the range
    bool household; // the household box ticked
};

inline void PrintTo(const CountCase &c, std::ostream *os)
{
    *os << c.name;
}

class BatchCountTest : public BatchDeleteTest, public ::testing::WithParamInterface<CountCase>
{
protected:
    QMap<QString, long> allCounts()
    {
        QMap<QString, long> out;
        for (const model::Category &c : model::CategoryTable::all())
            out[c.historyTable] = count(QStringLiteral("SELECT count(*) FROM %1").arg(c.historyTable));
        return out;
    }
};

// BAT-01, BAT-06
TEST_P(BatchCountTest, TheCountShownIsWhatIsDeleted)
{
    const CountCase &c = GetParam();
    click(c.button);
    const QString from = day(rt::fn::RelativeDate(rt::fn::Today(), -800)), to = day(rt::fn::RelativeDate(rt::fn::Today(), -200));
    QString shown;
    QList<std::pair<QString, long>> counted;
    const QMap<QString, long> before = allCounts();
    batch([&](hm::w_hisdelprompt *d) {
        if (c.kind > 0)
            byKind(d, c.kind);
        else
            byRange(d, from, to);
        d->cbx_rpr->setChecked(c.household);
        d->waitForCount();
        shown = d->st_count->text();
        QString refusal;
        counted = hm::BatchDeletion::preview(sheet()->wf_getcurrentdw(), hm::BatchRequest{d->rb_delkind->isChecked(),
                      d->rb_deldate->isChecked(), d->ddlb_kind->Text(), from, to, d->em_start->date(), d->em_end->date(),
                      d->cbx_rpr->isChecked()}, refusal);
        EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
    });
    const QMap<QString, long> after = allCounts();
    ASSERT_FALSE(counted.isEmpty());
    long total = 0;
    for (const auto &[table, n] : counted) {
        const QString key = model::CategoryTable::byHistoryTable(table.toLower())->historyTable;
        EXPECT_EQ(before[key] - after[key], n) << table.toStdString();
        total += n;
    }
    long deleted = 0;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        deleted += it.value() - after[it.key()];
    EXPECT_EQ(deleted, total) << "no table outside the count lost a row";
    EXPECT_GT(total, 0);
    EXPECT_TRUE(shown.contains(QString::fromUtf8("：将删除："))) << shown.toStdString();
    // 确定 asked first, with the same whole count, 否 the default.
    ASSERT_GE(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[0].text, QString::fromUtf8("将删除 %1 条历史记录：%2，删除后将无法恢复，确定要删除吗?")
                                    .arg(QLocale(QLocale::Chinese, QLocale::China).toString(qlonglong(total)),
                                         hm::BatchDeletion::countWords(counted)));
    EXPECT_EQ(op.boxes[0].buttons, rt::ui::MsgButtons::YesNo);
    EXPECT_EQ(op.boxes[0].defaultButton, 2);
    if (c.kind == 0) {
        EXPECT_TRUE(shown.startsWith(from + QString::fromUtf8(" 至 ") + to)) << "the dates as understood: " << shown.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, BatchCountTest,
                         ::testing::Values(CountCase{"TwoYears", "p_eldinfo", 1, false}, CountCase{"OneYear", "p_eldinfo", 2, false},
                                           CountCase{"HalfYear", "p_womaninfo", 3, false},
                                           CountCase{"ThreeMonths", "p_personinfo", 4, false},
                                           CountCase{"All", "p_children", 5, false}, CountCase{"Range", "p_rprinfo", 0, false},
                                           CountCase{"RangeWithPersons", "p_rprinfo", 0, true},
                                           CountCase{"OneYearWithPersons", "p_rprinfo", 2, true},
                                           CountCase{"AllWithPersons", "p_rprinfo", 5, true}),
                         [](const ::testing::TestParamInfo<CountCase> &info) { return std::string(info.param.name); });

// The dialog as an operator uses it: the count arrives without freezing the window and is the
// count of the latest choice; 确定 and 关闭 work from the keyboard; no message box appears
// under a busy cursor.
// BAT-05
TEST_F(BatchDeleteTest, KeyboardCountAndCursorAsAnOperatorMeetsThem)
{
    click("p_rprinfo");
    const QString from = day(rt::fn::RelativeDate(rt::fn::Today(), -800)), to = day(rt::fn::RelativeDate(rt::fn::Today(), -200));
    const long before = count(QStringLiteral("SELECT count(*) FROM th_ge_rpr"));
    QString shown;
    bool closed = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
        ASSERT_NE(d, nullptr);
        // Several changes in a row: what is shown in the end is the count of the last one.
        d->cbx_rpr->setChecked(true);
        byRange(d, QStringLiteral("2000-01-01"), QStringLiteral("2000-01-02"));
        byRange(d, from, to);
        d->cbx_rpr->setChecked(false);
        d->waitForCount();
        shown = d->st_count->text();
        EXPECT_NE(d->p_ok->focusPolicy() & Qt::TabFocus, 0) << "Tab reaches 确定";
        EXPECT_NE(d->p_close->focusPolicy() & Qt::TabFocus, 0) << "Tab reaches 关闭";
        d->p_ok->setFocus();
        op.answer(1); // 是 to the question with the count
        QTest::keyClick(d->p_ok, Qt::Key_Return);
        QTest::keyClick(d, Qt::Key_Escape);
        closed = !d->isVisible();
        if (!closed)
            d->p_close_clicked();
    });
    frame->ue_del(2);
    op.clearHooks();
    long counted = 0;
    const QStringList parts = shown.split(QString::fromUtf8("户籍信息 "));
    if (parts.size() == 2)
        counted = parts[1].split(QLatin1Char(' ')).value(0).toLong();
    EXPECT_TRUE(shown.startsWith(from + QString::fromUtf8(" 至 ") + to)) << shown.toStdString();
    EXPECT_GT(counted, 0) << shown.toStdString();
    EXPECT_EQ(before - count(QStringLiteral("SELECT count(*) FROM th_ge_rpr")), counted) << "Enter on 确定 deleted what was counted";
    EXPECT_TRUE(closed) << "Esc closes the dialog";
    ASSERT_FALSE(op.boxes.isEmpty());
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.underBusyCursor) << b.text.toStdString();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
