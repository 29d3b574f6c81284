#include "OperatorFixture.h"

#include "model/CategoryTable.h"
#include "toolbar/uo_toolbar_his.h"
#include "toolbar/w_hisjournal.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

// 操作记录 with the server's audit trail, as the operator reads it: beside each entry what its
// transaction changed; a change no entry explains as a marked row of its own, with the login and
// program that made it; an entry whose counts the trail does not bear out, marked.
class AuditWindowTest : public OperatorFixture
{
protected:
    // Opens 操作记录 as the operator does and runs `look` on it while it is open.
    void openJournal(const std::function<void(hm::w_hisjournal *)> &look)
    {
        bool opened = false;
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *j = qobject_cast<hm::w_hisjournal *>(w);
            ASSERT_NE(j, nullptr);
            opened = true;
            QApplication::processEvents();
            look(j);
            j->Close();
        });
        frame->dw_maintoolbar->ue_dwnmousemove(0, 0, 0, QStringLiteral("p_journal"));
        frame->dw_maintoolbar->ue_dwnlbuttonup(0, 0, 0, QStringLiteral("p_journal"));
        op.clearHooks();
        EXPECT_TRUE(opened);
    }
    static int column(hm::w_hisjournal *j, const char *caption)
    {
        for (int c = 0; c < j->entries->columnCount(); ++c) {
            if (j->entries->horizontalHeaderItem(c)->text() == QString::fromUtf8(caption))
                return c;
        }
        ADD_FAILURE() << caption;
        return 0;
    }
    static QString cell(hm::w_hisjournal *j, int row, const char *caption)
    {
        const QTableWidgetItem *item = j->entries->item(row, column(j, caption));
        return item ? item->text() : QString();
    }
    static QString tab(const char *historyTable)
    {
        return model::CategoryTable::byHistoryTable(QString::fromLatin1(historyTable))->tabText;
    }
};

