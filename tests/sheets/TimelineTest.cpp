#include "ModuleFixture.h"

#include "host/SchemaCatalogue.h"
#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "model/maintenance/HistoryMaintenance.h"
#include "platform/core/Cursor.h"
#include "platform/core/SqlQuote.h"
#include "record/RecordTimeline.h"
#include "record/TimelineView.h"
#include "record/m_hisgridrbutton.h"
#include "record/w_hismodify.h"
#include "record/w_hisrecovprompt.h"
#include "record/w_histimeline.h"
#include "record/w_hisreplace.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// The operator's own hand at a pop-up menu: the menu runs as Qt runs it for a person, and
// `choose` acts on it with the mouse or the keys once it shows.
class HandAtTheMenu : public ScriptedOperatorDialogs
{
public:
    std::function<void(QMenu &)> choose;
    QAction *popupMenu(QMenu &menu, const QPoint &at) override
    {
        QTimer::singleShot(0, &menu, [this, &menu]() { choose(menu); });
        return menu.exec(at);
    }
};

} // namespace

// 历史轨迹 on the demo register, where records have several snapshots and most are live: every
// state newest first, the changes between them in words, nulls told apart from empty text, and
// 恢复此版本 going the way of 恢复数据.
class TimelineTest : public ModuleFixture
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        makeOwnDemo(30, 29);
        if (HasFatalFailure())
            return;
        ModuleFixture::SetUp();
    }
    // A person with the most snapshots.
    QString busiestPerson()
    {
        QList<Value> key{Value::null(rt::ValueType::String)};
        host::g().photosqlca.selectInto(QStringLiteral("SELECT PersonNo FROM th_ge_personinfo GROUP BY PersonNo "
                                                       "ORDER BY count(*) DESC, PersonNo LIMIT 1"),
                                        {}, key);
        return key[0].string();
    }
    void addElder(const QString &personNo, const Value &health, const QString &saveTime)
    {
        rt::Transaction &h = host::g().photosqlca;
        ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_sv_elderinfo (personno, health, living, issave, SaveTime) "
                                           "VALUES (?, ?, 'alone', '1', ?)"),
                            {personNo, health, saveTime}),
                  0)
            << h.SQLErrText().toStdString();
        ASSERT_EQ(h.commit(), 0);
    }
    // Opens the timeline from the grid's right-click menu on this row.
    void openFromMenu(rt::ui::DataWindowControl *dw, long row, const std::function<void(hm::w_histimeline *)> &act)
    {
        dw->SetRow(row);
        bool opened = false;
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *t = qobject_cast<hm::w_histimeline *>(w);
            ASSERT_NE(t, nullptr);
            opened = true;
            act(t);
            if (!t->isClosed())
                t->Close();
        });
        hm::m_hisgridrbutton menu;
        menu.mf_setdw(dw);
        menu.m_timeline->trigger();
        op.clearHooks();
        EXPECT_TRUE(opened);
    }
};

// RWN-07
TEST_F(TimelineTest, EveryStateNewestFirstWithItsChangesAgainstTheNewerOne)
{
    const QString person = busiestPerson();
    const model::Category *persons = model::CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    const hm::RecordTimeline t = hm::RecordTimeline::load(*persons, person, host::g().sqlca, host::g().photosqlca);
    ASSERT_TRUE(t.error.isEmpty()) << t.error.toStdString();
    const long snapshots = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?"), {person});
    ASSERT_GE(snapshots, 2);
    EXPECT_EQ(t.states.size(), snapshots + (t.liveFound ? 1 : 0));
    if (t.liveFound) {
        EXPECT_TRUE(t.states[0].live);
    }
    for (int i = t.liveFound ? 2 : 1; i < t.states.size(); ++i)
        EXPECT_GE(t.states[i - 1].saveTime, t.states[i].saveTime) << "newest first";
    // Each state's changes are exactly the fields that differ from the state above it.
    for (int i = 0; i < t.states.size(); ++i) {
        QStringList expected;
        for (int f = 0; f < t.fields.size() && i > 0; ++f) {
            const auto &a = t.states[i], &b = t.states[i - 1];
            if (a.nulls[f] != b.nulls[f] || a.exact[f] != b.exact[f])
                expected << t.fields[f];
        }
        QStringList told;
        for (const QString &c : t.states[i].changes)
            told << c.section(QString::fromUtf8("："), 0, 0);
        EXPECT_EQ(told, expected) << "state " << i;
    }
}

