#include "LayoutCheck.h"
#include "ModuleFixture.h"

#include "host/SchemaCatalogue.h"
#include "model/Category.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/core/Cursor.h"
#include "platform/core/Functions.h"
#include "toolbar/HistoryYearChart.h"
#include "toolbar/w_hisstats.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <atomic>

namespace {

// Where a hook of the window's stops its work on the working thread until the test lets it go
// (at most ten seconds, so that a failed check cannot hang the suite). Holds the first time only.
struct Gate
{
    QSemaphore open;
    std::atomic<bool> reached{false};
    void hold()
    {
        if (!reached.exchange(true))
            open.tryAcquire(1, 10000);
    }
};

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

QProgressDialog *progressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *p = qobject_cast<QProgressDialog *>(w); p && p->objectName() == QLatin1String("stats_progress") && p->isVisible())
            return p;
    }
    return nullptr;
}

} // namespace

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
    // Starts work by the operator's key (`start`) and, once the work is held at the gate with the
    // progress dialog up and the window seen painting meanwhile, runs `atHold` on the window's
    // thread, then lets the work go on. Returns the milliseconds before the dialog showed.
    qint64 whileHeld(hm::w_hisstats *w, Gate &gate, const std::function<void()> &start,
                     const std::function<void(QProgressDialog *)> &atHold)
    {
        PaintCounter counter;
        w->chart->installEventFilter(&counter);
        QElapsedTimer clock;
        qint64 shownAfter = -1;
        int stage = 0, paintsBefore = 0;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QProgressDialog *progress = progressDialog();
            if (progress && shownAfter < 0)
                shownAfter = clock.elapsed();
            if (stage == 0 && progress && gate.reached.load()) {
                w->chart->update();
                paintsBefore = counter.paints;
                stage = 1;
            } else if (stage == 1 && counter.paints > paintsBefore) {
                stage = 2;
                atHold(progress);
                gate.open.release();
            }
        });
        clock.start();
        poll.start();
        start();
        poll.stop();
        w->chart->removeEventFilter(&counter);
        EXPECT_EQ(stage, 2) << "the work was held with its progress up, and the window painted meanwhile";
        return shownAfter;
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

// MNT-38, MNT-39
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

// MNT-40
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

// MNT-41
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

// Duplicates saved since the figures were read are not deleted on the strength of the old
// count: with every category chosen, those before the changed one go as confirmed, the changed one
// and those after it are left as they are and named, and the figures are read again.
// MNT-41
TEST_F(HistoryStatsTest, MoreDuplicatesThanConfirmedAreToldNotDeleted)
{
    const host::TableDef *persons = host::SchemaCatalogue::byTable(QStringLiteral("th_ge_personinfo"));
    const host::TableDef *households = host::SchemaCatalogue::byTable(QStringLiteral("th_ge_rpr"));
    ASSERT_TRUE(persons && households);
    const long long personsBefore = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"));
    const long long shown = duplicatesOf(*persons), householdDuplicates = duplicatesOf(*households);
    withWindow([&](hm::w_hisstats *w) {
        ASSERT_EQ(w->stats().categories.value(0).category->historyTable, QStringLiteral("th_ge_rpr"));
        ASSERT_EQ(w->stats().categories.value(1).category->historyTable, QStringLiteral("th_ge_personinfo"));
        w->categories->setFocus();
        QTest::keyClick(w->categories, Qt::Key_End, Qt::ControlModifier); // 合计
        // Another operator saves the newest person state of all once more meanwhile.
        rt::Transaction &h = host::g().photosqlca;
        ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, sex, birthday, idcard, relation, "
                                           "nation, education, marriage, politics, birthplace, issave, SaveTime) "
                                           "SELECT PersonNo, RprNo, personname, sex, birthday, idcard, relation, nation, education, "
                                           "marriage, politics, birthplace, issave, '2099-01-01 00:00:00' FROM th_ge_personinfo "
                                           "WHERE hisid = (SELECT hisid FROM th_ge_personinfo ORDER BY SaveTime DESC, hisid DESC LIMIT 1)")),
                  0)
            << h.SQLErrText().toStdString();
        ASSERT_EQ(h.commit(), 0);
        w->cb_dedupe->setFocus();
        op.answer(1);
        QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
        ASSERT_EQ(op.boxes.size(), 2);
        QStringList after;
        for (int i = 2; i < w->stats().categories.size(); ++i)
            after << w->stats().categories[i].category->tabText;
        EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("个人信息的重复快照已有变化：确认时为 %1 条，现在为 %2 条，这一类别和其后的%3没有删除。"
                                                      "已删除 %4 条重复快照。统计将重新读取，请核对后再去除重复快照。")
                                        .arg(rt::fn::Grouped(shown), rt::fn::Grouped(shown + 1), after.join(QString::fromUtf8("、")),
                                             rt::fn::Grouped(householdDuplicates)));
        EXPECT_EQ(cell(w, 1, hm::w_hisstats::Duplicates), shown + 1) << "read again";
        EXPECT_EQ(cell(w, 0, hm::w_hisstats::Duplicates), 0) << "the households went as confirmed";
    });
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo")), personsBefore + 1) << "no person deleted";
}

