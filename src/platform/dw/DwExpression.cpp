#include "DwExpression.h"

#include "DwDefinition.h"

#include <QList>
#include <QRegularExpression>

namespace rt {

namespace {

struct Token
{
    enum Kind { Name, Number, Text, Op, LParen, RParen, Comma, End } kind = End;
    QString text;
};

QList<Token> tokenize(const QString &s, QString &error)
{
    QList<Token> out;
    int i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('(')) {
            out.append({Token::LParen, QStringLiteral("(")});
            ++i;
        } else if (c == QLatin1Char(')')) {
            out.append({Token::RParen, QStringLiteral(")")});
            ++i;
        } else if (c == QLatin1Char(',')) {
            out.append({Token::Comma, QStringLiteral(",")});
            ++i;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString text;
            int j = i + 1;
            bool closed = false;
            while (j < s.size()) {
                if (s[j] == QLatin1Char('~') && j + 1 < s.size()) {
                    text += s[j + 1];
                    j += 2;
                    continue;
                }
                if (s[j] == c) {
                    closed = true;
                    break;
                }
                text += s[j++];
            }
            if (!closed) {
                error = QStringLiteral("a text in the expression has no closing quote");
                return {};
            }
            out.append({Token::Text, text});
            i = j + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < s.size() && s[i + 1].isDigit())) {
            int j = i;
            while (j < s.size() && (s[j].isDigit() || s[j] == QLatin1Char('.')))
                ++j;
            out.append({Token::Number, s.mid(i, j - i)});
            i = j;
        } else if (c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('#')) {
            int j = i + 1;
            while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_')))
                ++j;
            out.append({Token::Name, s.mid(i, j - i)});
            i = j;
        } else {
            static const QStringList ops{QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<="),
                                         QStringLiteral(">="), QStringLiteral("="), QStringLiteral("<"),
                                         QStringLiteral(">")};
            bool found = false;
            for (const QString &op : ops) {
                if (s.mid(i, op.size()) == op) {
                    out.append({Token::Op, op});
                    i += int(op.size());
                    found = true;
                    break;
                }
            }
            if (!found) {
                error = QStringLiteral("unexpected '%1' in the expression").arg(c);
                return {};
            }
        }
    }
    out.append({Token::End, QString()});
    return out;
}

class Literal : public DwExpression
{
public:
    explicit Literal(Value v) : m_v(std::move(v)) {}
    Value evaluate(const RowReader &) const override { return m_v; }

private:
    Value m_v;
};

class ColumnRef : public DwExpression
{
public:
    explicit ColumnRef(int c) : m_c(c) {}
    Value evaluate(const RowReader &row) const override { return row(m_c); }

private:
    int m_c;
};

class Unary : public DwExpression
{
public:
    Unary(QString op, std::unique_ptr<DwExpression> a) : m_op(std::move(op)), m_a(std::move(a)) {}
    Value evaluate(const RowReader &row) const override
    {
        const Value a = m_a->evaluate(row);
        if (m_op == QLatin1String("not"))
            return Value(!(!a.isNull() && a.convertedTo(ValueType::Boolean).boolean()));
        if (m_op == QLatin1String("isnull"))
            return Value(a.isNull());
        if (a.isNull())
            return a;
        const QString text = a.toText();
        if (m_op == QLatin1String("upper"))
            return Value(text.toUpper());
        if (m_op == QLatin1String("lower"))
            return Value(text.toLower());
        if (m_op == QLatin1String("trim"))
            return Value(text.trimmed());
        if (m_op == QLatin1String("len"))
            return Value(std::int64_t(text.toUcs4().size()));
        if (m_op == QLatin1String("date"))
            return a.convertedTo(ValueType::Date);
        if (m_op == QLatin1String("datetime"))
            return a.convertedTo(ValueType::DateTime);
        return Value();
    }

private:
    QString m_op;
    std::unique_ptr<DwExpression> m_a;
};

