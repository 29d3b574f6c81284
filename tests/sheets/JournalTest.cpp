#include "ModuleFixture.h"
#include "Faults.h"

#include "model/journal/Journal.h"
#include "host/SchemaCatalogue.h"
#include "host/ui/DateField.h"
#include "platform/core/Cursor.h"
#include "platform/core/Functions.h"
#include "platform/ui/PbEditMask.h"
#include "record/w_hisrecovprompt.h"
#include "record/w_hisreplace.h"
#include "toolbar/w_hisdelprompt.h"
#include "toolbar/w_hisjournal.h"
#include "toolbar/uo_toolbar_his.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <sys/stat.h>

// 操作记录 on the demo register: every deletion appends exactly one entry, with the rows it took
// per table, in the deletion's own transaction; a deletion whose entry cannot be written does
// not happen.
class JournalTest : public ModuleFixture
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        makeOwnDemo(30, 31);
        if (HasFatalFailure())
            return;
        ModuleFixture::SetUp();
    }
    struct Row
    {
        QString operatorName, login, action, category, key, counts, outcome, detail;
    };
    QList<Row> entries()
    {
        QList<Row> out;
        rt::Cursor cursor(host::g().photosqlca, QStringLiteral("SELECT operator, login, action, category, reckey, counts, outcome, "
                                                                "detail FROM hm_journal ORDER BY id"));
        EXPECT_EQ(cursor.open(), 0) << host::g().photosqlca.SQLErrText().toStdString();
        QList<Value> r;
        for (int i = 0; i < 8; ++i)
            r << Value::null(rt::ValueType::String);
        while (cursor.fetch(r) == 0)
            out << Row{r[0].string(), r[1].string(), r[2].string(), r[3].string(), r[4].string(), r[5].string(), r[6].string(),
                       r[7].string()};
        cursor.close();
        return out;
    }
    // Rows of every live and history table, and the copies of replaced states (issave 4) in
    // each history table.
    QMap<QString, long> tableRows()
    {
        QMap<QString, long> out;
        for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
            QList<Value> n{Value::null(rt::ValueType::Long)};
            EXPECT_EQ(host::g().sqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1").arg(t.liveTable), {}, n), 0);
            out[t.liveTable] = long(n[0].longValue());
            out[t.historyTable] = count(QStringLiteral("SELECT count(*) FROM %1").arg(t.historyTable));
            out[t.historyTable + QStringLiteral(":4")]
                = count(QStringLiteral("SELECT count(*) FROM %1 WHERE issave = '4'").arg(t.historyTable));
        }
        return out;
    }
    // "th_a 1，th_b 3" as a map.
    static QMap<QString, long> parseCounts(const QString &text)
    {
        QMap<QString, long> out;
        for (const QString &part : text.split(QString::fromUtf8("，"), Qt::SkipEmptyParts))
            out[part.section(QLatin1Char(' '), 0, 0)] = part.section(QLatin1Char(' '), 1, 1).toLong();
        return out;
    }
    // Runs ue_recovery on the grid's current row with the dependants, answering 替换 for a live record.
    void recoverWithDependants()
    {
        const auto respond = [](rt::ui::PbWindow *w) {
            if (auto *q = qobject_cast<hm::w_hisreplace *>(w)) {
                q->cb_replace_clicked();
            } else if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(w)) {
                p->cbx_1->setChecked(true);
                p->p_ok_clicked();
            }
        };
        op.onNextResponseWindow(respond);
        op.onNextResponseWindow(respond);
        frame->ue_recovery();
        op.clearHooks();
    }
};

