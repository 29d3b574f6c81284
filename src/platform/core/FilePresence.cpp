#include "FilePresence.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rt {

namespace {

// The byte every presence locks: past SQLite's locks (PENDING_BYTE 0x40000000 and the 511 bytes
// after it), and below 2^31 so that a file system whose locks take 32-bit offsets keeps it too.
// A lock past a file's end is allowed and changes nothing in the file.
constexpr off_t PresenceByte = 0x7ffffff0;
constexpr int RetryMs = 20;

using Key = std::pair<std::uint64_t, std::uint64_t>; // device, inode

struct Entry
{
    int fd = -1;     // holds the lock: read while only shared presences are held, write while a sole one is
    int shared = 0;  // shared presences of this process
    int sole = 0;    // sole presences of this process
    // Descriptors opened when the path was replaced between looking it up and opening it and the
    // file opened turned out to have an entry already: closing one at once would drop the
    // process's POSIX locks on the file, so they are closed with the entry.
    std::vector<int> spare;
};

// The one process-wide state of presences: each file's descriptor and counts. Every access holds
// `mutex`, and starts with forgetInherited().
struct Registry
{
    std::mutex mutex;
    pid_t pid = 0;
    std::map<Key, Entry> files;

    // After fork() the child shares the parent's descriptors (and with them their locks): it
    // forgets them, closing its copies (the parent's stay open, so its locks stay), and holds
    // presences of its own from then on.
    void forgetInherited()
    {
        const pid_t now = ::getpid();
        if (pid == now)
            return;
        for (auto &[key, entry] : files)
            closeAll(entry);
        files.clear();
        pid = now;
    }

    static void closeAll(Entry &entry)
    {
        ::close(entry.fd);
        for (int fd : entry.spare)
            ::close(fd);
    }

    // Drops an entry no presence uses any more.
    void dropIfUnused(std::map<Key, Entry>::iterator it)
    {
        if (it->second.shared > 0 || it->second.sole > 0)
            return;
        closeAll(it->second);
        files.erase(it);
    }
};

// Never destroyed: connections held by objects that outlive main() (the program's global
// transactions) release their presences while static objects are being destroyed.
Registry &registry()
{
    static Registry *r = new Registry;
    return *r;
}

// false with errno: EAGAIN or EACCES when another descriptor's lock is in the way.
bool setLock(int fd, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = PresenceByte;
    lock.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &lock) == -1) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool heldByAnother(int error)
{
    return error == EAGAIN || error == EACCES;
}

Key keyOf(const struct stat &st)
{
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

// The entry of the file at `path`, made (with a descriptor but no lock yet, counts 0) when the
// process has none; end() when the file cannot be opened. The registry's mutex is held.
std::map<Key, Entry>::iterator entryFor(Registry &r, const QByteArray &path)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        const auto it = r.files.find(keyOf(st));
        if (it != r.files.end())
            return it;
    }
    // Open for writing, as a write lock needs; a file this user may only read is held shared
    // (no program of this user can rewrite it anyway).
    int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return r.files.end();
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return r.files.end();
    }
    const auto [it, made] = r.files.try_emplace(keyOf(st));
    if (made)
        it->second.fd = fd;
    else
        it->second.spare.push_back(fd);
    return it;
}

} // namespace

FilePresence::~FilePresence()
{
    release();
}

FilePresence::FilePresence(FilePresence &&other) noexcept
    : m_held(std::exchange(other.m_held, false)), m_sole(other.m_sole), m_device(other.m_device), m_inode(other.m_inode)
{
}

FilePresence &FilePresence::operator=(FilePresence &&other) noexcept
{
    if (this != &other) {
        release();
        m_held = std::exchange(other.m_held, false);
        m_sole = other.m_sole;
        m_device = other.m_device;
        m_inode = other.m_inode;
    }
    return *this;
}

FilePresence::Taken FilePresence::take(const QString &path, int waitMs)
{
    release();
    const QByteArray native = QFile::encodeName(path);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
    Registry &r = registry();
    for (;;) {
        {
            const std::lock_guard<std::mutex> guard(r.mutex);
            r.forgetInherited();
            const auto it = entryFor(r, native);
            if (it == r.files.end())
                return Taken::Unseen;
            Entry &entry = it->second;
            // Held already by this process (shared or sole), the lock there covers this one too.
            const bool locked = entry.shared > 0 || entry.sole > 0 || setLock(entry.fd, F_RDLCK);
            const int error = errno;
            if (locked) {
                ++entry.shared;
                m_held = true;
                m_sole = false;
                m_device = it->first.first;
                m_inode = it->first.second;
                return Taken::Held;
            }
            // A fresh entry: no connection of this process has the file, so its descriptor may close.
            r.dropIfUnused(it);
            if (!heldByAnother(error))
                return Taken::Unseen;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Taken::SoleElsewhere;
        std::this_thread::sleep_for(std::chrono::milliseconds(RetryMs));
    }
}

bool FilePresence::takeSole(const QString &path)
{
    release();
    Registry &r = registry();
    const std::lock_guard<std::mutex> guard(r.mutex);
    r.forgetInherited();
    const auto it = entryFor(r, QFile::encodeName(path));
    if (it == r.files.end())
        return false;
    Entry &entry = it->second;
    // From read to write in one step: refused, the read lock stays (see the header).
    if (entry.sole == 0 && !setLock(entry.fd, F_WRLCK)) {
        r.dropIfUnused(it);
        return false;
    }
    ++entry.sole;
    m_held = true;
    m_sole = true;
    m_device = it->first.first;
    m_inode = it->first.second;
    return true;
}

void FilePresence::release()
{
    if (!m_held)
        return;
    m_held = false;
    Registry &r = registry();
    const std::lock_guard<std::mutex> guard(r.mutex);
    r.forgetInherited();
    const auto it = r.files.find({m_device, m_inode});
    if (it == r.files.end())
        return; // inherited through fork(): forgotten already
    Entry &entry = it->second;
    if (m_sole) {
        // The last sole presence gives way to the shared one of this process's connections; a
        // read lock in place of a write lock is always granted.
        if (--entry.sole == 0 && entry.shared > 0)
            setLock(entry.fd, F_RDLCK);
    } else {
        --entry.shared;
    }
    r.dropIfUnused(it);
}

int FilePresence::filesHeld()
{
    Registry &r = registry();
    const std::lock_guard<std::mutex> guard(r.mutex);
    r.forgetInherited();
    return int(r.files.size());
}

} // namespace rt
