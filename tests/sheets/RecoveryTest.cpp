#include "RecoveryFixture.h"

#include "host/SchemaCatalogue.h"

#include <QCheckBox>
#include <QLabel>
#include <QMap>
#include <QTest>

using RecoveryTest = RecoveryFixture;

namespace {
const QString Kept = QString::fromUtf8("以下人员不在现有人口信息中，也不是随本户注销的成员，保留了他们的全部历史信息：\r\n\t");
}

// REC-16, REC-18
TEST_F(RecoveryTest, TheHouseholdPromptNamesTheHeadAndTheCancelledMembersOnce)
{
    rt::ui::DataWindowControl *dw = gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const long rows = dw->RowCount();
    QString title, question;
    bool ticked = true;
    const QString prompt = recover(QStringLiteral("0"), [&](hm::w_hisrecovprompt *p) {
        title = p->Title();
        question = p->cbx_1->text();
        ticked = p->cbx_1->isChecked();
        EXPECT_EQ(p->is_parm, QStringLiteral("1"));
    });
    EXPECT_EQ(title, QString::fromUtf8("户籍信息恢复"));
    EXPECT_EQ(question, QString::fromUtf8("连带恢复户中的人员信息"));
    EXPECT_FALSE(ticked);
    EXPECT_EQ(prompt, QString::fromUtf8("户主姓名：张大三\r\n随户注销的人员：\r\n\t姓名：张大三\r\n\t姓名：李四"))
        << "the head from the latest snapshot; each member with issave 5 once, under a heading that says who they are";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr")), 1) << "cancel recovers nothing";
    EXPECT_EQ(dw->RowCount(), rows);
    // Closed with the title bar: the same as cancel.
    recover(QString());
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr")), 1);
    // A household without cancelled members shows the head alone.
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    EXPECT_EQ(recover(QStringLiteral("0")), QString::fromUtf8("户主姓名：赵六"));
    EXPECT_TRUE(op.boxes.isEmpty());
}

// REC-16, REC-18
TEST_F(RecoveryTest, ThePersonPromptListsRelatedHistoryInTableOrder)
{
    const struct
    {
        const char *person, *text;
    } cases[] = {{"P2", "姓名：李四\r\n相关信息如下：\r\n\t外来人口信息\r\n\t儿童信息"},
                 {"P1", "姓名：张大三\r\n相关信息如下：\r\n\t个人职业信息\r\n\t老年人信息"},
                 {"P8", "姓名：孙八\r\n相关信息如下：\r\n\t（无）"}};
    for (const auto &c : cases) {
        gridAt("p_personinfo", "PersonNo", QString::fromLatin1(c.person));
        QString title;
        EXPECT_EQ(recover(QStringLiteral("0"), [&](hm::w_hisrecovprompt *p) { title = p->Title(); }), QString::fromUtf8(c.text));
        EXPECT_EQ(title, QString::fromUtf8("个人信息恢复"));
    }
}

// A related table that cannot be read is not "（无）": the prompt says part of it could not be read.
// REC-18
TEST_F(RecoveryTest, APersonPromptDoesNotSayNoneWhenARelatedTableCannotBeRead)
{
    rt::Transaction &h = host::g().photosqlca;
    ASSERT_EQ(h.executeImmediate(QStringLiteral("ALTER TABLE th_ge_company RENAME TO th_ge_company_away")), 0)
        << h.SQLErrText().toStdString();
    ASSERT_EQ(h.commit(), 0);
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P8"));
    const QString text = recover(QStringLiteral("0"), [](hm::w_hisrecovprompt *) {});
    EXPECT_EQ(text, QString::fromUtf8("姓名：孙八\r\n相关信息如下：\r\n\t（部分相关信息无法读取）"));
    ASSERT_EQ(h.executeImmediate(QStringLiteral("ALTER TABLE th_ge_company_away RENAME TO th_ge_company")), 0);
    ASSERT_EQ(h.commit(), 0);
}

// Esc on the prompt is its 取消: it answers "0", and 恢复数据 moves nothing.
// REC-19
TEST_F(RecoveryTest, EscOnThePromptIsCancel)
{
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P1"));
    const auto escape = [](rt::ui::PbWindow *w) {
        ASSERT_NE(qobject_cast<hm::w_hisrecovprompt *>(w), nullptr);
        QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
        EXPECT_TRUE(w->isClosed()) << "Esc closes the prompt";
        if (!w->isClosed())
            w->Close();
    };
    op.onNextResponseWindow(escape);
    rt::ui::Windows::OpenByName(QStringLiteral("w_hisrecovprompt"), QStringLiteral("P1;2"));
    op.clearHooks();
    EXPECT_EQ(rt::ui::Message::instance().StringParm, QStringLiteral("0"));
    op.onNextResponseWindow(escape);
    frame->ue_recovery();
    op.clearHooks();
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P1'")), 0);
    EXPECT_TRUE(op.boxes.isEmpty() && op.errors.isEmpty()) << "no further question";
}

