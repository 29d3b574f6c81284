#include "RecoveryFixture.h"
#include "Faults.h"

#include "model/journal/Journal.h"
#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"
#include "shell/HistoryRecovery.h"
#include "model/recovery/LiveReplacement.h"
#include "model/recovery/RecoveryTransaction.h"
#include "model/recovery/RecoveryPlan.h"
#include "platform/dw/SyntaxFromSql.h"

#include <QCheckBox>
#include <QPushButton>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTest>

// Recovering the history row of a record the live register still holds: the operator is shown
// the two side by side and asked; 替换 puts the record back to the snapshot and keeps its present
// state as a history row (issave 4), 取消 changes nothing anywhere.
class ReplaceTest : public RecoveryFixture
{
protected:
    void put(rt::Transaction &t, const char *sql)
    {
        ASSERT_EQ(t.executeImmediate(QString::fromUtf8(sql)), 0) << t.SQLErrText().toStdString() << "\n" << sql;
        ASSERT_EQ(t.commit(), 0);
    }
    void putLive(const char *sql) { put(host::g().sqlca, sql); }
    void putHistory(const char *sql) { put(host::g().photosqlca, sql); }

    // Every row of both files, as text, to prove that nothing changed.
    QString everything()
    {
        QString out;
        for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
            for (const auto &[conn, table] : {std::pair{&host::g().sqlca, t.liveTable}, std::pair{&host::g().photosqlca, t.historyTable}}) {
                rt::DataStore ds;
                QString errors;
                const QString syntax = rt::SyntaxFromSql::build(*conn, QStringLiteral("SELECT * FROM %1").arg(table),
                                                                QStringLiteral("style(type=grid)"), errors);
                EXPECT_EQ(ds.Create(syntax, errors), 1) << errors.toStdString();
                ds.SetTransObject(conn);
                ds.SetSort(QStringLiteral("#1 A"));
                ds.Retrieve();
                ds.Sort();
                out += table + QLatin1Char('\n');
                for (long r = 1; r <= ds.RowCount(); ++r) {
                    for (int c = 1; c <= ds.definition().columnCount(); ++c)
                        out += ds.GetItem(r, c).toText() + QLatin1Char('|');
                    out += QLatin1Char('\n');
                }
            }
        }
        return out;
    }
};

// REC-07
TEST_F(ReplaceTest, ALiveHouseholdIsReplacedAndItsPresentStateKept)
{
    // R2 is live as 赵六 without an address; its snapshot has one.
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    const QString before = everything();
    recover(QStringLiteral("1"), {}, QStringLiteral("0"));
    EXPECT_EQ(replaceQuestions, 1);
    EXPECT_EQ(everything(), before) << "取消 changes neither file";
    recover(QStringLiteral("1"), {}, QString());
    EXPECT_EQ(everything(), before) << "the title bar is 取消";
    recover(QStringLiteral("0"));
    EXPECT_EQ(replaceQuestions, 0) << "the prompt's 取消 asks nothing more";

    bool differs = false;
    recover(QStringLiteral("1"));
    for (const auto &f : replaceComparison)
        differs = differs || (f.caption == QString::fromUtf8("住址") && f.differs);
    EXPECT_TRUE(differs) << "the question shows the row beside the live record, the differing address marked";
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT address FROM ge_rpr WHERE RprNo = 'R2'")), QString::fromUtf8("南京市玄武区北京东路2号"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT membercount FROM ge_rpr WHERE RprNo = 'R2'")), QStringLiteral("3"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM ge_rpr WHERE RprNo = 'R2'")), QStringLiteral("<null>"))
        << "the record equals the snapshot, a null included";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr")), 1);
    // The state that was replaced is now history; the snapshot's row is gone.
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND issave = '4' AND hostname = ? "
                                     "AND address IS NULL"),
                      {QString::fromUtf8("赵六")}),
              1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND address IS NOT NULL")), 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND SaveTime > '2025-01-01'")), 1)
        << "saved now";
}

