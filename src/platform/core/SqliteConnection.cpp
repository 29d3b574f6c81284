#include "SqliteConnection.h"

#include <algorithm>
#include <cstring>

#include "ChineseOrder.h"
#include "Decimal.h"
#include "SqlLexer.h"

#include <QFileInfo>
#include <optional>
#include <sqlite3.h>

namespace rt {

namespace {

class SqliteStatement final : public DbStatement
{
public:
    SqliteStatement(sqlite3 *db, sqlite3_stmt *stmt) : m_db(db), m_stmt(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }

    int parameterCount() const override { return sqlite3_bind_parameter_count(m_stmt); }

    int parameterIndex(const QString &name) const override
    {
        const QByteArray n = name.toUtf8();
        if (int i = sqlite3_bind_parameter_index(m_stmt, n.constData()))
            return i - 1;
        // Accept the name without its prefix as well.
        for (const char *prefix : {":", "@", "$"}) {
            const QByteArray p = QByteArray(prefix) + n;
            if (int i = sqlite3_bind_parameter_index(m_stmt, p.constData()))
                return i - 1;
        }
        return -1;
    }

    bool bind(int index, const Value &value) override
    {
        const int i = index + 1;
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(m_stmt, i);
        } else {
            switch (value.type()) {
            case ValueType::Long: rc = sqlite3_bind_int64(m_stmt, i, value.longValue()); break;
            case ValueType::Number: rc = sqlite3_bind_double(m_stmt, i, value.number()); break;
            case ValueType::Boolean: rc = sqlite3_bind_int(m_stmt, i, value.boolean() ? 1 : 0); break;
            default: {
                const QByteArray text = value.toText().toUtf8();
                rc = sqlite3_bind_text(m_stmt, i, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            m_error = SqliteConnection::errorOf(m_db, rc);
        return rc == SQLITE_OK;
    }

    void clearBindings() override { sqlite3_clear_bindings(m_stmt); }

    DbStep step() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return DbStep::Row;
        if (rc == SQLITE_DONE)
            return DbStep::Done;
        m_error = SqliteConnection::errorOf(m_db, rc);
        sqlite3_reset(m_stmt);
        return DbStep::Error;
    }

    void reset() override { sqlite3_reset(m_stmt); }

    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int c) const override { return QString::fromUtf8(sqlite3_column_name(m_stmt, c)); }
    QString columnDeclaredType(int c) const override
    {
        return QString::fromUtf8(sqlite3_column_decltype(m_stmt, c));
    }
    QString columnTable(int c) const override
    {
        return QString::fromUtf8(sqlite3_column_table_name(m_stmt, c));
    }

    DbColumnKind columnKind(int c) const override
    {
        switch (sqlite3_column_type(m_stmt, c)) {
        case SQLITE_INTEGER: return DbColumnKind::Integer;
        case SQLITE_FLOAT: return DbColumnKind::Real;
        case SQLITE_TEXT: return DbColumnKind::Text;
        case SQLITE_BLOB: return DbColumnKind::Blob;
        default: return DbColumnKind::Null;
        }
    }
    std::int64_t columnInt64(int c) const override { return sqlite3_column_int64(m_stmt, c); }
    double columnDouble(int c) const override { return sqlite3_column_double(m_stmt, c); }
    std::string_view columnUtf8(int c) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c));
        const int n = sqlite3_column_bytes(m_stmt, c);
        return p ? std::string_view(p, std::size_t(n)) : std::string_view("", 0);
    }

    bool isReadOnly() const override { return sqlite3_stmt_readonly(m_stmt) != 0; }
    DbError lastError() const override { return m_error; }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt;
    DbError m_error;
};

} // namespace

SqliteConnection::~SqliteConnection()
{
    close();
}

DbError SqliteConnection::errorOf(sqlite3 *db, int rc)
{
    DbError e;
    e.code = db ? sqlite3_extended_errcode(db) : rc;
    if (e.code == 0)
        e.code = rc;
    QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int primary = e.code & 0xff;
    e.lockConflict = primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
    if (e.lockConflict)
        text += QStringLiteral(" (another connection or program is writing to the register; try again when it has finished)");
    e.text = text;
    return e;
}

bool SqliteConnection::open(const DbOpenOptions &options, DbError &error)
{
    close();
    const QFileInfo main(options.path);
    if (!options.create && !main.exists()) {
        error = {SQLITE_CANTOPEN, QStringLiteral("database file not found: %1").arg(options.path)};
        return false;
    }
    if (!options.attachPath.isEmpty() && !options.create && !QFileInfo::exists(options.attachPath)) {
        error = {SQLITE_CANTOPEN, QStringLiteral("database file not found: %1").arg(options.attachPath)};
        return false;
    }
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (options.create)
        flags |= SQLITE_OPEN_CREATE;
    const QByteArray path = options.path.toUtf8();
    const int rc = sqlite3_open_v2(path.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error = errorOf(m_db, rc);
        error.text = QStringLiteral("cannot open %1: %2").arg(options.path, error.text);
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        error = {SQLITE_READONLY, QStringLiteral("database file is read-only: %1").arg(options.path)};
        close();
        return false;
    }
    // Before the first read: a file being rewritten would only make that read wait.
    if (!holdPresence(m_mainPresence, QStringLiteral("main"), options.busyTimeoutMs, error)) {
        close();
        return false;
    }
    if (!configure(options, error)) {
        close();
        return false;
    }
    return true;
}

