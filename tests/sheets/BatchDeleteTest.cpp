#include "BatchDeleteFixture.h"

// BAT-04
TEST_F(BatchDeleteTest, OpensInRangeModeWithTheFuturePresetAndTheHouseholdBoxOnlyForHouseholds)
{
    click("p_eldinfo");
    bool checked = false, kindEnabled = true, boxShown = true;
    QString start, end;
    batch([&](hm::w_hisdelprompt *d) {
        checked = d->rb_deldate->isChecked();
        kindEnabled = d->ddlb_kind->isEnabled();
        boxShown = !d->cbx_rpr->isHidden();
        start = d->em_start->Text();
        end = d->em_end->Text();
        EXPECT_EQ(d->Title(), QString::fromUtf8("批量删除"));
        EXPECT_EQ(d->ddlb_kind->count(), 5);
        EXPECT_EQ(d->ddlb_kind->Text(), QString()) << "no kind chosen at first";
    });
    EXPECT_TRUE(checked);
    EXPECT_FALSE(kindEnabled);
    EXPECT_FALSE(boxShown);
    EXPECT_EQ(start, day(rt::fn::RelativeDate(rt::fn::Today(), 180)));
    EXPECT_EQ(end, day(rt::fn::RelativeDate(rt::fn::Today(), 360)));
    EXPECT_EQ(lastText(), QString::fromUtf8("该事件段内没有删除的记录")) << "the untouched preset range finds nothing";
    click("p_rprinfo");
    batch([&](hm::w_hisdelprompt *d) { boxShown = !d->cbx_rpr->isHidden(); });
    EXPECT_TRUE(boxShown);
}

// The statement keeps a row saved during the cut-off day itself; so must the grid.
// BAT-03
TEST_F(BatchDeleteTest, AnAgeKindRemovesFromTheGridExactlyWhatTheStatementDeleted)
{
    const QString cut = day(rt::fn::RelativeDate(rt::fn::Today(), -365));
    addElder(QStringLiteral("P-CUT-MIDNIGHT"), cut + QStringLiteral(" 00:00:00"));
    addElder(QStringLiteral("P-CUT-MORNING"), cut + QStringLiteral(" 10:00:00"));
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long old = count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE SaveTime <= ?"),
                           {cut + QStringLiteral(" 00:00:00")});
    ASSERT_GT(old, 1);
    const QString status = batch([](hm::w_hisdelprompt *d) { byKind(d, 2); }); // 删除一年前记录
    EXPECT_EQ(lastText(), QString::fromUtf8("删除记录成功!"));
    EXPECT_TRUE(status.contains(QString::number(old))) << status.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE SaveTime <= ?"), {cut + QStringLiteral(" 00:00:00")}), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P-CUT-MORNING'")), 1);
    expectGridIsTable(dw, QStringLiteral("th_sv_elderinfo"));
    EXPECT_EQ(dw->DeletedCount(), 0);

    // The pruned rows are not left for the next single deletion to write again.
    op.answer(1);
    frame->ue_del(1);
    EXPECT_EQ(lastText(), QString::fromUtf8("删除成功!"));
    expectGridIsTable(dw, QStringLiteral("th_sv_elderinfo"));
}