// REC-21
TEST_F(RecoveryTest, AHouseholdAloneMovesItsRowAndNothingElse)
{
    rt::ui::DataWindowControl *dw = gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    const QString hostname = dw->GetItemString(dw->GetRow(), "hostname");
    const long households = history(QStringLiteral("SELECT count(*) FROM th_ge_rpr"));
    recover(QStringLiteral("1"));
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT hostname FROM ge_rpr WHERE RprNo = ?"), {QStringLiteral("R'1")}), hostname)
        << "a key with a quote recovers exactly that key";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr")), households - 1) << "that snapshot only";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = ?"), {QStringLiteral("R'1")}), 4);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo")), 4);
}

// With its persons: P1 and P2 were cancelled with the household (their latest snapshot in it says
// 5) and come back into the live register, then their related records; P3 is live, so only its
// related records come back and its person history of the household goes; P4 is neither, and
// keeps every row of its history, nothing of it going live.
// REC-15, REC-20
TEST_F(RecoveryTest, AHouseholdWithItsPersonsBringsBackItsCancelledMembersAndKeepsTheOthersWhole)
{
    rt::Transaction &h = host::g().photosqlca;
    ASSERT_EQ(h.executeImmediate(QString::fromUtf8(
                  "INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) VALUES "
                  "('P4', 'R''1', '周九', '5', '2023-01-01 10:00:00'), ('P4', 'R''1', '周九', '1', '2024-02-01 10:00:00');"
                  "INSERT INTO th_sv_elderinfo (orderno, personno, health, issave, SaveTime) VALUES (40, 'P4', '一般', '1', "
                  "'2024-02-01 10:00:00')")),
              0)
        << h.SQLErrText().toStdString();
    ASSERT_EQ(h.commit(), 0);
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1"));
    QString counts;
    const QString prompt = recover(QStringLiteral("2"), [&](hm::w_hisrecovprompt *p) { counts = p->st_counts->text(); });
    // The prompt lists the members cancelled with the household, who come back: not P4, whose
    // latest snapshot is no longer marked 5.
    EXPECT_EQ(prompt, QString::fromUtf8("户主姓名：张大三\r\n随户注销的人员：\r\n\t姓名：张大三\r\n\t姓名：李四"));
    const QString members = QString::fromUtf8("随户注销的人员恢复到现有人口信息 2 人：张大三（P1）、李四（P2）；"
                                              "已在现有人口信息中的人员 1 人，删除其在本户的个人历史信息：王五（P3）；"
                                              "保留全部历史信息的人员 1 人：周九（P4）");
    EXPECT_TRUE(counts.contains(QString::fromUtf8("勾选时户中人员：") + members)) << counts.toStdString();
    EXPECT_TRUE(counts.contains(QString::fromUtf8("个人信息 2 条（新增）"))) << counts.toStdString();
    // P1 and P2 in the live register from their cancelled snapshots, issave 5 written as 0.
    EXPECT_EQ(liveValue(QStringLiteral("SELECT personname FROM ge_personinfo WHERE PersonNo = 'P1'")), QString::fromUtf8("张大三"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM ge_personinfo WHERE PersonNo = 'P1'")), QStringLiteral("0"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT birthday FROM ge_personinfo WHERE PersonNo = 'P2'")), QStringLiteral("2015-07-08"));
    // P1: the newer elderly snapshot moved (issave 5 written as 0), the older kept.
    EXPECT_EQ(liveValue(QStringLiteral("SELECT pension FROM sv_elderinfo WHERE personno = 'P1'")), QStringLiteral("200.75"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM sv_elderinfo WHERE personno = 'P1'")), QStringLiteral("0"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P1'")), 1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P1' AND orderno = 11")), 1);
    // The company: the live table numbers orderno itself; the decimal and the date exact.
    EXPECT_NE(liveValue(QStringLiteral("SELECT orderno FROM ge_company WHERE personno = 'P1'")), QStringLiteral("77"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT salary FROM ge_company WHERE personno = 'P1'")), QStringLiteral("3000.10"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT startdate FROM ge_company WHERE personno = 'P1'")), QStringLiteral("2010-03-04"));
    // P2: an ordinary orderno is copied; issave 3 stays 3; a time and a datetime with its time.
    EXPECT_EQ(liveValue(QStringLiteral("SELECT orderno FROM sv_children WHERE personno = 'P2'")), QStringLiteral("5"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM sv_children WHERE personno = 'P2'")), QStringLiteral("3"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT arrivetime FROM ge_foreignorregistry WHERE personno = 'P2'")), QStringLiteral("08:30:00"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT registertime FROM ge_foreignorregistry WHERE personno = 'P2'")),
              QStringLiteral("2024-03-03 14:15:16"));
    // P3: a null issave leaves the live default.
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM ge_personotherinfo WHERE personno = 'P3'")), QStringLiteral("0"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT height FROM ge_personotherinfo WHERE personno = 'P3'")), QStringLiteral("170.5"));
    for (const char *table : {"th_ge_company", "th_sv_children", "th_ge_foreignorregistry", "th_ge_personotherinfo"})
        EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM %1").arg(QString::fromLatin1(table))), 0) << table;
    // P1 and P2: the snapshot they came back from left history, P1's older one stays; P3's person
    // history of the household goes; P4 keeps all of its history.
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo IN ('P2', 'P3')")), 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P1' AND SaveTime = "
                                     "'2024-01-01 10:00:00'")),
              1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P4'")), 2);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P4'")), 1);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P4'")), 0) << "no orphan goes live";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P4'")), 0);
    EXPECT_EQ(texts(), QStringList{Kept + QString::fromUtf8("周九（P4）")});
    // Then the household row itself; the journal's entry says the same as the prompt.
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = ?"), {QStringLiteral("R'1")}), 1);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo")), 3);
    QList<Value> detail{Value::null(rt::ValueType::String)};
    ASSERT_EQ(h.selectInto(QStringLiteral("SELECT detail FROM hm_journal WHERE action = ? AND outcome = ?"),
                           {QString::fromUtf8("恢复"), QString::fromUtf8("成功")}, detail),
              0);
    EXPECT_TRUE(detail[0].string().contains(members)) << detail[0].string().toStdString();
}

