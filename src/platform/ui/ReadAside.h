#pragma once

#include "platform/ui/AsideWait.h"

#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace rt {
class Transaction;
}

namespace rt::ui {

// Reads of the database that may take long (a page of a print preview far from the rows a grid
// holds, the unread rows of a print), run on another thread on a connection of their own while
// this thread keeps the windows painted. The connection is made like a grid's, on this thread,
// when first asked for, and kept for the reads after; a stop cancels the statement it runs.
class ReadAside
{
public:
    static constexpr int ProgressAfterMs = AsideWait::ProgressAfterMs;

    explicit ReadAside(const rt::Transaction &like);
    ~ReadAside();

    // The connection of the reads, connected; null (lastError() says why) when it cannot be.
    rt::Transaction *transaction();
    const QString &lastError() const { return m_error; }

    // Runs read on another thread and waits for it (AsideWait, without a dialog or a cursor: the
    // caller shows the wait). waiting is called at every tick; when it answers false the
    // statement is cancelled (the read then fails) and run waits for the read to end. read's
    // answer, false once stopped.
    bool run(const std::function<bool()> &read, const std::function<bool()> &waiting);
    // run, with a wait cursor, and once the read has taken ProgressAfterMs a progress dialog
    // ("read_progress": title, label, 取消) over parent, gone as 取消 is pressed; cancelled
    // tells whether 取消 stopped it.
    bool runWithProgress(const std::function<bool()> &read, QWidget *parent, const QString &title, const QString &label,
                         bool &cancelled);

private:
    std::unique_ptr<rt::Transaction> m_connection;
    QString m_error;
};

} // namespace rt::ui