// BAT-03
TEST_F(BatchDeleteTest, EqualStartAndEndDeleteOnlyWhatWasSavedAtThatMidnight)
{
    const QString d = day(rt::fn::RelativeDate(rt::fn::Today(), -100));
    addElder(QStringLiteral("P-MIDNIGHT"), d + QStringLiteral(" 00:00:00"));
    addElder(QStringLiteral("P-NOON"), d + QStringLiteral(" 12:00:00"));
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    batch([&](hm::w_hisdelprompt *w) { byRange(w, d, d); });
    EXPECT_EQ(lastText(), QString::fromUtf8("删除记录成功!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P-MIDNIGHT'")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE personno = 'P-NOON'")), 1);
    expectGridIsTable(dw, QStringLiteral("th_sv_elderinfo"));
}

TEST_F(BatchDeleteTest, ARangeDeletesItsRowsAndKeepsTheRest)
{
    const QDate from = rt::fn::RelativeDate(rt::fn::Today(), -600), to = rt::fn::RelativeDate(rt::fn::Today(), -200);
    click("p_womaninfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const QString lo = day(from) + QStringLiteral(" 00:00:00"), hi = day(to) + QStringLiteral(" 00:00:00");
    const long inside = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo WHERE SaveTime >= ? AND SaveTime <= ?"), {lo, hi});
    const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
    ASSERT_GT(inside, 0);
    batch([&](hm::w_hisdelprompt *w) { byRange(w, day(from), day(to)); });
    EXPECT_EQ(lastText(), QString::fromUtf8("删除记录成功!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), all - inside);
    expectGridIsTable(dw, QStringLiteral("th_mh_AdultWomaninfo"));
}

// 确定 first asks with the whole count; 否, the default, deletes nothing and writes no entry.
// BAT-01
TEST_F(BatchDeleteTest, NoToTheQuestionWithTheCountDeletesNothing)
{
    click("p_womaninfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), rows = dw->RowCount();
    const long entries = count(QStringLiteral("SELECT count(*) FROM hm_journal"));
    QString status;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
        ASSERT_NE(d, nullptr);
        byRange(d, day(rt::fn::RelativeDate(rt::fn::Today(), -3000)), day(rt::fn::Today()));
        d->p_ok_clicked(); // no answer queued: the default
        status = d->st_status->text();
        d->p_close_clicked();
    });
    frame->ue_del(2);
    ASSERT_EQ(op.boxes.size(), 1);
    EXPECT_TRUE(op.boxes[0].text.startsWith(QString::fromUtf8("将删除 %1 条历史记录：育龄妇女信息 %1 条，").arg(all)))
        << op.boxes[0].text.toStdString();
    EXPECT_EQ(op.boxes[0].defaultButton, 2);
    EXPECT_EQ(status, QString::fromUtf8("没有删除。"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), all);
    EXPECT_EQ(dw->RowCount(), rows);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM hm_journal")), entries);
}

// With the household box and a wide range the count names ten categories: every line of it is on
// show in the dialog, or scrolled to, and none is cut off or drawn outside the window.
// BAT-01
TEST_F(BatchDeleteTest, TheLongestCountLineIsNeverCutOff)
{
    click("p_rprinfo");
    bool checked = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
        ASSERT_NE(d, nullptr);
        byRange(d, QStringLiteral("2000-01-01"), day(rt::fn::Today()));
        d->cbx_rpr->setChecked(true);
        d->waitForCount();
        QApplication::processEvents();
        const QString text = d->st_count->text();
        EXPECT_GE(text.count(QString::fromUtf8(" 条")), 8) << text.toStdString();
        QScrollArea *area = d->countArea;
        const int needed = d->st_count->heightForWidth(area->viewport()->width());
        EXPECT_TRUE(needed <= area->viewport()->height() || area->verticalScrollBar()->maximum() > 0)
            << "every line is on show or can be scrolled to";
        EXPECT_GE(area->viewport()->height(), 3 * d->st_count->fontMetrics().lineSpacing()) << "several lines on show";
        EXPECT_LE(area->geometry().bottom(), d->client()->height()) << "inside the window";
        EXPECT_GE(area->geometry().top(), d->st_status->geometry().bottom()) << "under the status line";
        EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0) << "it wraps, it does not run off to the side";
        checked = true;
        d->p_close_clicked();
    });
    frame->ue_del(2);
    EXPECT_TRUE(checked);
}

// Rows saved after the dialog counted (another operator's snapshots) are not deleted on the old
// count: the deletion is undone and asked about again with the count as it is now.
// BAT-01
TEST_F(BatchDeleteTest, RowsSavedSinceTheCountAreAskedAboutAgain)
{
    click("p_womaninfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const QString from = QStringLiteral("2001-01-01"), to = QStringLiteral("2001-12-31");
    QString shown, status;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
        ASSERT_NE(d, nullptr);
        byRange(d, from, to);
        d->waitForCount();
        shown = d->st_count->text();
        // Meanwhile another operator's program saves two snapshots in the range.
        rt::Transaction &h = host::g().photosqlca;
        ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_mh_AdultWomaninfo (personno, issave, SaveTime) VALUES "
                                           "('X1', '1', '2001-05-01 00:00:00'), ('X2', '1', '2001-06-01 00:00:00')")),
                  0)
            << h.SQLErrText().toStdString();
        ASSERT_EQ(h.commit(), 0);
        op.answer(1); // 是 to the second question
        d->p_ok_clicked();
        status = d->st_status->text();
        d->p_close_clicked();
    });
    frame->ue_del(2);
    EXPECT_TRUE(shown.endsWith(QString::fromUtf8("将删除 0 条记录"))) << shown.toStdString();
    ASSERT_EQ(op.boxes.size(), 2);
    EXPECT_EQ(op.boxes[0].text, QString::fromUtf8("符合条件的记录已有变化：确认时为 0 条，现在为 2 条。\r\n"
                                                  "将删除 2 条历史记录：育龄妇女信息 2 条，删除后将无法恢复，确定要删除吗?"));
    EXPECT_EQ(op.boxes[0].defaultButton, 2);
    EXPECT_EQ(op.boxes[1].text, QString::fromUtf8("删除记录成功!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo WHERE personno IN ('X1', 'X2')")), 0);
    EXPECT_TRUE(status.startsWith(QString::fromUtf8("已删除 2 条历史记录"))) << status.toStdString();
    Q_UNUSED(dw);
}