namespace {

// hm_deccmp(a, b): the order of two decimals kept as exact text, -1, 0 or 1; null when either is
// null or not a number. The files keep decimals as text, and SQL's own numbers are doubles.
void decimalCompare(sqlite3_context *context, int, sqlite3_value **argv)
{
    std::optional<Decimal> v[2];
    for (int i = 0; i < 2; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        v[i] = Decimal::parse(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[i]))));
        if (!v[i]) {
            sqlite3_result_null(context);
            return;
        }
    }
    sqlite3_result_int(context, v[0]->compare(*v[1]));
}

// The collation hm_decimal: decimals kept as exact text ordered by value ("9.50" before
// "10.00"), anything that is not a number after every number, in byte order. A grid sorted in
// the database by a decimal column needs it; the text's own order would put "10.00" first.
int decimalCollation(void *, int n1, const void *s1, int n2, const void *s2)
{
    const auto a = Decimal::parse(QString::fromUtf8(static_cast<const char *>(s1), n1));
    const auto b = Decimal::parse(QString::fromUtf8(static_cast<const char *>(s2), n2));
    if (a && b)
        return a->compare(*b);
    if (a || b)
        return a ? -1 : 1;
    const int c = std::memcmp(s1, s2, std::size_t(std::min(n1, n2)));
    return c != 0 ? c : (n1 < n2 ? -1 : (n1 > n2 ? 1 : 0));
}

// The collation hm_zh: text in the order a Chinese reader expects (ChineseOrder), ties between
// texts the locale counts as equal broken by code point, so that only identical texts compare
// equal. A grid sorted by a text column and read page by page orders and compares with it, and
// its rows come in the order the sort in memory gives them. No index or table of the register
// uses it: another program writing the files has no such collation.
int chineseCollation(void *, int n1, const void *s1, int n2, const void *s2)
{
    return ChineseOrder::compareUtf8(std::string_view(static_cast<const char *>(s1), std::size_t(n1)),
                                     std::string_view(static_cast<const char *>(s2), std::size_t(n2)));
}

} // namespace

bool SqliteConnection::configure(const DbOpenOptions &options, DbError &error)
{
    m_busyTimeoutMs = options.busyTimeoutMs;
    sqlite3_busy_timeout(m_db, options.busyTimeoutMs);
    // Placeholders numbered as on the server, at most: SQLite would allocate a slot per number.
    sqlite3_limit(m_db, SQLITE_LIMIT_VARIABLE_NUMBER, SqlLexer::MaxPlaceholder);
    sqlite3_create_function_v2(m_db, "hm_deccmp", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, decimalCompare, nullptr,
                               nullptr, nullptr);
    sqlite3_create_collation_v2(m_db, "hm_decimal", SQLITE_UTF8, nullptr, decimalCollation, nullptr);
    sqlite3_create_collation_v2(m_db, "hm_zh", SQLITE_UTF8, nullptr, chineseCollation, nullptr);
    // Reading the schema proves the file is a database at all.
    if (!exec(QStringLiteral("SELECT count(*) FROM main.sqlite_master"), error)) {
        error.text = QStringLiteral("%1: %2").arg(options.path, error.text);
        return false;
    }
    QStringList schemas{QStringLiteral("main")};
    if (!options.attachPath.isEmpty()) {
        std::unique_ptr<DbStatement> attach
            = prepare(QStringLiteral("ATTACH DATABASE ?1 AS \"%1\"").arg(options.attachSchema), nullptr, error);
        if (!attach)
            return false;
        attach->bind(0, Value(options.attachPath));
        if (attach->step() == DbStep::Error) {
            error = attach->lastError();
            error.text = QStringLiteral("cannot attach %1: %2").arg(options.attachPath, error.text);
            return false;
        }
        attach.reset();
        if (!holdPresence(m_attachedPresence, options.attachSchema, options.busyTimeoutMs, error))
            return false;
        if (sqlite3_db_readonly(m_db, options.attachSchema.toUtf8().constData()) == 1) {
            error = {SQLITE_READONLY, QStringLiteral("database file is read-only: %1").arg(options.attachPath)};
            return false;
        }
        if (!exec(QStringLiteral("SELECT count(*) FROM \"%1\".sqlite_master").arg(options.attachSchema), error)) {
            error.text = QStringLiteral("%1: %2").arg(options.attachPath, error.text);
            return false;
        }
        schemas << options.attachSchema;
    }
    const QStringList paths{options.path, options.attachPath};
    for (qsizetype i = 0; i < schemas.size(); ++i) {
        const QString &schema = schemas[i];
        // A rollback journal, not WAL: a transaction that writes both files then commits in both
        // or in neither, through a crash or power cut as well (the files' journals name one
        // super-journal, whose deletion is the single point of commit). In WAL each file would
        // commit on its own, one after the other. FULL makes each commit durable before it is
        // reported.
        QString mode;
        DbError pragmaError;
        if (!pragmaText(QStringLiteral("PRAGMA \"%1\".journal_mode=DELETE").arg(schema), mode, pragmaError)) {
            error = pragmaError;
            error.text = QStringLiteral("%1: %2").arg(paths[i], error.text);
            return false;
        }
        // (A database in memory answers "memory": it has no files to keep together.)
        if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
            // A file in WAL mode can leave it only while no other connection has it open.
            error = {SQLITE_BUSY, QStringLiteral("%1 is open in another program that keeps it in WAL mode (journal mode %2), so "
                                                 "it cannot be switched to the rollback journal that makes a change of both files "
                                                 "atomic; close that program and open the register again")
                                      .arg(paths[i], mode)};
            return false;
        }
        // An ordinary deletion keeps its changed pages in memory until COMMIT instead of
        // writing them into the file early, which would lock readers out for the rest of the
        // transaction. Reads are not affected: they use the default cache size, and only dirty
        // pages may go past it, up to this many (4 KiB pages).
        if (!exec(QStringLiteral("PRAGMA \"%1\".synchronous=FULL").arg(schema), error)
            || !exec(QStringLiteral("PRAGMA \"%1\".cache_spill=%2").arg(schema).arg(SpillPages), error))
            return false;
    }
    return exec(QStringLiteral("PRAGMA foreign_keys=ON"), error);
}

