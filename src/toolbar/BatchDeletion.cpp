#include "toolbar/BatchDeletion.h"

#include "toolbar/HistoryPrune.h"

#include "host/LockHint.h"
#include "host/TableDef.h"
#include "host/ui/Globals.h"
#include "host/ui/ModuleWindows.h"
#include "model/CategoryTable.h"
#include "model/deletion/BatchRun.h"
#include "model/HistorySql.h"
#include "model/deletion/HouseholdScope.h"
#include "model/deletion/PurgeDates.h"
#include "platform/core/Functions.h"
#include "platform/ui/AsideWait.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/PbWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <memory>

namespace hm {

namespace {

const QString Title = QString::fromUtf8("提示");

void tell(const char *text)
{
    rt::ui::MessageBox(Title, QString::fromUtf8(text), rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
}

// The date at 00:00:00, as the dialog's dates compare SaveTime with it.
rt::DateTime midnight(QDate d)
{
    return rt::fn::DateTime(d);
}

// A busy cursor while the database and the grid work.
// The busy cursor while the deletion works; done() before anything is told, so that no
// message box appears under a busy cursor.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { done(); }
    void done()
    {
        if (m_on)
            QApplication::restoreOverrideCursor();
        m_on = false;
    }
    // After done(), once the override cursor is set again.
    void again() { m_on = true; }

private:
    bool m_on = true;
};

enum class Scope { All, CutOff, Range };

struct Outcome
{
    const char *success;
    const char *failure;
    bool tellNothingFound; // 100 is told (the range statement)
};

Outcome outcomeOf(Scope scope, bool procedure)
{
    switch (scope) {
    case Scope::All: return {"删除所有记录成功!", "删除所有记录失败!", false};
    case Scope::CutOff: return {"删除记录成功!", procedure ? "删除户籍历史信息失败!" : "删除记录失败!", false};
    case Scope::Range: return {"删除记录成功!", procedure ? "删除户籍历史信息失败!" : "删除记录失败!", !procedure};
    }
    return {"", "", false};
}

// What a request deletes: the table, the scope and its dates, the household flag; or why not.
struct Plan
{
    QString table;
    bool household = false;
    Scope scope = Scope::All;
    QDate from, to; // the dates the scope is bounded by (dates at 00:00:00)
    const char *refusal = nullptr;
};

Plan planOf(rt::ui::DataWindowControl *grid, const BatchRequest &request)
{
    Plan p;
    p.table = grid->Describe(QStringLiteral("Datawindow.Table.UpdateTable"));
    if (p.table == QLatin1String("?") || p.table == QLatin1String("!"))
        p.table.clear(); // no update table: the statement is refused by the database
    p.household = p.table == QLatin1String("th_ge_rpr") && request.householdTicked;
    if (request.byKind) {
        static const QList<std::pair<const char *, int>> kinds{
            {"删除两年前记录", 730}, {"删除一年前记录", 365}, {"删除半年前记录", 180}, {"删除三个月前记录", 90}};
        if (request.kind == QString::fromUtf8("删除所有记录"))
            return p;
        p.scope = Scope::CutOff;
        for (const auto &[text, days] : kinds) {
            if (request.kind == QString::fromUtf8(text))
                p.to = rt::fn::RelativeDate(rt::fn::Today(), -days);
        }
        if (!p.to.isValid())
            p.refusal = "请先选择删除种类。";
    } else if (request.byRange) {
        p.scope = Scope::Range;
        p.from = request.start;
        p.to = request.end;
        if (!request.start.isValid() || !request.end.isValid())
            p.refusal = !request.start.isValid() ? "开始日期不正确，请按“年-月-日”输入一个存在的日期。"
                                                 : "结束日期不正确，请按“年-月-日”输入一个存在的日期。";
        else if (request.start > request.end)
            p.refusal = "开始日期不能大于结束日期";
    } else {
        p.refusal = "";
    }
    return p;
}

// The dialog's rule for the plan's dates (see model::PurgeDates).
model::PurgeDates datesOf(const Plan &p)
{
    switch (p.scope) {
    case Scope::All: return model::PurgeDates::all();
    case Scope::CutOff: return model::PurgeDates::upTo(p.to);
    case Scope::Range: return model::PurgeDates::between(p.from, p.to);
    }
    return model::PurgeDates::all();
}

} // namespace

rt::ui::DataWindowControl *BatchDeletion::currentGrid()
{
    rt::ui::PbWindow *sheet = nullptr;
    if (rt::ui::IsValid(host::ModuleWindows::w_histmanage()))
        rt::ui::LateBinding::callFunctionR(host::ModuleWindows::w_histmanage().data(), "GetActiveSheet", sheet);
    if (!rt::ui::IsValid(sheet) || sheet->ClassName() != QLatin1String("w_histabsheet"))
        return nullptr;
    rt::ui::DataWindowControl *grid = nullptr;
    rt::ui::LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
    return grid;
}

QString BatchDeletion::run(const BatchRequest &request, const QList<std::pair<QString, long>> *counted)
{
    rt::ui::DataWindowControl *grid = currentGrid();
    if (!grid)
        return QString();
    return execute(grid, request, counted);
}

QList<BatchDeletion::CountQuery> BatchDeletion::countQueries(rt::ui::DataWindowControl *grid, const BatchRequest &request,
                                                            QString &refusal, QString *when)
{
    QList<CountQuery> queries;
    const Plan p = planOf(grid, request);
    if (p.refusal) {
        refusal = QString::fromUtf8(p.refusal);
        return queries;
    }
    const model::PurgeDates dates = datesOf(p);
    // The dates as the deletion understood them, so a half-typed date cannot pass unseen.
    if (when)
        *when = dates.words();
    const rt::Transaction &t = host::g().photosqlca;
    if (!p.household) {
        const QString saveTime = model::HistorySql::ident(t, host::TableDef::saveTimeColumn());
        queries.append({p.table, QStringLiteral("select count(*) from %1 where %2")
                                     .arg(model::HistorySql::ident(t, p.table), dates.condition(saveTime)),
                        dates.values()});
        return queries;
    }
    // The procedure's scope: the households in it, their persons' snapshots in it, and those
    // persons' related history in it.
    for (const model::HouseholdScope::Table &scope : model::HouseholdScope::of(t, dates))
        queries.append({scope.table, scope.countSql(t), scope.params});
    return queries;
}

QList<std::pair<QString, long>> BatchDeletion::runCounts(rt::Transaction &t, const QList<CountQuery> &queries, QString &error)
{
    QList<std::pair<QString, long>> counts;
    for (const CountQuery &q : queries) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (t.selectInto(q.sql, q.params, n) != 0) {
            error = t.SQLErrText();
            return {};
        }
        counts.append({q.table, long(n[0].longValue())});
    }
    return counts;
}