// Bad input is told and nothing is deleted.
// BAT-04, BAT-06, BAT-08
TEST_F(BatchDeleteTest, RefusedRequestsDeleteNothing)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long all = count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo"));
    // Each refusal is told, and the focus goes back to the field at fault.
    const struct
    {
        std::function<void(hm::w_hisdelprompt *)> fill;
        const char *message;
        const char *field;
    } cases[] = {
        {[](hm::w_hisdelprompt *d) { byRange(d, QStringLiteral("2024-05-02"), QStringLiteral("2024-05-01")); }, "开始日期不能大于结束日期",
         "em_start"},
        {[](hm::w_hisdelprompt *d) { byRange(d, QStringLiteral("2023-02-30"), QStringLiteral("2024-05-01")); }, "开始日期不正确", "em_start"},
        {[](hm::w_hisdelprompt *d) { byRange(d, QStringLiteral("2023-02-01"), QStringLiteral("2024-1")); }, "结束日期不正确", "em_end"},
        // A date with its last digit not yet typed is not another date.
        {[](hm::w_hisdelprompt *d) { byRange(d, QStringLiteral("2024-12-3"), QStringLiteral("2025-01-01")); }, "开始日期不正确", "em_start"},
        {[](hm::w_hisdelprompt *d) { byRange(d, QStringLiteral("2023-02-01"), QStringLiteral("2024-01-1")); }, "结束日期不正确", "em_end"},
        {[](hm::w_hisdelprompt *d) { byKind(d, 0); }, "请先选择删除种类。", "ddlb_kind"},
    };
    for (const auto &c : cases) {
        QString focused;
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
            ASSERT_NE(d, nullptr);
            c.fill(d);
            d->p_ok->setFocus();
            d->p_ok_clicked();
            focused = d->focusWidget() ? d->focusWidget()->objectName() : QString();
            d->p_close_clicked();
        });
        frame->ue_del(2);
        EXPECT_EQ(focused.toStdString(), std::string(c.field)) << c.message;
        EXPECT_TRUE(lastText().startsWith(QString::fromUtf8(c.message))) << lastText().toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo")), all);
        EXPECT_EQ(dw->RowCount(), all);
    }
}

TEST_F(BatchDeleteTest, AllRecordsEmptiesTableAndGrid)
{
    click("p_children");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long persons = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"));
    batch([](hm::w_hisdelprompt *d) { byKind(d, 5); });
    EXPECT_EQ(lastText(), QString::fromUtf8("删除所有记录成功!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_children")), 0);
    EXPECT_EQ(dw->RowCount(), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo")), persons) << "only that table";
}

