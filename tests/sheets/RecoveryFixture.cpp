#include "RecoveryFixture.h"

#include "sheets/uo_tabpg_histab.h"

#include <QCheckBox>

namespace {

const char *Seed[] = {
    // Households.
    "INSERT INTO th_ge_rpr (RprNo, hostname, address, membercount, regdate, issave, SaveTime) VALUES "
    "('R''1', '张三', '旧址', 3, '2001-02-03', '1', '2024-01-01 10:00:00'),"
    "('R''1', '张大三', '南京市鼓楼区中山路1号', 3, '2001-02-03', '5', '2024-06-01 10:00:00'),"
    "('R2', '赵六', '南京市玄武区北京东路2号', 3, NULL, NULL, '2024-02-01 08:00:00')",
    // Persons.
    "INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, sex, birthday, issave, SaveTime) VALUES "
    "('P1', 'R''1', '张大三', '男', '1950-01-02', '5', '2024-01-01 10:00:00'),"
    "('P1', 'R''1', '张大三', '男', '1950-01-02', '5', '2024-06-01 10:00:00'),"
    "('P2', 'R''1', '李四', '女', '2015-07-08', '5', '2024-06-01 10:00:00'),"
    "('P3', 'R''1', '王五', '男', '1985-03-04', '1', '2024-06-01 10:00:00'),"
    "('P6', 'R2', '赵六', '男', '1940-05-06', '6', '2024-05-01 10:00:00'),"
    "('P7', 'R2', '钱七', '女', '1945-05-06', '6', '2023-05-01 10:00:00'),"
    "('P7', 'R2', '钱七', '女', '1945-05-06', '1', '2024-05-01 10:00:00'),"
    "('P8', 'R2', '孙八', '男', '1990-09-09', '1', '2024-05-01 10:00:00')",
    // Related history.
    "INSERT INTO th_ge_company (orderno, personno, company, startdate, salary, issave, SaveTime) VALUES "
    "(77, 'P1', '南京机床厂', '2010-03-04', '3000.10', '1', '2024-03-01 09:00:00')",
    "INSERT INTO th_sv_elderinfo (orderno, personno, health, pension, issave, SaveTime) VALUES "
    "(11, 'P1', '一般', '100.50', '1', '2023-05-01 08:00:00'),"
    "(12, 'P1', '良好', '200.75', '5', '2024-05-01 09:15:30.250000'),"
    "(13, 'P6', '较差', '80.00', '1', '2024-04-01 08:00:00'),"
    "(14, 'P7', '良好', '90.00', '1', '2024-04-01 08:00:00')",
    "INSERT INTO th_ge_foreignorregistry (personno, permitno, arrivedate, arrivetime, registertime, issave, SaveTime) VALUES "
    "('P2', 'ZZ-1', '2024-03-03', '08:30:00', '2024-03-03 14:15:16', '1', '2024-03-05 10:00:00')",
    "INSERT INTO th_sv_children (orderno, personno, school, vaccinedate, issave, SaveTime) VALUES "
    "(5, 'P2', '琅琊路小学', '2024-02-02', '3', '2024-03-05 10:00:00')",
    "INSERT INTO th_ge_personotherinfo (orderno, personno, bloodtype, height, issave, SaveTime) VALUES "
    "(9, 'P3', 'O', 170.5, NULL, '2024-03-05 10:00:00')",
};

const char *LiveSeed[] = {
    "INSERT INTO ge_rpr (RprNo, hostname, issave) VALUES ('R2', '赵六', '0')",
    "INSERT INTO ge_personinfo (PersonNo, RprNo, personname, issave) VALUES ('P3', 'R''1', '王五', '0')",
    "INSERT INTO sv_elderinfo (personno, health, issave) VALUES ('P8', '良好', '0')",
};

} // namespace

