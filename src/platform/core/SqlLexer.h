#pragma once

#include <QString>
#include <QStringList>

namespace rt {

// Reads SQL text as a server backend needs it, token by token (never by pattern): the first
// statement of a text and where the next one starts, its first keyword, and the statement with
// its placeholders numbered the server's way. Literals, quoted names, comments and dollar-quoted
// bodies are passed over as they are.
class SqlLexer
{
public:
    struct Statement
    {
        QString text;           // the statement, placeholders as $1, $2 …
        int tail = 0;           // where the next statement starts in the input (characters)
        int parameterCount = 0; // highest placeholder number
        QStringList names;      // per placeholder number - 1: its name (":name", "@name") or ""
        QString keyword;        // the first keyword, lower case ("select", "insert" …); "" for none
        QString error;          // a placeholder no statement can hold ("" when none): not to be run
    };

    // The highest placeholder number a statement may use; nor may it use a number higher than it
    // has characters (what the lexer keeps per placeholder grows with the text, not the number).
    static constexpr int MaxPlaceholder = 32767;

    // The first statement of sql. Placeholders: "?" (numbered in order), "?N" and "$N" (as
    // numbered), ":name" and "@name" (one number per distinct name). A placeholder numbered 0,
    // beyond MaxPlaceholder or beyond the statement's length sets error. Quoted names "X" are folded
    // to lower case, as the register's names are spelled without regard to case. An empty text
    // (blanks and comments only) gives an empty statement.
    static Statement first(const QString &sql);
    // True when the statement cannot change the database (a select, values, show or explain).
    static bool isQuery(const QString &keyword);
};

} // namespace rt
