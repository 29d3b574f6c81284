#pragma once

#include "platform/core/Value.h"

#include <QFutureWatcher>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

namespace rt {
class Transaction;
}

namespace rt::ui {

// Counts the rows of a select on a connection of its own, off the user-interface thread, so
// that a grid over millions of rows can show its total without making the operator wait for it.
// The connection is made on the calling thread and kept for the counts after.
// A new start while a count runs asks for that one to stop and counts again when it has.
// Destroying the counter stops a running count and waits for it to end.
class DwTotalCounter : public QObject
{
    Q_OBJECT
public:
    explicit DwTotalCounter(QObject *parent = nullptr);
    ~DwTotalCounter() override;

    // Counts "select" with its arguments on a connection made like the one given.
    void start(const rt::Transaction &like, const QString &select, const QList<rt::Value> &arguments);
    // Stops a running count; no signal comes for it.
    void stop();
    bool isRunning() const { return m_watcher.isRunning(); }
    // Waits for a running count (tests, and closing windows).
    void waitForFinished();
    // Waits for a running count while the windows stay painted (AsideWait, without a dialog or a
    // cursor: the caller shows the wait), calling waiting at every tick; when it answers false the
    // count is stopped, waited for, and no signal comes for it. False when stopped.
    bool waitPainted(const std::function<bool()> &waiting);

Q_SIGNALS:
    void counted(long long total);
    void failed(const QString &text);

private:
    struct Result
    {
        long long total = -1;
        QString error;
    };
    void launch();
    void finished();

    std::unique_ptr<rt::Transaction> m_connection;
    QFutureWatcher<Result> m_watcher;
    QString m_select;
    QList<rt::Value> m_arguments;
    bool m_again = false;
    bool m_wanted = false;
    std::atomic<bool> m_stopped{false};
};

} // namespace rt::ui
