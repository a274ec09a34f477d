#include "storage/database.h"

#include "storage/migrations.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace wordloom {

bool DatabaseError::isConstraintViolation() const
{
    return (m_code & 0xFF) == SQLITE_CONSTRAINT;
}

Statement::Statement(sqlite3 *db, std::string_view sql)
    : m_db(db)
{
    check(sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr));
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

void Statement::check(int rc) const
{
    if (rc != SQLITE_OK) {
        throw DatabaseError(sqlite3_errmsg(m_db), sqlite3_extended_errcode(m_db));
    }
}

void Statement::bindOne(int index, std::string_view value)
{
    check(sqlite3_bind_text(m_statement, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
}

void Statement::bindOne(int index, std::int64_t value)
{
    check(sqlite3_bind_int64(m_statement, index, value));
}

void Statement::bindOne(int index, double value)
{
    check(sqlite3_bind_double(m_statement, index, value));
}

void Statement::bindOne(int index, std::nullptr_t)
{
    check(sqlite3_bind_null(m_statement, index));
}

void Statement::bindOne(int index, const std::optional<std::string> &value)
{
    if (value) {
        bindOne(index, std::string_view(*value));
    } else {
        bindOne(index, nullptr);
    }
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    throw DatabaseError(sqlite3_errmsg(m_db), sqlite3_extended_errcode(m_db));
}

int Statement::run()
{
    while (step()) {
    }
    return sqlite3_changes(m_db);
}

std::string Statement::text(int column) const
{
    const auto *value = sqlite3_column_text(m_statement, column);
    if (!value) {
        return {};
    }
    return std::string(reinterpret_cast<const char *>(value),
                       static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)));
}

std::optional<std::string> Statement::optionalText(int column) const
{
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return text(column);
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

Database::Database(const std::string &path)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw DatabaseError("cannot open database " + path + ": " + message, SQLITE_CANTOPEN);
    }
    if (path != ":memory:" && !path.starts_with("file:")) {
        // Password hashes, refresh-token digests, the signing secret and pending codes live here: owner only.
        // SQLite gives its -wal and -shm files the same mode as the database file.
        ::chmod(path.c_str(), S_IRUSR | S_IWUSR);
    }
    sqlite3_busy_timeout(m_db, 5000);
    exec("PRAGMA foreign_keys = ON");
    if (path != ":memory:") {
        exec("PRAGMA journal_mode = WAL");
        exec("PRAGMA synchronous = NORMAL");
    }
    migrate(*this);
}

Database::~Database()
{
    sqlite3_close(m_db);
}

void Database::exec(std::string_view sql)
{
    auto guard = lock();
    char *error = nullptr;
    const std::string terminated(sql);
    if (sqlite3_exec(m_db, terminated.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw DatabaseError(message, sqlite3_extended_errcode(m_db));
    }
}

int Database::schemaVersion()
{
    auto guard = lock();
    auto statement = prepare("PRAGMA user_version");
    statement.step();
    return static_cast<int>(statement.integer(0));
}

Transaction::Transaction(Database &db)
    : m_db(db)
    , m_lock(db.lock())
{
    m_db.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.exec("ROLLBACK");
        } catch (const DatabaseError &) {
            // Nothing more can be done; the connection reports the failure on its next use.
        }
    }
}

void Transaction::commit()
{
    m_db.exec("COMMIT");
    m_done = true;
}

} // namespace wordloom
