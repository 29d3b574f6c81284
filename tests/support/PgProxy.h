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
// thread. Armed, it cuts the next connection that sends a COMMIT, either once the server has
// committed and answered (the answer is not passed on: the client cannot know the commit held)
// or before the server sees it (the server ends the transaction as a rollback). Each arming cuts
// one connection; the connections opened after it are forwarded as before.
class PgProxy
{
public:
    enum class Loss {
        AnswerAfterCommit,  // the server commits; its answer never reaches the client
        CommitBeforeServer, // the COMMIT never reaches the server
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

    void arm(Loss loss);
    void disarm();
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
    std::atomic<int> m_armed{NotArmed};
    std::atomic<int> m_fired{0};
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex;
    std::vector<int> m_cutBackends;
};