// REC-21
TEST_F(RecoveryTest, APersonAloneOrWithItsRelatedRecords)
{
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P1"));
    recover(QStringLiteral("1"));
    EXPECT_TRUE(op.boxes.isEmpty());
    EXPECT_EQ(liveValue(QStringLiteral("SELECT personname FROM ge_personinfo WHERE PersonNo = 'P1'")), QString::fromUtf8("张大三"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM ge_personinfo WHERE PersonNo = 'P1'")), QStringLiteral("0"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P1'")), 2) << "related untouched";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P1'")), 1) << "one snapshot moved";

    gridAt("p_personinfo", "PersonNo", QStringLiteral("P2"));
    recover(QStringLiteral("2"));
    EXPECT_TRUE(op.boxes.isEmpty()) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_children WHERE personno = 'P2'")), 1);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_foreignorregistry WHERE personno = 'P2'")), 1);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P2'")), 1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = 'P2'")), 0);
}

// REC-01
TEST_F(RecoveryTest, ARelatedRecordAsksFirstAndLeavesTheRestOfTheGridAsItWas)
{
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    const long row = dw->GetRow(), rows = dw->RowCount();
    const Value before = dw->dataStore().GetItem(row - 1 >= 1 ? row - 1 : row + 1, "hisid");
    op.answer(2); // No
    recover(QString());
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_EQ(op.boxes[0].text, QString::fromUtf8("确认要恢复吗?"));
    EXPECT_EQ(op.boxes[0].buttons, rt::ui::MsgButtons::YesNo);
    EXPECT_EQ(op.boxes[0].defaultButton, 2);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo")), 1) << "No changes nothing";
    op.answer(1);
    recover(QString());
    EXPECT_EQ(op.boxes.size(), 2) << "no message after a recovery that went well";
    EXPECT_EQ(liveValue(QStringLiteral("SELECT health FROM sv_elderinfo WHERE personno = 'P1'")), QString::fromUtf8("良好"));
    EXPECT_EQ(dw->RowCount(), rows - 1) << "the moved row is gone from the grid, nothing retrieved again";
    EXPECT_EQ(dw->GetRow(), std::min(row, rows - 1));
    EXPECT_EQ(dw->DeletedCount(), 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 12")), 0);
    bool stillThere = false;
    for (long r = 1; r <= dw->RowCount(); ++r)
        stillThere = stillThere || dw->dataStore().GetItem(r, "hisid") == before;
    EXPECT_TRUE(stillThere);
}

// REC-22
TEST_F(RecoveryTest, ARemovedPersonComesBackWithARelatedRecordOnlyWhenTheLatestSnapshotSaysSo)
{
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 13")); // P6, latest 6
    op.answer(1);
    recover(QString());
    EXPECT_EQ(op.boxes.size(), 1) << texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(liveValue(QStringLiteral("SELECT personname FROM ge_personinfo WHERE PersonNo = 'P6'")), QString::fromUtf8("赵六"))
        << "proc_JustifyDelPerson ran";
    EXPECT_EQ(liveValue(QStringLiteral("SELECT issave FROM ge_personinfo WHERE PersonNo = 'P6'")), QStringLiteral("0"));
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 14")); // P7, latest 1
    op.answer(1);
    recover(QString());
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo WHERE personno = 'P7'")), 1);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = 'P7'")), 0) << "not for an earlier 6";
}

