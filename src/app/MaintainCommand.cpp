#include "app/MaintainCommand.h"

#include "app/AppOptions.h"
#include "app/MaintainPolicy.h"
#include "app/StartupTexts.h"
#include "host/ConnectionProfile.h"
#include "host/RegisterDatabases.h"
#include "model/Category.h"
#include "platform/core/Functions.h"
#include "platform/core/PgConninfo.h"
#include "platform/core/Transaction.h"
#include "platform/core/Value.h"

#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMap>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace app {

namespace {

using HM = model::HistoryMaintenance;

volatile std::sig_atomic_t g_interrupt = 0;

extern "C" void onInterrupt(int)
{
    g_interrupt = 1;
    // Only what is safe in a signal handler: a fixed text, written at once.
    static const char text[] = "\nhistmaint: 收到中断，当前一块完成后停止（再按一次 Ctrl+C 立即结束）。\n"
                               "histmaint: interrupted; stopping after the chunk in progress (again to end at once).\n";
    ssize_t written = ::write(STDERR_FILENO, text, sizeof text - 1);
    (void)written;
}

// Unattended runs read whole history tables (stats over ten million rows, a dedupe's select):
// the interactive program's statement timeout would cut them off. A lost server still ends the
// run through the connection's own keepalive.
constexpr int maintainStatementTimeoutMs = 3600 * 1000;

QString makeRunId()
{
    return QStringLiteral("maintain-%1-%2")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
        .arg(QCoreApplication::applicationPid());
}

} // namespace

MaintainCommand::MaintainCommand(const MaintainOptions &options, QTextStream &out, QTextStream &err)
    : m_options(options), m_out(out), m_err(err), m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

void MaintainCommand::catchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // A second interrupt is not caught: it ends the program, as the operator then means.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool MaintainCommand::interruptRequested()
{
    return g_interrupt != 0;
}

int MaintainCommand::failed(const QString &reason)
{
    m_err << "histmaint: " << reason << Qt::endl;
    return Failed;
}

int MaintainCommand::usage(const QString &reason)
{
    m_err << "histmaint: " << reason << Qt::endl;
    return Usage;
}

int MaintainCommand::run()
{
    std::unique_ptr<MaintainPolicy> policy;
    if (m_options.action == MaintainOptions::Action::Policy) {
        policy = std::make_unique<MaintainPolicy>();
        QString error;
        if (!QFileInfo(m_options.policyPath).isReadable())
            return failed(QString::fromUtf8("无法读取维护策略文件 %1。").arg(m_options.policyPath) + QLatin1Char('\n')
                          + QStringLiteral("cannot read the policy file %1").arg(m_options.policyPath));
        if (!policy->load(m_options.policyPath, error))
            return usage(error);
    }
    QList<Target> targets;
    QString reason;
    if (!resolveTargets(policy.get(), targets, reason))
        return usage(reason);

    rt::Transaction sqlca(QStringLiteral("sqlca"));
    rt::Transaction photosqlca(QStringLiteral("photosqlca"));
    const int connected = connectRegister(policy.get(), sqlca, photosqlca);
    if (connected != Done)
        return connected;
    HM engine(sqlca, photosqlca);
    const int status = m_options.action == MaintainOptions::Action::Stats ? runStats(engine)
                                                                            : runDeletions(engine, photosqlca, targets);
    sqlca.disconnect();
    photosqlca.disconnect();
    return status;
}

