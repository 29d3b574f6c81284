#pragma once

#include "model/maintenance/HistoryMaintenance.h"

#include <QList>
#include <QString>
#include <atomic>
#include <memory>

namespace rt {
class Transaction;
}

namespace model {

// The reads of 历史统计 — its figures (the engine's stats) and what a typed policy would delete
// (the engine's purge as a dry run, category by category) — on a connection of their own, made
// like the history connection: they run on another thread while the grids behind go on reading
// on theirs, and a stop cancels only them. The connection sets no wait observer, so a long
// statement here never brings up the server's busy window over the window's own progress.
//
// connect() on the window's thread, then stats() or preview() on the working thread, one at a
// time; meanwhile the window's thread may call stop() (as often as it likes) and at(). A read
// that was stopped has failed or been cut short: its figures are not to be shown.
class StatsRead
{
public:
    explicit StatsRead(const rt::Transaction &like);
    ~StatsRead();

    // Connected (made so on first use); false, lastError() saying why, when it cannot be.
    bool connect();
    const QString &lastError() const { return m_error; }

    // A fresh start: no stop asked, no category at work.
    void reset();

    // On the working thread. 0, or -1 with the reason.
    int stats(model::HistoryMaintenance::Stats &out, QString &error);
    // `rows` gets, category by category, what the purge would delete from the category's own
    // history table (户籍信息 without its persons). 0, or -1 with the reason (at() names the
    // category); -1 also when stopped.
    int preview(const QList<const model::Category *> &categories, const model::HistoryMaintenance::PurgePolicy &policy,
                QList<long long> &rows, QString &error);

    // From the window's thread: stops the read — the statement running is cancelled and no
    // further category is begun. A statement that began after a cancel is cancelled by the
    // next call.
    void stop();
    bool stopAsked() const { return m_stop.load(); }
    // The index in preview()'s categories of the one being counted; -1 before the first.
    int at() const { return m_at.load(); }

private:
    std::unique_ptr<rt::Transaction> m_read;
    QString m_error;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_at{-1};
};

} // namespace model
