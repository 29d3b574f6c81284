#include "PgProxy.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The untyped first messages a client may send (their "protocol version" field).
constexpr std::uint32_t CancelRequest = 80877102, SslRequest = 80877103, GssEncRequest = 80877104;

std::uint32_t be32(const std::string &s, std::size_t at)
{
    const auto b = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool nonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool fillAddress(const std::string &path, sockaddr_un &address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

struct PgProxy::Link
{
    int client = -1, server = -1;
    std::string clientIn, serverIn; // received, not yet a whole message
    std::string toServer, toClient; // whole messages waiting to be written
    bool startup = true;            // the client's next message has no type byte
    int byteAnswers = 0;            // encryption requests sent, each answered by a single byte
    bool opaque = false;            // encrypted (or unreadable) from here on: forwarded unread
    bool holding = false;           // the armed COMMIT went on: its answer is held back until 'Z'
    int backendPid = 0;             // from the server's BackendKeyData
    bool closed = false;
};

PgProxy::PgProxy(std::string serverSocket, int port) : m_serverSocket(std::move(serverSocket)), m_port(port) {}

PgProxy::~PgProxy()
{
    stop();
}

std::unique_ptr<PgProxy> PgProxy::forTestCluster(std::string &error)
{
    std::string host, port;
    if (const char *conninfo = std::getenv("HM_PG_CONNINFO")) {
        char *message = nullptr;
        PQconninfoOption *options = PQconninfoParse(conninfo, &message);
        if (!options) {
            error = std::string("HM_PG_CONNINFO cannot be read: ") + (message ? message : "out of memory");
            PQfreemem(message);
            return nullptr;
        }
        for (PQconninfoOption *o = options; o->keyword; ++o) {
            if (o->val && std::strcmp(o->keyword, "host") == 0)
                host = o->val;
            else if (o->val && std::strcmp(o->keyword, "port") == 0)
                port = o->val;
        }
        PQconninfoFree(options);
    }
    // Only a socket folder can be stood in front of; the cluster of scripts/pgcluster has one.
    if (host.empty() || host[0] != '/') {
        const char *dir = std::getenv("HM_PG_DIR");
        host = dir ? dir : "";
    }
    if (host.empty()) {
        error = "the test cluster's socket folder is not known (neither HM_PG_CONNINFO's host nor HM_PG_DIR)";
        return nullptr;
    }
    if (port.empty())
        port = std::getenv("PGPORT") ? std::getenv("PGPORT") : "5432";
    auto proxy = std::make_unique<PgProxy>(host + "/.s.PGSQL." + port, std::atoi(port.c_str()));
    if (!proxy->start(error))
        return nullptr;
    return proxy;
}

bool PgProxy::start(std::string &error)
{
    // A short folder: a socket's path must fit in sockaddr_un, whatever TMPDIR says.
    char folder[] = "/tmp/hm-proxy.XXXXXX";
    if (!::mkdtemp(folder)) {
        error = std::string("no folder for the proxy's socket: ") + std::strerror(errno);
        return false;
    }
    m_folder = folder;
    m_socketPath = m_folder + "/.s.PGSQL." + std::to_string(m_port);
    sockaddr_un address;
    if (!fillAddress(m_socketPath, address)) {
        error = "the proxy's socket path is too long: " + m_socketPath;
        return false;
    }
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listen, 64) != 0 || ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("the proxy cannot listen at ") + m_socketPath + ": " + std::strerror(errno);
        stop();
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void PgProxy::stop()
{
    if (m_thread.joinable()) {
        const char stopNow = 's';
        (void)!::write(m_wake[1], &stopNow, 1);
        m_thread.join();
    }
    closeFd(m_listen);
    closeFd(m_wake[0]);
    closeFd(m_wake[1]);
    if (!m_socketPath.empty())
        ::unlink(m_socketPath.c_str());
    if (!m_folder.empty())
        ::rmdir(m_folder.c_str());
    m_socketPath.clear();
    m_folder.clear();
}

void PgProxy::arm(Loss loss, bool refuseAfter)
{
    m_refuseAfter.store(refuseAfter);
    m_armed.store(int(loss));
}

void PgProxy::disarm()
{
    m_armed.store(NotArmed);
}

std::vector<int> PgProxy::cutBackends() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cutBackends;
}

void PgProxy::run()
{
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const auto &l : m_links) {
            fds.push_back({l->client, short(POLLIN | (l->toClient.empty() ? 0 : POLLOUT)), 0});
            fds.push_back({l->server, short(POLLIN | (l->toServer.empty() ? 0 : POLLOUT)), 0});
        }
        if (::poll(fds.data(), nfds_t(fds.size()), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            break;
        for (std::size_t i = 0; i < m_links.size(); ++i) {
            Link &l = *m_links[i];
            const short fromClientSide = fds[2 + 2 * i].revents, fromServerSide = fds[3 + 2 * i].revents;
            bool open = true;
            // What a side sent before it closed is still passed on (a server's last error, a
            // client's Terminate).
            if (fromClientSide & (POLLIN | POLLHUP | POLLERR)) {
                open = readInto(l.client, l.clientIn);
                fromClient(l);
            }
            if (!l.closed && (fromServerSide & (POLLIN | POLLHUP | POLLERR))) {
                open = readInto(l.server, l.serverIn) && open;
                fromServer(l);
            }
            if (l.closed)
                continue;
            const bool written = flush(l.server, l.toServer) && flush(l.client, l.toClient);
            if (!open || !written)
                cut(l);
        }
        m_links.erase(std::remove_if(m_links.begin(), m_links.end(), [](const auto &l) { return l->closed; }), m_links.end());
        if (fds[1].revents & POLLIN)
            acceptOne();
    }
    for (auto &l : m_links)
        cut(*l);
    m_links.clear();
    for (int &fd : m_leftOpen)
        closeFd(fd);
    m_leftOpen.clear();
}

void PgProxy::acceptOne()
{
    for (;;) {
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN: no more waiting
        }
        if (m_refusing.load()) {
            // Closed before the startup message is read: the client fails at once, as with a
            // server that is restarting, instead of waiting out its connect timeout. Counted
            // first, so that a client that has seen the refusal also sees it counted.
            ++m_refused;
            ::close(client);
            continue;
        }
        openLink(client);
    }
}

