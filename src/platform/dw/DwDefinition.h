#pragma once

#include "DwColumnType.h"
#include "DwObjectDef.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace rt {

enum class DwStyle { Grid, Form, Drawing };

// A DataWindow object: its presentation style, its objects (columns and drawing objects, in
// definition order), the table part (select, update table) and object-wide flags.
//
// Text form: JSON, as docs/datawindow-syntax.md describes; fromJson() reads what toJson() writes.
class DwDefinition
{
public:
    DwStyle style = DwStyle::Grid;

    QString name() const { return m_props.value(QStringLiteral("name")); }
    void setName(const QString &name) { m_props.insert(QStringLiteral("name"), name); }

    // Object-wide properties ("table.select", "table.updatetable", "readonly", "color", …).
    QString prop(const QString &name) const { return m_props.value(name); }
    void setProp(const QString &name, const QString &value) { m_props.insert(name, value); }
    static const QStringList &propertyNames();
    bool readOnly() const;
    QString select() const { return prop(QStringLiteral("table.select")); }
    QString updateTable() const { return prop(QStringLiteral("table.updatetable")); }

    // Objects in definition order; columns are also numbered 0.. among themselves.
    const QList<DwObjectDef> &objects() const { return m_objects; }
    int objectCount() const { return int(m_objects.size()); }
    DwObjectDef *object(const QString &name);
    const DwObjectDef *object(const QString &name) const;
    // A new object; false when the name is taken or empty.
    bool addObject(const DwObjectDef &object);

    int columnCount() const { return int(m_columns.size()); }
    const DwObjectDef &column(int index) const { return m_objects[m_columns[index]]; }
    DwObjectDef &column(int index) { return m_objects[m_columns[index]]; }
    const DwColumnType &columnType(int index) const { return m_types[index]; }
    // 0-based column of a name (case-insensitive) or "#n"; -1 when there is none.
    int findColumn(const QString &nameOrNumber) const;
    QList<int> keyColumns() const;
    // The columns (0-based) in the order a grid shows them: by their x, ties in column order.
    QList<int> displayOrder() const;
    // Re-reads the column types after "coltype" changed; false on an unknown type.
    bool refreshColumnType(int index);

    QByteArray toJson() const;
    // Nothing when the text is not a definition; errorText says where and why.
    static std::optional<DwDefinition> fromJson(const QByteArray &json, QString &errorText);

private:
    void reindex();

    QMap<QString, QString> m_props;
    QList<DwObjectDef> m_objects;
    QList<int> m_columns;           // index into m_objects per column
    QList<DwColumnType> m_types;    // per column
    QHash<QString, int> m_byName;   // lower-case name -> index into m_objects
    QHash<QString, int> m_columnByExactName; // name as written -> column, to spare a lower-casing per lookup
};

QString styleName(DwStyle style);

} // namespace rt