class Binary : public DwExpression
{
public:
    Binary(QString op, std::unique_ptr<DwExpression> a, std::unique_ptr<DwExpression> b)
        : m_op(std::move(op)), m_a(std::move(a)), m_b(std::move(b))
    {
    }
    Value evaluate(const RowReader &row) const override
    {
        if (m_op == QLatin1String("and") || m_op == QLatin1String("or")) {
            const bool a = truth(m_a->evaluate(row));
            if (m_op == QLatin1String("and") && !a)
                return Value(false);
            if (m_op == QLatin1String("or") && a)
                return Value(true);
            return Value(truth(m_b->evaluate(row)));
        }
        Value a = m_a->evaluate(row);
        Value b = m_b->evaluate(row);
        if (a.isNull() || b.isNull())
            return Value(false);
        if (m_op == QLatin1String("like"))
            return Value(likePattern(b.toText()).match(a.toText()).hasMatch());
        // Compare a literal in the column's type: '2024-01-01' against a date column is a date.
        if (a.type() != b.type()) {
            bool ok = false;
            if (b.type() == ValueType::String) {
                const Value c = b.convertedTo(a.type(), &ok);
                if (ok)
                    b = c;
            } else if (a.type() == ValueType::String) {
                const Value c = a.convertedTo(b.type(), &ok);
                if (ok)
                    a = c;
            }
        }
        const int c = Value::compare(a, b);
        if (m_op == QLatin1String("="))
            return Value(c == 0);
        if (m_op == QLatin1String("<>") || m_op == QLatin1String("!="))
            return Value(c != 0);
        if (m_op == QLatin1String("<"))
            return Value(c < 0);
        if (m_op == QLatin1String("<="))
            return Value(c <= 0);
        if (m_op == QLatin1String(">"))
            return Value(c > 0);
        if (m_op == QLatin1String(">="))
            return Value(c >= 0);
        return Value(false);
    }

private:
    static bool truth(const Value &v) { return !v.isNull() && v.convertedTo(ValueType::Boolean).boolean(); }
    static QRegularExpression likePattern(const QString &pattern)
    {
        QString re;
        for (const QChar c : pattern) {
            if (c == QLatin1Char('%'))
                re += QStringLiteral(".*");
            else if (c == QLatin1Char('_'))
                re += QLatin1Char('.');
            else
                re += QRegularExpression::escape(QString(c));
        }
        return QRegularExpression(QRegularExpression::anchoredPattern(re),
                                  QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    }

    QString m_op;
    std::unique_ptr<DwExpression> m_a, m_b;
};

class Parser
{
public:
    Parser(QList<Token> tokens, const DwDefinition &def) : m_t(std::move(tokens)), m_def(def) {}