bool MaintainCommand::resolveTargets(const MaintainPolicy *policy, QList<Target> &targets, QString &reason)
{
    const QDate today = QDate::currentDate();
    auto isHousehold = [](const model::Category *c) { return c->stem == QLatin1String("ge_rpr"); };
    if (policy) {
        for (const MaintainPolicy::Section &s : policy->sections()) {
            const model::Category *c = HM::categoryByName(s.name);
            if (!c) {
                reason = MaintainPolicy::atLine(policy->path(), s.line, QString::fromUtf8("没有名为“%1”的类别。").arg(s.name),
                                                QStringLiteral("no category is named '%1'").arg(s.name));
                return false;
            }
            if (s.withPersonsLine > 0 && !isHousehold(c)) {
                reason = MaintainPolicy::atLine(policy->path(), s.withPersonsLine, QString::fromUtf8("with_persons 只用于户籍信息。"),
                                                QStringLiteral("with_persons goes with 户籍信息 only"));
                return false;
            }
            if (s.withPersons && s.keepLast > 0) {
                // The household procedure deletes by date only: the newest of each record
                // could not be kept among the persons it takes along.
                reason = MaintainPolicy::atLine(policy->path(), s.withPersonsLine,
                                                QString::fromUtf8("with_persons 不能与 keep_last 同用：连同户中人员删除时只按日期删除。"),
                                                QStringLiteral("with_persons cannot go with keep_last: the persons go by date only"));
                return false;
            }
            // One section a category: two would each count what the other deletes.
            for (const Target &earlier : std::as_const(targets)) {
                if (earlier.category == c) {
                    reason = MaintainPolicy::atLine(policy->path(), s.line,
                                                    QString::fromUtf8("类别“%1”已在前面设置过，每个类别只能有一节。").arg(c->tabText),
                                                    QStringLiteral("the category '%1' has a section already; one section a category")
                                                        .arg(s.name));
                    return false;
                }
            }
            if (!s.dedupe && !s.purges())
                continue;
            Target t;
            t.category = c;
            t.dedupe = s.dedupe;
            t.purge = s.purges();
            t.policy.before = s.purgeBefore(today);
            t.policy.keepLast = s.keepLast;
            t.policy.withPersons = s.withPersons;
            targets << t;
        }
        return true;
    }
    for (const QString &name : m_options.categories) {
        const model::Category *c = HM::categoryByName(name);
        if (!c) {
            reason = QString::fromUtf8("没有名为“%1”的类别。").arg(name) + QLatin1Char('\n')
                     + QStringLiteral("no category is named '%1'\n\n").arg(name) + MaintainOptions::usage();
            return false;
        }
        if (m_options.withPersons && !isHousehold(c)) {
            reason = QString::fromUtf8("--with-persons 只用于户籍信息。") + QLatin1Char('\n')
                     + QStringLiteral("--with-persons goes with 户籍信息 only\n\n") + MaintainOptions::usage();
            return false;
        }
        // Named twice (by its tab text and its table, say): done once.
        if (std::any_of(targets.cbegin(), targets.cend(), [c](const Target &earlier) { return earlier.category == c; }))
            continue;
        Target t;
        t.category = c;
        t.dedupe = m_options.action == MaintainOptions::Action::Dedupe;
        t.purge = m_options.action == MaintainOptions::Action::Purge;
        t.policy.before = m_options.before;
        t.policy.keepLast = m_options.keepLast;
        t.policy.withPersons = m_options.withPersons;
        targets << t;
    }
    return true;
}

