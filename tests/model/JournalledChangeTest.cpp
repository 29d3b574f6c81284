#include "TestRegister.h"

#include "model/journal/JournalledChange.h"
#include "platform/core/SqlQuote.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// The one way the register is changed, without a window: a change that commits is there with
// its 成功 entry; a change whose step fails is not there at all, and exactly one 失败 entry says
// why, with the database's reason; a change dropped unended leaves nothing, not even an entry.
class JournalledChangeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TEST_REGISTER_REQUIRED();
        ASSERT_TRUE(dir.isValid());
        QString error;
        ASSERT_EQ(TestRegister::create(dir.path(), error), 0) << error.toStdString();
        ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
        ASSERT_NE(photosqlca.execute(QStringLiteral("INSERT INTO th_sv_elderinfo (PersonNo, SaveTime) VALUES (?, ?)"),
                                     {rt::Value(QStringLiteral("P'1")), rt::Value(rt::DateTime(QDate(2024, 1, 1)))}),
                  -1)
            << photosqlca.SQLErrText().toStdString();
        ASSERT_EQ(photosqlca.commit(), 0);
    }

    long long scalar(const QString &sql, const QList<rt::Value> &params = {})
    {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        EXPECT_EQ(photosqlca.selectInto(sql, params, n), 0) << photosqlca.SQLErrText().toStdString();
        photosqlca.rollback();
        return n[0].longValue();
    }
    long long rows() { return scalar(QStringLiteral("SELECT count(*) FROM th_sv_elderinfo")); }
    long long entries(const char *outcome)
    {
        return scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ?"), {rt::Value(QString::fromUtf8(outcome))});
    }
    model::Journal::Entry entry()
    {
        return {QString::fromUtf8("删除"), QString::fromUtf8("老年人信息"), QStringLiteral("P'1"), {{QStringLiteral("th_sv_elderinfo"), 1}},
                QString::fromUtf8("成功"), QString()};
    }
    bool deleteTheRow(rt::Transaction &t)
    {
        return t.execute(QStringLiteral("DELETE FROM th_sv_elderinfo WHERE PersonNo = ?"), {rt::Value(QStringLiteral("P'1"))}) != -1;
    }

    QTemporaryDir dir;
    rt::Transaction sqlca{QStringLiteral("sqlca")}, photosqlca{QStringLiteral("photosqlca")};
};

// JRN-04, JRN-05, JRN-13
TEST_F(JournalledChangeTest, WhatItSaysIsWhatTheRegisterHolds)
{
    {
        // A step fails after another has written: nothing of it stays, one 失败 entry with the reason.
        model::JournalledChange change(photosqlca, entry());
        ASSERT_TRUE(deleteTheRow(photosqlca));
        ASSERT_EQ(photosqlca.execute(QStringLiteral("DELETE FROM no_such_table WHERE hisid = ?"), {rt::Value(1)}), -1);
        const model::ChangeOutcome outcome = change.fail(QString::fromUtf8("删除失败"));
        EXPECT_EQ(outcome.state, model::ChangeOutcome::State::NotSaved);
        EXPECT_TRUE(outcome.why.contains(QStringLiteral("no_such_table"))) << outcome.why.toStdString();
        EXPECT_TRUE(change.ended());
        // Ended: a commit after the failure changes nothing.
        EXPECT_EQ(change.commit().state, model::ChangeOutcome::State::NotSaved);
    }
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(entries("失败"), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ? AND detail LIKE ?"),
                     {rt::Value(QString::fromUtf8("失败")), rt::Value(QStringLiteral("%no_such_table%"))}),
              1);
    {
        // Dropped unended (a step that returned early): rolled back, nothing journalled.
        model::JournalledChange change(photosqlca, entry());
        ASSERT_TRUE(deleteTheRow(photosqlca));
    }
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(entries("成功") + entries("失败"), 1);
    {
        // Committed: the change and its entry, with the counts and the token it was found by.
        model::JournalledChange change(photosqlca, entry());
        ASSERT_TRUE(deleteTheRow(photosqlca));
        EXPECT_TRUE(change.commit().saved());
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE token = ? AND counts = ?"),
                         {rt::Value(change.entry().token), rt::Value(QStringLiteral("th_sv_elderinfo 1"))}),
                  1);
    }
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(entries("成功"), 1);
    // Stopped by the operator: the operator's reason, whatever the interrupted statement said.
    model::JournalledChange stopped(photosqlca, entry());
    ASSERT_EQ(photosqlca.execute(QStringLiteral("DELETE FROM no_such_table WHERE hisid = ?"), {rt::Value(1)}), -1);
    EXPECT_EQ(stopped.stop(QString::fromUtf8("操作员取消")).why, QString::fromUtf8("操作员取消"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM hm_journal WHERE outcome = ? AND detail = ?"),
                     {rt::Value(QString::fromUtf8("失败")), rt::Value(QString::fromUtf8("操作员取消"))}),
              1);
}