// A copy of a replaced live state (issave 4) is a state kept, not a snapshot: newer than every
// snapshot, it is still never what a cascade or proc_JustifyDelPerson takes for the latest.
// REC-14
TEST_F(RecoveryTest, ACopyOfAReplacedStateIsNeverTakenForTheLatestSnapshot)
{
    rt::Transaction &h = host::g().photosqlca;
    ASSERT_EQ(h.executeImmediate(QString::fromUtf8(
                  "INSERT INTO th_sv_elderinfo (orderno, personno, health, pension, issave, SaveTime) VALUES "
                  "(50, 'P1', '替换前', '1.00', '4', '2025-09-01 10:00:00');"
                  "INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) VALUES "
                  "('P6', 'R2', '赵六（替换前）', '4', '2025-09-01 10:00:00')")),
              0)
        << h.SQLErrText().toStdString();
    ASSERT_EQ(h.commit(), 0);
    gridAtHisid("p_personinfo", QStringLiteral("th_ge_personinfo"), QStringLiteral("PersonNo = 'P1' AND SaveTime = '2024-06-01 10:00:00'"));
    recover(QStringLiteral("2"));
    EXPECT_EQ(liveValue(QStringLiteral("SELECT pension FROM sv_elderinfo WHERE personno = 'P1'")), QStringLiteral("200.75"))
        << "the latest snapshot, not the newer copy";
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 50")), 1) << "the copy stays";
    // P6's latest snapshot says 6 (removed from the live register); the newer copy does not count.
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 13"));
    op.answer(1);
    recover(QString());
    EXPECT_EQ(liveValue(QStringLiteral("SELECT personname FROM ge_personinfo WHERE PersonNo = 'P6'")), QString::fromUtf8("赵六"))
        << "proc_JustifyDelPerson brought P6 back from the snapshot";
    // The operator may still choose a copy: it recovers like any row.
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 50"));
    recover(QString());
    EXPECT_EQ(liveValue(QStringLiteral("SELECT health FROM sv_elderinfo WHERE personno = 'P1'")), QString::fromUtf8("替换前"));
}

// After a recovery the frame's status line says what moved and where, and the row after the
// recovered one is current (highlighted), ready for the next.
// REC-06
TEST_F(RecoveryTest, ARecoveryIsToldInTheStatusLineAndTheNextRowBecomesCurrent)
{
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    const long row = dw->GetRow(), rows = dw->RowCount();
    ASSERT_LT(row, rows) << "a row follows the recovered one";
    const Value next = dw->dataStore().GetItem(row + 1, "hisid");
    op.answer(1);
    recover(QString());
    ASSERT_EQ(dw->RowCount(), rows - 1);
    EXPECT_EQ(dw->GetRow(), row);
    EXPECT_EQ(dw->dataStore().GetItem(row, "hisid"), next) << "the row after it";
    EXPECT_TRUE(dw->IsSelected(row)) << "and highlighted";
    EXPECT_TRUE(frame->st_status->toolTip().isEmpty() ? frame->st_status->text().contains(QString::fromUtf8("已恢复 老年人信息 P1"))
                                                      : frame->st_status->toolTip().contains(QString::fromUtf8("已恢复 老年人信息 P1")))
        << frame->st_status->text().toStdString();
    EXPECT_TRUE((frame->st_status->toolTip() + frame->st_status->text()).contains(QString::fromUtf8("移入现有信息")));
    // The last row recovered: the one before it becomes current.
    dw->SetRow(dw->RowCount());
    const Value before = dw->dataStore().GetItem(dw->RowCount() - 1, "hisid");
    op.answer(1);
    recover(QString());
    EXPECT_EQ(dw->GetRow(), dw->RowCount());
    EXPECT_EQ(dw->dataStore().GetItem(dw->GetRow(), "hisid"), before);
}