int MaintainCommand::connectRegister(const MaintainPolicy *policy, rt::Transaction &sqlca, rt::Transaction &photosqlca)
{
    QString dataDir = m_options.dataDir, livePath = m_options.livePath, historyPath = m_options.historyPath;
    QString pg = m_options.pg, profileName = m_options.profile;
    // The command line names the register first; a policy file's [register] when it does not.
    if (!m_options.registerGiven() && policy) {
        profileName = policy->profile();
        dataDir = policy->dataDir();
    }
    if (dataDir.isEmpty() && livePath.isEmpty() && pg.isEmpty() && profileName.isEmpty())
        dataDir = AppOptions::defaultDataDirPath();
    QString error;
    if (pg.isEmpty() && profileName.isEmpty()) {
        if (!dataDir.isEmpty()) {
            livePath = QDir(dataDir).filePath(QStringLiteral("register.db"));
            historyPath = QDir(dataDir).filePath(QStringLiteral("history.db"));
        }
        // Never a demo register here: an unattended run on a register that is not there is a
        // mistake in its set-up.
        const bool liveExists = QFileInfo::exists(livePath), historyExists = QFileInfo::exists(historyPath);
        if (!liveExists && !historyExists) {
            const QString folder = dataDir.isEmpty() ? QFileInfo(livePath).absolutePath() : dataDir;
            return failed(QFileInfo(folder).isDir() ? (dataDir.isEmpty() ? StartupTexts::missingFile(livePath)
                                                                         : StartupTexts::noRegisterIn(folder))
                                                    : StartupTexts::missingFolder(folder));
        }
        if (!liveExists || !historyExists)
            return failed(StartupTexts::missingFile(liveExists ? historyPath : livePath));
        if (host::RegisterDatabases::connect(livePath, historyPath, sqlca, photosqlca, error) != 0)
            return failed(StartupTexts::cannotOpen(error));
        return Done;
    }
    QString conninfo = pg;
    QByteArray password;
    int timeoutMs = maintainStatementTimeoutMs;
    if (!profileName.isEmpty()) {
        host::ConnectionProfile profile;
        if (!profile.load(profileName, error))
            return failed(error + QLatin1Char('\n') + QStringLiteral("cannot use the connection profile %1").arg(profileName));
        conninfo = profile.conninfo();
        password = profile.password();
        timeoutMs = qMax(timeoutMs, profile.statementTimeoutMs());
    }
    for (rt::Transaction *t : {&sqlca, &photosqlca}) {
        t->StatementTimeoutMs = timeoutMs;
        t->Password = QByteArray(password.constData(), password.size()); // its own buffer, overwritten at its end
    }
    password.fill('\0');
    bool passwordWanted = false;
    if (host::RegisterDatabases::connectServer(conninfo, sqlca, photosqlca, error, &passwordWanted) != 0) {
        if (passwordWanted)
            return failed(QString::fromUtf8("服务器 %1 要求密码，而连接配置和 ~/.pgpass 都没有给出（或给出的密码不对）。"
                                            "无人值守的维护从不询问密码：请在运行它的用户的 ~/.pgpass 中写入。")
                              .arg(rt::PgConninfo::masked(conninfo))
                          + QLatin1Char('\n')
                          + QStringLiteral("the server %1 wants a password that neither the profile nor ~/.pgpass gives "
                                           "(or the one given was refused); unattended upkeep never asks: write it in "
                                           "~/.pgpass of the user that runs it\n%2")
                                .arg(rt::PgConninfo::masked(conninfo), error));
        return failed(StartupTexts::cannotOpen(error));
    }
    return Done;
}

int MaintainCommand::runStats(HM &engine)
{
    HM::Stats stats;
    QString error;
    if (engine.stats(stats, error) != 0)
        return failed(QString::fromUtf8("无法统计历史。") + QLatin1Char('\n') + QStringLiteral("cannot count the history: ") + error);
    if (m_options.json)
        m_out << QString::fromUtf8(QJsonDocument(MaintainReport::statsJson(stats)).toJson(QJsonDocument::Indented));
    else
        m_out << MaintainReport::statsTable(stats);
    m_out.flush();
    return Done;
}

std::function<bool(const HM::ChunkProgress &)> MaintainCommand::progressFor(const QString &label)
{
    return [this, label](const HM::ChunkProgress &p) {
        if (m_terminal) {
            const int width = 30;
            const int filled = p.total > 0 ? int(qMin<long long>(width, p.deletedSoFar * width / p.total)) : width;
            const int percent = p.total > 0 ? int(p.deletedSoFar * 100 / p.total) : 100;
            m_err << '\r' << label << " [" << QString(filled, QLatin1Char('#')) << QString(width - filled, QLatin1Char('.'))
                  << "] " << percent << "%  " << rt::fn::Grouped(p.deletedSoFar) << " / " << rt::fn::Grouped(p.total)
                  << QString::fromUtf8(" 行") << "\x1b[K";
            if (p.deletedSoFar >= p.total)
                m_err << '\n';
            m_err.flush();
        } else if (p.chunk == 0) {
            m_err << "histmaint: " << label << QString::fromUtf8("：共 %1 行要删除").arg(rt::fn::Grouped(p.total)) << Qt::endl;
        } else {
            m_err << "histmaint: " << label
                  << QString::fromUtf8("：第 %1 块，已删除 %2 / %3 行")
                         .arg(p.chunk)
                         .arg(rt::fn::Grouped(p.deletedSoFar), rt::fn::Grouped(p.total))
                  << Qt::endl;
        }
        return !interruptRequested();
    };
}

