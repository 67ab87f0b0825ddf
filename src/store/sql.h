// SQL access layer: connections, cursors and prepared statements over the
// system SQLite, every file going through the private-header VFS. Users own
// what they create; failures are thrown as CppSQLite3Exception and only the
// table layer catches them. A connection is used by one thread at a time:
// callers hold its mutex() for the whole of an operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace lorvex {

// Bytes 0..15 of every database file: 15 ASCII characters and a zero byte.
// They stand where SQLite keeps its own header string.
inline constexpr char kDbHeader[16] = "QVDB_1116_Ver01";
inline constexpr size_t kDbHeaderSize = 16;
inline constexpr size_t kDbMagicSize = 15;

// Error code of failures found by this layer rather than by the engine.
inline constexpr int kCppSqliteError = 1000;
inline constexpr int kDefaultBusyTimeoutMs = 60000;

// Registers the header VFS with SQLite (once per process; any thread).
// Returns its name, or null when SQLite refused it.
const char* sql_header_vfs();

// True when the file can be read and its first 15 bytes are the private
// magic. The 16th byte is not looked at.
[[nodiscard]] bool store_is_database_file(const char* path);

// Name of an SQLite result code ("SQLITE_BUSY", ...; "UNKNOWN_ERROR" for
// codes outside the table, 26 among them).
const char* sql_code_name(int code);

class CppSQLite3Exception {
  public:
    // message() becomes "<name>[<code>]: <detail>".
    CppSQLite3Exception(int code, const char* detail);
    int code() const { return code_; }
    const char* message() const { return message_.c_str(); }

  private:
    int code_;
    std::string message_;
};

class SqlConnection;

// A statement positioned on its current row. Copying hands the statement to
// the copy; the source is left without one.
class SqlCursor {
  public:
    SqlCursor() = default;
    SqlCursor(SqlConnection* connection, sqlite3_stmt* statement, bool at_end, bool owns);
    SqlCursor(SqlCursor& other);
    SqlCursor& operator=(SqlCursor& other);
    SqlCursor(SqlCursor&& other) noexcept;
    SqlCursor& operator=(SqlCursor&& other) noexcept;
    ~SqlCursor();

    bool eof() const;
    void next_row();
    int columns() const { return columns_; }
    // Value of an integer column; null_value when the column holds NULL.
    int32_t int_field(int column, int32_t null_value = 0) const;
    // Bytes of a blob column, valid until the cursor moves or finalises.
    const uint8_t* blob_field(int column, int& length) const;
    // Text of a column, null for NULL.
    const char* column_text(int column) const;
    void finalize();

  private:
    void check_statement() const;
    void check_column(int column) const;
    void take(SqlCursor& other);

    SqlConnection* connection_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
    bool eof_ = true;
    int columns_ = 0;
    bool owns_ = false;
};

class SqlStatement {
  public:
    SqlStatement() = default;
    SqlStatement(SqlConnection* connection, sqlite3_stmt* statement);
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;
    SqlStatement(SqlStatement&& other) noexcept;
    SqlStatement& operator=(SqlStatement&& other) noexcept;
    ~SqlStatement();

    void bind(int parameter, int32_t value);
    // The engine copies the bytes.
    void bind(int parameter, const uint8_t* bytes, int length);
    int execute();
    void reset();
    void finalize();

  private:
    void check_usable() const;

    SqlConnection* connection_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
};

class SqlConnection {
  public:
    SqlConnection() = default;
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;
    ~SqlConnection();

    // Opens (creating when absent) through the header VFS, read-write.
    void open(const char* path);
    void close();
    bool is_open() const { return db_ != nullptr; }

    int execute(const char* sql);
    SqlCursor query(const char* sql);
    int scalar(const char* sql);
    SqlStatement prepare(const char* sql);

    // True while an explicit transaction is open on this connection.
    bool in_transaction() const;
    void set_busy_timeout(int milliseconds);

    // Serialises whole operations on this connection across threads; held
    // by the store (and the table layer) for an operation and its
    // transaction.
    std::recursive_mutex& mutex() { return mutex_; }

    sqlite3* raw() const { return db_; }

  private:
    void check_open() const;
    sqlite3_stmt* compile(const char* sql);

    sqlite3* db_ = nullptr;
    int busy_timeout_ms_ = kDefaultBusyTimeoutMs;
    std::recursive_mutex mutex_;
};

// Throws the engine's current error of db with the given result code.
[[noreturn]] void sql_throw_engine_error(sqlite3* db, int code);

}  // namespace lorvex
