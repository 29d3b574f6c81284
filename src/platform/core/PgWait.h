#pragma once

#include <chrono>
#include <functional>

namespace rt {

class DbWaitObserver;

// The wait for one answer of the server, and its bounds. A request is given the statement
// timeout and a margin (the server stops a long statement itself and needs a moment to say so);
// past that the statement is cancelled, and past the cancel's two seconds the connection is to be
// given up: a server that is stopped rather than dead keeps its socket open, and nothing else
// would end the wait. While it waits, the observer (if any) is told every tick and may ask for a
// cancel, which is given the same two seconds.
//
// Single-threaded: used by the thread that runs the request; only the cancel callable may reach
// another thread's connection state (it sends a cancel request, as PQcancel does).
class PgWait
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int TickMs = 75;          // how often the observer is told
    static constexpr int CancelGraceMs = 2000; // how long a cancel is given to be answered

    // cancel: sends the server a cancel of the request in flight.
    explicit PgWait(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}

    // The statement timeout in ms; 0: no bound (setting up a register).
    void setStatementTimeout(int ms) { m_timeoutMs = ms; }
    int statementTimeout() const { return m_timeoutMs; }
    // How long an answer is awaited at most, the cancel's grace included (for the message).
    int givenUpAfterMs() const;
    void setObserver(DbWaitObserver *observer) { m_observer = observer; }

    // A request was sent: its bound, and the time the observer is told, count from now.
    void start();
    // Part of a long answer arrived (a row of a COPY): the time the observer is told counts
    // again from now, and a wait it was shown ends; the bound stays as it was.
    void progressed();
    // Waits at most one tick for the socket to have something to read. Cancels the statement
    // when its bound has passed or the observer asks. False when even a cancel went unanswered
    // for its grace: the connection is to be given up.
    bool once(int socket);
    // The request has its answer, or failed: the observer is told that the wait ended.
    void finish();

    // The operator asked to cancel the last request (kept until the next starts).
    bool cancelledByOperator() const { return m_byOperator; }
    // True while the observer is being told: a request made then would enter the connection
    // while it is busy with the one that waits.
    bool telling() const { return m_telling; }

private:
    void cancelNow(Clock::time_point now);

    std::function<void()> m_cancel;
    DbWaitObserver *m_observer = nullptr;
    int m_timeoutMs = 0;
    bool m_bounded = false;           // a deadline holds for the request in flight
    Clock::time_point m_deadline;     // the bound's end, or the end of a cancel's grace
    bool m_cancelSent = false;
    bool m_byOperator = false;
    Clock::time_point m_shownFrom;    // what the observer is told counts from here
    Clock::time_point m_lastTold;
    bool m_told = false;              // the observer heard of this wait
    bool m_telling = false;
};

} // namespace rt