QList<std::pair<QString, long>> BatchDeletion::preview(rt::ui::DataWindowControl *grid, const BatchRequest &request,
                                                       QString &refusal)
{
    const QList<CountQuery> queries = countQueries(grid, request, refusal);
    if (!refusal.isEmpty())
        return {};
    return runCounts(host::g().photosqlca, queries, refusal);
}

model::BatchRun::Outcome BatchDeletion::runAside(model::BatchRun &job, long of, bool household, int progressAfterMs)
{
    // The work goes to another thread; this one keeps the windows painted, and once it has
    // taken longer than a moment shows how far it has come, with 取消.
    rt::Transaction &history = host::g().photosqlca;
    history.setLent(true);
    const auto label = [&job, of] {
        if (job.committing())
            return QString::fromUtf8("正在保存……");
        const long long done = job.done();
        if (done < 0)
            return QString::fromUtf8("正在删除……"); // the procedure does not say how far it is
        return QString::fromUtf8("正在删除：已删除 %1 条，共 %2 条").arg(rt::fn::Grouped(done), rt::fn::Grouped(of));
    };
    const auto percent = [&job, of] {
        const long long done = job.done();
        return done < 0 ? -1 : int(std::min<long long>(done, of) * 100 / std::max<long>(of, 1));
    };
    model::BatchRun::Outcome outcome = model::BatchRun::Outcome::Failed;
    rt::ui::AsideWait wait({.dialog = rt::ui::AsideWait::Dialog{
                                .title = QString::fromUtf8("批量删除"),
                                .label = label,
                                .percent = percent,
                                .stoppingLabel = household ? QString::fromUtf8("正在取消：撤销已删除的记录……")
                                                           : QString::fromUtf8("正在停止：这一块删除完后停止……"),
                                .objectName = QStringLiteral("batch_progress"),
                                // Once the COMMIT has begun there is nothing left to stop.
                                .stoppable = [&job] { return !job.committing(); },
                                .progressAfterMs = progressAfterMs},
                            .stop =
                                [&job] {
                                    job.stop(); // refused once the COMMIT has begun
                                    return !job.committing();
                                }});
    wait.run([&job, &outcome] { outcome = job.run(); });
    history.setLent(false);
    return outcome;
}