// REC-07
TEST_F(ReplaceTest, ALivePersonAndALiveRelatedRecord)
{
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P3"));
    recover(QStringLiteral("1"));
    EXPECT_EQ(replaceQuestions, 1);
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT birthday FROM ge_personinfo WHERE PersonNo = 'P3'")), QStringLiteral("1985-03-04"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM ge_personinfo WHERE PersonNo = 'P3'")), QStringLiteral("1"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P3' AND issave = '4' "
                                     "AND birthday IS NULL")),
              1);

    // P8's elderly record is live; an older state of it is in history.
    putHistory("INSERT INTO th_sv_elderinfo (orderno, personno, health, pension, issave, SaveTime) VALUES "
               "(99, 'P8', '较差', '10.00', '1', '2023-01-01 00:00:00')");
    const QString orderno = liveValue(QStringLiteral("SELECT orderno FROM sv_elderinfo WHERE personno = 'P8'"));
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 99"));
    const long rows = dw->RowCount();
    const QString before = everything();
    recover(QString(), {}, QStringLiteral("0"));
    EXPECT_TRUE(op.boxes.isEmpty()) << "the replace question is the confirmation: no 确认要恢复吗? besides";
    EXPECT_EQ(replaceQuestions, 1);
    EXPECT_EQ(everything(), before);
    recover(QString());
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT health FROM sv_elderinfo WHERE personno = 'P8'")), QString::fromUtf8("较差"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT pension FROM sv_elderinfo WHERE personno = 'P8'")), QStringLiteral("10.00"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT orderno FROM sv_elderinfo WHERE personno = 'P8'")), orderno)
        << "the live table's own numbering is kept";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P8' AND issave = '4' AND health = ?"),
                      {QString::fromUtf8("良好")}),
              1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 99")), 0);
    EXPECT_EQ(dw->RowCount(), rows - 1);
    EXPECT_EQ(dw->DeletedCount(), 0);

    // The copy of a replaced state recovers like any snapshot, and arrives with the live code 0.
    dw->Retrieve();
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("personno = 'P8' AND issave = '4'"));
    recover(QString());
    EXPECT_EQ(liveValue(QStringLiteral("SELECT health FROM sv_elderinfo WHERE personno = 'P8'")), QString::fromUtf8("良好"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM sv_elderinfo WHERE personno = 'P8'")), QStringLiteral("0"));
}

// The replacement's steps and the history row's deletion are one transaction with the journal's
// entry: whichever step fails, the live record and the history are as they were.
// REC-10
TEST_F(ReplaceTest, AFailureAtEachStepSaysWhichAndLosesNothing)
{
    const QString undone = QString::fromUtf8("\r\n整个恢复已撤销，现有信息和历史信息都未改动。");
    const QString locked = QString::fromUtf8("\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。\r\ndatabase is locked");
    // The hold, the copy of the present state, the update, the deletion and the entry: one
    // transaction on sqlca.
    const struct
    {
        const char *what;
        bool onLive;
        const char *sqlContains;
        QString message;
    } cases[] = {
        {"hold", true, "SET \"RprNo\" = \"RprNo\"", QString::fromUtf8("锁定现有记录失败，未作替换") + locked},
        {"copy", true, "INSERT", QString::fromUtf8("保存现有记录到历史信息时失败，现有记录未被替换") + locked},
        {"update", true, "UPDATE \"ge_rpr\" SET \"hostname\"",
         QString::fromUtf8("保存恢复数据时失败\r\n替换现有记录失败，现有记录未改动") + locked + undone},
        {"delete", true, "DELETE", QString::fromUtf8("删除历史信息失败") + locked + undone},
        {"journal", true, "hm_journal", QString::fromUtf8("保存恢复数据时失败\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。") + undone},
    };
    for (const auto &c : cases) {
        TearDown();
        SetUp();
        op.boxes.clear();
        gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
        rt::Transaction &t = c.onLive ? host::g().sqlca : host::g().photosqlca;
        t.injectFault(lockedAt(c.sqlContains));
        recover(QStringLiteral("1"));
        EXPECT_EQ(t.injectedFaultsPending(), 0) << c.what << ": the fault fired";
        t.clearInjectedFaults();
        EXPECT_EQ(texts(), QStringList{c.message}) << c.what;
        EXPECT_EQ(liveValue(QStringLiteral("SELECT address FROM ge_rpr WHERE RprNo = 'R2'")), QStringLiteral("<null>")) << c.what;
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE issave = '4'")), 0) << c.what;
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND address IS NOT NULL")), 1)
            << c.what << ": the snapshot stays in history";
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ?"), {QString::fromUtf8("失败")}), 1)
            << c.what << ": the failure is journalled";
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ?"), {QString::fromUtf8("成功")}), 0)
            << c.what;
    }
}

// A household recovered with its persons: only the persons with a live row lose their person
// history, and only that of this household; a member who moved on keeps the other household's.
// REC-21
TEST_F(ReplaceTest, TheHouseholdCascadeDeletesOnlyThisHouseholdsPersonHistory)
{
    putHistory("INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) VALUES "
               "('P8', 'R9', '孙八', '1', '2025-03-01 10:00:00')");
    putLive("INSERT INTO ge_personinfo (PersonNo, RprNo, personname, issave) VALUES ('P7', 'R2', '钱七', '0'), "
            "('P8', 'R9', '孙八', '0')");
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    recover(QStringLiteral("2"), {}, QStringLiteral("0"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = 'R2'")), 4)
        << "取消 of the replace question touches no dependant";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo")), 1);

    // The household's record cannot be held: it stays as it is, and so do its dependants.
    host::g().sqlca.injectFault(lockedAt("SET \"RprNo\" = \"RprNo\""));
    recover(QStringLiteral("2"));
    host::g().sqlca.clearInjectedFaults();
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("锁定现有记录失败，未作替换\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。\r\ndatabase is locked")});
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = 'R2'")), 4);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo")), 1);
    op.boxes.clear();

    // A copy of P7's replaced state (issave 4) is a state kept on purpose: the cascade leaves it.
    putHistory("INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) VALUES "
               "('P7', 'R2', '钱七（替换前）', '4', '2025-04-01 10:00:00')");
    sheet()->wf_getcurrentdw()->Retrieve();
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    recover(QStringLiteral("2"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo IN ('P7', 'P8') AND RprNo = 'R2' "
                                     "AND issave <> '4'")),
              0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P7' AND issave = '4'")), 1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P8' AND RprNo = 'R9'")), 1)
        << "the other household's snapshot stays";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P6'")), 1) << "no live row: kept";
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("以下人员不在现有人口信息中，也不是随本户注销的成员，保留了他们的全部历史信息：\r\n\t赵六（P6）")});
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P7'")), 1);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P6'")), 0)
        << "nothing of a person who is not live goes live without them";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P6'")), 1) << "P6 keeps it all";
    EXPECT_EQ(liveValue(QStringLiteral("SELECT address FROM ge_rpr WHERE RprNo = 'R2'")), QString::fromUtf8("南京市玄武区北京东路2号"));
}

