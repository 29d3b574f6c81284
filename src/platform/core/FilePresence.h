#pragma once

#include <QString>

#include <cstdint>

namespace rt {

// That this process has a register file open, told to the other processes on the computer.
//
// SQLite locks a file only while a statement reads or writes it, so it cannot say whether
// another program merely has the file open; a VACUUM taken at an idle moment would then rewrite
// a history file of gigabytes for minutes while an operator's program that has it open waits at
// its next save and fails. Every connection the program opens on a register file therefore holds
// a shared presence on it (SqliteConnection: its main file and the attached one) for as long as
// it is open, and the upkeep rewrites the history file only under a sole presence, which is
// granted only when no other process holds one.
//
// How it is held: an open-file-description lock (fcntl F_OFD_SETLK) on one byte far past the
// bytes SQLite locks (its POSIX record locks lie at 1 GiB and the 511 bytes after), so the two
// never meet. A process keeps one descriptor per file (by device and inode) for all its
// presences on it, in one process-wide registry guarded by a mutex — the only state this class
// shares: a read lock while any shared presence is held, a write lock while a sole one is. The
// kernel grants the write lock only when no other descriptor holds a lock on that byte, and a
// refused change leaves the read lock as it was (an flock() conversion would drop it first, and
// another process checking at that instant would find the file free). So the process's own
// connections never count as somebody else, and a refused sole presence leaves them seen.
//
// The descriptor is closed only when the process's last presence on the file ends: closing any
// descriptor of a file drops every POSIX lock the process holds on it, SQLite's too, so a
// connection releases its presence after SQLite has closed the file, never before. A child made
// by fork() shares the parent's descriptors: the registry notices the new process id and forgets
// them (closing the child's copies), so the child's own presences are its own.
//
// Only this program's connections are seen: another program (the sqlite3 shell, a copy being
// made) holds no presence, and is noticed only when its statement holds SQLite's lock (VACUUM then
// fails busy). Linux only (F_OFD_SETLK, Linux 3.15).
class FilePresence
{
public:
    enum class Taken {
        Held,          // held (shared), until release() or the destructor
        SoleElsewhere, // another process holds the file sole (rewrites it) and still did after the wait; nothing held
        Unseen,        // the file cannot be opened or locked here (missing, no right to read, a file
                       // system without locks); nothing held: the connection is not seen by others
    };

    FilePresence() = default;
    ~FilePresence();
    FilePresence(FilePresence &&other) noexcept;
    FilePresence &operator=(FilePresence &&other) noexcept;
    FilePresence(const FilePresence &) = delete;
    FilePresence &operator=(const FilePresence &) = delete;

    // A shared presence on `path`: other processes cannot hold the file sole while it is held.
    // While another process holds it sole, tries again every 20 ms for up to `waitMs`. A presence
    // already held is released first.
    Taken take(const QString &path, int waitMs);
    // A sole presence on `path`: true when no other process holds a presence on it (this
    // process's own presences set aside; they stay held and seen). False, nothing held, when
    // another process holds one or the file cannot be opened or locked; this process's presences
    // are then as they were. Never waits. A presence already held is released first.
    bool takeSole(const QString &path);
    // Gives the presence up (a sole one returns to the shared presence of this process's
    // connections, if any). Nothing when none is held.
    void release();

    bool isHeld() const { return m_held; }
    bool isSole() const { return m_held && m_sole; }

    // How many files this process keeps a descriptor for (each file once, however many
    // presences it holds on it).
    static int filesHeld();

private:
    bool m_held = false;
    bool m_sole = false;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
};

} // namespace rt