// SRV-27 (every test of this suite)
// JRN-03
TEST_F(JournalTest, EachDeletionWritesOneEntryWithItsRowsPerTable)
{
    ASSERT_TRUE(entries().isEmpty());
    // A row through the grid.
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    dw->SetRow(2);
    const QString elder = dw->GetItemString(2, "personno");
    op.answer(1);
    frame->ue_del(1);
    QList<Row> j = entries();
    ASSERT_EQ(j.size(), 1);
    EXPECT_EQ(j[0].action, QString::fromUtf8("删除"));
    EXPECT_EQ(j[0].category, QString::fromUtf8("老年人信息"));
    EXPECT_EQ(j[0].key, elder);
    EXPECT_EQ(j[0].counts, QStringLiteral("th_sv_elderinfo 1"));
    EXPECT_EQ(j[0].outcome, QString::fromUtf8("成功"));
    EXPECT_EQ(j[0].login, model::Journal::loginName());
    EXPECT_FALSE(j[0].operatorName.isEmpty()) << "the login on the files, the session's role on the server";

    // A household with its persons, through the procedure: the counts are what it took.
    click("p_rprinfo");
    dw = sheet()->wf_getcurrentdw();
    dw->SetRow(1);
    const QString household = dw->GetItemString(1, "RprNo");
    const long rpr = count(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = ?"), {household});
    const long persons = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE RprNo = ?"), {household});
    op.answer(1); // Yes: the persons too
    frame->ue_del(1);
    j = entries();
    ASSERT_EQ(j.size(), 2);
    EXPECT_EQ(j[1].action, QString::fromUtf8("删除户"));
    EXPECT_EQ(j[1].key, household);
    EXPECT_TRUE(j[1].counts.contains(QStringLiteral("th_ge_rpr %1").arg(rpr))) << j[1].counts.toStdString();
    EXPECT_TRUE(j[1].counts.contains(QStringLiteral("th_ge_personinfo %1").arg(persons))) << j[1].counts.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_rpr WHERE RprNo = ?"), {household}), 0);

    // A batch by saving date: the counts are the dialog's own.
    click("p_womaninfo");
    dw = sheet()->wf_getcurrentdw();
    const QString from = rt::fn::RelativeDate(rt::fn::Today(), -600).toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = rt::fn::RelativeDate(rt::fn::Today(), -200).toString(QStringLiteral("yyyy-MM-dd"));
    const long inside = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo WHERE SaveTime >= ? AND SaveTime <= ?"),
                              {from + QStringLiteral(" 00:00:00"), to + QStringLiteral(" 00:00:00")});
    ASSERT_GT(inside, 0);
    batchByDates(from, to);
    j = entries();
    ASSERT_EQ(j.size(), 3);
    EXPECT_EQ(j[2].action, QString::fromUtf8("批量删除"));
    EXPECT_EQ(j[2].category, QString::fromUtf8("育龄妇女信息"));
    EXPECT_EQ(j[2].counts, QStringLiteral("th_mh_AdultWomaninfo %1").arg(inside));
    EXPECT_TRUE(j[2].detail.contains(from)) << j[2].detail.toStdString();
}

// JRN-04
TEST_F(JournalTest, ADeletionWhoseEntryCannotBeWrittenDoesNotHappen)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    const long rows = dw->RowCount();
    dw->SetRow(3);
    const Value hisid = dw->dataStore().GetItem(3, "hisid");
    const rt::InjectedFault fault = fullAt("hm_journal");
    host::g().photosqlca.injectFault(fault);
    op.answer(1);
    frame->ue_del(1);
    EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("删除失败!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE hisid = ?"), {hisid}), 1) << "the row is still in history";
    EXPECT_EQ(dw->RowCount(), rows) << "and in the grid";
    // The failure itself is written, once the deletion was undone.
    const QList<Row> j = entries();
    ASSERT_EQ(j.size(), 1);
    EXPECT_EQ(j[0].outcome, QString::fromUtf8("失败"));
    EXPECT_TRUE(j[0].detail.contains(QStringLiteral("disk is full"))) << j[0].detail.toStdString();

    // The same for a person through the procedure.
    click("p_personinfo");
    dw = sheet()->wf_getcurrentdw();
    dw->SetRow(1);
    const QString person = dw->GetItemString(1, "PersonNo");
    const long snapshots = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?"), {person});
    host::g().photosqlca.injectFault(fault);
    op.answer(1);
    frame->ue_del(1);
    EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("删除个人历史信息失败!"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?"), {person}), snapshots);
    EXPECT_EQ(entries().size(), 2);
}

// JRN-04
TEST_F(JournalTest, ABatchWhoseEntryCannotBeWrittenDeletesNothing)
{
    click("p_womaninfo");
    const long all = count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo"));
    const rt::InjectedFault fault = fullAt("hm_journal");
    host::g().photosqlca.injectFault(fault);
    batchByDates(rt::fn::RelativeDate(rt::fn::Today(), -600).toString(QStringLiteral("yyyy-MM-dd")),
                 rt::fn::Today().toString(QStringLiteral("yyyy-MM-dd")));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_mh_AdultWomaninfo")), all);
    const QList<Row> j = entries();
    ASSERT_EQ(j.size(), 1);
    EXPECT_EQ(j[0].action, QString::fromUtf8("批量删除"));
    EXPECT_EQ(j[0].outcome, QString::fromUtf8("失败"));
}

