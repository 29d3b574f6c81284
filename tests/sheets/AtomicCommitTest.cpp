#include "RecoveryFixture.h"

#include "FaultVfs.h"

#include <QCheckBox>
#include <QDir>
#include <sqlite3.h>

// The register's files broken at every write a change makes, one at a time, as SQLite tests
// itself: a disk error at the Nth write, sync, truncate or delete of the files (the program goes
// on), or a crash there (nothing later reaches the disk; the register is opened again from what
// it holds). Whatever the point, the register must be wholly as before or wholly as after, every
// state somewhere, and the operator and the journal told what the register holds.
namespace {

enum class Change { Replacement, HouseholdCascade, PersonCascade, DeleteHousehold, BatchWithHouseholds };

struct AtomicCase
{
    const char *name;
    Change change;
    // What the operator reads when the change was saved (empty: nothing, or only notes) and the
    // start of what is read when it was not.
    const char *success;
    const char *failure;
    bool bothFiles; // the change writes the live and the history file
};

void PrintTo(const AtomicCase &c, std::ostream *os)
{
    *os << c.name;
}

// Every table of one file as text, the journal apart: rows in a fixed order, and the saving time
// of a copy of a replaced live state (issave 4, stamped with the moment it was made) masked.
QString dumpFile(const QString &path, QStringList &journal, QString &integrity)
{
    sqlite3 *db = nullptr;
    // Read-write, so that a hot journal left by a crash is rolled back as any opener would.
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("<cannot open %1>").arg(path);
    }
    sqlite3_busy_timeout(db, 2000);
    auto rows = [&](const QString &sql) {
        QList<QStringList> out;
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            out << QStringList{QStringLiteral("<error %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)))};
            return out;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                row << (text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
            }
            out << row;
        }
        if (rc != SQLITE_DONE)
            out << QStringList{QStringLiteral("<error %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)))};
        sqlite3_finalize(stmt);
        return out;
    };
    QString text;
    integrity = rows(QStringLiteral("PRAGMA integrity_check")).value(0).join(QLatin1Char(' '));
    for (const QStringList &table : rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                                                        "LIKE 'sqlite%' ORDER BY name"))) {
        const QString name = table.value(0);
        if (name == QLatin1String("register_info"))
            continue; // when each file was made
        if (name == QLatin1String("hm_journal")) {
            for (const QStringList &e : rows(QStringLiteral("SELECT action, outcome FROM hm_journal ORDER BY id")))
                journal << e.join(QLatin1Char(' '));
            continue;
        }
        QStringList columns;
        for (const QStringList &c : rows(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(name)))
            columns << c.value(0).toLower();
        QStringList order;
        for (int i = 1; i <= columns.size(); ++i)
            order << QString::number(i);
        const int issave = int(columns.indexOf(QStringLiteral("issave"))), saveTime = int(columns.indexOf(QStringLiteral("savetime")));
        text += QStringLiteral("== %1\n").arg(name);
        for (QStringList row : rows(QStringLiteral("SELECT * FROM \"%1\" ORDER BY %2").arg(name, order.join(QLatin1Char(','))))) {
            if (issave >= 0 && saveTime >= 0 && row.value(issave) == QLatin1String("4"))
                row[saveTime] = QStringLiteral("<copied now>");
            text += row.join(QLatin1Char('|')) + QLatin1Char('\n');
        }
    }
    sqlite3_close(db);
    return text;
}

// The lines of one dump missing from the other, each way.
QString difference(const QString &a, const QString &b)
{
    const QStringList left = a.split(QLatin1Char('\n')), right = b.split(QLatin1Char('\n'));
    QString out;
    for (const QString &l : left) {
        if (!right.contains(l))
            out += QStringLiteral("- %1\n").arg(l);
    }
    for (const QString &l : right) {
        if (!left.contains(l))
            out += QStringLiteral("+ %1\n").arg(l);
    }
    return out;
}

} // namespace

class AtomicCommitTest : public RecoveryFixture, public ::testing::WithParamInterface<AtomicCase>
{
protected:
    static void SetUpTestSuite()
    {
        RecoveryFixture::SetUpTestSuite();
        FaultVfs::install();
    }

