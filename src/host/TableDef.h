#pragma once

#include "host/ColumnDef.h"

#include <QList>
#include <QString>

namespace host {

// A category's pair of tables: the live table and its history table th_<stem>. The history
// table holds the live columns plus a surrogate key (so one snapshot can be deleted on its own)
// and SaveTime; the live table has no SaveTime.
struct TableDef
{
    QString stem;               // "ge_rpr"
    QString liveTable;          // "ge_rpr"
    QString historyTable;       // "th_ge_rpr"
    QString caption;            // "户籍信息"
    QString keyColumn;          // RprNo, PersonNo or personno
    QList<ColumnDef> liveColumns;

    static QString surrogateKey() { return QStringLiteral("hisid"); }
    static QString saveTimeColumn() { return QStringLiteral("SaveTime"); }

    // hisid, the live columns (identity and key flags dropped), SaveTime.
    QList<ColumnDef> historyColumns() const;
    const ColumnDef *liveColumn(const QString &name) const; // case-insensitive
    bool hasOrderNo() const { return liveColumn(QStringLiteral("orderno")) != nullptr; }
    bool orderNoIsIdentity() const;
    bool isRelated() const { return keyColumn == QLatin1String("personno"); }

    QString createLiveSql() const;
    QString createHistorySql() const;
    QStringList createHistoryIndexesSql() const;
};

} // namespace host