// JRN-10
TEST_F(JournalTest, TheJournalWindowShowsNewestFirstFiltersAndExports)
{
    click("p_eldinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    QStringList keys;
    for (long r : {4L, 2L}) {
        dw->SetRow(r);
        keys << dw->GetItemString(r, "personno");
        op.answer(1);
        frame->ue_del(1);
    }
    bool opened = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *j = qobject_cast<hm::w_hisjournal *>(w);
        ASSERT_NE(j, nullptr);
        opened = true;
        ASSERT_EQ(j->entries->rowCount(), 2);
        EXPECT_EQ(j->entries->item(0, 5)->text(), keys[1]) << "newest first";
        EXPECT_EQ(j->st_status->text(), QString::fromUtf8("共 2 条记录"));
        // By key, by action, by a date range that holds none.
        j->sle_key->setText(keys[0]);
        EXPECT_EQ(j->query(), 1);
        j->sle_key->clear();
        j->ddlb_action->setCurrentText(QString::fromUtf8("批量删除"));
        EXPECT_EQ(j->query(), 0);
        j->ddlb_action->setCurrentIndex(0);
        j->cbx_to->setChecked(true);
        j->de_to->setDate(QDate::currentDate().addDays(-1));
        EXPECT_EQ(j->query(), 0);
        j->de_to->setDate(QDate::currentDate());
        EXPECT_EQ(j->query(), 2) << "the day chosen is included whole";
        const QString file = QDir(dir->path()).filePath(QStringLiteral("journal.csv"));
        EXPECT_EQ(j->exportCsv(file), 1);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 3);
        EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8("时间,操作员,登录名,操作")));
        EXPECT_TRUE(lines[1].contains(keys[1]));
        j->Close();
    });
    frame->dw_maintoolbar->ue_dwnmousemove(0, 0, 0, QStringLiteral("p_journal"));
    frame->dw_maintoolbar->ue_dwnlbuttonup(0, 0, 0, QStringLiteral("p_journal"));
    op.clearHooks();
    EXPECT_TRUE(opened) << "the twelfth toolbar button opens it";
}

