#pragma once

#include "DbBackend.h"

struct sqlite3;

namespace rt {

// The embedded backend: one SQLite connection with a rollback journal (so that a transaction
// over both files commits atomically) and synchronous=FULL, and a busy timeout; optionally with a
// second file attached so that its tables answer unqualified names. A file made in WAL mode is
// switched when opened, which only works while no other program has it open.
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

    sqlite3 *m_db = nullptr;
    int m_busyTimeoutMs = 0;
};

} // namespace rt