// The figures and the preview are read on another thread: the window is painted meanwhile, a
// progress dialog says what is counted after half a second, a second start is refused, and
// 停止 (Esc on the dialog) leaves the figures read before, or an empty 预计删除, said so.
// MNT-42, MNT-44
TEST_F(HistoryStatsTest, ReadsRunAsideAndAStopShowsNothingHalfRead)
{
    withWindow([&](hm::w_hisstats *w) {
        const int total = int(w->stats().categories.size());
        const long long rows = cell(w, total, hm::w_hisstats::Rows), duplicates = cell(w, total, hm::w_hisstats::Duplicates);
        Gate gate;
        w->options.beforeRead = [&gate] { gate.hold(); };
        QString label, status;
        const qint64 shownAfter = whileHeld(
            w, gate,
            [&] {
                w->cb_refresh->setFocus();
                QTest::keyClick(w->cb_refresh, Qt::Key_Space);
            },
            [&](QProgressDialog *progress) {
                label = progress->labelText();
                status = w->st_status->text();
                const QStringList problems = LayoutCheck::problems(progress);
                EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
                EXPECT_TRUE(w->working());
                QTest::keyClick(w->cb_refresh, Qt::Key_Space); // refused: the first read is at work
                QTest::keyClick(progress, Qt::Key_Escape);
            });
        EXPECT_GE(shownAfter, rt::ui::AsideWait::ProgressAfterMs - 20);
        EXPECT_TRUE(label.startsWith(QString::fromUtf8("正在统计："))) << label.toStdString();
        EXPECT_EQ(status, label);
        EXPECT_EQ(w->st_status->text(), QString::fromUtf8("统计已停止。"));
        EXPECT_EQ(cell(w, total, hm::w_hisstats::Rows), rows);
        EXPECT_EQ(cell(w, total, hm::w_hisstats::Duplicates), duplicates);
        EXPECT_EQ(progressDialog(), nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == w->cb_refresh; }, 2000))
            << "the operator goes on from where the work began";

        // The preview stopped: 预计删除 stays empty, not figures of another policy.
        w->options.progressAfterMs = 0;
        w->cb_preview->setFocus();
        QTest::keyClick(w->cb_preview, Qt::Key_Space);
        ASSERT_FALSE(w->categories->item(total, hm::w_hisstats::Preview)->text().isEmpty());
        Gate previewGate;
        w->options.beforeRead = [&previewGate] { previewGate.hold(); };
        whileHeld(
            w, previewGate, [&] { QTest::keyClick(w->cb_preview, Qt::Key_Space); },
            [&](QProgressDialog *progress) {
                label = progress->labelText();
                QTest::keyClick(progress, Qt::Key_Escape);
            });
        EXPECT_TRUE(label.startsWith(QString::fromUtf8("正在计算预计删除"))) << label.toStdString();
        EXPECT_EQ(w->st_status->text(), QString::fromUtf8("预计删除已停止。"));
        for (int r = 0; r <= total; ++r)
            EXPECT_TRUE(w->categories->item(r, hm::w_hisstats::Preview)->text().isEmpty()) << r;

        // The window's connection reads again after its statements were cancelled.
        w->options.beforeRead = nullptr;
        QTest::keyClick(w->cb_refresh, Qt::Key_Space);
        EXPECT_TRUE(w->st_status->text().isEmpty()) << w->st_status->text().toStdString();
        EXPECT_EQ(cell(w, total, hm::w_hisstats::Rows), rows);
    });
}