// 操作记录 as the operator reads it: 记录数 by category with the thousands separator (in the
// export too, which is its owner's alone); every column in view at the window's design size; a
// range running backwards or a date half typed refused with the batch dialog's words, the list
// as it was and the date at fault focused.
// JRN-11, GRD-30
TEST_F(JournalTest, TheJournalWindowShowsCategoriesEveryColumnAndRefusesABadRange)
{
    rt::Transaction &t = host::g().photosqlca;
    model::Journal::Entry e;
    e.action = QString::fromUtf8("删除人员");
    e.category = QString::fromUtf8("个人信息");
    e.key = QStringLiteral("320102000000000001");
    e.counts = {{QStringLiteral("th_ge_company"), 2}, {QStringLiteral("th_ge_personinfo"), 1234}, {QStringLiteral("th_other"), 5}};
    e.outcome = QString::fromUtf8("成功");
    e.detail = QString::fromUtf8("连同相关信息；").repeated(12);
    for (int i = 0; i < 1001; ++i) {
        e.token = QUuid::createUuid().toString(QUuid::WithoutBraces);
        ASSERT_EQ(model::Journal::append(t, e), 0) << t.SQLErrText().toStdString();
    }
    ASSERT_EQ(t.commit(), 0);
    const QString file = QDir(dir->path()).filePath(QStringLiteral("journal.csv"));
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an earlier export");
    }
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                                | QFileDevice::ReadOther));
    const mode_t was = ::umask(022);
    bool opened = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *j = qobject_cast<hm::w_hisjournal *>(w);
        ASSERT_NE(j, nullptr);
        opened = true;
        QApplication::processEvents();
        ASSERT_EQ(j->entries->rowCount(), 1001);
        EXPECT_EQ(j->st_status->text(), QString::fromUtf8("共 1,001 条记录"));
        const QString counts = QString::fromUtf8("个人职业信息 2，个人信息 1,234，th_other 5");
        EXPECT_EQ(j->entries->item(0, 6)->text(), counts) << "categories, not tables";

        // Every column in view at the design size, 结果 whole, 说明 with room for words.
        QHeaderView *header = j->entries->horizontalHeader();
        const int room = j->entries->viewport()->width();
        for (int c = 0; c < header->count(); ++c) {
            const QString caption = j->entries->horizontalHeaderItem(c)->text();
            EXPECT_GE(header->sectionViewportPosition(c), 0) << caption.toStdString();
            EXPECT_LE(header->sectionViewportPosition(c) + header->sectionSize(c), room + 1)
                << caption.toStdString() << " reaches past the view's " << room << " px";
        }
        const QFontMetrics metrics = j->entries->fontMetrics();
        EXPECT_GE(header->sectionSize(8), metrics.horizontalAdvance(QString::fromUtf8("成功")));
        EXPECT_GE(header->sectionSize(9), metrics.horizontalAdvance(QString::fromUtf8("连同相关信息；连同相")));

        // The export writes what is shown.
        EXPECT_EQ(j->exportCsv(file), 1);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1002);
        EXPECT_TRUE(lines[1].contains(QLatin1Char('"') + counts + QLatin1Char('"'))) << lines[1].toStdString();
        struct stat st{};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "readable by its owner only, also over an earlier file";

        // 从 after 到: refused, the list as it was, back to 从.
        const QString status = j->st_status->text();
        j->cbx_from->setChecked(true);
        j->cbx_to->setChecked(true);
        j->de_from->setDate(QDate::currentDate());
        j->de_to->setDate(QDate::currentDate().addDays(-1));
        j->cb_query->setFocus();
        QTest::keyClick(j->cb_query, Qt::Key_Space);
        ASSERT_FALSE(op.boxes.isEmpty());
        EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("开始日期不能大于结束日期"));
        EXPECT_EQ(j->entries->rowCount(), 1001);
        EXPECT_EQ(j->st_status->text(), status);
        EXPECT_EQ(j->focusWidget(), j->de_from);
        // A date half typed, and Enter in its field.
        j->de_to->setFocus();
        QTest::keyClick(j->de_from, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(j->de_from, QStringLiteral("2024-1-5"));
        QTest::keyClick(j->de_from, Qt::Key_Return);
        EXPECT_EQ(op.boxes.last().text, QString::fromUtf8("开始日期不正确，请按“年-月-日”输入一个存在的日期。"));
        EXPECT_EQ(j->entries->rowCount(), 1001);
        EXPECT_EQ(j->focusWidget(), j->de_from);
        j->de_from->setDate(QDate::currentDate().addDays(-1));
        j->de_to->setDate(QDate::currentDate());
        EXPECT_EQ(j->query(), 1001);
        j->Close();
    });
    rt::ui::Windows::OpenByName(QStringLiteral("w_hisjournal"), QString());
    ::umask(was);
    op.clearHooks();
    EXPECT_TRUE(opened);
}

// JRN-04, REC-03
TEST_F(JournalTest, ARecoveryWritesItsEntryWithTheLiveChangeOrNotAtAll)
{
    const auto respond = [](rt::ui::PbWindow *w) {
        if (auto *q = qobject_cast<hm::w_hisreplace *>(w))
            q->cb_replace_clicked();
        else if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(w))
            p->p_ok_clicked();
    };
    // A live person with the dependants: the entry names the person and counts what moved.
    click("p_personinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    dw->SetRow(1);
    const QString person = dw->GetItemString(1, "PersonNo");
    const Value hisid = dw->dataStore().GetItem(1, "hisid");
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(w)) {
            p->cbx_1->setChecked(true); // with the related information
            p->p_ok_clicked();
        }
    });
    op.onNextResponseWindow(respond);
    frame->ue_recovery();
    op.clearHooks();
    QList<Row> j = entries();
    ASSERT_EQ(j.size(), 1) << "one entry for the whole recovery";
    EXPECT_EQ(j[0].action, QString::fromUtf8("恢复"));
    EXPECT_EQ(j[0].key, person);
    EXPECT_EQ(j[0].outcome, QString::fromUtf8("成功"));
    EXPECT_TRUE(j[0].counts.startsWith(QStringLiteral("th_ge_personinfo 1"))) << j[0].counts.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE hisid = ?"), {hisid}), 0);

    // The same recovery for an elder whose entry cannot be written: nothing moves.
    click("p_eldinfo");
    dw = sheet()->wf_getcurrentdw();
    dw->SetRow(1);
    const Value elder = dw->dataStore().GetItem(1, "hisid");
    const QString elderNo = dw->GetItemString(1, "personno");
    QList<Value> before{Value::null(rt::ValueType::String)};
    host::g().sqlca.selectInto(QStringLiteral("SELECT health FROM sv_elderinfo WHERE personno = ?"), {elderNo}, before);
    const rt::InjectedFault fault = fullAt("hm_journal");
    host::g().sqlca.injectFault(fault);
    op.onNextResponseWindow(respond);
    op.answer(1);
    frame->ue_recovery();
    op.clearHooks();
    EXPECT_TRUE(op.boxes.last().text.startsWith(QString::fromUtf8("保存恢复数据时失败"))) << op.boxes.last().text.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo WHERE hisid = ?"), {elder}), 1) << "still in history";
    QList<Value> after{Value::null(rt::ValueType::String)};
    host::g().sqlca.selectInto(QStringLiteral("SELECT health FROM sv_elderinfo WHERE personno = ?"), {elderNo}, after);
    EXPECT_EQ(after[0].toText(), before[0].toText()) << "the live record is as it was";
    j = entries();
    ASSERT_EQ(j.size(), 2);
    EXPECT_EQ(j[1].outcome, QString::fromUtf8("失败"));
}

