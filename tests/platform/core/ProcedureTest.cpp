#include "TempDb.h"

#include "platform/core/DeclaredProcedure.h"
#include "platform/core/Transaction.h"

#include <gtest/gtest.h>

using namespace rt;

class ProcedureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        t.Database = db.path(QStringLiteral("p.db"));
        t.AutoCreate = true;
        ASSERT_EQ(t.connect(), 0);
        t.executeImmediate(QStringLiteral("CREATE TABLE log (v TEXT)"));
        t.commit();
        // Writes its argument, then fails when asked to.
        t.registerProcedure(QStringLiteral("proc_Log"), [this](Transaction &tr, const ProcedureArgs &args, QString &error) {
            seen = args;
            if (tr.execute(QStringLiteral("INSERT INTO log VALUES (?)"), {args.value(QStringLiteral("@s_value"))}) == -1) {
                error = tr.SQLErrText();
                return -1;
            }
            if (args.value(QStringLiteral("fail")).toText() == QLatin1String("1")) {
                error = QStringLiteral("asked to fail");
                return -1;
            }
            return 0;
        });
    }

    int rows()
    {
        QList<Value> n{Value::null(ValueType::Long)};
        t.selectInto(QStringLiteral("SELECT count(*) FROM log"), {}, n);
        return int(n[0].longValue());
    }

    TempDb db;
    Transaction t;
    ProcedureArgs seen;
};

TEST_F(ProcedureTest, DeclaredProcedureBindsHostVariablesAndConstants)
{
    DeclaredProcedure p(t, QStringLiteral("execute proc_log @s_value = :ls_value , @fail =0, @label = 'it''s', @none ="));
    ASSERT_TRUE(p.isValid()) << p.declarationError().toStdString();
    EXPECT_EQ(p.procedureName(), QStringLiteral("proc_log"));
    EXPECT_EQ(p.execute({{QStringLiteral("ls_value"), Value(QStringLiteral("王'五"))}}), 0);
    EXPECT_EQ(t.SQLCode(), 0);
    EXPECT_EQ(seen.value(QStringLiteral("s_value")).string(), QStringLiteral("王'五"));
    EXPECT_EQ(seen.value(QStringLiteral("@FAIL")).longValue(), 0);
    EXPECT_EQ(seen.value(QStringLiteral("label")).string(), QStringLiteral("it's"));
    EXPECT_TRUE(seen.value(QStringLiteral("none")).isNull());
    EXPECT_EQ(p.close(), 0);
    EXPECT_TRUE(t.inTransaction()) << "the caller commits";
    t.rollback();
    EXPECT_EQ(rows(), 0);
}

TEST_F(ProcedureTest, FailingProcedureLeavesNothingOfItsOwn)
{
    t.execute(QStringLiteral("INSERT INTO log VALUES ('before')"));
    DeclaredProcedure p(t, QStringLiteral("proc_Log @s_value = :v, @fail = 1"));
    EXPECT_EQ(p.execute({{QStringLiteral("v"), Value(QStringLiteral("x"))}}), -1);
    EXPECT_EQ(t.SQLCode(), -1);
    EXPECT_EQ(t.SQLErrText(), QStringLiteral("asked to fail"));
    p.close();
    EXPECT_EQ(t.SQLCode(), -1) << "CLOSE keeps the outcome visible";
    t.commit();
    EXPECT_EQ(rows(), 1) << "the caller's own earlier work is the caller's to keep";
}

struct BadDeclaration
{
    const char *text;
};

class DeclarationErrors : public ::testing::TestWithParam<const char *>
{
};

TEST_P(DeclarationErrors, AreReportedAtExecute)
{
    TempDb db;
    Transaction t;
    t.Database = db.path(QStringLiteral("e.db"));
    t.AutoCreate = true;
    ASSERT_EQ(t.connect(), 0);
    DeclaredProcedure p(t, QString::fromUtf8(GetParam()));
    EXPECT_FALSE(p.isValid());
    EXPECT_EQ(p.execute(), -1);
    EXPECT_FALSE(t.SQLErrText().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, DeclarationErrors,
                         ::testing::Values("", "execute", "proc @a", "proc a = 1", "proc @a = 1 @b = 2", "proc @a = 'open",
                                           "proc @a = :", "proc @a = bare words"));

TEST_F(ProcedureTest, UnknownProcedureAndMissingHostValue)
{
    DeclaredProcedure unknown(t, QStringLiteral("proc_nothing @a = 1"));
    EXPECT_EQ(unknown.execute(), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("proc_nothing")));
    DeclaredProcedure p(t, QStringLiteral("proc_log @s_value = :missing"));
    EXPECT_EQ(p.execute(), -1);
    EXPECT_TRUE(t.SQLErrText().contains(QStringLiteral("missing")));
    EXPECT_EQ(rows(), 0);
}

TEST_F(ProcedureTest, ConstantsOfEveryKindReachTheProcedure)
{
    DeclaredProcedure p(t, QStringLiteral("proc_log @s_value = \"say \"\"hi\"\"\", @n = 2.5, @neg = -3, @none = null"));
    ASSERT_TRUE(p.isValid()) << p.declarationError().toStdString();
    EXPECT_EQ(p.execute(), 0);
    EXPECT_EQ(seen.value(QStringLiteral("s_value")).string(), QStringLiteral("say \"hi\""));
    EXPECT_DOUBLE_EQ(seen.value(QStringLiteral("n")).number(), 2.5);
    EXPECT_EQ(seen.value(QStringLiteral("neg")).longValue(), -3);
    EXPECT_TRUE(seen.value(QStringLiteral("none")).isNull());
    EXPECT_FALSE(seen.contains(QStringLiteral("other")));
    t.rollback();
}
