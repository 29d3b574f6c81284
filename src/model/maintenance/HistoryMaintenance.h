#pragma once

#include "model/journal/ChangeOutcome.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

namespace rt {
class Transaction;
class Value;
}

namespace host {
struct TableDef;
}

namespace model {

struct Category;
class PurgeDates;

// Unattended upkeep of the history tables, without a window: what the history holds (stats),
// the deletion of old snapshots (purge) and of snapshots equal to the one before them (dedupe).
// Works on the register's two transactions as the program connects them (files or server); the
// deletions go on `history` (photosqlca), each chunk one transaction of its own carrying its own
// journal entry, so an interrupted run leaves whole chunks done and journalled, and running it
// again finishes the work. A dry run counts with the very selects the real run deletes by.
// Never opens a dialog: every failure is a return value -1 with its reason in Chinese (and the
// database's text) in the result's `error`.
class HistoryMaintenance
{
public:
    // One category's history, as `stats` reads it.
    struct CategoryStats
    {
        const Category *category = nullptr;
        long long rows = 0;
        QMap<int, long long> rowsPerYear;  // year of SaveTime -> rows
        long long duplicates = 0;          // snapshots dedupe would delete
        std::optional<QDateTime> oldest, newest; // SaveTime; none without rows
    };
    struct Stats
    {
        QList<CategoryStats> categories;   // in the register's category order
        long long historyBytes = -1;       // the history file, or the history schema on the server; -1 unknown
    };

    // What a purge deletes of one category: the snapshots saved before 00:00:00 of `before`,
    // except, with keepLast > 0, the keepLast newest snapshots of each record (by its key: the
    // live table's primary key). For 户籍信息 with withPersons, the households' persons and
    // their related history go too, through the household procedure as the batch dialog's
    // household box does.
    struct PurgePolicy
    {
        QDate before;          // required
        int keepLast = 0;      // 0: keep none by count
        bool withPersons = false;
    };

    // One step of a longer run (a policy): a category's purge, or its dedupe.
    struct Step
    {
        const Category *category = nullptr;
        bool dedupe = false;
        PurgePolicy policy;  // for a purge
    };

    struct ChunkProgress
    {
        const Category *category = nullptr;
        long long deletedSoFar = 0;  // this category, this run
        long long total = 0;         // what the run found to delete in this category
        int chunk = 0;               // 1-based
    };

    struct RunOptions
    {
        bool dryRun = false;
        long chunkRows = 10000;  // at most this many rows a chunk (a transaction)
        // Identifies the run in each chunk's journal entry (with the options) so that a resumed
        // run can be told apart; a fresh one is made when empty.
        QString runId;
        // The words of the run's options for the journal's detail ("--before 2020-01-01 --keep-last 3").
        QString optionsText;
        // Called after every chunk has been committed (and once before the first with chunk 0);
        // false stops the run after that chunk (an interrupt: whole chunks stay done).
        std::function<bool(const ChunkProgress &)> progress;
        // A dry run standing for a step of a longer run: the steps that run before it. What they
        // will have deleted by the time this step selects is left out of what it finds (a
        // purge's rows are no longer there for the dedupe after it; the household procedure's
        // persons are no longer there for the persons' purge), so that the dry run of the whole
        // counts what the real run deletes. Real runs find what is there and ignore it.
        QList<Step> earlier;
        // The rows the operator confirmed (-1: no limit). A run whose select finds more (rows
        // saved since they were counted) deletes nothing and says so (RunResult::changed).
        long long confirmed = -1;
        // Asked after a statement of a run failed: true when the failure is the caller's stop
        // (a cancel of the statement), journalled as the operator's.
        std::function<bool()> stopped;
        // Asked just before a change that cannot be chunked commits (the household procedure):
        // false stops it there, undone and journalled as the operator's cancel.
        std::function<bool()> beforeCommit;
    };