bool BatchDeletion::countNow(rt::ui::DataWindowControl *grid, const BatchRequest &request,
                             QList<std::pair<QString, long>> &counts)
{
    QString refusal, error;
    counts = runCounts(host::g().photosqlca, countQueries(grid, request, refusal), error);
    if (error.isEmpty())
        return true;
    rt::ui::MessageBox(Title, QString::fromUtf8("无法计算将删除的记录数，未作删除：\r\n") + error, rt::ui::MsgIcon::Exclamation,
                       rt::ui::MsgButtons::OK, 1);
    return false;
}

bool BatchDeletion::confirm(const QList<std::pair<QString, long>> &counts, const QString &before)
{
    if (total(counts) == 0)
        return true; // nothing to ask about: the deletion finds nothing, or asks once it does
    return rt::ui::MessageBox(Title,
                              before
                                  + QString::fromUtf8("将删除 %1 条历史记录：%2，删除后将无法恢复，确定要删除吗?")
                                        .arg(rt::fn::Grouped(total(counts)), countWords(counts)),
                              rt::ui::MsgIcon::Question, rt::ui::MsgButtons::YesNo, 2)
           == 1;
}

QString BatchDeletion::countWords(const QList<std::pair<QString, long>> &counts)
{
    QStringList parts;
    for (const auto &[table, n] : counts) {
        if (n > 0) {
            const model::Category *c = model::CategoryTable::byHistoryTable(table.toLower());
            parts << QString::fromUtf8("%1 %2 条").arg(c ? c->tabText : table, rt::fn::Grouped(n));
        }
    }
    return parts.join(QString::fromUtf8("，"));
}

long BatchDeletion::total(const QList<std::pair<QString, long>> &counts)
{
    long sum = 0;
    for (const auto &[table, n] : counts)
        sum += n;
    return sum;
}

QString BatchDeletion::countText(const QString &when, const QList<std::pair<QString, long>> &counts)
{
    if (total(counts) == 0)
        return when + QString::fromUtf8("：将删除 0 条记录");
    return when + QString::fromUtf8("：将删除：") + countWords(counts);
}

