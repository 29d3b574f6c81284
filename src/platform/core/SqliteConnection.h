#pragma once

#include "DbBackend.h"

struct sqlite3;

namespace rt {

// The embedded backend: one SQLite connection in WAL mode with synchronous=FULL and a busy
// timeout, optionally with a second file attached so that its tables answer unqualified names.
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

private:
    bool configure(const DbOpenOptions &options, DbError &error);

    sqlite3 *m_db = nullptr;
};

} // namespace rt
