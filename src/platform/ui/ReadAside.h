#pragma once

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
    static constexpr int ProgressAfterMs = 500;

    explicit ReadAside(const rt::Transaction &like);
    ~ReadAside();

    // The connection of the reads, connected; null (lastError() says why) when it cannot be.
    rt::Transaction *transaction();
    const QString &lastError() const { return m_error; }

    // Runs read on another thread and waits for it, the windows painted meanwhile (the
    // operator's input waits, but for a modal dialog's). waiting is called about every 50 ms;
    // when it answers false the statement is cancelled (the read then fails) and run waits for
    // the read to end. read's answer, false once stopped.
    bool run(const std::function<bool()> &read, const std::function<bool()> &waiting);
    // run, with a wait cursor, and once the read has taken ProgressAfterMs a progress dialog
    // (label, 取消) over parent; cancelled tells whether 取消 stopped it.
    bool runWithProgress(const std::function<bool()> &read, QWidget *parent, const QString &title, const QString &label,
                         bool &cancelled);

private:
    std::unique_ptr<rt::Transaction> m_connection;
    QString m_error;
};

} // namespace rt::ui