    struct TableCount
    {
        QString table;        // history table
        long long rows = 0;
    };
    struct RunResult
    {
        QList<TableCount> deleted;   // dry run: what the real run would delete
        int chunks = 0;              // committed (0 on a dry run)
        bool interrupted = false;    // stopped by progress() answering false
        bool compacted = false;      // free space given back after the run
        QString compactText;         // what was done for that, in words ("VACUUM of history.db …")
        QString error;               // on -1
        bool changed = false;        // more rows found than confirmed: nothing deleted
        long long found = 0;         // what the select found
        // The highest hisid the committed chunks took (they go in the table's order: every row
        // found up to it is gone); -1 when none was.
        qint64 lastHisid = -1;
        // On -1 once a chunk's change had begun: what the register holds of that chunk.
        std::optional<ChangeOutcome> failure;
        // On -1 before any change began (the search for the rows failed): the line on another's
        // lock or the lost connection, "" or "\r\n" and the line.
        QString hint;
    };

    HistoryMaintenance(rt::Transaction &live, rt::Transaction &history);

    // 0, or -1 with the reason in `error`.
    int stats(Stats &out, QString &error);
    // 0 done (or dry-run counted), -1 failed (whole chunks before the failure stay done and
    // journalled; the result says how many).
    int purge(const Category &category, const PurgePolicy &policy, const RunOptions &options, RunResult &result);
    // The purge by dates alone, as the batch dialog asks for it (its own date rule, see
    // PurgeDates): in chunks, each its own transaction and journal entry, or for 户籍信息 with
    // withPersons the household procedure in one. `what` leads each entry's detail (the
    // dates' words when empty). Returns as purge().
    int purgeDates(const Category &category, const PurgeDates &dates, bool withPersons, const QString &what,
                   const RunOptions &options, RunResult &result);
    // Deletes every snapshot equal to the next older snapshot of the same record — every column
    // but hisid and SaveTime equal, issave included, null equal to null and unequal to anything
    // else (a null against an empty text differs) — keeping the oldest of each run of equal
    // snapshots.
    int dedupe(const Category &category, const RunOptions &options, RunResult &result);
    // After runs that deleted more than a tenth of a table: gives the free space back (the
    // history file's VACUUM when nobody else has it open, else incremental vacuum; VACUUM
    // (ANALYZE) of the tables on the server). `tables` the history tables the runs touched, with
    // the rows each had before and the rows deleted. 0, or -1 with the reason.
    int compact(const QList<std::pair<TableCount, long long>> &deletedOfRowsBefore, RunResult &result);

    // Looks a category up as an operator names it: its tab text (户籍信息, 个人信息, 老年人信息, …)
    // or its history table (th_ge_rpr, in any case). Null when none.
    static const Category *categoryByName(const QString &name);

private:
    // Deletes the hisids `select` finds (bound with `params`) in chunks, each its own
    // transaction with its own journal entry; a dry run only counts them. With a `rowTest` (a
    // condition on one row alone, bound with the same `params`), a chunk is deleted as the rows
    // between its first and last hisid that meet it — the very rows found there — in one range
    // scan; without, by the list of its hisids (a condition over several rows, as keeping the
    // newest or comparing with the older snapshot, would not hold row by row) of which only
    // those are deleted that still meet `stillTest` (on the DELETE's row aliased d, bound with
    // `stillParams`), empty for none.
    int deleteSelected(const Category &category, const host::TableDef &def, const QString &select,
                       const QList<rt::Value> &params, const QString &rowTest, const QString &stillTest,
                       const QList<rt::Value> &stillParams, const QString &action, const QString &what,
                       const RunOptions &options, RunResult &result);
    // 户籍信息 with its persons: the household procedure, in one transaction.
    int purgeHouseholds(const Category &category, const PurgeDates &dates, const QString &what, const RunOptions &options,
                        RunResult &result);

    rt::Transaction &m_live;
    rt::Transaction &m_history;
};

} // namespace model
