#include "ReadAside.h"
#include "AsideWait.h"

#include "platform/core/Transaction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace rt::ui {

ReadAside::ReadAside(const rt::Transaction &like) : m_connection(std::make_unique<rt::Transaction>(QStringLiteral("read")))
{
    m_connection->copySettingsFrom(like);
}

ReadAside::~ReadAside() = default;

rt::Transaction *ReadAside::transaction()
{
    if (!m_connection->isConnected() && m_connection->connect() != 0) {
        m_error = m_connection->SQLErrText();
        return nullptr;
    }
    return m_connection.get();
}

bool ReadAside::run(const std::function<bool()> &read, const std::function<bool()> &waiting)
{
    bool ok = false, stopped = false;
    AsideWait::run([&read, &ok] { ok = read(); },
                   [&] {
                       if (!stopped && waiting && !waiting()) {
                           stopped = true;
                           m_connection->cancel();
                       }
                   });
    return ok && !stopped;
}

bool ReadAside::runWithProgress(const std::function<bool()> &read, QWidget *parent, const QString &title,
                                const QString &label, bool &cancelled)
{
    cancelled = false;
    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<QProgressDialog> progress;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool cursor = true;
    const bool ok = run(read, [&]() {
        if (!progress && waited.elapsed() >= ProgressAfterMs) {
            progress = std::make_unique<QProgressDialog>(label, QString::fromUtf8("取消"), 0, 0, parent);
            progress->setObjectName(QStringLiteral("read_progress"));
            progress->setWindowTitle(title);
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            QApplication::restoreOverrideCursor(); // the dialog says it is busy; 取消 takes a pointer
            cursor = false;
            progress->show();
        }
        if (progress && progress->wasCanceled()) {
            cancelled = true;
            return false;
        }
        return true;
    });
    if (cursor)
        QApplication::restoreOverrideCursor();
    return ok;
}

} // namespace rt::ui