    void SetUp() override
    {
        if (TestRegister::onServer())
            GTEST_SKIP() << "the file layer is the register files' own";
        RecoveryFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Beside the recovery fixture's rows: live records for the replacements (P3's other
        // information, P1's elderly record, P8's elderly record with an older state in history)
        // and a member of R'1 who is neither live nor cancelled with it (P4).
        for (const auto &[t, sql] :
             {std::pair{&host::g().sqlca, "INSERT INTO ge_personotherinfo (orderno, personno, bloodtype, issave) VALUES (1, 'P3', 'A', '0')"},
              std::pair{&host::g().sqlca, "INSERT INTO sv_elderinfo (personno, health, issave) VALUES ('P1', '一般', '0')"},
              std::pair{&host::g().photosqlca, "INSERT INTO th_sv_elderinfo (orderno, personno, health, pension, issave, SaveTime) "
                                               "VALUES (99, 'P8', '较差', '10.00', '1', '2023-01-01 00:00:00')"},
              std::pair{&host::g().photosqlca, "INSERT INTO th_ge_personinfo (PersonNo, RprNo, personname, issave, SaveTime) "
                                               "VALUES ('P4', 'R''1', '周九', '1', '2024-02-01 10:00:00')"},
              std::pair{&host::g().photosqlca, "INSERT INTO th_sv_elderinfo (orderno, personno, health, issave, SaveTime) "
                                               "VALUES (40, 'P4', '一般', '1', '2024-02-01 10:00:00')"}}) {
            ASSERT_EQ(t->executeImmediate(QString::fromUtf8(sql)), 0) << t->SQLErrText().toStdString();
            ASSERT_EQ(t->commit(), 0);
        }
        FaultVfs::watch(dir->path());
    }

    // The change as the operator makes it, from choosing the row on. Notes the grid and a row of
    // it that the change takes away (the chosen row; for the batch, R2's snapshot in the range).
    void run()
    {
        m_grid = nullptr;
        m_row = Value();
        const auto chosen = [&](rt::ui::DataWindowControl *dw) {
            m_grid = dw;
            m_row = dw->dataStore().GetItem(dw->GetRow(), "hisid");
        };
        switch (GetParam().change) {
        case Change::Replacement:
            chosen(gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 99")));
            recover(QString());
            break;
        case Change::HouseholdCascade:
            chosen(gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1")));
            recover(QStringLiteral("2"));
            break;
        case Change::PersonCascade:
            chosen(gridAtHisid("p_personinfo", QStringLiteral("th_ge_personinfo"),
                               QStringLiteral("PersonNo = 'P1' AND SaveTime = '2024-06-01 10:00:00'")));
            recover(QStringLiteral("2"));
            break;
        case Change::DeleteHousehold:
            chosen(gridAt("p_rprinfo", "RprNo", QStringLiteral("R'1")));
            op.answer(1); // with all its persons
            frame->ue_del(1);
            break;
        case Change::BatchWithHouseholds:
            chosen(gridAt("p_rprinfo", "RprNo", QStringLiteral("R2")));
            op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
                auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
                ASSERT_NE(d, nullptr);
                d->em_start->setText(QStringLiteral("2024-01-01"));
                d->em_end->setText(QStringLiteral("2024-03-01"));
                d->cbx_rpr->setChecked(true);
                op.answer(1); // 是 to the question with the count
                d->p_ok_clicked();
                d->p_close_clicked();
            });
            frame->ue_del(2);
            break;
        }
        op.clearHooks();
    }

    // Whether the grid still shows the row the change takes away.
    bool rowShown() const
    {
        if (!m_grid)
            return false;
        for (long r = 1; r <= m_grid->RowCount(); ++r) {
            if (m_grid->dataStore().GetItem(r, "hisid") == m_row)
                return true;
        }
        return false;
    }

    QPointer<rt::ui::DataWindowControl> m_grid;
    Value m_row;

    struct Register
    {
        QString data;
        QStringList journal;
        QString integrity;
    };
    Register read() const
    {
        Register r;
        QString live, history;
        r.data = dumpFile(QDir(dir->path()).filePath(QStringLiteral("register.db")), r.journal, live)
                 + dumpFile(QDir(dir->path()).filePath(QStringLiteral("history.db")), r.journal, history);
        r.integrity = live + QLatin1Char(' ') + history;
        return r;
    }

    // The module's windows and connections gone, as after the end of the process.
    void stopModule()
    {
        rt::ui::Windows::Close(frame);
        rt::ui::Windows::Close(mainWindow);
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        host::g().sqlca.disconnect();
        host::g().photosqlca.disconnect();
    }

    static bool anyContains(const QStringList &texts, const char *what)
    {
        for (const QString &t : texts) {
            if (t.contains(QString::fromUtf8(what)))
                return true;
        }
        return false;
    }
};