// SRV-27
TEST_F(AuditWindowTest, ChangesNoEntryExplainsAndCountsTheTrailDoesNotBearOutStandOut)
{
    // The module's deletion: its entry and its audit agree.
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 11"));
    op.answer(1);
    frame->ue_del(1);
    // psql as the operator's login: a deletion with no entry.
    ASSERT_EQ(runElsewhere(role(), QStringLiteral("psql"), QStringLiteral("DELETE FROM history.th_sv_elderinfo WHERE orderno = 14")),
              QString());
    // An entry written by hand through the function: it claims rows nothing took.
    ASSERT_EQ(runElsewhere(role(), QStringLiteral("psql"),
                           QStringLiteral("SELECT history.hm_journal_add('x', '删除', '', 'P9', 'th_ge_rpr 5', '成功', '', 'forged')")),
              QString());

    // An entry under the rows its own transaction took: it counts one of two.
    ASSERT_EQ(runElsewhere(role(), QStringLiteral("psql"),
                           QStringLiteral("DELETE FROM history.th_sv_elderinfo WHERE orderno IN (12, 13); "
                                          "SELECT history.hm_journal_add('x', '删除', '', 'P8', 'th_sv_elderinfo 1', '成功', '', 'under')")),
              QString());

    openJournal([&](hm::w_hisjournal *j) {
        EXPECT_FALSE(j->entries->isColumnHidden(column(j, "审计")));
        // Where asked, the window as the operator sees it, for a look on a real X server.
        if (qEnvironmentVariableIsSet("HM_SHOT_DIR"))
            j->grab().save(QDir(qEnvironmentVariable("HM_SHOT_DIR")).filePath(QStringLiteral("journal-audit.png")));
        ASSERT_EQ(j->entries->rowCount(), 4) << j->st_status->text().toStdString();
        EXPECT_EQ(j->st_status->text(), QString::fromUtf8("共 4 条记录，其中 1 条未经本程序"));
        const auto rowOf = [&](const char *caption, const QString &text) {
            for (int r = 0; r < j->entries->rowCount(); ++r) {
                if (cell(j, r, caption) == text)
                    return r;
            }
            ADD_FAILURE() << caption << " " << text.toStdString();
            return 0;
        };
        const int plain = rowOf("编号", QStringLiteral("P1")), mismatch = rowOf("编号", QStringLiteral("P9")),
                  under = rowOf("编号", QStringLiteral("P8")), unjournaled = rowOf("操作", QString::fromUtf8("（未经本程序）"));
        EXPECT_EQ(j->rowMark(plain), hm::w_hisjournal::Mark::None);
        EXPECT_EQ(cell(j, plain, "审计"), tab("th_sv_elderinfo") + QString::fromUtf8(" 删除 1"));
        EXPECT_EQ(j->rowMark(unjournaled), hm::w_hisjournal::Mark::Unjournaled);
        EXPECT_EQ(cell(j, unjournaled, "操作员"), role());
        EXPECT_EQ(cell(j, unjournaled, "审计"), tab("th_sv_elderinfo") + QString::fromUtf8(" 删除 1"));
        EXPECT_EQ(cell(j, unjournaled, "说明"), QString::fromUtf8("程序：psql"));
        EXPECT_EQ(j->rowMark(mismatch), hm::w_hisjournal::Mark::Mismatch);
        EXPECT_EQ(cell(j, mismatch, "审计"), QString::fromUtf8("（不符）没有改动"));
        EXPECT_EQ(j->rowMark(under), hm::w_hisjournal::Mark::Mismatch);
        EXPECT_EQ(cell(j, under, "审计"), QString::fromUtf8("（不符）") + tab("th_sv_elderinfo") + QString::fromUtf8(" 删除 2"));
        // Coloured apart from the plain entry, and from each other.
        const auto colour = [&](int r) { return j->entries->item(r, 0)->background().color(); };
        EXPECT_NE(colour(unjournaled), colour(plain));
        EXPECT_NE(colour(mismatch), colour(plain));
        EXPECT_NE(colour(mismatch), colour(unjournaled));

        // By the keyboard: 操作 set to the last choice, （未经本程序）, and 查询 pressed.
        j->ddlb_action->setFocus();
        QTest::keyClick(j->ddlb_action, Qt::Key_End);
        EXPECT_EQ(j->ddlb_action->currentText(), QString::fromUtf8("（未经本程序）"));
        j->cb_query->setFocus();
        QTest::keyClick(j->cb_query, Qt::Key_Space);
        ASSERT_EQ(j->entries->rowCount(), 1);
        EXPECT_EQ(j->rowMark(0), hm::w_hisjournal::Mark::Unjournaled);
        // A key asks for the program's entries only.
        j->ddlb_action->setCurrentIndex(0);
        j->sle_key->setText(QStringLiteral("P9"));
        QTest::keyClick(j->sle_key, Qt::Key_Return);
        ASSERT_EQ(j->entries->rowCount(), 1);
        EXPECT_EQ(j->rowMark(0), hm::w_hisjournal::Mark::Mismatch);
        // The export has the trail too.
        const QString file = QDir(dir->path()).filePath(QStringLiteral("journal.csv"));
        EXPECT_EQ(j->exportCsv(file), 1);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(f.readAll()).contains(QString::fromUtf8("记录数,审计,结果")));
    });
}

// An entry cannot cover a change its action never makes: a 恢复 entry written by hand over a live
// change of psql's is marked, where the program's own recovery is not.
// SRV-29
TEST_F(AuditWindowTest, AnEntryOverAChangeItsActionNeverMakesIsMarked)
{
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 12"));
    op.answer(1);
    recover(QString());
    ASSERT_EQ(runElsewhere(role(), QStringLiteral("psql"),
                           QStringLiteral("UPDATE live.ge_personinfo SET personname = personname; "
                                          "SELECT history.hm_journal_add('x', '恢复', '', 'P7', '', '成功', '', 'cover')")),
              QString());
    ASSERT_EQ(runElsewhere(role(), QStringLiteral("psql"),
                           QStringLiteral("UPDATE live.ge_personinfo SET personname = personname; "
                                          "SELECT history.hm_journal_add('x', '删除', '', 'P6', '', '成功', '', 'cover2')")),
              QString());
    openJournal([&](hm::w_hisjournal *j) {
        ASSERT_EQ(j->entries->rowCount(), 3) << j->st_status->text().toStdString();
        for (int r = 0; r < 3; ++r) {
            const QString key = cell(j, r, "编号");
            EXPECT_EQ(j->rowMark(r), key == QLatin1String("P7") || key == QLatin1String("P6") ? hm::w_hisjournal::Mark::Mismatch
                                                                                                : hm::w_hisjournal::Mark::None)
                << key.toStdString() << " " << cell(j, r, "审计").toStdString();
        }
    });
}

