#include "ReadAside.h"

#include "platform/core/Transaction.h"

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
    bool ok = false;
    AsideWait wait({.waitCursor = false, .look = waiting, .stop = [this] {
                        m_connection->cancel();
                        return true;
                    }});
    return wait.run([&read, &ok] { ok = read(); }) && ok;
}

bool ReadAside::runWithProgress(const std::function<bool()> &read, QWidget *parent, const QString &title,
                                const QString &label, bool &cancelled)
{
    bool ok = false;
    AsideWait wait({.dialog = AsideWait::Dialog{.title = title,
                                                .label = [label] { return label; },
                                                .objectName = QStringLiteral("read_progress"),
                                                .parent = parent},
                    .stop = [this] {
                        m_connection->cancel();
                        return true;
                    }});
    cancelled = !wait.run([&read, &ok] { ok = read(); });
    return ok && !cancelled;
}

} // namespace rt::ui