// 停止 during 去除重复快照 lands between two chunks: the chunk deleted is committed with its
// journal entry, the rest stays and the operator is told so; a second 去除重复快照 meanwhile
// starts nothing.
// MNT-41, MNT-44, MNT-45, MNT-46
TEST_F(HistoryStatsTest, DedupeStoppedLeavesWholeChunksDoneAndJournalled)
{
    const QString allRows = QStringList([] {
        QStringList parts;
        for (const host::TableDef &t : host::SchemaCatalogue::tables())
            parts << QStringLiteral("(SELECT count(*) FROM %1)").arg(t.historyTable);
        return parts;
    }()).join(QStringLiteral(" + "));
    const long before = count(QStringLiteral("SELECT ") + allRows);
    const long entries = count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重'"));
    Gate gate, reread;
    QString label;
    withWindow([&](hm::w_hisstats *w) {
        w->categories->setFocus();
        QTest::keyClick(w->categories, Qt::Key_End, Qt::ControlModifier); // 合计
        w->options.chunkRows = 2;
        w->options.progressAfterMs = 0;
        w->options.afterChunk = [&gate](long long) { gate.hold(); };
        // The figures read after it are stopped too: those before the deletion are wrong now.
        w->options.beforeRead = [&reread] { reread.hold(); };
        QTimer stopReread;
        stopReread.setInterval(20);
        QObject::connect(&stopReread, &QTimer::timeout, [&] {
            if (QProgressDialog *progress = progressDialog(); progress && reread.reached.load()) {
                QTest::keyClick(progress, Qt::Key_Escape);
                reread.open.release();
                stopReread.stop();
            }
        });
        stopReread.start();
        op.answer(1);
        whileHeld(
            w, gate,
            [&] {
                w->cb_dedupe->setFocus();
                QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
            },
            [&](QProgressDialog *progress) {
                label = progress->labelText();
                const QStringList problems = LayoutCheck::problems(progress);
                EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
                op.answer(1);
                QTest::keyClick(w->cb_dedupe, Qt::Key_Space); // refused: no question, no second run
                QTest::keyClick(progress, Qt::Key_Escape);
            });
        EXPECT_EQ(w->categories->rowCount(), 0) << "no figures of before the deletion";
        EXPECT_EQ(w->st_status->text(), QString::fromUtf8("统计已停止。"));
        // Without figures nothing is known of duplicates: not "none".
        w->cb_dedupe->setFocus();
        QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
    });
    EXPECT_TRUE(label.startsWith(QString::fromUtf8("正在去除重复快照："))) << label.toStdString();
    const long deleted = before - count(QStringLiteral("SELECT ") + allRows);
    EXPECT_GT(deleted, 0);
    EXPECT_LE(deleted, 2) << "one chunk";
    ASSERT_EQ(op.boxes.size(), 3) << "the question, the outcome, and no figures to act on";
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("已停止。已删除 %1 条重复快照。其余的重复快照未删除。").arg(deleted));
    EXPECT_EQ(op.boxes[2].text, QString::fromUtf8("还没有统计数字，请先点击“刷新”。"));
    EXPECT_EQ(count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重'")), entries + 1);
    EXPECT_EQ(count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重' AND outcome = '成功' "
                                      "AND counts LIKE ? AND detail LIKE ?"),
                    {QStringLiteral("%% %1").arg(deleted), QString::fromUtf8("%第 1 块%")}),
              1);
}

// Closing the window while 去除重复快照 runs waits for the run: it goes on to its end, its
// outcome is told, and then the window closes (without reading the figures again).
// MNT-46
TEST_F(HistoryStatsTest, ClosingWhileDedupeRunsWaitsForItsEnd)
{
    long long all = 0;
    for (const host::TableDef &t : host::SchemaCatalogue::tables())
        all += duplicatesOf(t);
    ASSERT_GT(all, 2);
    Gate gate;
    bool keptOpen = false, closed = false;
    withWindow([&](hm::w_hisstats *w) {
        w->categories->setFocus();
        QTest::keyClick(w->categories, Qt::Key_End, Qt::ControlModifier);
        w->options.chunkRows = 2;
        w->options.afterChunk = [&gate](long long) { gate.hold(); };
        QPointer<hm::w_hisstats> window(w);
        op.answer(1);
        whileHeld(
            w, gate,
            [&] {
                w->cb_dedupe->setFocus();
                QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
            },
            [&](QProgressDialog *) {
                // The operator's keys reach the progress dialog alone (Esc there is 停止); the
                // window is closed as the title bar or the frame closes it.
                EXPECT_FALSE(w->close());
                EXPECT_EQ(rt::ui::Windows::Close(w), -1);
                keptOpen = w->isVisible() && !w->isClosed();
            });
        closed = !window || window->isClosed();
    });
    EXPECT_TRUE(keptOpen) << "held open while the run works";
    EXPECT_TRUE(closed) << "closed once the run ended";
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("已删除 %1 条重复快照。").arg(rt::fn::Grouped(all)));
    for (const host::TableDef &t : host::SchemaCatalogue::tables())
        EXPECT_EQ(duplicatesOf(t), 0) << t.historyTable.toStdString();
}

