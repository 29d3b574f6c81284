#include "SqlLexer.h"

#include <algorithm>

namespace rt {

namespace {

bool identStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool identPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Where the string literal whose text starts at `from` ends: its closing quote, or the last
// character of an unterminated one.
int stringEnd(const QString &sql, int from, bool backslashEscapes)
{
    const int n = int(sql.size());
    int j = from;
    while (j < n) {
        if (backslashEscapes && sql[j] == QLatin1Char('\\')) {
            j += 2;
            continue;
        }
        if (sql[j] == QLatin1Char('\'')) {
            if (j + 1 < n && sql[j + 1] == QLatin1Char('\'')) {
                j += 2;
                continue;
            }
            return j;
        }
        ++j;
    }
    return n - 1;
}

QString outOfRange()
{
    return QStringLiteral("placeholder number out of range: a statement may number its placeholders from 1 to %1, "
                          "and no higher than it has characters")
        .arg(SqlLexer::MaxPlaceholder);
}

// A placeholder's number; 0 for one too long to be a number at all (out of range either way).
int placeholderNumber(const QString &digits)
{
    bool ok = false;
    const int k = digits.size() > 9 ? 0 : digits.toInt(&ok);
    return ok ? k : 0;
}

} // namespace

bool SqlLexer::isQuery(const QString &keyword)
{
    return keyword == QLatin1String("select") || keyword == QLatin1String("values") || keyword == QLatin1String("show")
           || keyword == QLatin1String("explain") || keyword == QLatin1String("table");
}

SqlLexer::Statement SqlLexer::first(const QString &sql)
{
    Statement st;
    QString &out = st.text;
    int nextOrdinal = 0;
    const int n = int(sql.size());
    int i = 0;
    // Nothing but blanks and comments so far: the next word is the statement's keyword.
    bool leading = true, opensWithParenthesis = false;
    // While reading, the bound is the text's length, which keeps what is allocated in proportion
    // to the input; once the statement's end is known, its own length (below).
    const int highest = std::min(MaxPlaceholder, n);
    auto number = [&](int k) {
        if (k < 1 || k > highest) {
            // The statement is refused as a whole, so what is written in its place does not matter.
            if (st.error.isEmpty())
                st.error = outOfRange();
            out += QLatin1Char('$') + QString::number(k);
            return;
        }
        st.parameterCount = std::max(st.parameterCount, k);
        while (st.names.size() < k)
            st.names << QString();
        out += QLatin1Char('$') + QString::number(k);
    };
    while (i < n) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c == QLatin1Char(';')) {
            ++i;
            break;
        }
        const bool escapeString = (c == QLatin1Char('E') || c == QLatin1Char('e')) && next == QLatin1Char('\'')
                                  && !(i > 0 && identPart(sql[i - 1]));
        if (escapeString || c == QLatin1Char('\'')) {
            // A string literal ('' inside), or an escape string E'…' (a backslash escapes too).
            const int j = stringEnd(sql, escapeString ? i + 2 : i + 1, escapeString);
            out += sql.mid(i, j + 1 - i);
            i = j + 1;
            leading = false;
            continue;
        }
        if (c == QLatin1Char('"')) { // a quoted name, folded to lower case
            int j = i + 1;
            while (j < n && sql[j] != QLatin1Char('"'))
                ++j;
            out += sql.mid(i, j + 1 - i).toLower();
            i = std::min(j + 1, n); // an unterminated name ends with the text
            leading = false;
            continue;
        }
        if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            int j = i;
            while (j < n && sql[j] != QLatin1Char('\n'))
                ++j;
            out += sql.mid(i, j - i);
            i = j;
            continue;
        }
        if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            // Block comments nest: /* a /* b */ c */ is one comment.
            int depth = 0, j = i;
            while (j < n) {
                if (sql[j] == QLatin1Char('/') && j + 1 < n && sql[j + 1] == QLatin1Char('*')) {
                    ++depth;
                    j += 2;
                } else if (sql[j] == QLatin1Char('*') && j + 1 < n && sql[j + 1] == QLatin1Char('/')) {
                    j += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++j;
                }
            }
            out += sql.mid(i, j - i);
            i = j;
            continue;
        }
        if (c == QLatin1Char('$') && (next == QLatin1Char('$') || identStart(next))) {
            // A dollar-quoted body ($$ … $$ or $tag$ … $tag$), or a name with a $ in it.
            int j = i + 1;
            while (j < n && identPart(sql[j]) && sql[j] != QLatin1Char('$'))
                ++j;
            if (j < n && sql[j] == QLatin1Char('$')) {
                const QString tag = sql.mid(i, j + 1 - i);
                const int end = sql.indexOf(tag, j + 1);
                const int stop = end < 0 ? n : end + int(tag.size());
                out += sql.mid(i, stop - i);
                i = stop;
                leading = false;
                continue;
            }
        }
        if (c == QLatin1Char('$') && next.isDigit()) {
            int j = i + 1;
            while (j < n && sql[j].isDigit())
                ++j;
            number(placeholderNumber(sql.mid(i + 1, j - i - 1)));
            i = j;
            leading = false;
            continue;
        }
        if (c == QLatin1Char('?')) {
            int j = i + 1;
            while (j < n && sql[j].isDigit())
                ++j;
            number(j > i + 1 ? placeholderNumber(sql.mid(i + 1, j - i - 1)) : ++nextOrdinal);
            i = j;
            leading = false;
            continue;
        }
        if ((c == QLatin1Char(':') || c == QLatin1Char('@')) && identStart(next)
            && !(i > 0 && sql[i - 1] == QLatin1Char(':'))) {
            int j = i + 1;
            while (j < n && identPart(sql[j]))
                ++j;
            const QString name = sql.mid(i + 1, j - i - 1);
            int k = int(st.names.indexOf(name)) + 1;
            if (k == 0) {
                k = st.parameterCount + 1;
                number(k);
                if (k <= int(st.names.size()))
                    st.names[k - 1] = name;
            } else {
                out += QLatin1Char('$') + QString::number(k);
            }
            i = j;
            leading = false;
            continue;
        }
        if (identStart(c) && leading) {
            int j = i;
            while (j < n && identPart(sql[j]))
                ++j;
            st.keyword = sql.mid(i, j - i).toLower();
            out += sql.mid(i, j - i);
            i = j;
            leading = false;
            continue;
        }
        if (!c.isSpace()) {
            if (leading && c == QLatin1Char('('))
                opensWithParenthesis = true;
            leading = false;
        }
        out += c;
        ++i;
    }
    st.tail = i;
    if (st.error.isEmpty() && st.parameterCount > st.tail)
        st.error = outOfRange();
    // A statement of comments only is no statement.
    if (st.keyword.isEmpty() && !opensWithParenthesis)
        out.clear();
    // "with … select" reads; "with … insert/update/delete" writes.
    if (st.keyword == QLatin1String("with")) {
        const QString lower = out.toLower();
        st.keyword = (lower.contains(QLatin1String("insert ")) || lower.contains(QLatin1String("update "))
                      || lower.contains(QLatin1String("delete ")))
                         ? QStringLiteral("with-write")
                         : QStringLiteral("select");
    }
    return st;
}

} // namespace rt