QString BatchDeletion::execute(rt::ui::DataWindowControl *grid, const BatchRequest &request,
                               const QList<std::pair<QString, long>> *counted, const BatchOptions &options)
{
    const Plan plan = planOf(grid, request);
    if (plan.refusal) {
        if (*plan.refusal)
            tell(plan.refusal);
        return QString();
    }
    rt::Transaction &photosqlca = host::g().photosqlca;
    // Nothing is deleted before the operator has seen how much: the counts the dialog shows, or
    // counted now with the deletion's own predicates. No transaction is open while the question
    // waits for an answer.
    QList<std::pair<QString, long>> confirmed;
    if (counted) {
        confirmed = *counted;
    } else if (!countNow(grid, request, confirmed)) {
        return QString::fromUtf8("无法计算将删除的记录数，未作删除。");
    }
    if (!confirm(confirmed, QString()))
        return QString::fromUtf8("没有删除。");

    const long rows = grid->RowCount();
    const Scope scope = plan.scope;
    const QDate from = plan.from, to = plan.to;
    const bool household = plan.household;
    const QString table = plan.table;
    const Outcome outcome = outcomeOf(scope, household);
    BusyCursor busy;
    QElapsedTimer timer;
    timer.start();
    const model::Category *category = model::CategoryTable::byHistoryTable(table.toLower());
    if (!category) {
        busy.done();
        rt::ui::MessageBox(Title, QString::fromUtf8(outcome.failure), rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
        return QString::fromUtf8("删除失败：这个表格没有历史信息表。");
    }
    model::BatchRun::Work work;
    work.category = category;
    work.dates = datesOf(plan);
    work.household = household;
    work.what = (request.byKind ? QString::fromUtf8("按类型：%1；").arg(request.kind) : QString()) + work.dates.words();
    work.chunkRows = options.chunkRows;
    work.afterChunk = options.afterChunk;
    model::BatchRun::Outcome result;
    std::unique_ptr<model::BatchRun> job;
    for (;;) {
        work.confirmed = total(confirmed);
        job = std::make_unique<model::BatchRun>(host::g().sqlca, photosqlca, work);
        result = runAside(*job, work.confirmed, work.household, options.progressAfterMs);
        // More rows than the operator confirmed (rows saved since the count): none of them goes
        // without being asked about again, with the count as it is now. Nothing was deleted.
        if (result != model::BatchRun::Outcome::More)
            break;
        const long before = total(confirmed);
        busy.done();
        if (!countNow(grid, request, confirmed))
            return QString::fromUtf8("无法计算将删除的记录数，未作删除。");
        if (!confirm(confirmed, QString::fromUtf8("符合条件的记录已有变化：确认时为 %1 条，现在为 %2 条。\r\n")
                                    .arg(rt::fn::Grouped(before), rt::fn::Grouped(total(confirmed)))))
            return QString::fromUtf8("没有删除。");
        QApplication::setOverrideCursor(Qt::WaitCursor);
        busy.again();
    }
    const model::HistoryMaintenance::RunResult &ran = job->result();
    const long long deleted = job->deleted();
    // The rows of the chunks that were saved leave the grid, whatever came after them.
    auto pruneDeleted = [&]() -> long {
        if (deleted == 0)
            return 0;
        const bool whole = result == model::BatchRun::Outcome::Done;
        if (scope == Scope::All && whole) {
            const long n = grid->RowCount();
            grid->Reset();
            return n;
        }
        const std::optional<rt::DateTime> lower = scope == Scope::Range ? std::optional(midnight(from)) : std::nullopt;
        const std::optional<rt::DateTime> upper = scope == Scope::All ? std::nullopt : std::optional(midnight(to));
        return HistoryPrune::prune(grid, rows, lower, upper, whole ? std::nullopt : std::optional<qint64>(ran.lastHisid));
    };
    if (result == model::BatchRun::Outcome::Stopped) {
        const long pruned = pruneDeleted();
        busy.done();
        if (ran.failure && ran.failure->unknown()) {
            rt::ui::MessageBox(Title, QString::fromUtf8("批量删除已取消。\r\n") + host::LockHint::unknownText(),
                               rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
            return QString::fromUtf8("已取消，结果不明。");
        }
        if (deleted == 0) {
            tell("批量删除已取消，历史信息未改动。");
            return QString::fromUtf8("已取消，什么也没有删除。");
        }
        rt::ui::MessageBox(Title,
                           QString::fromUtf8("批量删除已停止：已删除 %1 条历史记录（%2 块，每块都已保存），其余的没有删除。")
                               .arg(rt::fn::Grouped(deleted), rt::fn::Grouped(ran.chunks)),
                           rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
        return QString::fromUtf8("已停止：已删除 %1 条历史记录，表格中移去 %2 行。").arg(rt::fn::Grouped(deleted), rt::fn::Grouped(pruned));
    }
    if (result == model::BatchRun::Outcome::Failed) {
        // What the register holds of the chunk that failed was read before this is told; the
        // chunks before it are saved, and said so.
        const long pruned = pruneDeleted();
        QString told = ran.failure ? ran.failure->failureText(QString::fromUtf8(outcome.failure))
                                   : QString::fromUtf8(outcome.failure) + ran.hint + QStringLiteral("\r\n")
                                         + QString(ran.error).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        if (deleted > 0)
            told += QString::fromUtf8("\r\n在此之前已删除并保存 %1 条历史记录（%2 块）。").arg(rt::fn::Grouped(deleted), rt::fn::Grouped(ran.chunks));
        busy.done();
        rt::ui::MessageBox(Title, told, rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
        const QString why = ran.failure ? ran.failure->why : QString(ran.error).replace(QLatin1Char('\n'), QLatin1Char(' '));
        QString status = ran.failure && ran.failure->unknown() ? QString::fromUtf8("删除的结果不明：%1").arg(why)
                                                               : QString::fromUtf8("删除失败：%1").arg(why);
        if (pruned > 0)
            status += QString::fromUtf8("（此前已删除 %1 条，表格中移去 %2 行）").arg(rt::fn::Grouped(deleted), rt::fn::Grouped(pruned));
        return status;
    }
    if (result == model::BatchRun::Outcome::NothingFound) {
        busy.done();
        if (outcome.tellNothingFound)
            tell("该事件段内没有删除的记录");
        return QString::fromUtf8("没有符合条件的记录，什么也没有删除。");
    }
    const long pruned = pruneDeleted();
    const double seconds = timer.elapsed() / 1000.0;
    busy.done();
    tell(outcome.success);
    return QString::fromUtf8("已删除 %1 条历史记录，表格中移去 %2 行（%3 秒）。")
        .arg(rt::fn::Grouped(deleted), rt::fn::Grouped(pruned))
        .arg(seconds, 0, 'f', 1);
}

} // namespace hm
