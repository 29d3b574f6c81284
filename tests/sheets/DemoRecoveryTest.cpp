#include "ModuleFixture.h"

#include "host/SchemaCatalogue.h"
#include "model/CategoryTable.h"
#include "model/recovery/RecoveryPlan.h"
#include "record/RecordComparison.h"
#include "record/w_hisrecovprompt.h"
#include "record/w_hisreplace.h"

#include <QCheckBox>

// Recovery on the demo register, where most history rows belong to records that are still
// live and have several snapshots: every kind of row, live or not, recovers without a failure,
// and afterwards the live record equals the snapshot.
class DemoRecoveryTest : public ModuleFixture
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        makeOwnDemo(30, 17);
        if (HasFatalFailure())
            return;
        ModuleFixture::SetUp();
    }
    void TearDown() override
    {
        EXPECT_FALSE(host::g().sqlca.inTransaction());
        EXPECT_FALSE(host::g().photosqlca.inTransaction());
        ModuleFixture::TearDown();
    }

    // The first grid row whose record is (or is not) live.
    long rowWhere(rt::ui::DataWindowControl *dw, const model::Category &category, bool live)
    {
        const host::TableDef *table = host::SchemaCatalogue::byStem(category.stem);
        for (long r = 1; r <= dw->RowCount(); ++r) {
            const model::LiveState s
                = model::RecoveryPlan::liveState(host::g().sqlca, category, dw->GetItemString(r, table->keyColumn));
            EXPECT_FALSE(s.unknown()) << s.error.toStdString();
            if (s.present() == live)
                return r;
        }
        return 0;
    }
};

// MNT-50 (every test of this suite)
// REC-01
TEST_F(DemoRecoveryTest, EveryKindOfRowRecoversLiveOrNot)
{
    const struct
    {
        const char *button;
        int tab;
        const char *stem;
    } grids[] = {{"p_rprinfo", 1, "ge_rpr"},          {"p_personinfo", 1, "ge_personinfo"}, {"p_personinfo", 2, "ge_personotherinfo"},
                 {"p_personinfo", 3, "ge_company"},   {"p_personinfo", 4, "ge_foreignorregistry"},
                 {"p_eldinfo", 1, "sv_elderinfo"},    {"p_children", 1, "sv_children"},     {"p_womaninfo", 1, "mh_adultwomaninfo"},
                 {"p_oowpersoninfo", 1, "sv_oowpersoninfo"}, {"p_minlivingprotect", 1, "sv_mlpfamilyinfo"}};
    int replaced = 0, inserted = 0;
    for (const auto &g : grids) {
        const model::Category *category = model::CategoryTable::byStem(QString::fromLatin1(g.stem));
        ASSERT_NE(category, nullptr);
        for (const bool live : {true, false}) {
            click(g.button);
            if (hm::uo_tabpg_histab *personal = personalPage())
                personal->tab_1->SelectTab(g.tab);
            rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
            dw->Retrieve();
            const long row = rowWhere(dw, *category, live);
            if (row == 0)
                continue; // the demo has no such row in this category
            dw->SetRow(row);
            // The snapshot, kept aside to compare with the live record afterwards.
            rt::DataStore snapshot;
            snapshot.SetDataObject(dw->DataObject());
            dw->dataStore().RowsCopy(row, row, rt::DwBuffer::Primary, snapshot, 1, rt::DwBuffer::Primary);
            const Value hisid = dw->dataStore().GetItem(row, "hisid");
            const long rows = dw->RowCount();
            op.boxes.clear();
            int questions = 0;
            const auto respond = [&](rt::ui::PbWindow *w) {
                if (auto *q = qobject_cast<hm::w_hisreplace *>(w)) {
                    ++questions;
                    q->cb_replace_clicked();
                } else if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(w)) {
                    p->p_ok_clicked(); // this record only
                }
            };
            op.onNextResponseWindow(respond);
            op.onNextResponseWindow(respond);
            op.answer(1); // 确认要恢复吗? for a record that is not live
            frame->ue_recovery();
            op.clearHooks();
            const std::string what = std::string(g.stem) + (live ? " live" : " not live");
            for (const auto &b : op.boxes)
                EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << what << ": " << b.text.toStdString();
            EXPECT_EQ(questions, live ? 1 : 0) << what;
            EXPECT_EQ(dw->RowCount(), rows - 1) << what;
            QList<Value> n{Value::null(rt::ValueType::Long)};
            ASSERT_EQ(host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE hisid = ?").arg(category->historyTable),
                                                      {hisid}, n),
                      0);
            EXPECT_EQ(n[0].longValue(), 0) << what << ": the snapshot left history";
            bool found = false;
            QString readError;
            const auto fields = hm::RecordComparison::compare(snapshot, 1, host::g().sqlca, found, readError);
            EXPECT_TRUE(found) << what << readError.toStdString();
            for (const auto &f : fields) {
                // The live table numbers its own rows, and the live code of a snapshot marked
                // cancelled or removed is 0.
                if (f.caption == QString::fromUtf8("序号") || f.caption == QString::fromUtf8("保存标志"))
                    continue;
                EXPECT_FALSE(f.differs) << what << ": " << f.caption.toStdString() << " " << f.history.toStdString()
                                        << " ≠ " << f.live.toStdString();
            }
            (live ? replaced : inserted) += 1;
        }
    }
    EXPECT_EQ(replaced, 10) << "every category has live records with history";
    EXPECT_GT(inserted, 0);
}

