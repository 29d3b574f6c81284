#include "host/DwLibraryBuilder.h"

#include "host/SchemaCatalogue.h"
#include "platform/core/SqlQuote.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace host {

namespace {

using rt::DwDefinition;
using rt::DwObjectDef;
using rt::DwObjectKind;

QString num(int v)
{
    return QString::number(v);
}

void setBox(DwObjectDef &o, int x, int y, int width, int height)
{
    o.setProp(QStringLiteral("x"), num(x));
    o.setProp(QStringLiteral("y"), num(y));
    o.setProp(QStringLiteral("width"), num(width));
    o.setProp(QStringLiteral("height"), num(height));
}

int typeWidth(const ColumnDef &c)
{
    switch (c.type) {
    case ColumnType::Char: return std::clamp(c.size * 40, 200, 1200);
    case ColumnType::Date: return 320;
    case ColumnType::DateTime: return 560;
    case ColumnType::Time: return 240;
    case ColumnType::Long: return 220;
    case ColumnType::Number: return 260;
    case ColumnType::Decimal: return 320;
    }
    return 300;
}

DwObjectDef column(const ColumnDef &c, const QString &table, bool key, bool identity)
{
    DwObjectDef col(DwObjectKind::Column, c.name);
    col.setProp(QStringLiteral("dbname"), table + QLatin1Char('.') + c.name);
    col.setProp(QStringLiteral("coltype"), c.runtimeType());
    col.setProp(QStringLiteral("key"), key ? QStringLiteral("yes") : QStringLiteral("no"));
    col.setProp(QStringLiteral("identity"), identity ? QStringLiteral("yes") : QStringLiteral("no"));
    col.setProp(QStringLiteral("update"), QStringLiteral("yes"));
    col.setProp(QStringLiteral("visible"), QStringLiteral("1"));
    const bool numeric = c.type == ColumnType::Long || c.type == ColumnType::Number || c.type == ColumnType::Decimal;
    col.setProp(QStringLiteral("alignment"), numeric ? QStringLiteral("1") : QStringLiteral("0"));
    col.setProp(QStringLiteral("color"), QStringLiteral("33554432"));
    col.setProp(QStringLiteral("border"), QStringLiteral("0"));
    col.setProp(QStringLiteral("background.mode"), QStringLiteral("1"));
    col.setProp(QStringLiteral("background.color"), QStringLiteral("16777215"));
    col.setProp(QStringLiteral("font.face"), QString::fromUtf8("宋体"));
    col.setProp(QStringLiteral("font.height"), QStringLiteral("-9"));
    if (c.type == ColumnType::Date)
        col.setProp(QStringLiteral("format"), QStringLiteral("yyyy-mm-dd"));
    else if (c.type == ColumnType::DateTime)
        col.setProp(QStringLiteral("format"), QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    else if (c.type == ColumnType::Decimal)
        col.setProp(QStringLiteral("format"), QStringLiteral("#,##0.") + QString(c.size, QLatin1Char('0')));
    return col;
}

DwObjectDef caption(const ColumnDef &c, const QString &text)
{
    DwObjectDef t(DwObjectKind::Text, c.name + QStringLiteral("_t"));
    t.setProp(QStringLiteral("band"), QStringLiteral("header"));
    t.setProp(QStringLiteral("text"), text);
    t.setProp(QStringLiteral("visible"), QStringLiteral("1"));
    t.setProp(QStringLiteral("alignment"), QStringLiteral("2"));
    t.setProp(QStringLiteral("color"), QStringLiteral("33554432"));
    t.setProp(QStringLiteral("border"), QStringLiteral("6"));
    t.setProp(QStringLiteral("background.mode"), QStringLiteral("0"));
    t.setProp(QStringLiteral("background.color"), QStringLiteral("67108864"));
    t.setProp(QStringLiteral("font.face"), QString::fromUtf8("宋体"));
    t.setProp(QStringLiteral("font.height"), QStringLiteral("-9"));
    return t;
}

QString selectOf(const QList<ColumnDef> &columns, const QString &table)
{
    QStringList names;
    for (const ColumnDef &c : columns)
        names << c.name;
    return QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), table);
}

// An object over the history table: its select, update table and title.
DwDefinition historyObject(const TableDef &t, rt::DwStyle style)
{
    DwDefinition d;
    d.style = style;
    d.setProp(QStringLiteral("table.select"), selectOf(t.historyColumns(), t.historyTable));
    d.setProp(QStringLiteral("table.updatetable"), t.historyTable);
    d.setProp(QStringLiteral("title"), t.caption);
    return d;
}

