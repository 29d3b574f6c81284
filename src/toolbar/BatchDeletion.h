#pragma once

#include "model/deletion/BatchRun.h"
#include "platform/core/Value.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

namespace rt {
class Transaction;
}
namespace rt::ui {
class DataWindowControl;
}

namespace hm {

// What the batch delete dialog holds when 确定 is clicked.
struct BatchRequest
{
    bool byKind = false;  // rb_delkind checked
    bool byRange = false; // rb_deldate checked
    QString kind;         // ddlb_kind's text, "" when none is chosen
    QString startText, endText;
    QDate start, end;     // invalid for an impossible or incomplete date
    bool householdTicked = false;
};

// How a batch deletion goes about its work (the dialog takes the defaults).
struct BatchOptions
{
    long chunkRows = 10000;    // rows a chunk deletes, each chunk its own transaction and journal entry
    int progressAfterMs = 500; // the wait after which the window shows progress with 取消
    // Called on the working thread after each chunk with the rows deleted so far; false cancels
    // (for callers that watch without a window).
    std::function<bool(long long deleted)> afterChunk;
};

// The batch deletion on the grid of the active history sheet: the purge engine on photosqlca
// (model::BatchRun: chunks each committed with its own journal entry, or the household
// procedure in one transaction), the operator's message and the grid pruned to exactly the rows
// the database lost. Returns a line for the dialog's status (the count deleted), or a null
// string when nothing was attempted.
class BatchDeletion
{
public:
    // The grid of the active history sheet of w_histmanage, or null.
    static rt::ui::DataWindowControl *currentGrid();
    // On the grid of the active history sheet of w_histmanage; nothing without one.
    static QString run(const BatchRequest &request, const QList<std::pair<QString, long>> *counted = nullptr);
    // On the given history grid (bound to photosqlca). Before anything is deleted the operator
    // is asked, with the whole count ("将删除 N 条历史记录：…，删除后将无法恢复，确定要删除吗?", 否
    // the default): `counted` when the caller has counted the request already (the dialog's
    // count line), else counted here. Should the deletion find more rows than were confirmed
    // (saved since the count), it is undone and asked about again with the count as it is. A
    // failure anywhere is settled by reading the register (Journal::settle) before anything is
    // told. The deletion itself runs off the window's thread (model::BatchRun): the windows keep
    // being painted, and after a moment a progress dialog says how many rows are deleted of how
    // many, with 取消, which stops after the chunk in progress (the household procedure: undoes
    // it all) and says exactly what was deleted.
    static QString execute(rt::ui::DataWindowControl *grid, const BatchRequest &request,
                           const QList<std::pair<QString, long>> *counted = nullptr, const BatchOptions &options = {});
    // The statements that count what the request would delete, table by table, with the
    // deletion's own predicates (the statement's, or proc_DelRprScope's for the household
    // flag); made on the user-interface thread (they read the grid). Empty with the refusal when
    // the request would be refused; when receives the dates as understood ("2024-01-15 至 …").
    struct CountQuery
    {
        QString table;
        QString sql;
        QList<rt::Value> params; // bound in order
    };
    static QList<CountQuery> countQueries(rt::ui::DataWindowControl *grid, const BatchRequest &request, QString &refusal,
                                          QString *when = nullptr);
    // Runs them on a connection (any thread may, on a connection of its own); empty with the
    // database's reason on failure.
    static QList<std::pair<QString, long>> runCounts(rt::Transaction &t, const QList<CountQuery> &queries, QString &error);
    // The counts in words after the dates ("2024-01-15 至 2024-06-30：将删除：户籍信息 12 条").
    static QString countText(const QString &when, const QList<std::pair<QString, long>> &counts);
    // The tables with rows, by category ("户籍信息 12 条，个人信息 30 条"), and all rows together.
    static QString countWords(const QList<std::pair<QString, long>> &counts);
    static long total(const QList<std::pair<QString, long>> &counts);

    // How many rows the request would delete, table by table, counted with the deletion's own
    // predicates (the statement's, or proc_DelRprScope's for the household flag); nothing is
    // changed. Empty with the reason when the request would be refused.
    static QList<std::pair<QString, long>> preview(rt::ui::DataWindowControl *grid, const BatchRequest &request,
                                                   QString &refusal);

private:
    // Counts the request now; false, the operator told, when the count fails.
    static bool countNow(rt::ui::DataWindowControl *grid, const BatchRequest &request, QList<std::pair<QString, long>> &counts);
    // The question with the whole count (nothing asked when there is nothing); `before` goes
    // first (why it is asked again). True for 是.
    static bool confirm(const QList<std::pair<QString, long>> &counts, const QString &before);
    // Runs the job on another thread through the one wait (rt::ui::AsideWait): progress after a
    // moment, 取消 passed on (refused once the procedure's COMMIT has begun).
    static model::BatchRun::Outcome runAside(model::BatchRun &job, long of, bool household, int progressAfterMs);
};

} // namespace hm
