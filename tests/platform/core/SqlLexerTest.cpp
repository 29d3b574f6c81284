#include "platform/core/SqlLexer.h"

#include <cstring>
#include <gtest/gtest.h>

using rt::SqlLexer;

struct LexCase
{
    const char *name, *sql, *text, *keyword;
    int parameters, tail;
};

inline void PrintTo(const LexCase &c, std::ostream *os)
{
    *os << c.name;
}

class SqlLexerTest : public ::testing::TestWithParam<LexCase>
{
};

// What the server backend sends for the SQL the module writes: placeholders numbered, literals,
// comments and bodies untouched, quoted names folded, one statement at a time.
// SRV-03
TEST_P(SqlLexerTest, ReadsTheFirstStatement)
{
    const LexCase &c = GetParam();
    const SqlLexer::Statement st = SqlLexer::first(QString::fromUtf8(c.sql));
    EXPECT_EQ(st.text, QString::fromUtf8(c.text));
    EXPECT_EQ(st.keyword, QString::fromLatin1(c.keyword));
    EXPECT_EQ(st.parameterCount, c.parameters);
    EXPECT_EQ(st.tail, c.tail);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, SqlLexerTest,
    ::testing::Values(
        LexCase{"Ordinal", "SELECT a FROM t WHERE b = ? AND c = ?", "SELECT a FROM t WHERE b = $1 AND c = $2", "select", 2, 37},
        LexCase{"Numbered", "DELETE FROM t WHERE a >= ?1 AND a <= ?2 OR b = ?1", "DELETE FROM t WHERE a >= $1 AND a <= $2 OR b = $1",
                "delete", 2, 49},
        LexCase{"Named", "UPDATE t SET a = :v WHERE k = @key OR j = :v", "UPDATE t SET a = $1 WHERE k = $2 OR j = $1", "update", 2, 44},
        LexCase{"QuotesKeepTheirMarks", "SELECT '?', 'it''s :x' FROM t WHERE a = ?", "SELECT '?', 'it''s :x' FROM t WHERE a = $1",
                "select", 1, 41},
        LexCase{"QuotedNamesFold", "INSERT INTO \"th_mh_AdultWomaninfo\" (\"PersonNo\") VALUES (?)",
                "INSERT INTO \"th_mh_adultwomaninfo\" (\"personno\") VALUES ($1)", "insert", 1, 58},
        LexCase{"OneStatementAtATime", "DELETE FROM a; DELETE FROM b", "DELETE FROM a", "delete", 0, 14},
        LexCase{"CastsAreNoNames", "SELECT x::text FROM t", "SELECT x::text FROM t", "select", 0, 21},
        LexCase{"DollarBodies", "CREATE FUNCTION f() RETURNS int AS $$ BEGIN x := 1; RETURN ?; END $$; SELECT 1",
                "CREATE FUNCTION f() RETURNS int AS $$ BEGIN x := 1; RETURN ?; END $$", "create", 0, 69},
        LexCase{"CommentsOnly", "  -- nothing here\n", "", "", 0, 18},
        LexCase{"WithThatReads", "WITH q AS (SELECT 1) SELECT * FROM q", "WITH q AS (SELECT 1) SELECT * FROM q", "select", 0, 36},
        // A statement after a comment is a statement.
        LexCase{"LeadingLineComment", " -- n\nDELETE FROM b WHERE a = ?", " -- n\nDELETE FROM b WHERE a = $1", "delete", 1, 31},
        LexCase{"LeadingBlockComment", "/* why */ UPDATE t SET a = ?", "/* why */ UPDATE t SET a = $1", "update", 1, 28},
        // Block comments nest; what they hold is no placeholder.
        LexCase{"NestedComments", "/* a /* b */ ? */ SELECT ?", "/* a /* b */ ? */ SELECT $1", "select", 1, 26},
        // An escape string ends at its own quote, not at an escaped one.
        LexCase{"EscapeStrings", "SELECT E'it\\'s ?', e'\\\\', ? FROM t", "SELECT E'it\\'s ?', e'\\\\', $1 FROM t", "select", 1, 34},
        LexCase{"UnterminatedString", "SELECT 'abc", "SELECT 'abc", "select", 0, 11},
        LexCase{"UnterminatedName", "SELECT a FROM \"T; x", "SELECT a FROM \"t; x", "select", 0, 19},
        LexCase{"NamesEndingInE", "SELECT name FROM t WHERE'a' = ?", "SELECT name FROM t WHERE'a' = $1", "select", 1, 31}),
    [](const ::testing::TestParamInfo<LexCase> &info) { return std::string(info.param.name); });

// Each statement of a text, one after the other, as EXECUTE IMMEDIATE runs them.
// SRV-06
TEST(SqlLexer, EveryStatementOfATextIsFound)
{
    const QString sql = QStringLiteral("DELETE FROM a; -- the next one\nDELETE FROM b; /* last */ INSERT INTO c VALUES (1);");
    QStringList keywords;
    for (int at = 0; at < sql.size();) {
        const SqlLexer::Statement st = SqlLexer::first(sql.mid(at));
        if (!st.text.trimmed().isEmpty())
            keywords << st.keyword;
        ASSERT_GT(st.tail, 0);
        at += st.tail;
    }
    EXPECT_EQ(keywords, (QStringList{QStringLiteral("delete"), QStringLiteral("delete"), QStringLiteral("insert")}));
}

TEST(SqlLexer, OnlyReadingStatementsAreQueries)
{
    EXPECT_TRUE(SqlLexer::isQuery(QStringLiteral("select")));
    EXPECT_FALSE(SqlLexer::isQuery(QStringLiteral("insert")));
    EXPECT_FALSE(SqlLexer::isQuery(QStringLiteral("with-write")));
    EXPECT_EQ(SqlLexer::first(QStringLiteral("SELECT a FROM t WHERE k = :Key")).names, QStringList{QStringLiteral("Key")});
}

// Numbers no statement can hold are refused, whatever their size; the lexer keeps nothing in
// proportion to them.
TEST(SqlLexerPlaceholders, NumbersBeyondAStatementAreAnError)
{
    for (const char *sql : {"SELECT $1285830509", "SELECT ?4444444444", "SELECT ?99999999999999999999", "SELECT $0",
                            "SELECT ?32768 /* a long enough text to hold that many ........................ */"}) {
        const SqlLexer::Statement st = SqlLexer::first(QString::fromLatin1(sql));
        EXPECT_FALSE(st.error.isEmpty()) << sql;
        EXPECT_LE(st.names.size(), qsizetype(std::strlen(sql))) << sql;
    }
    // Within range, and no more than the text is long.
    EXPECT_TRUE(SqlLexer::first(QStringLiteral("SELECT ?3, ?1, ?2")).error.isEmpty());
    EXPECT_FALSE(SqlLexer::first(QStringLiteral("SELECT ?30")).error.isEmpty()) << "30 placeholders in 10 characters";
    QString many = QStringLiteral("SELECT ");
    for (int i = 0; i < SqlLexer::MaxPlaceholder + 1; ++i)
        many += QStringLiteral(":n%1,").arg(i);
    const SqlLexer::Statement st = SqlLexer::first(many);
    EXPECT_FALSE(st.error.isEmpty()) << "one name too many";
    EXPECT_EQ(st.names.size(), SqlLexer::MaxPlaceholder);
}