    std::unique_ptr<DwExpression> parseAll(QString &error)
    {
        auto e = orExpr();
        if (e && m_t[m_i].kind != Token::End)
            m_error = QStringLiteral("unexpected '%1' in the expression").arg(m_t[m_i].text);
        error = m_error;
        return m_error.isEmpty() ? std::move(e) : nullptr;
    }

private:
    bool isWord(const char *w) const
    {
        return m_t[m_i].kind == Token::Name && m_t[m_i].text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    std::unique_ptr<DwExpression> orExpr()
    {
        auto a = andExpr();
        while (a && isWord("or")) {
            ++m_i;
            auto b = andExpr();
            if (!b)
                return nullptr;
            a = std::make_unique<Binary>(QStringLiteral("or"), std::move(a), std::move(b));
        }
        return a;
    }
    std::unique_ptr<DwExpression> andExpr()
    {
        auto a = notExpr();
        while (a && isWord("and")) {
            ++m_i;
            auto b = notExpr();
            if (!b)
                return nullptr;
            a = std::make_unique<Binary>(QStringLiteral("and"), std::move(a), std::move(b));
        }
        return a;
    }
    std::unique_ptr<DwExpression> notExpr()
    {
        // Every nesting (a parenthesis, a function's argument, a "not") passes here: deeper than
        // any real expression is refused before the parser's own recursion runs out of stack.
        const DepthGuard guard(m_depth);
        if (m_depth > MaxDepth)
            return fail(QStringLiteral("the expression is nested more than %1 levels deep").arg(MaxDepth));
        if (isWord("not")) {
            ++m_i;
            auto a = notExpr();
            return a ? std::make_unique<Unary>(QStringLiteral("not"), std::move(a)) : nullptr;
        }
        return comparison();
    }
    std::unique_ptr<DwExpression> comparison()
    {
        auto a = primary();
        if (!a)
            return nullptr;
        QString op;
        if (m_t[m_i].kind == Token::Op)
            op = m_t[m_i].text;
        else if (isWord("like"))
            op = QStringLiteral("like");
        if (op.isEmpty())
            return a;
        ++m_i;
        auto b = primary();
        return b ? std::make_unique<Binary>(op, std::move(a), std::move(b)) : nullptr;
    }
    std::unique_ptr<DwExpression> primary()
    {
        const Token t = m_t[m_i];
        switch (t.kind) {
        case Token::Number: {
            ++m_i;
            bool ok = false;
            if (!t.text.contains(QLatin1Char('.'))) {
                const qlonglong l = t.text.toLongLong(&ok);
                if (ok)
                    return std::make_unique<Literal>(Value(std::int64_t(l)));
            }
            const double d = t.text.toDouble(&ok);
            if (!ok)
                return fail(QStringLiteral("'%1' is no number").arg(t.text));
            return std::make_unique<Literal>(Value(d));
        }
        case Token::Text: ++m_i; return std::make_unique<Literal>(Value(t.text));
        case Token::LParen: {
            ++m_i;
            auto e = orExpr();
            if (!e)
                return nullptr;
            if (m_t[m_i].kind != Token::RParen)
                return fail(QStringLiteral("')' expected"));
            ++m_i;
            return e;
        }
        case Token::Name: {
            ++m_i;
            static const QStringList functions{QStringLiteral("isnull"), QStringLiteral("date"), QStringLiteral("datetime"),
                                               QStringLiteral("upper"), QStringLiteral("lower"), QStringLiteral("len"),
                                               QStringLiteral("trim")};
            const QString lower = t.text.toLower();
            if (m_t[m_i].kind == Token::LParen && functions.contains(lower)) {
                ++m_i;
                auto a = orExpr();
                if (!a)
                    return nullptr;
                if (m_t[m_i].kind != Token::RParen)
                    return fail(QStringLiteral("')' expected after the argument of %1").arg(t.text));
                ++m_i;
                return std::make_unique<Unary>(lower, std::move(a));
            }
            const int c = m_def.findColumn(t.text);
            if (c < 0)
                return fail(QStringLiteral("unknown column '%1' in the expression").arg(t.text));
            return std::make_unique<ColumnRef>(c);
        }
        default: return fail(t.kind == Token::End ? QStringLiteral("the expression ends too early")
                                                  : QStringLiteral("unexpected '%1' in the expression").arg(t.text));
        }
    }
    static constexpr int MaxDepth = 200;
    struct DepthGuard
    {
        int &depth;
        explicit DepthGuard(int &d) : depth(++d) {}
        ~DepthGuard() { --depth; }
    };
    int m_depth = 0;

    std::unique_ptr<DwExpression> fail(const QString &e)
    {
        if (m_error.isEmpty())
            m_error = e;
        return nullptr;
    }

    QList<Token> m_t;
    const DwDefinition &m_def;
    int m_i = 0;
    QString m_error;
};

} // namespace

std::unique_ptr<DwExpression> DwExpression::parse(const QString &text, const DwDefinition &definition, QString &errorText)
{
    const QList<Token> tokens = tokenize(text, errorText);
    if (tokens.isEmpty())
        return nullptr;
    return Parser(tokens, definition).parseAll(errorText);
}

bool DwExpression::matches(const RowReader &row) const
{
    const Value v = evaluate(row);
    return !v.isNull() && v.convertedTo(ValueType::Boolean).boolean();
}

} // namespace rt
