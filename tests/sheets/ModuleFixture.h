#pragma once

#include "ModifyLog.h"
#include "ScriptedOperatorDialogs.h"
#include "TestRegister.h"

#include "host/DemoRegister.h"
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "host/ui/Globals.h"
#include "host/ui/uo_button.h"
#include "host/ui/w_main.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/Message.h"
#include "platform/ui/Units.h"
#include "platform/ui/PbEditMask.h"
#include "platform/ui/Windows.h"
#include "sheets/HisTab.h"
#include "sheets/uo_tabpg_hisgrid.h"
#include "sheets/uo_tabpg_histab.h"
#include "sheets/w_histabsheet.h"
#include "shell/HistoryModule.h"
#include "shell/w_histmanage.h"
#include "toolbar/w_hisdelprompt.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rt::Value;

constexpr int Slack = 5;


// Stands in for the record window where a test only needs to see what it was opened with.
class RecordDouble : public rt::ui::PbWindow
{
public:
    RecordDouble() : rt::ui::PbWindow(QStringLiteral("w_hismodify"), Kind::Response) {}
    static inline QStringList parms;

protected:
    void onOpen() override { parms << rt::ui::Message::instance().StringParm; }
};

// A small register made for the test, the library, the frame with the sheet.
class ModuleFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        library = new rt::DwLibrary;
        QString error;
        std::string why;
        if (TestRegister::available(why)) {
            host::DemoOptions options;
            options.households = 40;
            options.seed = 5;
            ASSERT_EQ(TestRegister::createDemo(dir->path(), options, error), 0) << error.toStdString();
        }
        ASSERT_TRUE(host::HostDwLibrary::load(*library, QString(), error)) << error.toStdString();
        rt::DwLibrary::setDefaultLibrary(library);
        hm::HistoryModule::registerWindows();
    }
    static void TearDownTestSuite()
    {
        rt::DwLibrary::setDefaultLibrary(nullptr);
        delete library;
        delete dir;
    }

    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        QString error;
        ASSERT_EQ(TestRegister::connect(dir->path(), host::g().sqlca, host::g().photosqlca, error), 0) << error.toStdString();
        RecordDouble::parms.clear();
        mainWindow = new host::w_main;
        host::g().w_main = mainWindow;
        mainWindow->Show();
        frame = new hm::w_histmanage;
        rt::ui::Windows::Open(frame);
        QApplication::processEvents();
    }
    void TearDown() override
    {
        rt::ui::Windows::Close(frame);
        rt::ui::Windows::Close(mainWindow);
        hm::HistoryModule::registerWindows(); // the module's own windows again, doubles gone
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        host::g().sqlca.disconnect();
        host::g().photosqlca.disconnect();
    }

    // For a fixture whose tests each want a demo register of their own (they change much of it):
    // made in place of the suite's, before ModuleFixture::SetUp connects to it.
    void makeOwnDemo(int households, std::uint64_t seed)
    {
        delete dir;
        dir = new QTemporaryDir;
        host::DemoOptions options;
        options.households = households;
        options.seed = seed;
        QString error;
        ASSERT_EQ(TestRegister::createDemo(dir->path(), options, error), 0) << error.toStdString();
    }

    hm::w_histabsheet *sheet() { return qobject_cast<hm::w_histabsheet *>(frame->w_histabsheet.data()); }
    hm::uo_tabpg_hisgrid *singlePage() { return qobject_cast<hm::uo_tabpg_hisgrid *>(sheet()->tab_1->Control().value(0)); }
    hm::uo_tabpg_histab *personalPage() { return qobject_cast<hm::uo_tabpg_histab *>(sheet()->tab_1->Control().value(0)); }
    long historyRows(const QString &table)
    {
        QList<Value> n{Value::null(rt::ValueType::Long)};
        host::g().photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1").arg(table), {}, n);
        return long(n[0].longValue());
    }
    // A count read from the history database (the statement's first column).
    long count(const QString &sql, const QList<Value> &params = {})
    {
        QList<Value> n{Value::null(rt::ValueType::Long)};
        EXPECT_EQ(host::g().photosqlca.selectInto(sql, params, n), 0) << host::g().photosqlca.SQLErrText().toStdString();
        return long(n[0].longValue());
    }
    // 批量删除 of the rows saved from one day to another (yyyy-MM-dd), as the operator fills the
    // dialog and clicks 确定, then closes it.
    void batchByDates(const QString &from, const QString &to)
    {
        op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
            auto *d = qobject_cast<hm::w_hisdelprompt *>(w);
            ASSERT_NE(d, nullptr);
            d->em_start->setText(from);
            d->em_end->setText(to);
            op.answer(1); // 是 to the question with the count
            d->p_ok_clicked();
            d->p_close_clicked();
        });
        frame->ue_del(2);
    }
    void click(const char *button)
    {
        frame->categoryButton(QString::fromLatin1(button))->click();
        QApplication::processEvents();
    }

    static inline QTemporaryDir *dir = nullptr;
    static inline rt::DwLibrary *library = nullptr;
    ScriptedOperatorDialogs op;
    QPointer<host::w_main> mainWindow;
    QPointer<hm::w_histmanage> frame;
};

