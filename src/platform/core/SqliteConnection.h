#pragma once

#include "DbBackend.h"
#include "FilePresence.h"

struct sqlite3;

namespace rt {

// The embedded backend: one SQLite connection with a rollback journal (so that a transaction
// over both files commits atomically) and synchronous=FULL, and a busy timeout; optionally with a
// second file attached so that its tables answer unqualified names. A file made in WAL mode is
// switched when opened, which only works while no other program has it open.
// While open it holds a presence (FilePresence) on each of its files, so that the upkeep does not
// rewrite one under it; open() waits up to the busy timeout while another program rewrites one,
// and then fails with a lock conflict. close() gives the presences up after closing the files.
class SqliteConnection final : public DbConnection
{
public:
    SqliteConnection() = default;
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    bool open(const DbOpenOptions &options, DbError &error) override;
    void close() override;
    bool isOpen() const override { return m_db != nullptr; }

    std::unique_ptr<DbStatement> prepare(const QString &sql, int *tail, DbError &error) override;
    bool exec(const QString &sql, DbError &error) override;

    std::int64_t totalChanges() const override;
    std::int64_t lastInsertId() const override;
    bool autocommit() const override;
    QString backendName() const override { return QStringLiteral("SQLite"); }
    QStringList primaryKey(const QString &table) override;

    // The engine's error for the connection's last call, with a readable text.
    static DbError errorOf(sqlite3 *db, int rc);

    void interrupt() override;

    // How many changed pages a transaction keeps in memory before it must write them into the
    // file (locking readers out until it ends): 256 MiB of 4 KiB pages.
    static constexpr int SpillPages = 65536;
    // How long a COMMIT waits for the readers of its files (other statements wait the busy
    // timeout of the options).
    static constexpr int CommitWaitMs = 10000;

private:
    bool configure(const DbOpenOptions &options, DbError &error);
    // A statement answering one text value (a pragma's); false with the error.
    bool pragmaText(const QString &sql, QString &value, DbError &error);
    // Holds `presence` on the file of `schema` (nothing for a database in memory); false with a
    // lock conflict while another program holds it sole past `waitMs`.
    bool holdPresence(FilePresence &presence, const QString &schema, int waitMs, DbError &error);

    sqlite3 *m_db = nullptr;
    FilePresence m_mainPresence;
    FilePresence m_attachedPresence;
    int m_busyTimeoutMs = 0;
};

} // namespace rt