// A register restored into a new cluster numbers its transactions from low values again: a new
// change that gets an old entry's number is not taken for that entry's, and stands out.
// SRV-28
TEST_F(AuditWindowTest, ATransactionNumberUsedAgainAfterARestoreIsNotTakenForTheEntrys)
{
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 11"));
    op.answer(1);
    frame->ue_del(1);
    ASSERT_EQ(owner.executeImmediate(QStringLiteral(
                  "INSERT INTO history.hm_audit (at, db_user, application_name, txid, table_name, operation, row_count) "
                  "SELECT txat + interval '1 hour', 'restored', 'psql', txid, 'history.th_sv_elderinfo', 'DELETE', 7 "
                  "FROM history.hm_journal WHERE reckey = 'P1'")),
              0)
        << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.commit(), 0);
    openJournal([&](hm::w_hisjournal *j) {
        ASSERT_EQ(j->entries->rowCount(), 2) << j->st_status->text().toStdString();
        for (int r = 0; r < 2; ++r) {
            if (cell(j, r, "编号") == QLatin1String("P1")) {
                EXPECT_EQ(j->rowMark(r), hm::w_hisjournal::Mark::None);
                EXPECT_EQ(cell(j, r, "审计"), tab("th_sv_elderinfo") + QString::fromUtf8(" 删除 1"));
            } else {
                EXPECT_EQ(j->rowMark(r), hm::w_hisjournal::Mark::Unjournaled);
                EXPECT_EQ(cell(j, r, "操作员"), QStringLiteral("restored"));
                EXPECT_EQ(cell(j, r, "审计"), tab("th_sv_elderinfo") + QString::fromUtf8(" 删除 7"));
            }
        }
    });
}

// On the files there is no trail: the window is as it always was, its export too.
// SRV-27
TEST_F(RecoveryFixture, TheJournalWindowOnTheFilesHasNoAuditColumn)
{
    if (TestRegister::onServer())
        GTEST_SKIP() << "the files' window";
    gridAtHisid("p_eldinfo", QStringLiteral("th_sv_elderinfo"), QStringLiteral("orderno = 11"));
    op.answer(1);
    frame->ue_del(1);
    bool opened = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *j = qobject_cast<hm::w_hisjournal *>(w);
        ASSERT_NE(j, nullptr);
        opened = true;
        ASSERT_EQ(j->entries->rowCount(), 1);
        if (qEnvironmentVariableIsSet("HM_SHOT_DIR"))
            j->grab().save(QDir(qEnvironmentVariable("HM_SHOT_DIR")).filePath(QStringLiteral("journal-files.png")));
        EXPECT_TRUE(j->entries->isColumnHidden(7));
        EXPECT_EQ(j->entries->horizontalHeaderItem(7)->text(), QString::fromUtf8("审计"));
        EXPECT_EQ(j->ddlb_action->findText(QString::fromUtf8("（未经本程序）")), -1);
        const QString file = QDir(dir->path()).filePath(QStringLiteral("journal.csv"));
        EXPECT_EQ(j->exportCsv(file), 1);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(f.readAll()).contains(QString::fromUtf8("时间,操作员,登录名,操作,类别,编号,记录数,结果,说明\r\n")));
        j->Close();
    });
    rt::ui::Windows::OpenByName(QStringLiteral("w_hisjournal"), QString());
    op.clearHooks();
    EXPECT_TRUE(opened);
}