// With its dependants, a household or a person moves rows out of several history tables and
// leaves copies of the live states it replaced: the one entry counts, table by table, exactly
// the rows that left history.
// JRN-06
TEST_F(JournalTest, ARecoveryWithItsDependantsCountsTheRowsItMoved)
{
    for (const char *button : {"p_rprinfo", "p_personinfo"}) {
        click(button);
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        dw->SetRow(1);
        const long entriesBefore = entries().size();
        const QMap<QString, long> before = tableRows();
        recoverWithDependants();
        const QList<Row> j = entries();
        ASSERT_EQ(j.size(), entriesBefore + 1) << button;
        EXPECT_EQ(j.last().outcome, QString::fromUtf8("成功")) << button << " " << j.last().detail.toStdString();
        const QMap<QString, long> after = tableRows();
        QMap<QString, long> moved;
        for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
            const long copies = after[t.historyTable + QStringLiteral(":4")] - before[t.historyTable + QStringLiteral(":4")];
            const long left = before[t.historyTable] - after[t.historyTable] + copies;
            if (left != 0)
                moved[t.historyTable] = left;
        }
        EXPECT_GT(moved.size(), 1) << button << ": the dependants moved too";
        EXPECT_EQ(parseCounts(j.last().counts), moved) << button << " " << j.last().counts.toStdString();
    }
}

// The household paths, whose deletions run as procedures and whose recovery runs as cascades:
// when the entry cannot be written, no table changes and one failure entry is written.
// JRN-04
TEST_F(JournalTest, HouseholdChangesWhoseEntryCannotBeWrittenDoNotHappen)
{
    const rt::InjectedFault fault = fullAt("hm_journal");
    click("p_rprinfo");
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    dw->SetRow(1);
    const struct
    {
        const char *what;
        rt::Transaction *connection;
        std::function<void()> run;
    } paths[] = {
        {"删除户", &host::g().photosqlca,
         [&] {
             op.answer(1); // the persons too
             frame->ue_del(1);
         }},
        {"批量删除", &host::g().photosqlca,
         [&] {
             op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
                 auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
                 ASSERT_NE(d, nullptr);
                 d->em_start->setText(rt::fn::RelativeDate(rt::fn::Today(), -3000).toString(QStringLiteral("yyyy-MM-dd")));
                 d->em_end->setText(rt::fn::Today().toString(QStringLiteral("yyyy-MM-dd")));
                 d->cbx_rpr->setChecked(true);
                 op.answer(1); // 是 to the question with the count
                 d->p_ok_clicked();
                 d->p_close_clicked();
             });
             frame->ue_del(2);
         }},
        {"恢复", &host::g().sqlca, [&] { recoverWithDependants(); }},
    };
    for (const auto &p : paths) {
        const QMap<QString, long> before = tableRows();
        const long entriesBefore = entries().size();
        p.connection->injectFault(fault);
        p.run();
        EXPECT_EQ(p.connection->injectedFaultsPending(), 0) << p.what << ": the fault fired";
        p.connection->clearInjectedFaults();
        op.clearHooks();
        EXPECT_EQ(tableRows(), before) << p.what;
        const QList<Row> j = entries();
        ASSERT_EQ(j.size(), entriesBefore + 1) << p.what;
        EXPECT_EQ(j.last().action, QString::fromUtf8(p.what));
        EXPECT_EQ(j.last().outcome, QString::fromUtf8("失败")) << p.what;
        EXPECT_TRUE(j.last().counts.isEmpty()) << p.what;
    }
}
