#include "DeclaredProcedure.h"

#include "Transaction.h"

#include <optional>

namespace rt {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('$')
           || c == QLatin1Char('#');
}

class Scanner
{
public:
    explicit Scanner(const QString &text) : m_text(text) {}
    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    QChar peek()
    {
        skipBlanks();
        return m_pos < m_text.size() ? m_text[m_pos] : QChar();
    }
    bool take(QChar c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }
    QString name()
    {
        skipBlanks();
        const int start = m_pos;
        while (m_pos < m_text.size() && isNameChar(m_text[m_pos]))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }
    // A quoted string with doubled quotes; nothing when unterminated.
    std::optional<QString> quoted()
    {
        const QChar q = m_text[m_pos++];
        QString out;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (c == q) {
                if (m_pos < m_text.size() && m_text[m_pos] == q) {
                    out += q;
                    ++m_pos;
                    continue;
                }
                return out;
            }
            out += c;
        }
        return std::nullopt;
    }
    // Everything up to the next comma, trimmed.
    QString bare()
    {
        skipBlanks();
        const int start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != QLatin1Char(','))
            ++m_pos;
        return m_text.mid(start, m_pos - start).trimmed();
    }

private:
    const QString &m_text;
    int m_pos = 0;
};

} // namespace

DeclaredProcedure::DeclaredProcedure(Transaction &transaction, const QString &declaration)
    : m_transaction(transaction)
{
    Scanner s(declaration);
    QString word = s.name();
    if (word.compare(QLatin1String("execute"), Qt::CaseInsensitive) == 0
        || word.compare(QLatin1String("exec"), Qt::CaseInsensitive) == 0)
        word = s.name();
    if (word.isEmpty()) {
        m_error = QStringLiteral("procedure declaration names no procedure: %1").arg(declaration);
        return;
    }
    m_procedure = word;
    while (!s.atEnd()) {
        if (!m_parameters.isEmpty() && !s.take(QLatin1Char(','))) {
            m_error = QStringLiteral("',' expected between parameters: %1").arg(declaration);
            return;
        }
        Parameter p;
        if (!s.take(QLatin1Char('@'))) {
            m_error = QStringLiteral("parameter names start with '@': %1").arg(declaration);
            return;
        }
        p.name = s.name();
        if (p.name.isEmpty() || !s.take(QLatin1Char('='))) {
            m_error = QStringLiteral("'@name = value' expected: %1").arg(declaration);
            return;
        }
        const QChar c = s.peek();
        if (c == QLatin1Char(':')) {
            s.take(c);
            p.hostVariable = s.name();
            if (p.hostVariable.isEmpty()) {
                m_error = QStringLiteral("host variable name expected after ':': %1").arg(declaration);
                return;
            }
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const auto text = s.quoted();
            if (!text) {
                m_error = QStringLiteral("unterminated string: %1").arg(declaration);
                return;
            }
            p.constant = Value(*text);
        } else {
            const QString bare = s.bare();
            bool ok = false;
            const qlonglong l = bare.toLongLong(&ok);
            if (ok) {
                p.constant = Value(std::int64_t(l));
            } else if (const double d = bare.toDouble(&ok); ok) {
                p.constant = Value(d);
            } else if (bare.isEmpty() || bare.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
                p.constant = Value();
            } else {
                m_error = QStringLiteral("cannot read the value of @%1: %2").arg(p.name, bare);
                return;
            }
        }
        m_parameters.append(p);
    }
}

int DeclaredProcedure::execute(const ProcedureArgs &hostValues)
{
    if (!isValid()) {
        m_transaction.setError(-1, m_error);
        return -1;
    }
    ProcedureArgs args;
    for (const Parameter &p : m_parameters) {
        if (p.hostVariable.isEmpty()) {
            args.set(p.name, p.constant);
        } else if (hostValues.contains(p.hostVariable)) {
            args.set(p.name, hostValues.value(p.hostVariable));
        } else {
            m_transaction.setError(-1, QStringLiteral("no value for host variable :%1").arg(p.hostVariable));
            return -1;
        }
    }
    return m_transaction.executeProcedure(m_procedure, args);
}

int DeclaredProcedure::close()
{
    // The embedded procedures return no result set, so there is nothing to release; CLOSE
    // keeps the transaction's last outcome visible to the caller.
    return 0;
}

} // namespace rt