// A household recovered with its persons on the demo register, where households are cancelled
// with all their members (each member's last snapshot says 5) and members of live households are
// removed on their own (last snapshot 6): a cancelled household's members all come back with
// their related records; a live household is replaced, its live members' records come back, and
// a removed member keeps every row of history, nothing of theirs going live.
// REC-20
TEST_F(DemoRecoveryTest, AHouseholdWithItsPersonsBringsBackExactlyItsCancelledMembers)
{
    makeOwnDemo(80, 23);
    ModuleFixture::TearDown();
    ModuleFixture::SetUp();
    rt::Transaction &sqlca = host::g().sqlca;
    const auto value = [&](const QString &sql, const QList<Value> &params = {}) {
        QList<Value> v{Value::null(rt::ValueType::String)};
        EXPECT_EQ(sqlca.selectInto(sql, params, v), 0) << sqlca.SQLErrText().toStdString() << "\n" << sql.toStdString();
        return v[0].isNull() ? QString() : v[0].toText();
    };
    const auto count = [&](const QString &sql, const QList<Value> &params = {}) { return value(sql, params).toLong(); };
    // Every related record a person has in history, table by table, and how many are live.
    const auto related = [&](const QString &person, bool live) {
        long n = 0;
        for (const model::Category *c : model::CategoryTable::cascade()) {
            const host::TableDef *t = host::SchemaCatalogue::byStem(c->stem);
            n += count(QStringLiteral("SELECT count(*) FROM %1 WHERE personno = ?").arg(live ? t->liveTable : t->historyTable), {person});
        }
        return n;
    };
    const auto recoverHousehold = [&](const QString &rprno) {
        click("p_rprinfo");
        rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
        long row = 0;
        for (long r = 1; r <= dw->RowCount() && row == 0; ++r)
            row = dw->GetItemString(r, "RprNo") == rprno ? r : 0;
        ASSERT_GT(row, 0) << rprno.toStdString();
        dw->SetRow(row);
        op.boxes.clear();
        const auto respond = [&](rt::ui::PbWindow *w) {
            if (auto *q = qobject_cast<hm::w_hisreplace *>(w)) {
                q->cb_replace_clicked();
            } else if (auto *p = qobject_cast<hm::w_hisrecovprompt *>(w)) {
                p->cbx_1->setChecked(true); // with the persons
                p->p_ok_clicked();
            }
        };
        op.onNextResponseWindow(respond);
        op.onNextResponseWindow(respond);
        frame->ue_recovery();
        op.clearHooks();
    };

    // A cancelled household: none of it is live.
    const QString cancelled = value(QStringLiteral("SELECT min(RprNo) FROM th_ge_rpr WHERE RprNo NOT IN (SELECT RprNo FROM ge_rpr)"));
    ASSERT_FALSE(cancelled.isEmpty()) << "the demo cancels some households";
    QStringList members;
    QString error;
    ASSERT_TRUE(model::RecoveryPlan::householdPersons(host::g().photosqlca, cancelled, members, error)) << error.toStdString();
    ASSERT_FALSE(members.isEmpty());
    // One record comes back per related table where the member has history: its latest snapshot.
    QMap<QString, long> tables, snapshots;
    for (const QString &m : members) {
        snapshots[m] = count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ? AND RprNo = ?"), {m, cancelled});
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = ?"), {m}), 0);
        EXPECT_EQ(related(m, true), 0);
        for (const model::Category *c : model::CategoryTable::cascade())
            tables[m] += count(QStringLiteral("SELECT count(*) FROM %1 WHERE personno = ?").arg(c->historyTable), {m}) > 0 ? 1 : 0;
    }
    recoverHousehold(cancelled);
    for (const auto &b : op.boxes)
        EXPECT_FALSE(b.text.contains(QString::fromUtf8("失败"))) << b.text.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM ge_rpr WHERE RprNo = ?"), {cancelled}), 1);
    for (const QString &m : members) {
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = ? AND issave = '0'"), {m}), 1)
            << m.toStdString() << " comes back";
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ? AND RprNo = ?"), {m, cancelled}),
                  snapshots[m] - 1)
            << "the snapshot the member came back from left history, the older ones stay";
        EXPECT_EQ(related(m, true), tables[m]) << m.toStdString();
    }

    // A live household with a member removed on their own.
    const QString household = value(QStringLiteral(
        "SELECT min(p.RprNo) FROM th_ge_personinfo p WHERE p.issave = '6' AND p.RprNo IN (SELECT RprNo FROM ge_rpr) "
        "AND p.PersonNo NOT IN (SELECT PersonNo FROM ge_personinfo)"));
    ASSERT_FALSE(household.isEmpty()) << "the demo removes some persons from live households";
    const QString removed = value(QStringLiteral("SELECT min(PersonNo) FROM th_ge_personinfo WHERE RprNo = ? AND issave = '6' AND "
                                                 "PersonNo NOT IN (SELECT PersonNo FROM ge_personinfo)"),
                                  {household});
    const long removedHistory = related(removed, false)
                                + count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?"), {removed});
    recoverHousehold(household);
    EXPECT_EQ(op.boxes.size(), 1);
    EXPECT_TRUE(op.boxes.value(0).text.contains(removed)) << "the note names the member kept";
    EXPECT_EQ(related(removed, true), 0) << "nothing of a removed member goes live";
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM ge_personinfo WHERE PersonNo = ?"), {removed}), 0);
    EXPECT_EQ(related(removed, false) + count(QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE PersonNo = ?"), {removed}),
              removedHistory)
        << "every row of their history stays";
    const QString detail = value(QStringLiteral("SELECT detail FROM hm_journal WHERE reckey = ? AND outcome = ?"),
                                 {household, QString::fromUtf8("成功")});
    EXPECT_TRUE(detail.contains(QString::fromUtf8("保留全部历史信息的人员 1 人"))) << detail.toStdString();
}