// With the household box ticked the procedure also takes the related history, of the persons of
// the households in scope, that lies in the scope itself.
// BAT-02
TEST_F(BatchDeleteTest, TheHouseholdBoxTakesThePersonsRelatedHistoryInScope)
{
    const QDate from = rt::fn::RelativeDate(rt::fn::Today(), -900), to = rt::fn::RelativeDate(rt::fn::Today(), -300);
    const QString lo = day(from) + QStringLiteral(" 00:00:00"), hi = day(to) + QStringLiteral(" 00:00:00");
    // The persons of the households in scope, noted before their history goes.
    rt::Transaction &h = host::g().photosqlca;
    ASSERT_EQ(h.executeImmediate(QStringLiteral("CREATE TEMP TABLE scope_persons (PersonNo VARCHAR(16))")), 0)
        << h.SQLErrText().toStdString();
    ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO scope_persons SELECT DISTINCT PersonNo FROM th_ge_personinfo "
                                       "WHERE RprNo IN (SELECT RprNo FROM th_ge_rpr WHERE SaveTime >= ?1 AND SaveTime <= ?2)"),
                        {lo, hi}),
              0)
        << h.SQLErrText().toStdString();
    ASSERT_EQ(h.commit(), 0);
    const QString relatedIn = QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE SaveTime >= ?1 AND SaveTime <= ?2 "
                                             "AND personno IN (SELECT PersonNo FROM scope_persons)");
    const QString relatedOut = QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE (SaveTime < ?1 OR SaveTime > ?2) "
                                              "AND personno IN (SELECT PersonNo FROM scope_persons)");
    const QString others = QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE SaveTime >= ?1 AND SaveTime <= ?2 "
                                          "AND personno NOT IN (SELECT PersonNo FROM scope_persons)");
    const long in = count(relatedIn, {lo, hi}), out = count(relatedOut, {lo, hi}), other = count(others, {lo, hi});
    ASSERT_GT(in, 0);
    ASSERT_GT(out, 0);
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    batch([&](hm::w_hisdelprompt *d) {
        byRange(d, day(from), day(to));
        d->cbx_rpr->setChecked(true);
    });
    EXPECT_EQ(lastText(), QString::fromUtf8("删除记录成功!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE SaveTime >= ? AND SaveTime <= ?"), {lo, hi}), 0);
    expectGridIsTable(dw, QStringLiteral("th_ge_rpr"));
    EXPECT_EQ(count(relatedIn, {lo, hi}), 0) << "their related history in scope is gone";
    EXPECT_EQ(count(relatedOut, {lo, hi}), out) << "their related history out of scope is kept";
    EXPECT_EQ(count(others, {lo, hi}), other) << "other persons' history is kept";
}

// BAT-02
TEST_F(BatchDeleteTest, TheHouseholdBoxCountsOnlyForTheHouseholdTableItself)
{
    const QDate from = rt::fn::RelativeDate(rt::fn::Today(), -900), to = rt::fn::RelativeDate(rt::fn::Today(), -300);
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    ASSERT_EQ(dw->Modify(QStringLiteral("datawindow.table.updatetable='TH_GE_RPR'")), QString());
    const long persons = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo"));
    const long related = count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo"));
    batch([&](hm::w_hisdelprompt *d) {
        byRange(d, day(from), day(to));
        d->cbx_rpr->setChecked(true);
    });
    EXPECT_EQ(lastText(), QString::fromUtf8("删除记录成功!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo")), persons) << "the plain statement ran";
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo")), related);
    expectGridIsTable(dw, QStringLiteral("th_ge_rpr"));
}

// A database that fails the statement or its commit loses nothing, and the grid stays whole.
// BAT-04
TEST_F(BatchDeleteTest, AFailingStatementOrCommitLeavesTableAndGridAsTheyWere)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long all = count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo"));
    for (const rt::InjectedFault::On on : {rt::InjectedFault::On::Statement, rt::InjectedFault::On::Commit}) {
        rt::InjectedFault fault;
        fault.on = on;
        fault.sqlContains = on == rt::InjectedFault::On::Statement ? QStringLiteral("delete from") : QString();
        host::g().photosqlca.injectFault(fault);
        batch([](hm::w_hisdelprompt *d) { byKind(d, 1); });
        EXPECT_EQ(lastText(), QString::fromUtf8("删除记录失败!"));
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo")), all);
        EXPECT_EQ(dw->RowCount(), all);
    }
    click("p_rprinfo");
    rt::InjectedFault fault;
    fault.sqlContains = QStringLiteral("EXECUTE proc_DelRprScope");
    host::g().photosqlca.injectFault(fault);
    batch([](hm::w_hisdelprompt *d) {
        byKind(d, 1);
        d->cbx_rpr->setChecked(true);
    });
    EXPECT_EQ(lastText(), QString::fromUtf8("删除户籍历史信息失败!"));
    expectGridIsTable(sheet()->wf_getcurrentdw(), QStringLiteral("th_ge_rpr"));
}