void PgProxy::openLink(int client)
{
    sockaddr_un address;
    int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A Unix socket connects at once or not at all: connected blocking, then made non-blocking.
    if (server < 0 || !fillAddress(m_serverSocket, address)
        || ::connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || !nonBlocking(server)) {
        // The client sees its connection closed, as with a server that is not there.
        closeFd(server);
        ::close(client);
        return;
    }
    auto link = std::make_unique<Link>();
    link->client = client;
    link->server = server;
    m_links.push_back(std::move(link));
    ++m_accepted;
}

bool PgProxy::readInto(int fd, std::string &buffer)
{
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer.append(chunk, std::size_t(n));
            continue;
        }
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

bool PgProxy::flush(int fd, std::string &pending)
{
    while (!pending.empty()) {
        const ssize_t n = ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL);
        if (n > 0) {
            pending.erase(0, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

bool PgProxy::isCommit(const std::string &queryMessage)
{
    // 'Q', the length, the text ending in a zero byte.
    std::string text = queryMessage.substr(5);
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    if (!text.empty() && text.back() == ';')
        text.pop_back();
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && blank(text[first]))
        ++first;
    text.erase(0, first);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text == "commit";
}

void PgProxy::fromClient(Link &l)
{
    std::string &in = l.clientIn;
    std::size_t at = 0;
    while (!l.closed) {
        if (l.opaque) {
            l.toServer.append(in, at);
            at = in.size();
            break;
        }
        const std::size_t left = in.size() - at;
        if (l.startup) {
            // Length (itself included), then the protocol version or a request's code.
            if (left < 8)
                break;
            const std::uint32_t length = be32(in, at);
            if (length < 8 || length > (1u << 20)) {
                l.opaque = true; // not a first message this proxy knows
                continue;
            }
            if (left < length)
                break;
            const std::uint32_t code = be32(in, at + 4);
            l.toServer.append(in, at, length);
            at += length;
            if (code == SslRequest || code == GssEncRequest)
                ++l.byteAnswers; // a refusal ('N') is followed by the real first message
            else if (code != CancelRequest)
                l.startup = false;
            continue;
        }
        if (left < 5)
            break;
        const std::uint32_t length = be32(in, at + 1);
        if (length < 4) {
            l.opaque = true;
            continue;
        }
        if (left < 1 + std::size_t(length))
            break;
        const std::string message = in.substr(at, 1 + std::size_t(length));
        at += message.size();
        if (message[0] == 'Q' && isCommit(message)) {
            const int loss = m_armed.exchange(NotArmed);
            if (loss != NotArmed) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_cutBackends.push_back(l.backendPid);
                }
                ++m_fired;
                if (m_refuseAfter.load())
                    m_refusing.store(true);
                if (loss == int(Loss::CommitSwallowed)) {
                    // Kept, never read nor written again: the server sees a client that has
                    // gone quiet, not one that has gone.
                    m_leftOpen.push_back(l.server);
                    l.server = -1;
                }
                if (loss == int(Loss::CommitBeforeServer) || loss == int(Loss::CommitSwallowed)) {
                    cut(l);
                    return;
                }
                if (loss == int(Loss::CutWithCommit)) {
                    // Handed to the server's socket before it is closed: a Unix socket delivers
                    // what was written before the close, so the server reads the COMMIT and
                    // works on it while the client already sees its connection gone.
                    l.toServer += message;
                    flush(l.server, l.toServer);
                    cut(l);
                    return;
                }
                l.holding = true;
            }
        }
        l.toServer += message;
    }
    in.erase(0, at);
}

void PgProxy::fromServer(Link &l)
{
    std::string &in = l.serverIn;
    std::size_t at = 0;
    while (!l.closed) {
        if (l.opaque) {
            l.toClient.append(in, at);
            at = in.size();
            break;
        }
        if (l.byteAnswers > 0) {
            if (at >= in.size())
                break;
            const char answer = in[at++];
            l.toClient += answer;
            --l.byteAnswers;
            if (answer != 'N')
                l.opaque = true; // encryption begins: nothing more can be read
            continue;
        }
        const std::size_t left = in.size() - at;
        if (left < 5)
            break;
        const std::uint32_t length = be32(in, at + 1);
        if (length < 4) {
            l.opaque = true;
            continue;
        }
        if (left < 1 + std::size_t(length))
            break;
        const char type = in[at];
        if (type == 'K' && length >= 12)
            l.backendPid = int(be32(in, at + 5));
        if (l.holding) {
            // The answer to the COMMIT, up to the server's ReadyForQuery: by then the commit has
            // held on the server, and the client is never told.
            at += 1 + std::size_t(length);
            if (type == 'Z') {
                cut(l);
                return;
            }
            continue;
        }
        l.toClient.append(in, at, 1 + std::size_t(length));
        at += 1 + std::size_t(length);
    }
    in.erase(0, at);
}

void PgProxy::cut(Link &l)
{
    closeFd(l.client);
    closeFd(l.server);
    l.clientIn.clear();
    l.serverIn.clear();
    l.toServer.clear();
    l.toClient.clear();
    l.closed = true;
}