int MaintainCommand::runDeletions(HM &engine, rt::Transaction &photosqlca, const QList<Target> &targets)
{
    MaintainReport::Summary summary;
    summary.command = m_options.action == MaintainOptions::Action::Purge    ? QStringLiteral("purge")
                      : m_options.action == MaintainOptions::Action::Dedupe ? QStringLiteral("dedupe")
                                                                            : QStringLiteral("policy");
    summary.dryRun = m_options.dryRun;
    summary.runId = makeRunId();
    const bool fromPolicy = m_options.action == MaintainOptions::Action::Policy;
    if (fromPolicy && targets.isEmpty())
        m_err << "histmaint: " << QString::fromUtf8("维护策略 %1 没有要做的事（所有类别都未设置）。").arg(m_options.policyPath)
              << '\n' << QStringLiteral("histmaint: the policy %1 asks for nothing").arg(m_options.policyPath) << Qt::endl;

    // The order of the steps: the household procedure first (it takes persons' snapshots of
    // other categories along); then, within a category, a purge by date alone before its dedupe
    // — a state saved again after the date keeps its newer copy, where deduplicating first
    // would delete that copy and the purge the older one — but the dedupe before a purge that
    // keeps the newest N, so that the N kept are N states, not copies the dedupe then deletes.
    // Each dry run is told the steps before it.
    QList<HM::Step> steps;
    for (const Target &t : targets) {
        if (t.purge && t.policy.withPersons)
            steps << HM::Step{t.category, false, t.policy};
    }
    for (const Target &t : targets) {
        const bool dedupeFirst = t.policy.keepLast > 0;
        if (t.dedupe && dedupeFirst)
            steps << HM::Step{t.category, true, t.policy};
        if (t.purge && !t.policy.withPersons)
            steps << HM::Step{t.category, false, t.policy};
        if (t.dedupe && !dedupeFirst)
            steps << HM::Step{t.category, true, t.policy};
    }
    for (int i = 0; i < steps.size(); ++i) {
        const HM::Step &t = steps[i];
        const bool dedupe = t.dedupe;
        if (summary.interrupted || !summary.error.isEmpty())
            continue;
        if (interruptRequested()) {
            summary.interrupted = true;
            continue;
        }
        MaintainReport::Run run;
        run.action = dedupe ? QStringLiteral("dedupe") : QStringLiteral("purge");
        run.category = t.category;
        run.policy = t.policy;
        HM::RunOptions options;
        options.dryRun = m_options.dryRun;
        options.chunkRows = m_options.chunkRows;
        options.runId = summary.runId;
        options.optionsText = m_options.optionsText;
        if (options.dryRun)
            options.earlier = steps.mid(0, i);
        if (fromPolicy) {
            // The journal tells which of the policy's lines the chunk comes from.
            options.optionsText += QStringLiteral(" [%1] ").arg(t.category->tabText);
            options.optionsText += dedupe ? QStringLiteral("dedupe")
                                          : QStringLiteral("purge --before %1").arg(t.policy.before.toString(Qt::ISODate));
            if (!dedupe && t.policy.keepLast > 0)
                options.optionsText += QStringLiteral(" --keep-last %1").arg(t.policy.keepLast);
            if (!dedupe && t.policy.withPersons)
                options.optionsText += QStringLiteral(" --with-persons");
        }
        const QString label = t.category->tabText + (dedupe ? QString::fromUtf8(" 去除重复快照") : QString::fromUtf8(" 删除旧历史"));
        options.progress = progressFor(label);
        const int rc = dedupe ? engine.dedupe(*t.category, options, run.result)
                              : engine.purge(*t.category, run.policy, options, run.result);
        if (rc != 0)
            summary.error = run.result.error.isEmpty() ? QStringLiteral("?") : run.result.error;
        if (run.result.interrupted)
            summary.interrupted = true;
        summary.runs << run;
    }
    // An interrupt that came with the last chunk leaves nothing to delete, but the space is not
    // given back either: a VACUUM may take minutes that the one stopping the run did not give.
    const bool lastChunkDone = !summary.dryRun && !summary.interrupted && summary.error.isEmpty() && interruptRequested();
    if (lastChunkDone)
        summary.interrupted = true;
    if (!summary.dryRun && !summary.interrupted && summary.error.isEmpty())
        compactAfter(engine, photosqlca, summary);
    print(summary);
    if (!summary.error.isEmpty())
        return failed(QString::fromUtf8("维护没有完成：%1").arg(summary.error) + QLatin1Char('\n')
                      + QStringLiteral("the upkeep did not finish; the chunks reported above are done and journalled. The reason, "
                                       "as the register or the server gave it: %1")
                            .arg(summary.error));
    if (summary.interrupted && summary.dryRun) {
        m_err << "histmaint: " << QString::fromUtf8("运行被中断：试运行没有数完，什么也没有删除。") << '\n'
              << "histmaint: interrupted; the dry run did not finish counting, nothing was deleted" << Qt::endl;
        return Interrupted;
    }
    if (summary.interrupted && lastChunkDone) {
        m_err << "histmaint: " << QString::fromUtf8("运行被中断：所有的块都已完成并已记入日志，只是没有整理空间（见管理员指南）。") << '\n'
              << "histmaint: interrupted; every chunk is done and journalled, only no space was given back" << Qt::endl;
        return Interrupted;
    }
    if (summary.interrupted) {
        m_err << "histmaint: " << QString::fromUtf8("运行被中断：已完成的块保留并已记入日志，未整理空间；再次运行即可完成其余部分。") << '\n'
              << "histmaint: interrupted; the chunks done stay done and journalled, no space was given back; a new run "
                 "finishes the work" << Qt::endl;
        return Interrupted;
    }
    return Done;
}

