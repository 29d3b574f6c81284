#include "host/QueryCondition.h"

#include "platform/core/Decimal.h"
#include "platform/core/Functions.h"
#include "platform/core/SqlQuote.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace host {

namespace {

using Op = QueryTerm::Op;

QString sqlOp(Op op)
{
    switch (op) {
    case Op::Equal: return QStringLiteral("=");
    case Op::NotEqual: return QStringLiteral("<>");
    case Op::Greater: return QStringLiteral(">");
    case Op::GreaterEqual: return QStringLiteral(">=");
    case Op::Less: return QStringLiteral("<");
    case Op::LessEqual: return QStringLiteral("<=");
    default: return QString();
    }
}

// LIKE with its wildcards taken literally.
QString likeLiteral(const QString &value)
{
    QString escaped;
    for (const QChar ch : value) {
        if (ch == QLatin1Char('!') || ch == QLatin1Char('%') || ch == QLatin1Char('_'))
            escaped += QLatin1Char('!');
        escaped += ch;
    }
    return rt::sqlQuote(QLatin1Char('%') + escaped + QLatin1Char('%'));
}

// A datetime column against a whole day, bounded by the day's first and last microsecond (the
// next day's start would be year 10000 after 9999-12-31, which sorts before every date as text).
QString dayCondition(const QString &col, Op op, QDate day)
{
    const QString d = day.toString(QStringLiteral("yyyy-MM-dd"));
    const QString from = rt::sqlQuote(d + QStringLiteral(" 00:00:00")), to = rt::sqlQuote(d + QStringLiteral(" 23:59:59.999999"));
    switch (op) {
    case Op::Equal: return QStringLiteral("%1 >= %2 AND %1 <= %3").arg(col, from, to);
    case Op::NotEqual: return QStringLiteral("(%1 < %2 OR %1 > %3)").arg(col, from, to);
    case Op::Greater: return QStringLiteral("%1 > %2").arg(col, to);
    case Op::GreaterEqual: return QStringLiteral("%1 >= %2").arg(col, from);
    case Op::Less: return QStringLiteral("%1 < %2").arg(col, from);
    case Op::LessEqual: return QStringLiteral("%1 <= %2").arg(col, to);
    default: return QString();
    }
}

// A plain number as the operator may type it: digits, a point, a sign, an exponent. Not "inf",
// "nan" or "0x10", which a number parser would take.
bool plainNumber(const QString &value)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d{1,3})?$"));
    return re.match(value).hasMatch();
}

} // namespace

QList<QueryTerm::Op> QueryCondition::ops()
{
    return {Op::Equal, Op::NotEqual, Op::Greater, Op::GreaterEqual, Op::Less,
            Op::LessEqual, Op::Contains, Op::IsEmpty, Op::IsNotEmpty};
}

QString QueryCondition::opText(Op op)
{
    switch (op) {
    case Op::Equal: return QStringLiteral("=");
    case Op::NotEqual: return QString::fromUtf8("≠");
    case Op::Greater: return QStringLiteral(">");
    case Op::GreaterEqual: return QString::fromUtf8("≥");
    case Op::Less: return QStringLiteral("<");
    case Op::LessEqual: return QString::fromUtf8("≤");
    case Op::Contains: return QString::fromUtf8("包含");
    case Op::IsEmpty: return QString::fromUtf8("为空");
    case Op::IsNotEmpty: return QString::fromUtf8("不为空");
    }
    return QString();
}

bool QueryCondition::needsValue(Op op)
{
    return op != Op::IsEmpty && op != Op::IsNotEmpty;
}

QString QueryCondition::caption(const rt::DwDefinition &definition, int column)
{
    const QString name = definition.column(column).name();
    const rt::DwObjectDef *header = definition.object(name + QStringLiteral("_t"));
    QString text = header ? header->prop(QStringLiteral("text")) : QString();
    text.remove(QString::fromUtf8("：")).remove(QLatin1Char(':'));
    text = text.trimmed();
    return text.isEmpty() ? name : text;
}

QString QueryCondition::dbColumn(const rt::DwDefinition &definition, int column)
{
    const rt::DwObjectDef &c = definition.column(column);
    const QString n = c.prop(QStringLiteral("dbname"));
    if (n.isEmpty())
        return c.name();
    const int dot = n.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? n.mid(dot + 1) : n;
}

QueryCondition::Dialect QueryCondition::dialectOf(const QString &dbms)
{
    return dbms.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0 ? Dialect::PostgreSQL : Dialect::SQLite;
}

