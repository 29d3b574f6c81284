#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The wire between the program and the PostgreSQL test cluster, with a hand on it: a Unix
// socket of its own (in a folder of its own, at the name libpq looks for with host=<folder>),
// each connection accepted there forwarded byte for byte to the cluster's socket by a background
// thread. Armed, it cuts the next connection that sends a COMMIT, in one of four ways (Loss).
// Each arming cuts one connection; the connections opened after it are forwarded as before, or
// refused when the arming says so (a server the client cannot reach again for a while).
class PgProxy
{
public:
    enum class Loss {
        // The server commits and answers; the answer is not passed on, so the client cannot
        // know the commit held.
        AnswerAfterCommit,
        // The COMMIT never reaches the server, which ends the transaction as a rollback.
        CommitBeforeServer,
        // The COMMIT is passed on and both sides are cut at once: the server may still be
        // committing when the client has already noticed the break.
        CutWithCommit,
        // The COMMIT is dropped and the client's side cut; the server's side stays open, as a
        // network gone for good leaves it: the server's process never hears of the break and
        // waits in its transaction.
        CommitSwallowed,
    };

    // serverSocket: the cluster's socket file; port: the number the proxy's own socket is named
    // with, so that the client's port setting finds it.
    PgProxy(std::string serverSocket, int port);
    ~PgProxy();
    PgProxy(const PgProxy &) = delete;
    PgProxy &operator=(const PgProxy &) = delete;

    // A proxy (started) for the cluster of HM_PG_CONNINFO (its host folder, else HM_PG_DIR; its
    // port, else PGPORT, else 5432); null with the reason when none can be made.
    static std::unique_ptr<PgProxy> forTestCluster(std::string &error);

    bool start(std::string &error);
    void stop();

    // The folder to connect to: host=<folder>.
    const std::string &folder() const { return m_folder; }
    int port() const { return m_port; }

    // refuseAfter: from the armed COMMIT on, each new connection is closed as soon as it comes,
    // until refuse(false).
    void arm(Loss loss, bool refuseAfter = false);
    void disarm();
    void refuse(bool on) { m_refusing.store(on); }
    // How many connections were refused.
    int refused() const { return m_refused.load(); }
    bool armed() const { return m_armed.load() != NotArmed; }
    // How many armings have fired, and the server process of each connection cut, in order.
    int fired() const { return m_fired.load(); }
    std::vector<int> cutBackends() const;
    int accepted() const { return m_accepted.load(); }

private:
    struct Link;
    static constexpr int NotArmed = -1;

    void run();
    void acceptOne();
    void openLink(int client);
    static bool readInto(int fd, std::string &buffer);
    static bool flush(int fd, std::string &pending);
    void fromClient(Link &link);
    void fromServer(Link &link);
    void cut(Link &link);
    static bool isCommit(const std::string &queryMessage);

    std::string m_serverSocket;
    int m_port;
    std::string m_folder;
    std::string m_socketPath;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::vector<std::unique_ptr<Link>> m_links; // the thread's own
    std::vector<int> m_leftOpen;                // server sides of swallowed COMMITs, closed at stop
    std::atomic<int> m_armed{NotArmed};
    std::atomic<int> m_fired{0};
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_refuseAfter{false};
    std::atomic<bool> m_refusing{false};
    std::atomic<int> m_refused{0};
    mutable std::mutex m_mutex;
    std::vector<int> m_cutBackends;
};