// 停止 cancels the statement at work, not only the work still to come: a read and a dedupe's
// select that wait for another session's lock end at once when stopped, and nothing is deleted
// or journalled. On the server only: SQLite's wait for a lock is not cut short by an interrupt
// (a read there waits out the busy timeout, 3 s, before it stops).
// MNT-44, MNT-45
TEST_F(HistoryStatsTest, AStopCancelsTheStatementThatWaits)
{
    if (!TestRegister::onServer())
        GTEST_SKIP() << "the files' wait for a lock ends at the busy timeout, stopped or not";
    const long entries = count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重'"));
    const long persons = historyRows(QStringLiteral("th_ge_personinfo"));
    // The window's connection, made when it opens, would wait a long time for the lock.
    const int busy = host::g().photosqlca.BusyTimeoutMs;
    host::g().photosqlca.BusyTimeoutMs = 30000;
    rt::Transaction locker(QStringLiteral("locker"));
    locker.copySettingsFrom(host::g().photosqlca);
    ASSERT_EQ(locker.connect(), 0) << locker.SQLErrText().toStdString();
    rt::DbError error;
    qint64 refreshMs = -1, dedupeMs = -1;
    withWindow([&](hm::w_hisstats *w) {
        host::g().photosqlca.BusyTimeoutMs = busy;
        ASSERT_TRUE(locker.connection()->exec(QStringLiteral("BEGIN; LOCK TABLE th_ge_personinfo IN ACCESS EXCLUSIVE MODE"), error))
            << error.text.toStdString();
        w->options.progressAfterMs = 0;
        QElapsedTimer clock;
        // Stopped once the progress shows; the time taken until the work has ended.
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QProgressDialog *progress = progressDialog();
            if (progress && !clock.isValid() && progress->labelText() != QString::fromUtf8("正在停止统计……")) {
                clock.start();
                QTest::keyClick(progress, Qt::Key_Escape);
            }
            // The dedupe's outcome told: the figures read after it may have the table again.
            if (op.boxes.size() == 2 && dedupeMs < 0) {
                dedupeMs = clock.elapsed();
                locker.connection()->exec(QStringLiteral("ROLLBACK"), error);
            }
        });
        poll.start();
        w->cb_refresh->setFocus();
        QTest::keyClick(w->cb_refresh, Qt::Key_Space);
        refreshMs = clock.isValid() ? clock.elapsed() : -1;
        EXPECT_EQ(w->st_status->text(), QString::fromUtf8("统计已停止。"));

        w->categories->setFocus();
        QTest::keyClick(w->categories, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(w->categories, Qt::Key_Down); // 个人信息
        op.answer(1);
        clock.invalidate();
        w->cb_dedupe->setFocus();
        QTest::keyClick(w->cb_dedupe, Qt::Key_Space);
        poll.stop();
    });
    EXPECT_GE(refreshMs, 0) << "stopped while the read waited";
    EXPECT_LT(refreshMs, 2000);
    EXPECT_GE(dedupeMs, 0) << "stopped while the select waited";
    EXPECT_LT(dedupeMs, 2000) << "well before the lock timeout (3 s) would have ended it";
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("已停止。已删除 0 条重复快照。其余的重复快照未删除。"));
    EXPECT_EQ(historyRows(QStringLiteral("th_ge_personinfo")), persons);
    EXPECT_EQ(count(QString::fromUtf8("SELECT count(*) FROM hm_journal WHERE action = '去重'")), entries);
}
