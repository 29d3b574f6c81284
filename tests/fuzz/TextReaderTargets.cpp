#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "platform/core/DateTime.h"
#include "platform/core/Decimal.h"
#include "platform/core/Functions.h"
#include "platform/core/SqlLexer.h"
#include "platform/core/Time.h"
#include "platform/core/Value.h"

namespace fuzz {

int sqlLexer(const std::uint8_t *data, std::size_t size)
{
    const QString sql = text(data, size);
    int from = 0;
    // Every statement of the text, as a server backend reads them one after the other.
    while (from < sql.size()) {
        const rt::SqlLexer::Statement st = rt::SqlLexer::first(sql.mid(from));
        check(st.tail > 0 && st.tail <= sql.size() - from, "lexer: tail out of the text");
        check(st.names.size() <= sql.size() - from, "lexer: kept more than the text's length");
        check(!st.error.isEmpty() || (st.parameterCount <= st.tail && st.parameterCount <= rt::SqlLexer::MaxPlaceholder),
              "lexer: more placeholders than the statement has characters");
        check(st.names.size() == st.parameterCount, "lexer: names and placeholders differ");
        from += st.tail;
    }
    return 0;
}

int datesAndNumbers(const std::uint8_t *data, std::size_t size)
{
    const QString s = text(data, size);
    // What is read back from its own text is what was read.
    if (const auto d = rt::parseDate(s))
        check(rt::parseDate(d->toString(QStringLiteral("yyyy-MM-dd"))) == d, "date: round trip", s);
    const QDate date = rt::fn::Date(s);
    if (date.isValid())
        check(rt::fn::Date(date.toString(QStringLiteral("yyyy-MM-dd"))) == date, "fn::Date: round trip", s);
    if (const auto dt = rt::DateTime::parse(s))
        check(rt::DateTime::parse(dt->toCanonical()) == dt, "datetime: round trip", s);
    rt::fn::DateTime(s);
    if (const auto t = rt::Time::parse(s))
        check(rt::Time::parse(t->toCanonical()) == t, "time: round trip", s);
    if (const auto dec = rt::Decimal::parse(s))
        check(rt::Decimal::parse(dec->toString()) == dec, "decimal: round trip", s);
    rt::fn::Long(s);
    // The text as a display format, over a value of each kind.
    if (s.size() <= 256) {
        const rt::Value values[] = {rt::Value(std::int64_t(-1234567)), rt::Value(12345.678),
                                    rt::Value(*rt::Decimal::parse(QStringLiteral("-98765.4321"))),
                                    rt::Value(QDate(2024, 2, 29)), rt::Value(*rt::DateTime::parse(QStringLiteral("2024-02-29 23:59:58.123456"))),
                                    rt::Value(QStringLiteral("王五"))};
        for (const rt::Value &v : values) {
            const QString shown = rt::fn::String(v, s);
            check(shown.size() <= 64 * (s.size() + 16), "format: output out of proportion", s);
        }
    }
    return 0;
}

} // namespace fuzz