// FIL-01, JRN-05, REC-04
TEST_P(AtomicCommitTest, WhollyBeforeOrWhollyAfterAndToldSo)
{
    const AtomicCase &c = GetParam();
    // A clean run: what the change writes, and how many writes it takes.
    const Register before = read();
    FaultVfs::arm(FaultVfs::Mode::Count);
    run();
    FaultVfs::disarm();
    const int points = FaultVfs::operations();
    const Register after = read();
    ASSERT_NE(after.data.toStdString(), before.data.toStdString()) << "the change changes the register";
    ASSERT_FALSE(rowShown()) << "the grid follows the change";
    ASSERT_EQ(after.journal.size(), before.journal.size() + 1);
    ASSERT_TRUE(after.journal.last().endsWith(QString::fromUtf8("成功"))) << after.journal.last().toStdString();
    ASSERT_FALSE(anyContains(texts(), c.failure)) << texts().join(QLatin1Char('|')).toStdString();
    ASSERT_GT(points, 5);

    int wholly[2][2] = {}; // [mode][0 before, 1 after]
    for (const FaultVfs::Mode mode : {FaultVfs::Mode::Fail, FaultVfs::Mode::Crash}) {
        const bool crash = mode == FaultVfs::Mode::Crash;
        for (int n = 1; n <= points; ++n) {
            TearDown();
            SetUp();
            op.boxes.clear();
            ASSERT_EQ(read().data.toStdString(), before.data.toStdString());
            FaultVfs::arm(mode, n);
            run();
            const QStringList told = texts();
            const bool fired = FaultVfs::fired();
            const bool shown = rowShown();
            const std::string where = std::string(crash ? "crash at " : "disk error at ") + std::to_string(n) + " ("
                                      + FaultVfs::firedAt().toStdString() + ")";
            if (crash)
                stopModule(); // the process ends; what reached the disk is what there is
            FaultVfs::disarm();
            ASSERT_TRUE(fired) << where;
            const Register now = read();
            EXPECT_EQ(now.integrity, QStringLiteral("ok ok")) << where;
            const bool isBefore = now.data == before.data, isAfter = now.data == after.data;
            ASSERT_TRUE(isBefore || isAfter) << where << ": the register is half done; against before:\n"
                                             << difference(before.data, now.data).toStdString();
            ++wholly[crash][isAfter];
            const QStringList entries = now.journal.mid(before.journal.size());
            if (isAfter) {
                EXPECT_EQ(entries, QStringList{after.journal.last()}) << where << ": the change is journalled once, as saved";
            } else if (crash) {
                EXPECT_TRUE(entries.isEmpty()) << where;
            } else {
                EXPECT_EQ(entries.size(), 1) << where;
                EXPECT_TRUE(entries.value(0).endsWith(QString::fromUtf8("失败"))) << where << ": the failure is journalled";
            }
            if (crash)
                continue;
            // What the operator read is what the register holds.
            EXPECT_FALSE(anyContains(told, "不能确定")) << where << ": the register could be read, so the outcome is known";
            EXPECT_EQ(shown, isBefore) << where << ": the grid shows the register as it is";
            if (isAfter) {
                EXPECT_FALSE(anyContains(told, c.failure)) << where << ": saved, yet told " << told.join(QLatin1Char('|')).toStdString();
                EXPECT_FALSE(anyContains(told, "撤销")) << where;
                if (*c.success) {
                    EXPECT_TRUE(told.contains(QString::fromUtf8(c.success))) << where;
                }
            } else {
                EXPECT_TRUE(anyContains(told, c.failure)) << where << ": not saved, yet told " << told.join(QLatin1Char('|')).toStdString();
                if (*c.success) {
                    EXPECT_FALSE(told.contains(QString::fromUtf8(c.success))) << where;
                }
            }
            if (HasFailure())
                return;
        }
    }
    EXPECT_GT(wholly[0][0], 0);
    EXPECT_GT(wholly[1][0], 0);
    // A change of both files is saved once the super-journal is deleted, and the journals of
    // the two files are deleted after that point: faults there leave it saved. A change of the
    // history file alone is saved by the deletion of its journal, its last write.
    if (c.bothFiles) {
        EXPECT_GT(wholly[0][1], 0);
        EXPECT_GT(wholly[1][1], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, AtomicCommitTest,
                         ::testing::Values(AtomicCase{"LiveReplacement", Change::Replacement, "", "失败", true},
                                           AtomicCase{"HouseholdCascade", Change::HouseholdCascade, "", "失败", true},
                                           AtomicCase{"PersonCascade", Change::PersonCascade, "", "失败", true},
                                           AtomicCase{"DeleteHousehold", Change::DeleteHousehold, "", "删除户籍历史信息失败!", false},
                                           AtomicCase{"BatchWithHouseholds", Change::BatchWithHouseholds, "删除记录成功!",
                                                      "删除户籍历史信息失败!", false}),
                         [](const ::testing::TestParamInfo<AtomicCase> &info) { return std::string(info.param.name); });