void SqliteConnection::interrupt()
{
    if (m_db)
        sqlite3_interrupt(m_db);
}

void SqliteConnection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    // Only now: giving a presence up may close a descriptor of the file, which drops the POSIX
    // locks the process holds on it (FilePresence).
    m_attachedPresence.release();
    m_mainPresence.release();
}

bool SqliteConnection::holdPresence(FilePresence &presence, const QString &schema, int waitMs, DbError &error)
{
    const char *file = sqlite3_db_filename(m_db, schema.toUtf8().constData());
    if (!file || !*file)
        return true; // in memory or temporary: no other program can open it
    const QString path = QString::fromUtf8(file);
    if (presence.take(path, waitMs) != FilePresence::Taken::SoleElsewhere)
        return true;
    error = {SQLITE_BUSY,
             QString::fromUtf8("%1 正由另一个程序整理空间（VACUUM），请等它完成后再试。\n"
                               "%1 is being compacted (VACUUM) by another program; try again when it has finished.")
                 .arg(path),
             true};
    return false;
}

std::unique_ptr<DbStatement> SqliteConnection::prepare(const QString &sql, int *tail, DbError &error)
{
    if (!m_db) {
        error = {SQLITE_MISUSE, QStringLiteral("not connected")};
        return nullptr;
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *rest = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &rest);
    if (rc != SQLITE_OK) {
        error = errorOf(m_db, rc);
        return nullptr;
    }
    if (tail) {
        const qsizetype consumed = rest ? rest - utf8.constData() : utf8.size();
        *tail = int(QString::fromUtf8(utf8.constData(), consumed).size());
    }
    if (!stmt) { // only blanks or comments
        error = {};
        return nullptr;
    }
    return std::make_unique<SqliteStatement>(m_db, stmt);
}

bool SqliteConnection::exec(const QString &sql, DbError &error)
{
    if (!m_db) {
        error = {SQLITE_MISUSE, QStringLiteral("not connected")};
        return false;
    }
    // A COMMIT waits for the readers of its files to finish their page (a rollback journal lets
    // no reader in while the file is written), and none can start meanwhile, so the wait is
    // bounded by the longest read running (a grid's total counted on a large table): it may take
    // longer than a lock held by another writer is worth waiting for.
    const bool commit = sql.trimmed().compare(QLatin1String("COMMIT"), Qt::CaseInsensitive) == 0;
    if (commit)
        sqlite3_busy_timeout(m_db, std::max(m_busyTimeoutMs, CommitWaitMs));
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (commit)
        sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    if (rc != SQLITE_OK) {
        error = errorOf(m_db, rc);
        return false;
    }
    return true;
}

bool SqliteConnection::pragmaText(const QString &sql, QString &value, DbError &error)
{
    std::unique_ptr<DbStatement> stmt = prepare(sql, nullptr, error);
    if (!stmt)
        return false;
    const DbStep step = stmt->step();
    if (step == DbStep::Error) {
        error = stmt->lastError();
        return false;
    }
    value = step == DbStep::Row ? stmt->columnText(0) : QString();
    return true;
}

std::int64_t SqliteConnection::totalChanges() const
{
    return m_db ? sqlite3_total_changes64(m_db) : 0;
}

std::int64_t SqliteConnection::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

QStringList SqliteConnection::primaryKey(const QString &table)
{
    QStringList keys;
    sqlite3_stmt *stmt = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk", -1, &stmt, nullptr) != SQLITE_OK)
        return keys;
    const QByteArray t = table.toUtf8();
    sqlite3_bind_text(stmt, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        keys << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return keys;
}

bool SqliteConnection::autocommit() const
{
    return !m_db || sqlite3_get_autocommit(m_db) != 0;
}

} // namespace rt