// Several rows saved at the same moment: the live table holds one per person, so one moves
// (the first) and the others stay in history; the prompt counts one.
// REC-21
TEST_F(ReplaceTest, RowsSharingTheLatestSaveTimeMoveOneAtATime)
{
    // A second row at P1's latest elderly SaveTime, that SaveTime written in another form the
    // database accepts for the same moment.
    putHistory("INSERT INTO th_sv_elderinfo (orderno, personno, health, pension, issave, SaveTime) VALUES "
               "(20, 'P1', '很好', '300.00', '1', '2024-05-01 09:15:30.250000')");
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P1"));
    long elderly = -1;
    recover(QStringLiteral("2"), [&](hm::w_hisrecovprompt *p) {
        for (const auto &t : p->movesWithDependants()) {
            if (t.table == QLatin1String("th_sv_elderinfo"))
                elderly = t.rows();
        }
    });
    EXPECT_EQ(elderly, 1);
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT pension FROM sv_elderinfo WHERE personno = 'P1'")), QStringLiteral("200.75"))
        << "the first row of the latest snapshot";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno IN (11, 20)")), 2) << "the others stay";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 12")), 0);
}

// The prompt fits its text: the household's members, the related histories and the counts are
// each readable, none drawn over another.
// REC-17, REC-18
TEST_F(ReplaceTest, ThePromptFitsLongTexts)
{
    QStringList values;
    for (int i = 1; i <= 12; ++i)
        values << QStringLiteral("('M%1', 'R''1', '成员%1号', '5', '2024-06-01 10:00:00')").arg(i);
    putHistory(("INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) VALUES " + values.join(QLatin1Char(',')))
                   .toUtf8()
                   .constData());
    for (const char *table : {"th_ge_personotherinfo", "th_ge_company", "th_sv_mlpfamilyinfo", "th_sv_oowpersoninfo",
                              "th_sv_elderinfo", "th_sv_children", "th_mh_AdultWomaninfo", "th_ge_foreignorregistry"})
        putHistory(QStringLiteral("INSERT INTO %1 (personno, issave, SaveTime) VALUES ('M1', '1', '2024-01-01 00:00:00')")
                       .arg(QString::fromLatin1(table))
                       .toUtf8()
                       .constData());
    const auto fits = [&](hm::w_hisrecovprompt *p, int lines) {
        EXPECT_EQ(p->promptText().count(QStringLiteral("\r\n")) + 1, lines);
        const QRect area = p->promptArea->geometry(), counts = p->st_counts->geometry();
        EXPECT_GE(counts.top(), area.bottom()) << "the counts start under the prompt's text";
        EXPECT_GE(counts.height(), p->st_counts->heightForWidth(counts.width())) << "every count line shows";
        EXPECT_GE(p->p_ok->geometry().top(), counts.bottom()) << "the buttons under the counts";
        EXPECT_LE(p->p_ok->geometry().bottom(), p->client()->height());
        // The whole text is in view, or the area scrolls to it.
        const int needed = p->st_prompt->heightForWidth(p->promptArea->viewport()->width());
        EXPECT_TRUE(needed <= p->promptArea->viewport()->height() || p->promptArea->verticalScrollBar()->maximum() > 0);
    };
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    recover(QStringLiteral("0"), [&](hm::w_hisrecovprompt *p) { fits(p, 16); });
    putHistory("INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) VALUES "
               "('M1', 'R''1', '成员1号', '1', '2025-06-01 10:00:00')");
    gridAt("p_personinfo", "PersonNo", QStringLiteral("M1"));
    recover(QStringLiteral("0"), [&](hm::w_hisrecovprompt *p) { fits(p, 10); });
}