bool QueryCondition::build(const rt::DwDefinition &definition, const QList<QueryTerm> &terms, QString &sql,
                           QString &text, QString &errorText, Dialect dialect)
{
    QStringList sqlParts, textParts;
    for (int i = 0; i < terms.size(); ++i) {
        const QueryTerm &t = terms[i];
        if (t.column < 0 || t.column >= definition.columnCount()) {
            errorText = QString::fromUtf8("第 %1 个条件没有选择列。").arg(i + 1);
            return false;
        }
        const QString caption = QueryCondition::caption(definition, t.column);
        const QString col = rt::sqlIdentifier(dbColumn(definition, t.column));
        const rt::ValueType type = definition.columnType(t.column).valueType;
        const QString value = t.value.trimmed();
        QString part;
        if (t.op == Op::IsEmpty || t.op == Op::IsNotEmpty) {
            const bool empty = t.op == Op::IsEmpty;
            if (type == rt::ValueType::String)
                part = empty ? QStringLiteral("(%1 IS NULL OR %1 = '')").arg(col)
                             : QStringLiteral("(%1 IS NOT NULL AND %1 <> '')").arg(col);
            else
                part = QStringLiteral("%1 %2").arg(col, empty ? QStringLiteral("IS NULL") : QStringLiteral("IS NOT NULL"));
            textParts << QStringLiteral("%1 %2").arg(caption, opText(t.op));
        } else {
            if (value.isEmpty()) {
                errorText = QString::fromUtf8("请输入“%1”的条件值。").arg(caption);
                return false;
            }
            if (t.op == Op::Contains) {
                // A number or a date is looked into as its text.
                const QString subject = type == rt::ValueType::String ? col : QStringLiteral("CAST(%1 AS TEXT)").arg(col);
                part = QStringLiteral("%1 LIKE %2 ESCAPE '!'").arg(subject, likeLiteral(t.value));
            } else {
                switch (type) {
                case rt::ValueType::Long:
                case rt::ValueType::Number:
                case rt::ValueType::Decimal: {
                    bool ok = plainNumber(value);
                    const double n = ok ? QLocale::c().toDouble(value, &ok) : 0;
                    if (!ok || !std::isfinite(n)) {
                        errorText = QString::fromUtf8("“%1”的条件值“%2”不是数字。").arg(caption, value);
                        return false;
                    }
                    const std::optional<rt::Decimal> exact = rt::Decimal::parse(value);
                    if (type == rt::ValueType::Decimal && dialect == Dialect::PostgreSQL) {
                        // numeric against a numeric literal (the plain number, checked above): exact.
                        part = QStringLiteral("%1 %2 %3").arg(col, sqlOp(t.op),
                                                              exact ? exact->toString() : QLocale::c().toString(n, 'g', 17));
                    } else if (type == rt::ValueType::Decimal && exact) {
                        // The files keep decimals as exact text: compared as decimals by the
                        // register's own function, neither as text nor as doubles.
                        part = QStringLiteral("hm_deccmp(%1, %2) %3 0").arg(col, rt::sqlQuote(exact->toString()), sqlOp(t.op));
                    } else if (type == rt::ValueType::Decimal) {
                        // A number written with an exponent: as doubles on both sides.
                        part = QStringLiteral("CAST(%1 AS REAL) %2 %3").arg(col, sqlOp(t.op), QLocale::c().toString(n, 'g', 17));
                    } else {
                        part = QStringLiteral("%1 %2 %3").arg(col, sqlOp(t.op), QLocale::c().toString(n, 'g', 17));
                    }
                    break;
                }
                case rt::ValueType::Date:
                case rt::ValueType::DateTime: {
                    const QDate d = rt::fn::Date(value);
                    if (!d.isValid()) {
                        errorText = QString::fromUtf8("“%1”的条件值“%2”不是正确的日期（年-月-日）。").arg(caption, value);
                        return false;
                    }
                    part = type == rt::ValueType::Date
                               ? QStringLiteral("%1 %2 %3").arg(col, sqlOp(t.op),
                                                                rt::sqlQuote(d.toString(QStringLiteral("yyyy-MM-dd"))))
                               : dayCondition(col, t.op, d);
                    break;
                }
                default: part = QStringLiteral("%1 %2 %3").arg(col, sqlOp(t.op), rt::sqlQuote(value)); break;
                }
            }
            textParts << QStringLiteral("%1 %2 '%3'").arg(caption, opText(t.op), value);
        }
        if (i > 0) {
            sqlParts << (t.orWithPrevious ? QStringLiteral("OR") : QStringLiteral("AND"));
            textParts.insert(textParts.size() - 1, t.orWithPrevious ? QString::fromUtf8("或者") : QString::fromUtf8("并且"));
        }
        sqlParts << QStringLiteral("(%1)").arg(part);
    }
    sql = sqlParts.join(QLatin1Char(' '));
    text = textParts.join(QLatin1Char(' '));
    return true;
}

QString QueryCondition::restrict(const QString &select, const QString &condition)
{
    if (condition.trimmed().isEmpty())
        return select;
    return QStringLiteral("SELECT * FROM (%1) AS q WHERE %2").arg(select, condition);
}

} // namespace host