// RWN-07, RWN-09
TEST_F(TimelineTest, ANullIsNotAnEmptyTextAndARecordNotLiveIsSaidSo)
{
    addElder(QStringLiteral("NOBODY-1"), Value(QStringLiteral("good")), QStringLiteral("2020-01-01 08:00:00"));
    addElder(QStringLiteral("NOBODY-1"), Value::null(rt::ValueType::String), QStringLiteral("2021-01-01 08:00:00"));
    addElder(QStringLiteral("NOBODY-1"), Value(QStringLiteral("")), QStringLiteral("2022-01-01 08:00:00"));
    const model::Category *elders = model::CategoryTable::byStem(QStringLiteral("sv_elderinfo"));
    const hm::RecordTimeline t = hm::RecordTimeline::load(*elders, QStringLiteral("NOBODY-1"), host::g().sqlca, host::g().photosqlca);
    ASSERT_TRUE(t.error.isEmpty()) << t.error.toStdString();
    EXPECT_FALSE(t.liveFound);
    ASSERT_EQ(t.states.size(), 3);
    EXPECT_TRUE(t.states[0].changes.isEmpty());
    // On the files an empty text is kept as it is; the server keeps it too.
    EXPECT_EQ(t.states[1].changes, QStringList{QString::fromUtf8("健康状况：（空） → “”")});
    EXPECT_EQ(t.states[2].changes, QStringList{QString::fromUtf8("健康状况：good → （空）")});
    const int living = int(t.fields.indexOf(QString::fromUtf8("居住状况")));
    ASSERT_GE(living, 0);
    EXPECT_FALSE(t.fieldChanges(living));
    EXPECT_TRUE(t.fieldChanges(int(t.fields.indexOf(QString::fromUtf8("健康状况")))));

    // Snapshots that never differ fold nothing away: there would be no field left to see.
    addElder(QStringLiteral("NOBODY-2"), Value(QStringLiteral("same")), QStringLiteral("2020-01-01 08:00:00"));
    addElder(QStringLiteral("NOBODY-2"), Value(QStringLiteral("same")), QStringLiteral("2021-01-01 08:00:00"));
    hm::TimelineView view;
    view.setTimeline(hm::RecordTimeline::load(*elders, QStringLiteral("NOBODY-2"), host::g().sqlca, host::g().photosqlca));
    ASSERT_EQ(view.timeline().states.size(), 2);
    for (int f = 0; f < view.timeline().fields.size(); ++f)
        EXPECT_TRUE(view.isFieldShown(f)) << f;

    // A count the window shows is written with the thousands separator.
    ASSERT_EQ(host::g().photosqlca.execute(QStringLiteral("INSERT INTO th_sv_elderinfo (personno, health, issave, SaveTime) "
                                                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1234) "
                                                          "SELECT 'NOBODY-3', 'same', '1', '2020-01-01 08:00:00' FROM n")),
              0)
        << host::g().photosqlca.SQLErrText().toStdString();
    ASSERT_EQ(host::g().photosqlca.commit(), 0);
    view.setTimeline(hm::RecordTimeline::load(*elders, QStringLiteral("NOBODY-3"), host::g().sqlca, host::g().photosqlca));
    EXPECT_TRUE(view.st_status->text().contains(QString::fromUtf8("共 1,234 份历史快照"))) << view.st_status->text().toStdString();

    // Fifty snapshots of one record are as many states, each compared once.
    for (int i = 0; i < 47; ++i)
        addElder(QStringLiteral("NOBODY-1"), Value(QStringLiteral("h%1").arg(i % 3)),
                 QStringLiteral("2023-01-01 08:%1:00").arg(i, 2, 10, QLatin1Char('0')));
    EXPECT_EQ(hm::RecordTimeline::load(*elders, QStringLiteral("NOBODY-1"), host::g().sqlca, host::g().photosqlca).states.size(), 50);
}