void MaintainCommand::compactAfter(HM &engine, rt::Transaction &photosqlca, MaintainReport::Summary &summary)
{
    QMap<QString, long long> deleted;
    for (const MaintainReport::Run &run : summary.runs)
        for (const HM::TableCount &t : run.result.deleted)
            deleted[t.table] += t.rows;
    QList<std::pair<HM::TableCount, long long>> tables;
    for (auto it = deleted.cbegin(); it != deleted.cend(); ++it) {
        if (it.value() == 0)
            continue;
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        if (photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1").arg(it.key()), {}, n) != 0) {
            summary.error = photosqlca.SQLErrText();
            photosqlca.rollback();
            return;
        }
        tables.append({HM::TableCount{it.key(), it.value()}, n[0].longValue() + it.value()});
    }
    // The counts' read is over: nothing of this connection may stay open under a VACUUM.
    photosqlca.rollback();
    if (tables.isEmpty()) {
        summary.compactText = QString::fromUtf8("没有删除任何行，无需回收空间。");
        return;
    }
    HM::RunResult result;
    if (engine.compact(tables, result) != 0) {
        summary.error = QString::fromUtf8("删除已完成，但回收空间失败：%1").arg(result.error);
        return;
    }
    summary.compacted = result.compacted;
    summary.compactText = !result.compactText.isEmpty() ? result.compactText
                          : result.compacted        ? QString::fromUtf8("已回收空间。")
                                                    : QString::fromUtf8("删除的行不到任何一张表的十分之一，未回收空间。");
}

void MaintainCommand::print(const MaintainReport::Summary &summary)
{
    if (m_options.json)
        m_out << QString::fromUtf8(QJsonDocument(MaintainReport::runJson(summary)).toJson(QJsonDocument::Indented));
    else
        m_out << MaintainReport::runTable(summary);
    m_out.flush();
}

} // namespace app
