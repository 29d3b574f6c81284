#include "DwTotalCounter.h"
#include "AsideWait.h"

#include "platform/core/Transaction.h"

#include <QtConcurrent/QtConcurrentRun>

namespace rt::ui {

DwTotalCounter::DwTotalCounter(QObject *parent) : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<Result>::finished, this, &DwTotalCounter::finished);
}

DwTotalCounter::~DwTotalCounter()
{
    stop();
    m_watcher.waitForFinished(); // the connection goes with the counter
}

void DwTotalCounter::start(const rt::Transaction &like, const QString &select, const QList<rt::Value> &arguments)
{
    if (!m_connection || m_connection->Database != like.Database || m_connection->DBMS != like.DBMS) {
        if (m_watcher.isRunning()) {
            m_stopped.store(true);
            m_connection->cancel();
            m_watcher.waitForFinished();
        }
        m_connection = std::make_unique<rt::Transaction>(QStringLiteral("count"));
        m_connection->copySettingsFrom(like);
    }
    m_select = QStringLiteral("SELECT count(*) FROM (\n%1\n) hm_count").arg(select);
    m_arguments = arguments;
    m_wanted = true;
    if (m_watcher.isRunning()) {
        m_again = true;
        m_stopped.store(true);
        m_connection->cancel();
        return;
    }
    launch();
}

void DwTotalCounter::launch()
{
    m_again = false;
    rt::Transaction *t = m_connection.get();
    // Connected here, on the calling thread: the worker then never replaces the connection that
    // a stop from this thread cancels.
    if (!t->isConnected() && t->connect() != 0) {
        m_wanted = false;
        Q_EMIT failed(t->SQLErrText());
        return;
    }
    m_stopped.store(false);
    const QString select = m_select;
    const QList<rt::Value> arguments = m_arguments;
    std::atomic<bool> *stopped = &m_stopped;
    m_watcher.setFuture(QtConcurrent::run([t, select, arguments, stopped]() {
        Result r;
        // A stop that came before the statement started cancels nothing on the server.
        if (stopped->load()) {
            r.error = QStringLiteral("stopped");
            return r;
        }
        QList<rt::Value> into{rt::Value::null(rt::ValueType::Long)};
        if (t->selectInto(select, arguments, into) != 0) {
            r.error = t->SQLErrText();
            return r;
        }
        r.total = into[0].longValue();
        return r;
    }));
}

void DwTotalCounter::stop()
{
    m_wanted = false;
    m_again = false;
    m_stopped.store(true);
    if (m_connection && m_watcher.isRunning())
        m_connection->cancel();
}

void DwTotalCounter::waitForFinished()
{
    // A count started again after a stop ends only once the second one has; one that ended
    // before its signal was delivered is taken now.
    for (;;) {
        m_watcher.waitForFinished();
        if (!m_watcher.future().isValid() || m_watcher.future().resultCount() == 0)
            return;
        finished();
    }
}

bool DwTotalCounter::waitPainted(const std::function<bool()> &waiting)
{
    // A count started again after a stop runs under a future of its own: each is waited for.
    while (m_watcher.isRunning()) {
        AsideWait wait({.waitCursor = false, .look = waiting, .stop = [this] {
                            stop();
                            return true;
                        }});
        if (!wait.wait(QFuture<void>(m_watcher.future())))
            return false;
    }
    waitForFinished(); // a count started again after a stop, and the result not yet taken
    return true;
}

void DwTotalCounter::finished()
{
    if (m_watcher.isRunning() || !m_watcher.future().isValid() || m_watcher.future().resultCount() == 0)
        return;
    const Result r = m_watcher.result();
    m_watcher.setFuture(QFuture<Result>()); // taken: a second finished() for it does nothing
    if (m_again) {
        launch();
        return;
    }
    if (!m_wanted)
        return;
    m_wanted = false;
    if (r.error.isEmpty())
        Q_EMIT counted(r.total);
    else
        Q_EMIT failed(r.error);
}

} // namespace rt::ui