void RecoveryFixture::SetUp()
{
    TEST_REGISTER_REQUIRED();
    delete dir;
    dir = new QTemporaryDir;
    QString error;
    ASSERT_EQ(TestRegister::create(dir->path(), error), 0) << error.toStdString();
    {
        rt::Transaction live(QStringLiteral("seed_live")), history(QStringLiteral("seed_history"));
        ASSERT_EQ(TestRegister::connect(dir->path(), live, history, error), 0) << error.toStdString();
        for (const auto &[t, statements] : {std::pair{&history, QList<const char *>(std::begin(Seed), std::end(Seed))},
                                            std::pair{&live, QList<const char *>(std::begin(LiveSeed), std::end(LiveSeed))}}) {
            for (const char *sql : statements)
                ASSERT_EQ(t->executeImmediate(QString::fromUtf8(sql)), 0) << t->SQLErrText().toStdString() << "\n" << sql;
            ASSERT_EQ(t->commit(), 0);
        }
    }
    ModuleFixture::SetUp();
}

void RecoveryFixture::TearDown()
{
    EXPECT_FALSE(host::g().sqlca.inTransaction()) << "every recovery ends its live transaction";
    EXPECT_FALSE(host::g().photosqlca.inTransaction()) << "every recovery ends its history transaction";
    ModuleFixture::TearDown();
}

long RecoveryFixture::count(rt::Transaction &t, const QString &sql, const QList<Value> &params)
{
    QList<Value> n{Value::null(rt::ValueType::Long)};
    EXPECT_EQ(t.selectInto(sql, params, n), 0) << t.SQLErrText().toStdString() << "\n" << sql.toStdString();
    return long(n[0].longValue());
}

QString RecoveryFixture::liveValue(const QString &sql, const QList<Value> &params)
{
    QList<Value> v{Value::null(rt::ValueType::String)};
    const int rc = host::g().sqlca.selectInto(sql, params, v);
    if (rc == 100)
        return QStringLiteral("<none>");
    EXPECT_EQ(rc, 0) << host::g().sqlca.SQLErrText().toStdString();
    return v[0].isNull() ? QStringLiteral("<null>") : v[0].string();
}

rt::ui::DataWindowControl *RecoveryFixture::gridAt(const char *button, const char *keyColumn, const QString &key, int tab)
{
    click(button);
    if (hm::uo_tabpg_histab *personal = personalPage())
        personal->tab_1->SelectTab(tab);
    rt::ui::DataWindowControl *dw = sheet()->wf_getcurrentdw();
    for (long r = 1; r <= dw->RowCount(); ++r) {
        if (dw->GetItemString(r, keyColumn) == key) {
            dw->SetRow(r);
            return dw;
        }
    }
    ADD_FAILURE() << "no row with " << keyColumn << " = " << key.toStdString();
    return dw;
}

rt::ui::DataWindowControl *RecoveryFixture::gridAtHisid(const char *button, const QString &table, const QString &where, int tab)
{
    QList<Value> hisid{Value::null(rt::ValueType::String)};
    EXPECT_EQ(host::g().photosqlca.selectInto(QStringLiteral("SELECT hisid FROM %1 WHERE %2").arg(table, where), {}, hisid), 0);
    return gridAt(button, "hisid", hisid[0].string(), tab);
}

QString RecoveryFixture::recover(const QString &answer, const std::function<void(hm::w_hisrecovprompt *)> &look,
                                 const QString &replace)
{
    QString prompt;
    replaceQuestions = 0;
    const auto respond = [&](rt::ui::PbWindow *w) {
        if (auto *q = qobject_cast<hm::w_hisreplace *>(w)) {
            ++replaceQuestions;
            replaceComparison = q->comparison();
            if (replace == QLatin1String("1"))
                q->cb_replace_clicked();
            else if (replace == QLatin1String("0"))
                q->cb_cancel_clicked();
            else
                q->Close();
            return;
        }
        auto *p = qobject_cast<hm::w_hisrecovprompt *>(w);
        ASSERT_NE(p, nullptr);
        prompt = p->promptText();
        if (look)
            look(p);
        if (answer == QLatin1String("0"))
            p->p_cancel_clicked();
        else if (answer.isEmpty())
            p->Close(); // the title bar's close box
        else {
            p->cbx_1->setChecked(answer == QLatin1String("2"));
            p->p_ok_clicked();
        }
    };
    op.onNextResponseWindow(respond);
    op.onNextResponseWindow(respond);
    frame->ue_recovery();
    op.clearHooks();
    return prompt;
}

QStringList RecoveryFixture::texts() const
{
    QStringList out;
    for (const auto &b : op.boxes)
        out << b.text;
    return out;
}
