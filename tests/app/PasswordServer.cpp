#include "PasswordServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int Port = 54329;

bool readAll(int fd, char *into, size_t n)
{
    while (n > 0) {
        const ssize_t got = ::read(fd, into, n);
        if (got <= 0)
            return false;
        into += got;
        n -= size_t(got);
    }
    return true;
}

void writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    size_t n = size_t(data.size());
    while (n > 0) {
        const ssize_t put = ::write(fd, p, n);
        if (put <= 0)
            return;
        p += put;
        n -= size_t(put);
    }
}

QByteArray int32(quint32 v)
{
    const quint32 be = htonl(v);
    return QByteArray(reinterpret_cast<const char *>(&be), 4);
}

} // namespace

PasswordServer::PasswordServer(const QString &folder, int delayMs) : m_folder(folder), m_delayMs(delayMs)
{
    m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = (folder + QStringLiteral("/.s.PGSQL.%1").arg(Port)).toLocal8Bit();
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ::unlink(path.constData());
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(m_listener, 8) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_thread = std::thread([this] { serve(); });
}

PasswordServer::~PasswordServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

QString PasswordServer::conninfo(const QString &user) const
{
    // No password file, no encryption to negotiate: only the password asked for here.
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=register passfile=/nonexistent sslmode=disable gssencmode=disable "
                          "connect_timeout=5")
        .arg(m_folder)
        .arg(Port)
        .arg(user);
}

QList<QByteArray> PasswordServer::passwords() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_passwords;
}

void PasswordServer::serve()
{
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        ++m_connections;
        answer(client);
        ::close(client);
    }
}

void PasswordServer::answer(int client)
{
    // The startup message: its length, then the rest.
    char length[4];
    if (!readAll(client, length, 4))
        return;
    quint32 n = 0;
    std::memcpy(&n, length, 4);
    n = ntohl(n);
    QByteArray startup(int(n) - 4, '\0');
    if (n < 8 || !readAll(client, startup.data(), size_t(startup.size())))
        return;
    if (m_delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs));
    // AuthenticationCleartextPassword.
    writeAll(client, QByteArray("R") + int32(8) + int32(3));
    char type = 0;
    if (!readAll(client, &type, 1) || type != 'p' || !readAll(client, length, 4))
        return; // the client gave up: it has no password
    std::memcpy(&n, length, 4);
    n = ntohl(n);
    QByteArray password(int(n) - 4, '\0');
    if (!readAll(client, password.data(), size_t(password.size())))
        return;
    if (password.endsWith('\0'))
        password.chop(1);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_passwords << password;
    }
    const QByteArray fields = QByteArray("SFATAL") + '\0' + "VFATAL" + '\0' + "C28P01" + '\0'
                              + "Mpassword authentication failed" + '\0' + '\0';
    writeAll(client, QByteArray("E") + int32(quint32(fields.size() + 4)) + fields);
}