// REC-11
TEST_F(RecoveryTest, ALiveSaveThatFailsKeepsTheHistoryRow)
{
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    const long rows = dw->RowCount();
    frame->wf_setstatus(QString::fromUtf8("已恢复 老年人信息 P9：老年人信息 1 条从历史信息移入现有信息")); // an earlier one's
    rt::InjectedFault fault;
    fault.sqlContains = QStringLiteral("INSERT INTO");
    fault.code = 19;
    fault.text = QStringLiteral("UNIQUE constraint failed");
    host::g().sqlca.injectFault(fault);
    op.answer(1);
    recover(QString());
    host::g().sqlca.clearInjectedFaults();
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("保存恢复数据时失败"));
    EXPECT_EQ(op.boxes[1].title, QString::fromUtf8("提示"));
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE orderno = 12")), 1);
    EXPECT_EQ(dw->RowCount(), rows);
    EXPECT_TRUE(frame->st_status->text().isEmpty()) << "the earlier recovery's words are not left standing under this one";
}

TEST_F(RecoveryTest, AGridWhoseTableHasNoTargetMovesNothing)
{
    rt::ui::DataWindowControl *dw = gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    ASSERT_EQ(dw->Modify(QStringLiteral("datawindow.table.updatetable='th_nowhere'")), QString());
    op.answer(1);
    recover(QString());
    EXPECT_EQ(op.boxes.size(), 1) << "no message: there is no live row to make";
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo")), 1);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo")), 4);
    // A grid reporting its table in capitals still finds its target.
    ASSERT_EQ(dw->Modify(QStringLiteral("datawindow.table.updatetable='TH_SV_ELDERINFO'")), QString());
    op.answer(1);
    recover(QString());
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM sv_elderinfo")), 2);
}

// Two operators on one register: while one recovers a household from the grid on the screen,
// the other purges the same history. Whoever comes second is told, and nothing is lost.
// REC-24
TEST_F(RecoveryTest, AnotherOperatorsPurgeMeanwhileLosesNothing)
{
    rt::Transaction sqlca2(QStringLiteral("sqlca2")), photosqlca2(QStringLiteral("photosqlca2"));
    QString error;
    ASSERT_EQ(TestRegister::connect(dir->path(), sqlca2, photosqlca2, error), 0) << error.toStdString();
    const QString purge = QStringLiteral("delete from th_ge_rpr where savetime <= '2025-01-01 00:00:00'");

    // The other operator was first and is done: the recovery finds the history row gone.
    gridAtHisid("p_rprinfo", QStringLiteral("th_ge_rpr"), QStringLiteral("RprNo = 'R''1' AND issave = '5'"));
    ASSERT_EQ(photosqlca2.executeImmediate(purge), 0);
    ASSERT_EQ(photosqlca2.commit(), 0);
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long rows = dw->RowCount();
    recover(QStringLiteral("1"));
    EXPECT_EQ(texts(), QStringList{QString::fromUtf8("这条历史记录已被其他操作员删除，未作恢复。")});
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'")), 0)
        << "a row the other operator deleted is not brought back";
    EXPECT_EQ(dw->RowCount(), rows - 1) << "a row no longer in history leaves the grid";
    EXPECT_EQ(dw->DeletedCount(), 0) << "and nothing is left for a later Update to send again";
}