// A live check that fails in the household cascade is told as a failure, and the household
// stays in history with everything that depends on it.
// REC-02
TEST_F(ReplaceTest, AFailedLiveCheckInTheHouseholdCascadeUndoesTheRecovery)
{
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const long persons = history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = 'R''1'"));
    // Once the prompt has counted: the cascade's own check of who is live fails.
    recover(QStringLiteral("2"), [](hm::w_hisrecovprompt *) { host::g().sqlca.injectFault(lockedAt("FROM \"ge_personinfo\" WHERE")); });
    host::g().sqlca.clearInjectedFaults();
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("读取户中人员失败\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。\r\n"
                                                     "张大三（P1）：database is locked\r\n整个恢复已撤销，现有信息和历史信息都未改动。")});
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = 'R''1'")), persons);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'")), 0) << "the household, moved first, went back";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_company WHERE personno = 'P1'")), 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_company WHERE personno = 'P1'")), 1);
}

// The record vanished (or could not be read) between the first check and the question: 替换
// cannot be pressed, and the operator is told why.
// REC-08
TEST_F(ReplaceTest, TheQuestionOffersNoReplacementWithoutALiveRecord)
{
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    bool enabled = true;
    QString question;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        ASSERT_EQ(host::g().sqlca.execute(QStringLiteral("DELETE FROM ge_rpr WHERE RprNo = 'R2'")), 0);
        ASSERT_EQ(host::g().sqlca.commit(), 0);
        op.onNextResponseWindow([&](rt::ui::PbWindow *q) {
            auto *replace = qobject_cast<hm::w_hisreplace *>(q);
            ASSERT_NE(replace, nullptr);
            enabled = replace->cb_replace->isEnabled();
            question = replace->st_question->text();
            replace->cb_cancel_clicked();
        });
        auto *p = qobject_cast<hm::w_hisrecovprompt *>(w);
        ASSERT_NE(p, nullptr);
        p->p_ok_clicked();
    });
    frame->ue_recovery();
    op.clearHooks();
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(question.startsWith(QString::fromUtf8("无法替换"))) << question.toStdString();
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2'")), 1);
}