// A snapshot saved again unchanged says so in its row; one whose only difference is a null
// against an empty text is another state, and a state is never the same as a newer one.
// MNT-49
TEST_F(TimelineTest, ASnapshotEqualToTheOlderOneIsMarkedAndANullAgainstAnEmptyTextIsNot)
{
    addElder(QStringLiteral("TWICE-1"), Value(QStringLiteral("good")), QStringLiteral("2020-01-01 08:00:00"));
    addElder(QStringLiteral("TWICE-1"), Value(QStringLiteral("good")), QStringLiteral("2020-06-01 08:00:00"));
    addElder(QStringLiteral("TWICE-1"), Value::null(rt::ValueType::String), QStringLiteral("2021-01-01 08:00:00"));
    addElder(QStringLiteral("TWICE-1"), Value(QStringLiteral("")), QStringLiteral("2022-01-01 08:00:00"));
    addElder(QStringLiteral("TWICE-1"), Value(QStringLiteral("")), QStringLiteral("2023-01-01 08:00:00"));
    const model::Category *elders = model::CategoryTable::byStem(QStringLiteral("sv_elderinfo"));
    hm::TimelineView view;
    view.setTimeline(hm::RecordTimeline::load(*elders, QStringLiteral("TWICE-1"), host::g().sqlca, host::g().photosqlca));
    const QList<hm::RecordTimeline::State> &states = view.timeline().states;
    ASSERT_EQ(states.size(), 5);
    // Newest first: '' (2023) = '' (2022); '' ≠ null; null ≠ good; good (2020-06) = good (2020-01).
    const QList<bool> same{true, false, false, true, false};
    for (int i = 0; i < states.size(); ++i) {
        EXPECT_EQ(states[i].sameAsOlder, same[i]) << i;
        EXPECT_EQ(view.table->item(i, 0)->text().contains(QString::fromUtf8("与上一状态相同")), same[i])
            << i << " " << view.table->item(i, 0)->text().toStdString();
    }
}

// The timeline marks exactly the snapshots the dedupe deletes, record by record, on the demo
// register: with rows of a record numbered (orderno, the live table's own number for some), a
// snapshot is compared with the older one of the same row, 保存标志 and every stored column.
// MNT-01, MNT-49
TEST_F(TimelineTest, ItMarksAsTheSameWhatTheDedupeDeletes)
{
    // A record's number (orderno) is compared like any column: a snapshot equal to an older one
    // but the one just before is not the same; and a 保存标志 left null is not one saved empty.
    rt::Transaction &h = host::g().photosqlca;
    ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_sv_elderinfo (orderno, personno, health, living, issave, SaveTime) VALUES "
                                       "(1, 'ROWS-1', 'good', 'alone', '1', '2020-01-01 08:00:00'), "
                                       "(2, 'ROWS-1', 'poor', 'alone', '1', '2020-02-01 08:00:00'), "
                                       "(1, 'ROWS-1', 'good', 'alone', '1', '2020-03-01 08:00:00'), "
                                       "(3, 'ROWS-2', 'good', 'alone', NULL, '2020-01-01 08:00:00'), "
                                       "(3, 'ROWS-2', 'good', 'alone', '', '2020-02-01 08:00:00')")),
              0)
        << h.SQLErrText().toStdString();
    ASSERT_EQ(h.commit(), 0);
    for (const char *name : {"个人信息", "个人其他信息", "老年人信息", "户籍信息"}) {
        SCOPED_TRACE(name);
        const model::Category *category = model::HistoryMaintenance::categoryByName(QString::fromUtf8(name));
        ASSERT_NE(category, nullptr);
        const host::TableDef *table = host::SchemaCatalogue::byStem(category->stem);
        ASSERT_NE(table, nullptr);
        QStringList keys;
        rt::Cursor c(host::g().photosqlca, QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE %1 IS NOT NULL")
                                                .arg(rt::sqlIdentifier(table->keyColumn), rt::sqlIdentifier(table->historyTable)));
        ASSERT_EQ(c.open(), 0) << host::g().photosqlca.SQLErrText().toStdString();
        QList<Value> row{Value::null(rt::ValueType::String)};
        while (c.fetch(row) == 0)
            keys << row[0].string();
        c.close();
        host::g().photosqlca.rollback();
        long long marked = 0;
        for (const QString &key : std::as_const(keys)) {
            const hm::RecordTimeline timeline = hm::RecordTimeline::load(*category, key, host::g().sqlca, host::g().photosqlca);
            ASSERT_TRUE(timeline.error.isEmpty()) << timeline.error.toStdString();
            for (const hm::RecordTimeline::State &s : timeline.states)
                marked += s.sameAsOlder ? 1 : 0;
        }
        model::HistoryMaintenance engine(host::g().sqlca, host::g().photosqlca);
        model::HistoryMaintenance::RunOptions dry;
        dry.dryRun = true;
        model::HistoryMaintenance::RunResult found;
        ASSERT_EQ(engine.dedupe(*category, dry, found), 0) << found.error.toStdString();
        EXPECT_EQ(marked, found.deleted.value(0).rows);
        if (QString::fromUtf8(name) == QString::fromUtf8("个人信息")) {
            EXPECT_GT(marked, 0) << "the demo saves some states twice";
        }
    }
}

