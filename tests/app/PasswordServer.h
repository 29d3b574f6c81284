#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

// A stand-in for a database server that wants a password, on a Unix socket of its own
// (host=folder() port=port()): it asks each connection for a cleartext password, notes what
// arrived, and refuses it as a server refuses a wrong one (SQLSTATE 28P01). With a delay it
// waits that long before asking, like a slow network.
class PasswordServer
{
public:
    explicit PasswordServer(const QString &folder, int delayMs = 0);
    ~PasswordServer();

    QString conninfo(const QString &user) const;
    // Every password received, in order.
    QList<QByteArray> passwords() const;
    int connections() const { return m_connections.load(); }

private:
    void serve();
    void answer(int client);

    QString m_folder;
    int m_delayMs;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_passwords;
    std::thread m_thread;
};
