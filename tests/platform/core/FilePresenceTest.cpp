#include "TempDb.h"

#include "platform/core/FilePresence.h"
#include "platform/core/SqliteConnection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rt;

namespace {

// Another process on the same files: forked, it runs its steps one at a time, tells each one's
// one-byte answer and waits for the parent before the next; it ends when the parent lets it go
// (or dies). What the steps open is the child's own.
class OtherProcess
{
public:
    explicit OtherProcess(std::vector<std::function<char()>> steps)
    {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            char go = 0;
            for (const auto &step : steps) {
                const char answer = step();
                if (::write(fromChild[1], &answer, 1) != 1 || ::read(toChild[0], &go, 1) != 1)
                    ::_exit(0);
            }
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_toChild = toChild[1];
        m_fromChild = fromChild[0];
    }
    ~OtherProcess()
    {
        if (m_pid <= 0)
            return;
        ::close(m_toChild);
        ::close(m_fromChild);
        ::waitpid(m_pid, nullptr, 0);
    }
    OtherProcess(const OtherProcess &) = delete;
    OtherProcess &operator=(const OtherProcess &) = delete;

    // The answer of the step running; 0 when none came within 10 s.
    char answer()
    {
        pollfd p{m_fromChild, POLLIN, 0};
        char c = 0;
        if (m_pid > 0 && ::poll(&p, 1, 10000) == 1 && ::read(m_fromChild, &c, 1) == 1)
            return c;
        return 0;
    }
    // Lets the child run its next step.
    void next()
    {
        const char go = 'g';
        ASSERT_EQ(::write(m_toChild, &go, 1), 1);
    }

private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
};

DbOpenOptions optionsFor(const QString &path, const QString &attach = {}, int busyTimeoutMs = 3000)
{
    DbOpenOptions o;
    o.path = path;
    o.create = true;
    o.attachPath = attach;
    o.busyTimeoutMs = busyTimeoutMs;
    return o;
}

// A step opening `connection`: 'y' when it opened, 'b' when refused as a lock conflict, else 'n'.
std::function<char()> opening(const std::shared_ptr<SqliteConnection> &connection, DbOpenOptions options)
{
    return [connection, options] {
        DbError error;
        if (connection->open(options, error))
            return 'y';
        return error.lockConflict ? 'b' : 'n';
    };
}

std::function<char()> closing(const std::shared_ptr<SqliteConnection> &connection)
{
    return [connection] {
        connection->close();
        return 'c';
    };
}

std::function<char()> soleUse(const QString &path)
{
    return [path] {
        FilePresence sole;
        return sole.takeSole(path) ? 's' : 'o';
    };
}

class FilePresenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString &file : {a, b}) {
            SqliteConnection c;
            DbError error;
            ASSERT_TRUE(c.open(optionsFor(file), error)) << error.text.toStdString();
            ASSERT_TRUE(c.exec(QStringLiteral("CREATE TABLE t (x)"), error)) << error.text.toStdString();
        }
        ASSERT_EQ(FilePresence::filesHeld(), 0);
    }

    TempDb db;
    const QString a = db.path(QStringLiteral("a.db"));
    const QString b = db.path(QStringLiteral("b.db"));
};

} // namespace

// Another process that merely has the file open, idle, is seen: no sole use until it closes it.
// This process holds the file too when it forks, so the child's presence is its own, not the
// parent's inherited descriptor.
// MNT-08, MNT-10
TEST_F(FilePresenceTest, AnotherProcessHavingTheFileOpenIsSeenUntilItClosesIt)
{
    SqliteConnection mine;
    DbError error;
    ASSERT_TRUE(mine.open(optionsFor(a), error));
    auto theirs = std::make_shared<SqliteConnection>();
    OtherProcess other({opening(theirs, optionsFor(a)), closing(theirs)});
    ASSERT_EQ(other.answer(), 'y');

    FilePresence sole;
    EXPECT_FALSE(sole.takeSole(a));
    EXPECT_FALSE(sole.isHeld());
    EXPECT_TRUE(mine.exec(QStringLiteral("INSERT INTO t VALUES (1)"), error)) << error.text.toStdString();

    other.next();
    ASSERT_EQ(other.answer(), 'c');
    EXPECT_TRUE(sole.takeSole(a));
    EXPECT_TRUE(sole.isSole());
}

