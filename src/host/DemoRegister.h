#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <cstdint>
#include <utility>

namespace rt {
class Transaction;
}

namespace host {

struct DemoOptions
{
    int households = 400;
    std::uint64_t seed = 1;
    QDate referenceDate;  // "today" of the register; invalid = the current date
};

struct DemoSummary
{
    QString livePath;
    QString historyPath;
    QList<std::pair<QString, std::int64_t>> liveRows;     // table, rows
    QList<std::pair<QString, std::int64_t>> historyRows;  // table, rows
    std::int64_t totalHistoryRows() const;
    // A few lines for the operator: where the files are and what they hold.
    QString describe() const;
};

// A believable, deterministic demo register: households of one to six persons with Chinese
// names, addresses and identity numbers that agree with birth date and sex; related records
// that follow age and sex; several history snapshots per record over the last three years,
// with issave codes among them "5" (household cancelled) and "6" (person removed). The same
// options give the same register.
class DemoRegister
{
public:
    // Creates register.db and history.db in dir and fills them. Refuses to overwrite.
    static int create(const QString &dir, const DemoOptions &options, DemoSummary &summary, QString &errorText);
    // The same register on a PostgreSQL database (a libpq connection string) that holds none yet.
    static int createServer(const QString &conninfo, const DemoOptions &options, DemoSummary &summary, QString &errorText);
    // Fills two connected, empty register files, one transaction per file.
    static int fill(rt::Transaction &live, rt::Transaction &history, const DemoOptions &options, DemoSummary &summary,
                    QString &errorText);
    // Households needed for about this many history rows.
    static int householdsForHistoryRows(std::int64_t rows);
};

} // namespace host