// The question says when the snapshot was saved and opens on the first field that differs, even
// the last one; Esc is 取消.
// REC-09
TEST_F(ReplaceTest, TheQuestionShowsWhenTheSnapshotWasSavedAndItsFirstDifference)
{
    // P3 lives as its snapshot was saved but for 保存标志, the form's last field.
    putLive("UPDATE ge_personinfo SET sex = '男', birthday = '1985-03-04' WHERE PersonNo = 'P3'");
    rt::ui::DataWindowControl *dw = gridAt("p_personinfo", "PersonNo", QStringLiteral("P3"));
    // With a larger system font (a high-resolution screen's) the fields no longer all fit.
    const QFont font = QApplication::font();
    QFont larger = font;
    larger.setPointSizeF(font.pointSizeF() * 2);
    QApplication::setFont(larger);
    const auto restore = qScopeGuard([&]() { QApplication::setFont(font); });
    bool asked = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *q = qobject_cast<hm::w_hisreplace *>(w);
        ASSERT_NE(q, nullptr);
        asked = true;
        QStringList lines;
        for (const QLabel *l : q->findChildren<QLabel *>())
            lines << l->text();
        EXPECT_TRUE(lines.contains(QString::fromUtf8("历史记录的保存时间：2024-06-01 10:00:00"))) << lines.join(QLatin1Char('|')).toStdString();
        int first = -1;
        for (int r = 0; r < q->comparison().size() && first < 0; ++r)
            first = q->comparison()[r].differs ? r : -1;
        ASSERT_EQ(first, q->comparison().size() - 1);
        EXPECT_EQ(q->comparison()[first].caption, QString::fromUtf8("保存标志"));
        const QTableWidget *t = q->fields;
        EXPECT_GT(t->verticalScrollBar()->maximum(), 0) << "the fields do not all fit: the difference was below the fold";
        EXPECT_TRUE(t->viewport()->rect().contains(t->visualItemRect(t->item(first, 0)))) << "scrolled to it";
        QTest::keyClick(q->focusWidget() ? q->focusWidget() : q, Qt::Key_Escape);
        EXPECT_TRUE(q->isClosed()) << "Esc closes the question";
        if (!q->isClosed())
            q->Close();
    });
    rt::ui::Windows::OpenByName(QStringLiteral("w_hisreplace"), QString(), dw);
    op.clearHooks();
    EXPECT_TRUE(asked);
    EXPECT_EQ(rt::ui::Message::instance().StringParm, QStringLiteral("0")) << "Esc answers 取消";
}

// A recovery that meets a record read as gone: the first read failed, nothing is written.
// REC-02
TEST_F(ReplaceTest, AFailedLiveReadBeforeTheQuestionRecoversNothing)
{
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    const QString before = everything();
    host::g().sqlca.injectFault(lockedAt("FROM \"sv_elderinfo\" WHERE"));
    recover(QString());
    host::g().sqlca.clearInjectedFaults();
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("读取现有信息失败，未作任何恢复：\r\ndatabase is locked")});
    EXPECT_EQ(replaceQuestions, 0);
    EXPECT_EQ(everything(), before);
}

// A deletion that failed leaves nothing in the grid's delete buffer, so the next recovery on the
// grid deletes exactly its own row and says nothing of a failure.
// DEL-04
TEST_F(ReplaceTest, AFailedDeletionDoesNotSpoilTheNextRecovery)
{
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 11"));
    host::g().photosqlca.injectFault(lockedAt("DELETE"));
    op.answer(1);
    frame->ue_del(1);
    host::g().photosqlca.clearInjectedFaults();
    EXPECT_EQ(texts().value(1), QString::fromUtf8("删除失败!\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。"));
    EXPECT_EQ(dw->DeletedCount(), 0);
    op.boxes.clear();
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    op.answer(1);
    recover(QString());
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("确认要恢复吗?")});
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno IN (11, 12)")), 1) << "11 stays, 12 moved";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P1'")), 1);
}

