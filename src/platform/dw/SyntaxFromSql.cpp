#include "SyntaxFromSql.h"

#include "DwDefinition.h"
#include "platform/core/Cursor.h"
#include "platform/core/Transaction.h"

#include <QRegularExpression>

namespace rt {

QString SyntaxFromSql::runtimeType(const QString &declared)
{
    static const QRegularExpression sized(QStringLiteral("\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\)"));
    const QString t = declared.trimmed().toUpper();
    const auto m = sized.match(t);
    if (t.startsWith(QLatin1String("DECIMAL")) || t.startsWith(QLatin1String("NUMERIC")))
        return QStringLiteral("decimal(%1)").arg(m.hasMatch() && !m.captured(2).isEmpty() ? m.captured(2) : QStringLiteral("0"));
    if (t.startsWith(QLatin1String("DATETIME")) || t.startsWith(QLatin1String("TIMESTAMP")))
        return QStringLiteral("datetime");
    if (t.startsWith(QLatin1String("DATE")))
        return QStringLiteral("date");
    if (t.startsWith(QLatin1String("TIME")))
        return QStringLiteral("time");
    if (t.contains(QLatin1String("INT")))
        return QStringLiteral("long");
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")))
        return QStringLiteral("number");
    if (t.contains(QLatin1String("CHAR")) && m.hasMatch())
        return QStringLiteral("char(%1)").arg(m.captured(1));
    return QStringLiteral("char(255)");
}

QString SyntaxFromSql::build(Transaction &transaction, const QString &select, const QString &presentation, QString &errors)
{
    errors.clear();
    const QString p = presentation.toLower().remove(QLatin1Char(' '));
    DwStyle style = DwStyle::Grid;
    if (p.contains(QLatin1String("type=form")) || p.contains(QLatin1String("type=freeform")))
        style = DwStyle::Form;
    else if (!p.isEmpty() && !p.contains(QLatin1String("type=grid")) && !p.contains(QLatin1String("type=tabular"))) {
        errors = QStringLiteral("unknown presentation: %1").arg(presentation);
        return QString();
    }
    auto stmt = transaction.prepare(select);
    if (!stmt) {
        errors = transaction.SQLErrText();
        return QString();
    }
    DwDefinition def;
    def.style = style;
    def.setProp(QStringLiteral("table.select"), select);
    QString table;
    bool oneTable = true;
    int x = 10;
    for (int c = 0; c < stmt->columnCount(); ++c) {
        const QString name = stmt->columnName(c);
        const QString t = stmt->columnTable(c);
        if (t.isEmpty() || (!table.isEmpty() && t.compare(table, Qt::CaseInsensitive) != 0))
            oneTable = false;
        else
            table = t;
        DwObjectDef col(DwObjectKind::Column, name);
        col.setProp(QStringLiteral("dbname"), t.isEmpty() ? name : t + QLatin1Char('.') + name);
        col.setProp(QStringLiteral("coltype"), runtimeType(stmt->columnDeclaredType(c)));
        const int width = std::max(300, int(name.size()) * 40);
        col.setProp(QStringLiteral("x"), QString::number(x));
        col.setProp(QStringLiteral("y"), QStringLiteral("8"));
        col.setProp(QStringLiteral("width"), QString::number(width));
        col.setProp(QStringLiteral("height"), QStringLiteral("64"));
        DwObjectDef header(DwObjectKind::Text, name + QStringLiteral("_t"));
        header.setProp(QStringLiteral("band"), QStringLiteral("header"));
        header.setProp(QStringLiteral("text"), name);
        header.setProp(QStringLiteral("x"), QString::number(x));
        header.setProp(QStringLiteral("y"), QStringLiteral("8"));
        header.setProp(QStringLiteral("width"), QString::number(width));
        header.setProp(QStringLiteral("height"), QStringLiteral("64"));
        x += width + 10;
        if (!def.addObject(col) || !def.addObject(header)) {
            errors = QStringLiteral("the select returns the column %1 twice").arg(name);
            return QString();
        }
    }
    stmt.reset();
    if (oneTable && !table.isEmpty()) {
        def.setProp(QStringLiteral("table.updatetable"), table);
        // The table's primary key becomes the DataWindow's key.
        for (const QString &key : transaction.connection()->primaryKey(table)) {
            const int c = def.findColumn(key);
            if (c >= 0)
                def.column(c).setProp(QStringLiteral("key"), QStringLiteral("yes"));
        }
    }
    transaction.setResult(0);
    return QString::fromUtf8(def.toJson());
}

} // namespace rt
