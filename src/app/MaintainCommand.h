#pragma once

#include "app/MaintainOptions.h"
#include "app/MaintainReport.h"

#include <QList>
#include <QTextStream>
#include <functional>

namespace model {
struct Category;
}
namespace rt {
class Transaction;
}

namespace app {

class MaintainPolicy;

// Runs `histmaint maintain …` without a display and without asking anything: connects the
// register (files or server; a server that wants a password neither the profile nor ~/.pgpass
// gives is a failure, never a prompt), runs model::HistoryMaintenance as the options or the
// policy file say, reports on standard output (MaintainReport) and tells progress on standard
// error — a line a chunk, or one bar redrawn in place when standard error is a terminal.
//
// run() answers the exit status: 0 done, 1 failed (the reason on standard error, Chinese then
// English; whole chunks done before the failure stay done and are reported), 2 wrong usage
// (an unknown category, a policy file refused — nothing was touched), 130 interrupted. An
// interrupt (SIGINT, SIGTERM, once catchInterrupts() was called) lets the chunk in progress
// finish and commit, then stops; a second one ends the program at once (the chunk in progress
// is then rolled back by the database, so nothing half done stays either way).
class MaintainCommand
{
public:
    enum Status { Done = 0, Failed = 1, Usage = 2, Interrupted = 130 };

    MaintainCommand(const MaintainOptions &options, QTextStream &out, QTextStream &err);

    int run();

    static void catchInterrupts();
    static bool interruptRequested();

private:
    struct Target
    {
        const model::Category *category = nullptr;
        bool dedupe = false;
        bool purge = false;
        model::HistoryMaintenance::PurgePolicy policy;
    };

    int failed(const QString &reason);
    int usage(const QString &reason);
    bool resolveTargets(const MaintainPolicy *policy, QList<Target> &targets, QString &reason);
    int connectRegister(const MaintainPolicy *policy, rt::Transaction &sqlca, rt::Transaction &photosqlca);
    int runStats(model::HistoryMaintenance &engine);
    int runDeletions(model::HistoryMaintenance &engine, rt::Transaction &photosqlca, const QList<Target> &targets);
    std::function<bool(const model::HistoryMaintenance::ChunkProgress &)> progressFor(const QString &label);
    void compactAfter(model::HistoryMaintenance &engine, rt::Transaction &photosqlca, MaintainReport::Summary &summary);
    void print(const MaintainReport::Summary &summary);

    const MaintainOptions &m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    bool m_terminal = false;
};

} // namespace app