// The attached file of another process's connection counts as open as well as its main file.
// MNT-08
TEST_F(FilePresenceTest, AnAttachedFileIsHeldLikeTheMainOne)
{
    auto theirs = std::make_shared<SqliteConnection>();
    OtherProcess other({opening(theirs, optionsFor(b, a))});
    ASSERT_EQ(other.answer(), 'y');
    FilePresence sole;
    EXPECT_FALSE(sole.takeSole(a));
    EXPECT_FALSE(sole.takeSole(b));
}

// Connections of this process are not somebody else; each file keeps one descriptor however many
// hold it, closed with the last of them. A database in memory or a missing file holds nothing.
// MNT-09, MNT-10
TEST_F(FilePresenceTest, ConnectionsOfThisProcessAreNotSomebodyElse)
{
    SqliteConnection first, second, third;
    DbError error;
    ASSERT_TRUE(first.open(optionsFor(a), error));
    ASSERT_TRUE(second.open(optionsFor(b, a), error));
    EXPECT_EQ(FilePresence::filesHeld(), 2);
    {
        FilePresence sole;
        ASSERT_TRUE(sole.takeSole(a));
        // Held sole, the file still opens in this process, and is read and written there.
        ASSERT_TRUE(third.open(optionsFor(a), error)) << error.text.toStdString();
        EXPECT_TRUE(third.exec(QStringLiteral("INSERT INTO t VALUES (1)"), error)) << error.text.toStdString();
        FilePresence again;
        EXPECT_TRUE(again.takeSole(a));
    }
    first.close();
    second.close();
    third.close();
    EXPECT_EQ(FilePresence::filesHeld(), 0);

    SqliteConnection memory;
    DbOpenOptions inMemory = optionsFor(QStringLiteral(":memory:"));
    ASSERT_TRUE(memory.open(inMemory, error)) << error.text.toStdString();
    EXPECT_EQ(FilePresence::filesHeld(), 0);
    FilePresence missing;
    EXPECT_EQ(missing.take(db.path(QStringLiteral("none.db")), 0), FilePresence::Taken::Unseen);
    EXPECT_FALSE(missing.takeSole(db.path(QStringLiteral("none.db"))));
}

// A refused sole use leaves this process's own connections seen: a third process finds the file
// still held by it, and free once it has closed.
// MNT-09
TEST_F(FilePresenceTest, ARefusedSoleUseLeavesThisProcessSeen)
{
    auto mine = std::make_shared<SqliteConnection>();
    DbError error;
    ASSERT_TRUE(mine->open(optionsFor(a), error));
    auto theirs = std::make_shared<SqliteConnection>();
    OtherProcess holder({opening(theirs, optionsFor(a)), closing(theirs)});
    ASSERT_EQ(holder.answer(), 'y');
    FilePresence sole;
    EXPECT_FALSE(sole.takeSole(a));
    holder.next();
    ASSERT_EQ(holder.answer(), 'c');

    OtherProcess checker({soleUse(a), soleUse(a)});
    EXPECT_EQ(checker.answer(), 'o');
    mine->close();
    checker.next();
    EXPECT_EQ(checker.answer(), 's');
}

// While another process holds the file sole (rewriting it), an open waits up to its busy timeout
// and then fails as a lock conflict, with nothing held; one that starts waiting before the sole
// use ends opens.
// MNT-11
TEST_F(FilePresenceTest, AnOpenWaitsForASoleUseThenFailsAsALockConflict)
{
    FilePresence sole;
    ASSERT_TRUE(sole.takeSole(a));
    auto theirs = std::make_shared<SqliteConnection>();
    auto timed = [step = opening(theirs, optionsFor(a, {}, 300))] {
        const auto start = std::chrono::steady_clock::now();
        const char answer = step();
        const auto waited = std::chrono::steady_clock::now() - start;
        return answer == 'b' && waited >= std::chrono::milliseconds(250) ? 'w' : answer;
    };
    OtherProcess other({timed, opening(theirs, optionsFor(a, {}, 5000))});
    EXPECT_EQ(other.answer(), 'w');
    // Refused, it held nothing: once this sole use ends, the next is granted.
    sole.release();
    ASSERT_TRUE(sole.takeSole(a));

    other.next();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sole.release();
    EXPECT_EQ(other.answer(), 'y');
    EXPECT_FALSE(sole.takeSole(a));
}
