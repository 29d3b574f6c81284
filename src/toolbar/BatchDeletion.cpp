#include "toolbar/BatchDeletion.h"

#include "toolbar/BatchRun.h"
#include "toolbar/HistoryPrune.h"

#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "host/Journal.h"
#include "host/LockHint.h"
#include "model/ModuleWindows.h"
#include "platform/core/DeclaredProcedure.h"
#include "platform/core/Functions.h"
#include "platform/core/SqlQuote.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/ui/PbWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>

namespace hm {

namespace {

const QString Title = QString::fromUtf8("提示");

void tell(const char *text)
{
    rt::ui::MessageBox(Title, QString::fromUtf8(text), rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
}

// The date at 00:00:00, as the statements and the procedure compare SaveTime with it.
rt::DateTime midnight(QDate d)
{
    return rt::fn::DateTime(d);
}

QString literal(QDate d)
{
    return rt::sqlQuote(d.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"));
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

// The scope on a table's SaveTime, as the statements and proc_DelRprScope compare it.
QString scopeCondition(const Plan &p, const QString &column = QStringLiteral("savetime"))
{
    switch (p.scope) {
    case Scope::All: return QString();
    case Scope::CutOff: return QStringLiteral("%1 <= %2").arg(column, literal(p.to));
    case Scope::Range: return QStringLiteral("%1 <= %2 and %1 >= %3").arg(column, literal(p.to), literal(p.from));
    }
    return QString();
}

QString whereOf(const Plan &p)
{
    const QString c = scopeCondition(p);
    return c.isEmpty() ? QString() : QStringLiteral(" where ") + c;
}

} // namespace

rt::ui::DataWindowControl *BatchDeletion::currentGrid()
{
    rt::ui::PbWindow *sheet = nullptr;
    if (rt::ui::IsValid(model::ModuleWindows::w_histmanage()))
        rt::ui::LateBinding::callFunctionR(model::ModuleWindows::w_histmanage().data(), "GetActiveSheet", sheet);
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
    if (when) {
        // The dates as the deletion understood them, so a half-typed date cannot pass unseen.
        const QString day = QStringLiteral("yyyy-MM-dd");
        switch (p.scope) {
        case Scope::All: *when = QString::fromUtf8("全部记录"); break;
        case Scope::CutOff: *when = QString::fromUtf8("%1 以前保存的记录").arg(p.to.toString(day)); break;
        case Scope::Range: *when = QString::fromUtf8("%1 至 %2").arg(p.from.toString(day), p.to.toString(day)); break;
        }
    }
    auto count = [&](const QString &table, const QString &where) {
        queries.append({table, QStringLiteral("select count(*) from %1%2").arg(rt::sqlIdentifier(table), where)});
    };
    if (!p.household) {
        count(p.table, whereOf(p));
        return queries;
    }
    // The procedure's scope: the households in it, their persons' snapshots in it, and those
    // persons' related history in it.
    const QString scope = scopeCondition(p).isEmpty() ? QStringLiteral("1 = 1") : scopeCondition(p);
    const QString households = QStringLiteral("select RprNo from th_ge_rpr where %1").arg(scope);
    count(QStringLiteral("th_ge_rpr"), QStringLiteral(" where ") + scope);
    count(QStringLiteral("th_ge_personinfo"), QStringLiteral(" where %1 and RprNo in (%2)").arg(scope, households));
    for (const model::Category *c : model::CategoryTable::cascade())
        count(c->historyTable, QStringLiteral(" where %1 and personno in (select PersonNo from th_ge_personinfo where RprNo in (%2))")
                                   .arg(scope, households));
    return queries;
}

QList<std::pair<QString, long>> BatchDeletion::runCounts(rt::Transaction &t, const QList<CountQuery> &queries, QString &error)
{
    QList<std::pair<QString, long>> counts;
    for (const CountQuery &q : queries) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (t.selectInto(q.sql, {}, n) != 0) {
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

BatchRun::Outcome BatchDeletion::runAside(BatchRun &job, long of, int progressAfterMs)
{
    // The work goes to another thread; this one keeps the windows painted, and once it has
    // taken longer than a moment shows how far it has come, with 取消.
    rt::Transaction &history = host::g().photosqlca;
    history.setLent(true);
    QFuture<BatchRun::Outcome> running = QtConcurrent::run([&job] { return job.run(); });
    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<QProgressDialog> progress;
    bool cancelling = false;
    while (!running.isFinished()) {
        // Until the progress dialog is shown nothing the operator does is taken (a second 确定
        // would start a second deletion on the connection at work); once it is, it is modal and
        // only its 取消 can be pressed; once 取消 is pressed or the COMMIT has begun, nothing again.
        QEventLoop pause;
        QTimer::singleShot(50, &pause, &QEventLoop::quit);
        pause.exec(progress && !cancelling && !job.committing() ? QEventLoop::AllEvents
                                                                 : QEventLoop::ExcludeUserInputEvents);
        if (running.isFinished())
            break;
        if (!progress && waited.elapsed() >= progressAfterMs) {
            progress = std::make_unique<QProgressDialog>(QString(), QString::fromUtf8("取消"), 0, int(std::max<long>(of, 1)),
                                                         QApplication::activeWindow());
            progress->setObjectName(QStringLiteral("batch_progress"));
            progress->setWindowTitle(QString::fromUtf8("批量删除"));
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            QApplication::restoreOverrideCursor(); // the dialog says it is busy; 取消 takes a pointer
            // 取消 hides the dialog: it is shown again at once, saying the deletion is being
            // undone, and stays up, modal, until the work has wound down.
            QObject::connect(progress.get(), &QProgressDialog::canceled, progress.get(), [&job, &cancelling, &progress] {
                job.stop(); // refused once the COMMIT has begun
                cancelling = !job.committing();
                progress->show();
            });
            progress->show();
        }
        if (!progress)
            continue;
        if (progress->wasCanceled() && !cancelling) {
            job.stop();
            cancelling = !job.committing();
        }
        // Hidden some other way (Esc, the title bar): up again, for the same reason.
        if (!progress->isVisible())
            progress->show();
        const long long done = job.done();
        if (job.committing()) {
            progress->setLabelText(QString::fromUtf8("正在保存……"));
            progress->setCancelButtonText(QString());
        } else if (cancelling) {
            progress->setRange(0, 0);
            progress->setLabelText(QString::fromUtf8("正在取消：撤销已删除的记录……"));
            progress->setCancelButtonText(QString());
        } else if (done < 0) {
            progress->setRange(0, 0); // the procedure does not say how far it is
            progress->setLabelText(QString::fromUtf8("正在删除……"));
        } else {
            progress->setValue(int(std::min<long long>(done, of)));
            progress->setLabelText(QString::fromUtf8("正在删除：已删除 %1 条，共 %2 条").arg(rt::fn::Grouped(done), rt::fn::Grouped(of)));
        }
    }
    history.setLent(false);
    if (progress)
        QApplication::setOverrideCursor(Qt::WaitCursor); // BusyCursor restores it
    return running.result();
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
    host::Journal::Entry entry{QString::fromUtf8("批量删除"), category ? category->tabText : table, QString(), {},
                               QString::fromUtf8("成功"), QString()};
    QString refusal, when;
    const QList<CountQuery> queries = countQueries(grid, request, refusal, &when);
    entry.detail = (request.byKind ? QString::fromUtf8("按类型：%1；").arg(request.kind) : QString()) + when
                   + (household ? QString::fromUtf8("；连同户中人员") : QString());
    BatchRun::Work work;
    work.table = table;
    work.household = household;
    work.flag = scope == Scope::All ? 1 : (scope == Scope::CutOff ? 2 : 3);
    work.start = scope == Scope::All      ? rt::Value::null(rt::ValueType::DateTime)
                 : scope == Scope::CutOff ? rt::Value(midnight(to))
                                          : rt::Value(midnight(from));
    work.end = scope == Scope::Range ? rt::Value(midnight(to)) : rt::Value::null(rt::ValueType::DateTime);
    work.where = whereOf(plan);
    for (const CountQuery &q : queries)
        work.counts << std::pair(q.table, q.sql);
    work.chunkRows = options.chunkRows;
    work.afterChunk = options.afterChunk;
    BatchRun::Outcome result;
    std::unique_ptr<BatchRun> job;
    for (;;) {
        work.confirmed = total(confirmed);
        job = std::make_unique<BatchRun>(photosqlca, work, entry);
        result = runAside(*job, work.confirmed, options.progressAfterMs);
        // More rows than the operator confirmed (rows saved since the count): none of them goes
        // without being asked about again, with the count as it is now.
        if (result != BatchRun::Outcome::More)
            break;
        photosqlca.rollback();
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
    entry = job->entry();
    const std::int64_t deleted = job->deleted();
    if (result == BatchRun::Outcome::Cancelled) {
        // Everything of it is rolled back; the register is read before anything is said.
        QString error;
        const host::Journal::Outcome settled = host::Journal::settle(photosqlca, entry, error);
        busy.done();
        if (settled == host::Journal::Outcome::NotSaved) {
            host::Journal::appendFailure(photosqlca, entry, QString::fromUtf8("操作员取消"));
            tell("批量删除已取消，历史信息未改动。");
            return QString::fromUtf8("已取消，什么也没有删除。");
        }
        if (settled == host::Journal::Outcome::Unknown) {
            rt::ui::MessageBox(Title, QString::fromUtf8("批量删除已取消。\r\n") + host::LockHint::unknownText(),
                               rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
            return QString::fromUtf8("已取消，结果不明。");
        }
        // Saved after all (the COMMIT had begun): told and pruned as done, below.
    } else if (result == BatchRun::Outcome::Failed) {
        // A failed statement, procedure or COMMIT: what the register holds is read before
        // anything is told. A COMMIT whose answer was lost may have held: then the deletion is
        // done, and told and pruned as such.
        const QString why = job->why();
        QString told = host::LockHint::add(outcome.failure, photosqlca, true);
        QString error;
        const host::Journal::Outcome settled = host::Journal::settle(photosqlca, entry, error);
        if (settled != host::Journal::Outcome::Saved) {
            if (settled == host::Journal::Outcome::NotSaved)
                host::Journal::appendFailure(photosqlca, entry, why);
            else
                told += QStringLiteral("\r\n") + host::LockHint::unknownText() + (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error);
            busy.done();
            rt::ui::MessageBox(Title, told, rt::ui::MsgIcon::Information, rt::ui::MsgButtons::OK, 1);
            return settled == host::Journal::Outcome::NotSaved ? QString::fromUtf8("删除失败：%1").arg(why)
                                                               : QString::fromUtf8("删除的结果不明：%1").arg(why);
        }
    } else if (result == BatchRun::Outcome::NothingFound) {
        busy.done();
        if (outcome.tellNothingFound)
            tell("该事件段内没有删除的记录");
        return QString::fromUtf8("没有符合条件的记录，什么也没有删除。");
    }
    long pruned = 0;
    if (scope == Scope::All) {
        pruned = grid->RowCount();
        grid->Reset();
    } else {
        const std::optional<rt::DateTime> lower = scope == Scope::Range ? std::optional(midnight(from)) : std::nullopt;
        pruned = HistoryPrune::prune(grid, rows, lower, midnight(to));
    }
    const double seconds = timer.elapsed() / 1000.0;
    busy.done();
    tell(outcome.success);
    return QString::fromUtf8("已删除 %1 条历史记录，表格中移去 %2 行（%3 秒）。")
        .arg(rt::fn::Grouped(deleted), rt::fn::Grouped(pruned))
        .arg(seconds, 0, 'f', 1);
}

} // namespace hm