DwDefinition historyGrid(const TableDef &t)
{
    DwDefinition d = historyObject(t, rt::DwStyle::Grid);
    const QList<ColumnDef> columns = t.historyColumns();
    d.setProp(QStringLiteral("header.height"), QStringLiteral("88"));
    d.setProp(QStringLiteral("detail.height"), QStringLiteral("76"));
    int x = 9;
    for (const ColumnDef &c : columns) {
        const bool surrogate = c.name == TableDef::surrogateKey();
        DwObjectDef col = column(c, t.historyTable, surrogate, surrogate);
        const int width = std::max(typeWidth(c), int(c.caption.size()) * 64 + 40);
        setBox(col, x, 4, width, 68);
        DwObjectDef head = caption(c, c.caption);
        setBox(head, x, 4, width, 80);
        if (surrogate) {
            col.setProp(QStringLiteral("visible"), QStringLiteral("0"));
            head.setProp(QStringLiteral("visible"), QStringLiteral("0"));
        } else {
            x += width + 9;
        }
        d.addObject(col);
        d.addObject(head);
    }
    return d;
}

DwDefinition historyForm(const TableDef &t)
{
    DwDefinition d = historyObject(t, rt::DwStyle::Form);
    const QList<ColumnDef> columns = t.historyColumns();
    // Fields in half rows, two to a row; a long text takes a whole row, so that an address can
    // be read in full (a CJK character is about 55 units wide at 9 points).
    int slot = 0;
    for (const ColumnDef &c : columns) {
        const bool surrogate = c.name == TableDef::surrogateKey();
        const bool key = surrogate || c.name.compare(t.keyColumn, Qt::CaseInsensitive) == 0;
        DwObjectDef col = column(c, t.historyTable, key, surrogate);
        DwObjectDef label = caption(c, c.caption + QString::fromUtf8("："));
        label.setProp(QStringLiteral("band"), QStringLiteral("detail"));
        label.setProp(QStringLiteral("alignment"), QStringLiteral("1"));
        label.setProp(QStringLiteral("border"), QStringLiteral("0"));
        label.setProp(QStringLiteral("background.mode"), QStringLiteral("1"));
        col.setProp(QStringLiteral("border"), QStringLiteral("5"));
        if (surrogate) {
            col.setProp(QStringLiteral("visible"), QStringLiteral("0"));
            label.setProp(QStringLiteral("visible"), QStringLiteral("0"));
            setBox(col, 0, 0, 0, 0);
        } else {
            const bool wide = c.type == ColumnType::Char && c.size >= 20;
            if (wide && slot % 2 == 1)
                ++slot; // a whole row starts on the left
            const int across = slot % 2, down = slot / 2;
            const int captionX = across == 0 ? 37 : 1230;
            const int y = 40 + down * 100;
            setBox(label, captionX, y + 8, 480, 64);
            setBox(col, captionX + 500, y, wide ? 1833 : 640, 76);
            slot += wide ? 2 : 1;
        }
        d.addObject(col);
        d.addObject(label);
    }
    return d;
}

DwDefinition liveTarget(const TableDef &t)
{
    DwDefinition d;
    d.style = rt::DwStyle::Grid;
    d.setProp(QStringLiteral("table.select"), selectOf(t.liveColumns, t.liveTable));
    d.setProp(QStringLiteral("table.updatetable"), t.liveTable);
    int x = 9;
    for (const ColumnDef &c : t.liveColumns) {
        const bool key = c.name.compare(t.keyColumn, Qt::CaseInsensitive) == 0;
        DwObjectDef col = column(c, t.liveTable, key, c.identity);
        setBox(col, x, 4, typeWidth(c), 68);
        x += typeWidth(c) + 9;
        d.addObject(col);
        d.addObject(caption(c, c.caption));
    }
    return d;
}

} // namespace

QMap<QString, rt::DwDefinition> DwLibraryBuilder::build()
{
    QMap<QString, DwDefinition> out;
    for (const TableDef &t : SchemaCatalogue::tables()) {
        out.insert(QStringLiteral("dh_") + t.stem, historyGrid(t));
        out.insert(QStringLiteral("dh_") + t.stem + QStringLiteral("_f"), historyForm(t));
        out.insert(QStringLiteral("tc_") + t.stem, liveTarget(t));
        if (t.isRelated()) {
            // The cascade target keeps the history table's spelling (d_mh_AdultWomaninfoparm).
            const QString stem = t.historyTable.mid(3);
            out.insert(QStringLiteral("d_") + stem + QStringLiteral("parm"), liveTarget(t));
        }
    }
    for (auto it = out.begin(); it != out.end(); ++it)
        it->setName(it.key());
    return out;
}

QByteArray DwLibraryBuilder::libraryJson()
{
    QJsonObject root;
    const auto all = build();
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        root.insert(it.key(), QJsonDocument::fromJson(it->toJson()).object());
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace host