// The copy of the present state is made inside the recovery's transaction, of the record as the
// replacement holds it: another operator's change made while the operator was being asked is the
// state kept, never lost.
// REC-12
TEST_F(ReplaceTest, TheCopyKeepsTheStateTheReplacementOverwrote)
{
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    rt::Transaction other(QStringLiteral("other")), otherHistory(QStringLiteral("otherHistory"));
    QString error;
    ASSERT_EQ(TestRegister::connect(dir->path(), other, otherHistory, error), 0) << error.toStdString();
    recover(QStringLiteral("1"), [&](hm::w_hisrecovprompt *) {
        // Meanwhile, another operator.
        ASSERT_EQ(other.execute(QStringLiteral("UPDATE ge_rpr SET address = ? WHERE RprNo = 'R2'"), {QString::fromUtf8("新地址")}), 0);
        ASSERT_EQ(other.commit(), 0);
    });
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT address FROM ge_rpr WHERE RprNo = 'R2'")), QString::fromUtf8("南京市玄武区北京东路2号"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE issave = '4' AND address = ?"), {QString::fromUtf8("新地址")}), 1)
        << "the state another operator gave the record is the one kept";
    EXPECT_FALSE(host::g().sqlca.inTransaction());
}

// The operator agreed to replace the record as the replace question showed it. Another
// operator's change while the question was open is not overwritten on a comparison nobody saw.
// REC-13
TEST_F(ReplaceTest, ARecordChangedWhileTheQuestionWasOpenIsNotReplaced)
{
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    rt::Transaction other(QStringLiteral("other")), otherHistory(QStringLiteral("otherHistory"));
    QString error;
    ASSERT_EQ(TestRegister::connect(dir->path(), other, otherHistory, error), 0) << error.toStdString();
    op.onNextResponseWindow([](rt::ui::PbWindow *w) {
        auto *p = qobject_cast<hm::w_hisrecovprompt *>(w);
        ASSERT_NE(p, nullptr);
        p->p_ok_clicked(); // the household alone
    });
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *q = qobject_cast<hm::w_hisreplace *>(w);
        ASSERT_NE(q, nullptr);
        ASSERT_EQ(other.execute(QStringLiteral("UPDATE ge_rpr SET address = ? WHERE RprNo = 'R2'"), {QString::fromUtf8("新地址")}), 0);
        ASSERT_EQ(other.commit(), 0);
        q->cb_replace_clicked();
    });
    frame->ue_recovery();
    op.clearHooks();
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("现有记录刚被其他操作员修改，未作替换。请重新恢复。")});
    EXPECT_EQ(liveValue(QStringLiteral("SELECT address FROM ge_rpr WHERE RprNo = 'R2'")), QString::fromUtf8("新地址"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE issave = '4'")), 0) << "no copy: nothing was replaced";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R2' AND address IS NOT NULL")), 1);
    EXPECT_FALSE(host::g().sqlca.inTransaction());
}

// A dependant's history row that another operator deleted meanwhile ends the recovery; the row
// the operator chose stays in history and in the grid.
// REC-24
TEST_F(ReplaceTest, ADependantsRowGoneMeanwhileUndoesTheRecovery)
{
    rt::ui::DataWindowControl *dw = gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const long rows = dw->RowCount();
    model::RecoveryTransaction tx(host::g().sqlca, model::Journal::Entry{QString::fromUtf8("恢复"), QString::fromUtf8("户籍信息"), QStringLiteral("R'1"),
                                                    {}, QString::fromUtf8("成功"), QString()});
    ASSERT_TRUE(hm::HistoryRecovery::wf_hisrecovery(dw, nullptr, QStringLiteral("tc_ge_rpr"), hm::RecoverySource::Grid,
                                                    model::RecoveryWay::Household, tx));
    EXPECT_FALSE(tx.takeFromHistory(QStringLiteral("th_sv_elderinfo"), Value(std::int64_t(987654)), QString::fromUtf8("删除老年人历史信息失败"),
                                    QString::fromUtf8("（老年人信息，人员编号 P1）")));
    EXPECT_FALSE(tx.historyRowGone()) << "only the row the operator chose leaves the grid when it is gone";
    EXPECT_EQ(tx.failureText(), QString::fromUtf8("要一同恢复的历史记录已被其他操作员删除\r\n（老年人信息，人员编号 P1）\r\n"
                                                  "整个恢复已撤销，现有信息和历史信息都未改动。"));
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'")), 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R''1' AND issave = '5'")), 1);
    EXPECT_EQ(dw->RowCount(), rows);
}