// RWN-10
TEST_F(TimelineTest, TheWindowShowsAPersonsRelatedRecordsFoldsWhatNeverChangesAndRecoversAVersion)
{
    const QString person = busiestPerson();
    click("p_personinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    long row = 0;
    for (long r = dw->RowCount(); r >= 1 && row == 0; --r) {
        if (dw->GetItemString(r, "PersonNo") == person)
            row = r;
    }
    ASSERT_GT(row, 0);
    const Value hisid = dw->dataStore().GetItem(row, "hisid");
    openFromMenu(dw, row, [&](hm::w_histimeline *w) {
        EXPECT_EQ(w->tab_1->tabText(0), QString::fromUtf8("个人信息"));
        EXPECT_NE(w->view(QString::fromUtf8("个人其他信息")), nullptr) << "a tab for each related category";
        EXPECT_NE(w->view(QString::fromUtf8("老年人信息")), nullptr);
        hm::TimelineView *v = w->mainView();
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->currentHisid(), hisid) << "the row it was opened on is chosen";
        // 恢复此版本 is for a snapshot of the record's own category, on its own tab.
        EXPECT_TRUE(w->cb_recover->isEnabled());
        w->tab_1->setCurrentWidget(w->view(QString::fromUtf8("个人其他信息")));
        EXPECT_FALSE(w->cb_recover->isEnabled());
        w->tab_1->setCurrentIndex(0);
        // Fields that never change are folded away, shown when asked.
        int folded = 0;
        for (int f = 0; f < v->timeline().fields.size(); ++f) {
            EXPECT_EQ(v->isFieldShown(f), v->timeline().fieldChanges(f)) << f;
            folded += v->isFieldShown(f) ? 0 : 1;
        }
        EXPECT_GT(folded, 0);
        v->cbx_all->setChecked(true);
        for (int f = 0; f < v->timeline().fields.size(); ++f)
            EXPECT_TRUE(v->isFieldShown(f));
        // 恢复此版本 takes the questions of 恢复数据 and moves exactly that snapshot.
        const auto respond = [](rt::ui::PbWindow *r) {
            if (auto *q = qobject_cast<hm::w_hisreplace *>(r))
                q->cb_replace_clicked();
            else if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(r))
                p->p_ok_clicked();
        };
        op.onNextResponseWindow(respond);
        op.onNextResponseWindow(respond);
        op.answer(1);
        EXPECT_TRUE(w->cb_recover->isEnabled());
        w->cb_recover->click();
    });
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << b.text.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE hisid = ?"), {hisid}), 0)
        << "the version chosen left history";
}

// RWN-07
TEST_F(TimelineTest, TheRecordWindowOpensItAndAHouseholdListsItsMembersSnapshots)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    dw->SetRow(1);
    const QString household = dw->GetItemString(1, "RprNo");
    bool shown = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *record = qobject_cast<hm::w_hismodify *>(w);
        ASSERT_NE(record, nullptr);
        op.onNextResponseWindow([&](rt::ui::PbWindow *t) {
            auto *timeline = qobject_cast<hm::w_histimeline *>(t);
            ASSERT_NE(timeline, nullptr);
            shown = true;
            ASSERT_NE(timeline->members(), nullptr);
            QStringList headers;
            for (int c = 0; c < timeline->members()->columnCount(); ++c)
                headers << timeline->members()->horizontalHeaderItem(c)->text();
            EXPECT_EQ(headers, (QStringList{QString::fromUtf8("人员编号"), QString::fromUtf8("姓名"), QString::fromUtf8("与户主关系"),
                                            QString::fromUtf8("保存时间"), QString::fromUtf8("保存标志")}));
            EXPECT_EQ(timeline->members()->rowCount(),
                      count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = ?"), {household}));
            EXPECT_EQ(timeline->mainView()->timeline().states.size() - (timeline->mainView()->timeline().liveFound ? 1 : 0),
                      count(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = ?"), {household}));
            timeline->Close();
        });
        record->cb_timeline->click();
        record->Close();
    });
    singlePage()->ue_enter();
    op.clearHooks();
    EXPECT_TRUE(shown);
}

