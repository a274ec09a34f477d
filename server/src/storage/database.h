#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace wordloom {

class DatabaseError : public std::runtime_error
{
public:
    DatabaseError(const std::string &message, int code)
        : std::runtime_error(message)
        , m_code(code)
    {}
    bool isConstraintViolation() const;

private:
    int m_code;
};

// One prepared statement. Values are bound by position (1-based); columns are read by index (0-based).
class Statement
{
public:
    Statement(sqlite3 *db, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    template <typename... Args>
    Statement &bind(const Args &...args)
    {
        int index = 1;
        (bindOne(index++, args), ...);
        return *this;
    }

    // Binds one text value at an explicit position, for statements whose parameter count varies.
    Statement &bindText(int index, std::string_view value)
    {
        bindOne(index, value);
        return *this;
    }

    // Advances to the next row; false when the statement has finished.
    bool step();
    // Runs the statement to its end and returns the number of rows it changed.
    int run();

    std::string text(int column) const;
    std::optional<std::string> optionalText(int column) const;
    std::int64_t integer(int column) const;
    double real(int column) const;

private:
    void bindOne(int index, std::string_view value);
    void bindOne(int index, const std::string &value) { bindOne(index, std::string_view(value)); }
    void bindOne(int index, const char *value) { bindOne(index, std::string_view(value)); }
    void bindOne(int index, std::int64_t value);
    void bindOne(int index, int value) { bindOne(index, static_cast<std::int64_t>(value)); }
    void bindOne(int index, bool value) { bindOne(index, static_cast<std::int64_t>(value ? 1 : 0)); }
    void bindOne(int index, double value);
    void bindOne(int index, std::nullptr_t);
    void bindOne(int index, const std::optional<std::string> &value);
    void check(int rc) const;

    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// The server's one SQLite connection. Every access holds the connection's lock, so request threads never share
// a statement; a Transaction holds it for its whole lifetime.
class Database
{
public:
    // Opens (creating if needed) the database at `path`, or a private in-memory one for ":memory:", and migrates
    // it to the current schema.
    explicit Database(const std::string &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(m_mutex); }
    Statement prepare(std::string_view sql) { return Statement(m_db, sql); }
    void exec(std::string_view sql);
    int schemaVersion();

private:
    sqlite3 *m_db = nullptr;
    std::recursive_mutex m_mutex;
};

// BEGIN IMMEDIATE on construction; rolled back unless commit() is called.
class Transaction
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Database &m_db;
    std::unique_lock<std::recursive_mutex> m_lock;
    bool m_done = false;
};

} // namespace wordloom
