#pragma once

#include "ModuleFixture.h"

#include <QGuiApplication>
#include <QTest>

#include "platform/core/Cursor.h"
#include "platform/core/Functions.h"
#include "platform/ui/PbDropDownList.h"
#include "platform/ui/PbEditMask.h"
#include "toolbar/w_hisdelprompt.h"
#include "model/CategoryTable.h"
#include "toolbar/BatchDeletion.h"

#include <QMap>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>
#include <thread>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

// A date as the batch dialog shows it.
inline QString day(QDate d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

// Each test on a register of its own: a batch deletion takes a good part of it.
class BatchDeleteTest : public ModuleFixture
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        makeOwnDemo(30, 11);
        if (HasFatalFailure())
            return;
        ModuleFixture::SetUp();
        liveVersion = dataVersion();
    }
    void TearDown() override
    {
        EXPECT_EQ(dataVersion(), liveVersion) << "the live register is never written";
        EXPECT_FALSE(host::g().photosqlca.inTransaction()) << "every deletion ends its transaction";
        ModuleFixture::TearDown();
    }

    // Changes when anything is written to the live register: SQLite's own counter of other
    // connections' commits; on the server, the live tables' rows counted.
    long dataVersion()
    {
        if (!TestRegister::onServer()) {
            QList<Value> v{Value::null(rt::ValueType::Long)};
            host::g().sqlca.selectInto(QStringLiteral("PRAGMA main.data_version"), {}, v);
            return long(v[0].longValue());
        }
        long rows = 0;
        for (const char *table : {"ge_rpr", "ge_personinfo", "ge_personotherinfo", "ge_company", "ge_foreignorregistry",
                                  "sv_mlpfamilyinfo", "sv_oowpersoninfo", "sv_elderinfo", "sv_children", "mh_AdultWomaninfo"})
            rows += count(QStringLiteral("SELECT count(*) FROM live.%1").arg(QString::fromLatin1(table)));
        return rows;
    }


    // A snapshot of an elderly person's record saved at that moment.
    void addElder(const QString &personNo, const QString &saveTime)
    {
        rt::Transaction &h = host::g().photosqlca;
        ASSERT_EQ(h.execute(QStringLiteral("INSERT INTO th_sv_elderinfo (personno, health, issave, SaveTime) "
                                           "VALUES (?, 'good', '1', ?)"),
                            {personNo, saveTime}),
                  0)
            << h.SQLErrText().toStdString();
        ASSERT_EQ(h.commit(), 0);
    }

    // The grid holds exactly the rows of the table, no more, no fewer.
    void expectGridIsTable(rt::ui::DataWindowControl *dw, const QString &table)
    {
        QStringList grid, stored;
        for (long r = 1; r <= dw->RowCount(); ++r)
            grid << dw->dataStore().GetItem(r, "hisid").toText();
        rt::Cursor cursor(host::g().photosqlca, QStringLiteral("SELECT hisid FROM %1").arg(table));
        cursor.open();
        QList<Value> row{Value::null(rt::ValueType::String)};
        while (cursor.fetch(row) == 0)
            stored << row[0].string();
        cursor.close();
        grid.sort();
        stored.sort();
        EXPECT_EQ(grid, stored);
    }

    // Opens the dialog as the toolbar does, lets `fill` set it up, clicks 确定 and closes it.
    QString batch(const std::function<void(hm::w_hisdelprompt *)> &fill)
    {
        QString status;
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
            ASSERT_NE(d, nullptr);
            fill(d);
            // 是 to the question with the count, when one is asked.
            op.answer(1);
            d->p_ok_clicked();
            status = d->st_status->text();
            d->p_close_clicked();
        });
        frame->ue_del(2);
        return status;
    }
    static void byKind(hm::w_hisdelprompt *d, int item)
    {
        d->rb_delkind->setChecked(true);
        d->rb_delkind_clicked();
        d->ddlb_kind->SelectItem(item);
    }
    static void byRange(hm::w_hisdelprompt *d, const QString &start, const QString &end)
    {
        d->em_start->setText(start);
        d->em_end->setText(end);
    }
    QString lastText() const { return op.boxes.isEmpty() ? QString() : op.boxes.last().text; }

    long liveVersion = 0;
};