// RWN-10
TEST_F(TimelineTest, ASnapshotOutsideTheGridsQueryIsToldAndNothingCloses)
{
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    // A query that leaves the household's oldest snapshot out, and a grid that reads a few rows at
    // a time.
    dw->SetRow(1);
    const QString household = dw->GetItemString(1, "RprNo");
    QList<Value> oldest{Value::null(rt::ValueType::Long)};
    host::g().photosqlca.selectInto(QStringLiteral("SELECT hisid FROM th_ge_rpr WHERE RprNo = ? ORDER BY SaveTime, hisid LIMIT 1"),
                                    {household}, oldest);
    ASSERT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = ?"), {household}) > 1, true)
        << "the demo's first household has more than one snapshot";
    dw->setRetrieveAsNeeded(3);
    dw->SetSQLSelect(dw->GetSQLSelect() + QStringLiteral(" WHERE hisid <> ") + oldest[0].toText());
    ASSERT_EQ(dw->Retrieve(), 3);
    long row = 0;
    for (long r = 1; r <= dw->RowCount(); ++r) {
        if (dw->GetItemString(r, "RprNo") == household)
            row = r;
    }
    ASSERT_GT(row, 0);
    openFromMenu(dw, row, [&](hm::w_histimeline *w) {
        hm::TimelineView *v = w->mainView();
        const int last = int(v->timeline().states.size()) - 1;
        ASSERT_EQ(v->timeline().states[last].hisid.toText(), oldest[0].toText());
        v->setCurrentState(last);
        w->cb_recover->click();
        EXPECT_FALSE(w->isClosed()) << "the operator is told, and the timeline stays";
    });
    ASSERT_FALSE(op.boxes.isEmpty());
    EXPECT_TRUE(op.boxes.last().text.startsWith(QString::fromUtf8("这份快照不在表格当前的查询结果中"))) << op.boxes.last().text.toStdString();
    EXPECT_EQ(dw->RowCount(), 3) << "nothing was read to look for it";
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE hisid = ?"), {oldest[0]}), 1);
}

// Opened from the grid's right-click menu and closed — with the mouse on 关闭 or with Alt+C after
// a click inside it — the timeline stays closed: the menu's choice opens it once.
// RWN-08
TEST_F(TimelineTest, OpenedFromTheRightClickMenuItOpensOnceAndClosesForGood)
{
    click("p_personinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    auto *grid = dw->findChild<QTableView *>();
    ASSERT_NE(grid, nullptr);
    for (const bool byKeys : {true, false}) {
        int opened = 0;
        {
            HandAtTheMenu hand;
            hand.choose = [](QMenu &menu) {
                for (QAction *a : menu.actions()) {
                    if (a->objectName() == QLatin1String("m_timeline")) {
                        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(a).center());
                        return;
                    }
                }
                ADD_FAILURE() << "no 历史轨迹 in the menu";
                menu.close();
            };
            hand.onNextResponseWindow([&](rt::ui::PbWindow *w) {
                auto *t = qobject_cast<hm::w_histimeline *>(w);
                ASSERT_NE(t, nullptr);
                ++opened;
                EXPECT_TRUE(QTest::qWaitForWindowActive(t)) << "the operator works in the window that has just opened";
                QTableWidget *states = t->mainView()->table;
                QTest::mouseClick(states->viewport(), Qt::LeftButton, {}, states->visualItemRect(states->item(0, 1)).center());
                // Alt+C presses 关闭 as a click would, a moment later.
                if (byKeys)
                    QTest::keyClick(states, Qt::Key_C, Qt::AltModifier);
                else
                    QTest::mouseClick(t->cb_close, Qt::LeftButton);
                const QPointer<hm::w_histimeline> guard(t);
                EXPECT_TRUE(QTest::qWaitFor([&]() { return !guard || guard->isClosed(); }, 2000)) << (byKeys ? "Alt+C" : "关闭");
                if (guard && !guard->isClosed())
                    guard->Close();
            });
            QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->visualRect(grid->model()->index(0, 1)).center());
            QApplication::processEvents();
            EXPECT_EQ(opened, 1);
            EXPECT_TRUE(hand.errors.isEmpty()) << "no second timeline: " << hand.errors.join(QLatin1Char('|')).toStdString();
            hand.clearHooks();
        }
        rt::ui::OperatorDialogs::install(&op);
    }
}