// FIL-09, REC-24
TEST_F(RecoveryTest, AnotherOperatorsPurgeInProgressMakesTheRecoveryWaitAndSaySo)
{
    rt::Transaction sqlca2(QStringLiteral("sqlca2")), photosqlca2(QStringLiteral("photosqlca2"));
    QString error;
    ASSERT_EQ(TestRegister::connect(dir->path(), sqlca2, photosqlca2, error), 0) << error.toStdString();
    gridAtHisid("p_rprinfo", QStringLiteral("th_ge_rpr"), QStringLiteral("RprNo = 'R''1' AND issave = '5'"));
    // Still deleting, not committed yet: the recovery's deletion must wait for it, then give up.
    ASSERT_EQ(photosqlca2.executeImmediate(QStringLiteral("delete from th_ge_rpr where savetime <= '2025-01-01 00:00:00'")), 0);
    recover(QStringLiteral("1"));
    // On the server the purge holds the rows it deletes, on the files the whole history file: the
    // recovery's deletion of the row waits and gives up, and the live row written before it in
    // the same transaction goes back.
    ASSERT_EQ(texts().size(), 1);
    EXPECT_TRUE(texts()[0].startsWith(QString::fromUtf8("删除历史信息失败\r\n另一位操作员或其他程序正在修改这些记录，请稍后再试。")))
        << texts()[0].toStdString();
    EXPECT_TRUE(texts()[0].endsWith(QString::fromUtf8("整个恢复已撤销，现有信息和历史信息都未改动。"))) << texts()[0].toStdString();
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'")), 0);
    EXPECT_EQ(history(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = 'R''1' AND issave = '5'")), 1)
        << "the snapshot is still in history until the other operator's purge commits";
    ASSERT_EQ(photosqlca2.commit(), 0);
    EXPECT_EQ(live(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = 'R''1'")), 0);
}

// The prompt's counts of what each answer moves are what the recovery then writes: new rows
// grow the live table, replacements leave a copy of the replaced state (issave 4) in history.
// REC-17
TEST_F(RecoveryTest, ThePromptCountsWhatEachAnswerMoves)
{
    const auto counts = [&](bool copies) {
        QMap<QString, long> out;
        for (const host::TableDef &t : host::SchemaCatalogue::tables())
            out[t.historyTable.toLower()] = copies ? history(QStringLiteral("SELECT count(*) FROM %1 WHERE issave = '4'").arg(t.historyTable))
                                                   : live(QStringLiteral("SELECT count(*) FROM %1").arg(t.liveTable));
        return out;
    };
    const struct
    {
        const char *button, *keyColumn, *key, *answer;
        long replaced;
        int questions; // replace questions: only for a live household or person itself
    } cases[] = {{"p_personinfo", "PersonNo", "P3", "2", 2, 1},
                 {"p_rprinfo", "RprNo", "R'1", "2", 1, 0},
                 {"p_personinfo", "PersonNo", "P1", "1", 0, 0},
                 {"p_personinfo", "PersonNo", "P2", "2", 0, 0}};
    for (const auto &c : cases) {
        // Each case on a register of its own: a replacement's copy is history that a later
        // recovery could move again.
        TearDown();
        SetUp();
        // P3 is live with a live related record, so the person's recovery replaces both.
        ASSERT_EQ(host::g().sqlca.execute(QStringLiteral("INSERT INTO ge_personotherinfo (orderno, personno, bloodtype) VALUES (1, 'P3', 'A')")), 0);
        ASSERT_EQ(host::g().sqlca.commit(), 0);
        gridAt(c.button, c.keyColumn, QString::fromUtf8(c.key));
        QList<hm::w_hisrecovprompt::TableMoves> moves;
        const QMap<QString, long> before = counts(false), copiesBefore = counts(true);
        QString shown;
        recover(QString::fromLatin1(c.answer), [&](hm::w_hisrecovprompt *p) {
            moves = QLatin1String(c.answer) == QLatin1String("2") ? p->movesWithDependants() : p->movesAlone();
            shown = p->st_counts->text();
        });
        EXPECT_EQ(replaceQuestions, c.questions) << c.key;
        const QMap<QString, long> after = counts(false), copiesAfter = counts(true);
        long inserted = 0, replaced = 0, grown = 0, copied = 0;
        for (const auto &t : moves) {
            const QString table = t.table.toLower();
            EXPECT_EQ(after[table] - before[table], t.inserted) << c.key << " " << t.table.toStdString();
            EXPECT_EQ(copiesAfter[table] - copiesBefore[table], t.replaced) << c.key << " " << t.table.toStdString();
            inserted += t.inserted;
            replaced += t.replaced;
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            grown += after[it.key()] - it.value();
            copied += copiesAfter[it.key()] - copiesBefore[it.key()];
        }
        EXPECT_EQ(grown, inserted) << c.key;
        EXPECT_EQ(copied, replaced) << c.key;
        EXPECT_EQ(replaced, c.replaced) << c.key;
        EXPECT_GT(inserted + replaced, 0);
        EXPECT_TRUE(shown.contains(replaced > 0 ? QString::fromUtf8("替换现有记录") : QString::fromUtf8("新增"))) << shown.toStdString();
    }
}
