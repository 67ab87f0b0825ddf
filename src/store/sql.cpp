// The header VFS wraps SQLite's default VFS. For main database files it
// rewrites bytes 0..15 and nothing else:
//   write: a buffer at offset 0 that starts with SQLite's own header string
//          goes to disk with the private header instead;
//   read:  the private header on disk is shown to the engine as SQLite's own
//          string, and SQLite's own string on disk is shown as the private
//          header, so that a standard SQLite file is refused exactly like any
//          other foreign file (SQLITE_NOTADB, 26).
// Journals and temporary files pass through untouched. The I/O methods are
// version 2, which keeps the pager from memory-mapping the file: every byte
// of the file reaches the engine through xRead.

#include "store/sql.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace lorvex {
namespace {

constexpr char kSqliteHeader[16] = "SQLite format 3";  // 15 characters and NUL
constexpr const char* kVfsName = "lorvex-header";

struct HeaderFile {
    sqlite3_file base;
    sqlite3_file* real;
    bool main_db;
};

sqlite3_vfs* root_vfs(sqlite3_vfs* vfs) {
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}
sqlite3_file* real_of(sqlite3_file* file) {
    return reinterpret_cast<HeaderFile*>(file)->real;
}

// Replaces the part of buf (covering [offset, offset+amount)) that overlaps
// bytes 0..15 with the same bytes of header.
void overlay_header(uint8_t* buf, int amount, sqlite3_int64 offset, const char* header) {
    for (sqlite3_int64 i = offset;
         i < static_cast<sqlite3_int64>(kDbHeaderSize) && i < offset + amount; ++i) {
        buf[i - offset] = static_cast<uint8_t>(header[i]);
    }
}

int hf_close(sqlite3_file* file) {
    sqlite3_file* real = real_of(file);
    int rc = SQLITE_OK;
    if (real->pMethods != nullptr) rc = real->pMethods->xClose(real);
    file->pMethods = nullptr;
    return rc;
}

int hf_read(sqlite3_file* file, void* buf, int amount, sqlite3_int64 offset) {
    auto* hf = reinterpret_cast<HeaderFile*>(file);
    sqlite3_file* real = hf->real;
    int rc = real->pMethods->xRead(real, buf, amount, offset);
    if (!hf->main_db || offset >= static_cast<sqlite3_int64>(kDbHeaderSize)) return rc;
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return rc;
    uint8_t disk[kDbHeaderSize];
    if (offset == 0 && amount >= static_cast<int>(kDbHeaderSize)) {
        std::memcpy(disk, buf, kDbHeaderSize);
    } else if (real->pMethods->xRead(real, disk, kDbHeaderSize, 0) != SQLITE_OK) {
        return rc;
    }
    if (std::memcmp(disk, kDbHeader, kDbHeaderSize) == 0) {
        overlay_header(static_cast<uint8_t*>(buf), amount, offset, kSqliteHeader);
    } else if (std::memcmp(disk, kSqliteHeader, kDbHeaderSize) == 0) {
        overlay_header(static_cast<uint8_t*>(buf), amount, offset, kDbHeader);
    }
    return rc;
}

int hf_write(sqlite3_file* file, const void* buf, int amount, sqlite3_int64 offset) {
    auto* hf = reinterpret_cast<HeaderFile*>(file);
    sqlite3_file* real = hf->real;
    if (hf->main_db && offset == 0 && amount >= static_cast<int>(kDbHeaderSize) &&
        std::memcmp(buf, kSqliteHeader, kDbHeaderSize) == 0) {
        std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[amount]);
        if (!copy) return SQLITE_NOMEM;
        std::memcpy(copy.get(), buf, amount);
        std::memcpy(copy.get(), kDbHeader, kDbHeaderSize);
        return real->pMethods->xWrite(real, copy.get(), amount, offset);
    }
    return real->pMethods->xWrite(real, buf, amount, offset);
}

int hf_truncate(sqlite3_file* f, sqlite3_int64 size) {
    return real_of(f)->pMethods->xTruncate(real_of(f), size);
}
int hf_sync(sqlite3_file* f, int flags) {
    return real_of(f)->pMethods->xSync(real_of(f), flags);
}
int hf_file_size(sqlite3_file* f, sqlite3_int64* size) {
    return real_of(f)->pMethods->xFileSize(real_of(f), size);
}
int hf_lock(sqlite3_file* f, int level) {
    return real_of(f)->pMethods->xLock(real_of(f), level);
}
int hf_unlock(sqlite3_file* f, int level) {
    return real_of(f)->pMethods->xUnlock(real_of(f), level);
}
int hf_check_reserved(sqlite3_file* f, int* out) {
    return real_of(f)->pMethods->xCheckReservedLock(real_of(f), out);
}
int hf_file_control(sqlite3_file* f, int op, void* arg) {
    // The file is never mapped into memory.
    if (op == SQLITE_FCNTL_MMAP_SIZE) return SQLITE_NOTFOUND;
    return real_of(f)->pMethods->xFileControl(real_of(f), op, arg);
}
int hf_sector_size(sqlite3_file* f) {
    return real_of(f)->pMethods->xSectorSize(real_of(f));
}
int hf_device_characteristics(sqlite3_file* f) {
    return real_of(f)->pMethods->xDeviceCharacteristics(real_of(f));
}
int hf_shm_map(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    sqlite3_file* real = real_of(f);
    if (real->pMethods->iVersion < 2 || real->pMethods->xShmMap == nullptr) return SQLITE_IOERR;
    return real->pMethods->xShmMap(real, region, size, extend, out);
}
int hf_shm_lock(sqlite3_file* f, int offset, int n, int flags) {
    sqlite3_file* real = real_of(f);
    if (real->pMethods->iVersion < 2 || real->pMethods->xShmLock == nullptr) return SQLITE_IOERR;
    return real->pMethods->xShmLock(real, offset, n, flags);
}
void hf_shm_barrier(sqlite3_file* f) {
    sqlite3_file* real = real_of(f);
    if (real->pMethods->iVersion >= 2 && real->pMethods->xShmBarrier != nullptr) {
        real->pMethods->xShmBarrier(real);
    }
}
int hf_shm_unmap(sqlite3_file* f, int del) {
    sqlite3_file* real = real_of(f);
    if (real->pMethods->iVersion < 2 || real->pMethods->xShmUnmap == nullptr) return SQLITE_OK;
    return real->pMethods->xShmUnmap(real, del);
}

const sqlite3_io_methods kHeaderMethods = {
    2,  // no xFetch/xUnfetch: no memory mapping
    hf_close,
    hf_read,
    hf_write,
    hf_truncate,
    hf_sync,
    hf_file_size,
    hf_lock,
    hf_unlock,
    hf_check_reserved,
    hf_file_control,
    hf_sector_size,
    hf_device_characteristics,
    hf_shm_map,
    hf_shm_lock,
    hf_shm_barrier,
    hf_shm_unmap,
    nullptr,
    nullptr,
};

int vfs_open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out_flags) {
    auto* hf = reinterpret_cast<HeaderFile*>(file);
    hf->real = reinterpret_cast<sqlite3_file*>(hf + 1);
    hf->main_db = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    hf->real->pMethods = nullptr;
    sqlite3_vfs* root = root_vfs(vfs);
    int rc = root->xOpen(root, name, hf->real, flags, out_flags);
    file->pMethods = hf->real->pMethods != nullptr ? &kHeaderMethods : nullptr;
    return rc;
}
int vfs_delete(sqlite3_vfs* v, const char* name, int sync) {
    return root_vfs(v)->xDelete(root_vfs(v), name, sync);
}
int vfs_access(sqlite3_vfs* v, const char* name, int flags, int* out) {
    return root_vfs(v)->xAccess(root_vfs(v), name, flags, out);
}
int vfs_full_pathname(sqlite3_vfs* v, const char* name, int n, char* out) {
    return root_vfs(v)->xFullPathname(root_vfs(v), name, n, out);
}
void* vfs_dl_open(sqlite3_vfs* v, const char* name) {
    return root_vfs(v)->xDlOpen(root_vfs(v), name);
}
void vfs_dl_error(sqlite3_vfs* v, int n, char* out) {
    root_vfs(v)->xDlError(root_vfs(v), n, out);
}
void (*vfs_dl_sym(sqlite3_vfs* v, void* handle, const char* sym))(void) {
    return root_vfs(v)->xDlSym(root_vfs(v), handle, sym);
}
void vfs_dl_close(sqlite3_vfs* v, void* handle) {
    root_vfs(v)->xDlClose(root_vfs(v), handle);
}
int vfs_randomness(sqlite3_vfs* v, int n, char* out) {
    return root_vfs(v)->xRandomness(root_vfs(v), n, out);
}
int vfs_sleep(sqlite3_vfs* v, int micros) {
    return root_vfs(v)->xSleep(root_vfs(v), micros);
}
int vfs_current_time(sqlite3_vfs* v, double* out) {
    return root_vfs(v)->xCurrentTime(root_vfs(v), out);
}
int vfs_get_last_error(sqlite3_vfs* v, int n, char* out) {
    sqlite3_vfs* root = root_vfs(v);
    return root->xGetLastError != nullptr ? root->xGetLastError(root, n, out) : 0;
}
int vfs_current_time_int64(sqlite3_vfs* v, sqlite3_int64* out) {
    sqlite3_vfs* root = root_vfs(v);
    if (root->iVersion >= 2 && root->xCurrentTimeInt64 != nullptr) {
        return root->xCurrentTimeInt64(root, out);
    }
    double days = 0;
    int rc = root->xCurrentTime(root, &days);
    *out = static_cast<sqlite3_int64>(days * 86400000.0);
    return rc;
}

sqlite3_vfs g_header_vfs;
bool g_vfs_ready = false;
std::once_flag g_vfs_once;

void register_vfs() {
    if (sqlite3_initialize() != SQLITE_OK) return;
    sqlite3_vfs* root = sqlite3_vfs_find(nullptr);
    if (root == nullptr) return;
    sqlite3_vfs v{};
    v.iVersion = 2;
    v.szOsFile = static_cast<int>(sizeof(HeaderFile)) + root->szOsFile;
    v.mxPathname = root->mxPathname;
    v.zName = kVfsName;
    v.pAppData = root;
    v.xOpen = vfs_open;
    v.xDelete = vfs_delete;
    v.xAccess = vfs_access;
    v.xFullPathname = vfs_full_pathname;
    v.xDlOpen = vfs_dl_open;
    v.xDlError = vfs_dl_error;
    v.xDlSym = vfs_dl_sym;
    v.xDlClose = vfs_dl_close;
    v.xRandomness = vfs_randomness;
    v.xSleep = vfs_sleep;
    v.xCurrentTime = vfs_current_time;
    v.xGetLastError = vfs_get_last_error;
    v.xCurrentTimeInt64 = vfs_current_time_int64;
    g_header_vfs = v;
    g_vfs_ready = sqlite3_vfs_register(&g_header_vfs, 0) == SQLITE_OK;
}

std::string engine_message(sqlite3* db, int code) {
    // Newer engines shortened this text; the layer keeps the established one.
    if (code == SQLITE_NOTADB) return "file is encrypted or is not a database";
    const char* text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return text != nullptr ? text : "";
}

}  // namespace

const char* sql_header_vfs() {
    std::call_once(g_vfs_once, register_vfs);
    return g_vfs_ready ? kVfsName : nullptr;
}

bool store_is_database_file(const char* path) {
    if (path == nullptr) return false;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    char magic[kDbMagicSize];
    size_t got = std::fread(magic, 1, kDbMagicSize, f);
    std::fclose(f);
    return got == kDbMagicSize && std::memcmp(magic, kDbHeader, kDbMagicSize) == 0;
}

const char* sql_code_name(int code) {
    switch (code) {
        case SQLITE_OK:
            return "SQLITE_OK";
        case SQLITE_ERROR:
            return "SQLITE_ERROR";
        case SQLITE_INTERNAL:
            return "SQLITE_INTERNAL";
        case SQLITE_PERM:
            return "SQLITE_PERM";
        case SQLITE_ABORT:
            return "SQLITE_ABORT";
        case SQLITE_BUSY:
            return "SQLITE_BUSY";
        case SQLITE_LOCKED:
            return "SQLITE_LOCKED";
        case SQLITE_NOMEM:
            return "SQLITE_NOMEM";
        case SQLITE_READONLY:
            return "SQLITE_READONLY";
        case SQLITE_INTERRUPT:
            return "SQLITE_INTERRUPT";
        case SQLITE_IOERR:
            return "SQLITE_IOERR";
        case SQLITE_CORRUPT:
            return "SQLITE_CORRUPT";
        case SQLITE_NOTFOUND:
            return "SQLITE_NOTFOUND";
        case SQLITE_FULL:
            return "SQLITE_FULL";
        case SQLITE_CANTOPEN:
            return "SQLITE_CANTOPEN";
        case SQLITE_PROTOCOL:
            return "SQLITE_PROTOCOL";
        case SQLITE_EMPTY:
            return "SQLITE_EMPTY";
        case SQLITE_SCHEMA:
            return "SQLITE_SCHEMA";
        case SQLITE_TOOBIG:
            return "SQLITE_TOOBIG";
        case SQLITE_CONSTRAINT:
            return "SQLITE_CONSTRAINT";
        case SQLITE_MISMATCH:
            return "SQLITE_MISMATCH";
        case SQLITE_MISUSE:
            return "SQLITE_MISUSE";
        case SQLITE_NOLFS:
            return "SQLITE_NOLFS";
        case SQLITE_AUTH:
            return "SQLITE_AUTH";
        case SQLITE_FORMAT:
            return "SQLITE_FORMAT";
        case SQLITE_RANGE:
            return "SQLITE_RANGE";
        case SQLITE_ROW:
            return "SQLITE_ROW";
        case SQLITE_DONE:
            return "SQLITE_DONE";
        case kCppSqliteError:
            return "CPPSQLITE_ERROR";
        default:
            return "UNKNOWN_ERROR";
    }
}

CppSQLite3Exception::CppSQLite3Exception(int code, const char* detail) : code_(code) {
    const char* name = sql_code_name(code);
    const char* text = detail != nullptr ? detail : "";
    int n = std::snprintf(nullptr, 0, "%s[%d]: %s", name, code, text);
    message_.resize(n > 0 ? static_cast<size_t>(n) : 0);
    std::snprintf(message_.data(), message_.size() + 1, "%s[%d]: %s", name, code, text);
}

void sql_throw_engine_error(sqlite3* db, int code) {
    throw CppSQLite3Exception(code, engine_message(db, code).c_str());
}

// ---- SqlCursor --------------------------------------------------------------

SqlCursor::SqlCursor(SqlConnection* connection, sqlite3_stmt* statement, bool at_end, bool owns)
    : connection_(connection), statement_(statement), eof_(at_end), owns_(owns) {
    columns_ = statement != nullptr ? sqlite3_column_count(statement) : 0;
}

SqlCursor::SqlCursor(SqlCursor& other) {
    take(other);
}

SqlCursor& SqlCursor::operator=(SqlCursor& other) {
    if (this != &other) {
        finalize();
        take(other);
    }
    return *this;
}

SqlCursor::SqlCursor(SqlCursor&& other) noexcept {
    take(other);
}

SqlCursor& SqlCursor::operator=(SqlCursor&& other) noexcept {
    if (this != &other) {
        finalize();
        take(other);
    }
    return *this;
}

SqlCursor::~SqlCursor() {
    finalize();
}

void SqlCursor::take(SqlCursor& other) {
    connection_ = other.connection_;
    statement_ = other.statement_;
    eof_ = other.eof_;
    columns_ = other.columns_;
    owns_ = other.owns_;
    other.statement_ = nullptr;
    other.owns_ = false;
}

void SqlCursor::check_statement() const {
    if (statement_ == nullptr) {
        throw CppSQLite3Exception(kCppSqliteError, "Null Virtual Machine pointer");
    }
}

void SqlCursor::check_column(int column) const {
    check_statement();
    if (column < 0 || column > columns_ - 1) {
        throw CppSQLite3Exception(kCppSqliteError, "Invalid field index requested");
    }
}

bool SqlCursor::eof() const {
    check_statement();
    return eof_;
}

void SqlCursor::next_row() {
    check_statement();
    int rc = sqlite3_step(statement_);
    if (rc == SQLITE_DONE) {
        eof_ = true;
    } else if (rc != SQLITE_ROW) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        sql_throw_engine_error(connection_ != nullptr ? connection_->raw() : nullptr, rc);
    }
}

int32_t SqlCursor::int_field(int column, int32_t null_value) const {
    check_column(column);
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return null_value;
    return sqlite3_column_int(statement_, column);
}

const uint8_t* SqlCursor::blob_field(int column, int& length) const {
    check_column(column);
    const void* bytes = sqlite3_column_blob(statement_, column);
    length = sqlite3_column_bytes(statement_, column);
    return static_cast<const uint8_t*>(bytes);
}

const char* SqlCursor::column_text(int column) const {
    check_column(column);
    return reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
}

void SqlCursor::finalize() {
    if (statement_ != nullptr && owns_) sqlite3_finalize(statement_);
    statement_ = nullptr;
    owns_ = false;
}

// ---- SqlStatement -----------------------------------------------------------

SqlStatement::SqlStatement(SqlConnection* connection, sqlite3_stmt* statement)
    : connection_(connection), statement_(statement) {}

SqlStatement::SqlStatement(SqlStatement&& other) noexcept
    : connection_(other.connection_), statement_(other.statement_) {
    other.statement_ = nullptr;
}

SqlStatement& SqlStatement::operator=(SqlStatement&& other) noexcept {
    if (this != &other) {
        finalize();
        connection_ = other.connection_;
        statement_ = other.statement_;
        other.statement_ = nullptr;
    }
    return *this;
}

SqlStatement::~SqlStatement() {
    finalize();
}

void SqlStatement::check_usable() const {
    if (connection_ == nullptr || !connection_->is_open()) {
        throw CppSQLite3Exception(kCppSqliteError, "Database not open");
    }
    if (statement_ == nullptr) {
        throw CppSQLite3Exception(kCppSqliteError, "Null Virtual Machine pointer");
    }
}

void SqlStatement::bind(int parameter, int32_t value) {
    check_usable();
    int rc = sqlite3_bind_int(statement_, parameter, value);
    if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, "Error binding int param");
}

void SqlStatement::bind(int parameter, const uint8_t* bytes, int length) {
    check_usable();
    int rc = sqlite3_bind_blob(statement_, parameter, bytes, length, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, "Error binding blob param");
}

int SqlStatement::execute() {
    check_usable();
    int rc = sqlite3_step(statement_);
    if (rc == SQLITE_DONE) {
        int changed = sqlite3_changes(connection_->raw());
        sqlite3_reset(statement_);
        return changed;
    }
    sqlite3_reset(statement_);
    sql_throw_engine_error(connection_->raw(), rc == SQLITE_ROW ? SQLITE_MISUSE : rc);
}

void SqlStatement::reset() {
    check_usable();
    int rc = sqlite3_reset(statement_);
    if (rc != SQLITE_OK) sql_throw_engine_error(connection_->raw(), rc);
}

void SqlStatement::finalize() {
    if (statement_ != nullptr) sqlite3_finalize(statement_);
    statement_ = nullptr;
}

// ---- SqlConnection ----------------------------------------------------------

SqlConnection::~SqlConnection() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqlConnection::check_open() const {
    if (db_ == nullptr) throw CppSQLite3Exception(kCppSqliteError, "Database not open");
}

void SqlConnection::open(const char* path) {
    const char* vfs = sql_header_vfs();
    if (vfs == nullptr) throw CppSQLite3Exception(kCppSqliteError, "Header VFS unavailable");
    if (path == nullptr) throw CppSQLite3Exception(SQLITE_CANTOPEN, "No file name");
    close();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, vfs);
    if (rc != SQLITE_OK) {
        std::string text = engine_message(db, rc);
        if (db != nullptr) sqlite3_close_v2(db);
        throw CppSQLite3Exception(rc, text.c_str());
    }
    db_ = db;
    set_busy_timeout(busy_timeout_ms_);
}

void SqlConnection::close() {
    if (db_ == nullptr) return;
    int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK) sql_throw_engine_error(db_, rc);
    db_ = nullptr;
}

sqlite3_stmt* SqlConnection::compile(const char* sql) {
    check_open();
    if (sql == nullptr) throw CppSQLite3Exception(kCppSqliteError, "No SQL text");
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
        if (statement != nullptr) sqlite3_finalize(statement);
        sql_throw_engine_error(db_, rc);
    }
    if (statement == nullptr) throw CppSQLite3Exception(kCppSqliteError, "Empty SQL statement");
    return statement;
}

int SqlConnection::execute(const char* sql) {
    check_open();
    char* error = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string text = rc == SQLITE_NOTADB ? engine_message(db_, rc)
                           : error != nullptr  ? std::string(error)
                                               : engine_message(db_, rc);
        sqlite3_free(error);
        throw CppSQLite3Exception(rc, text.c_str());
    }
    return sqlite3_changes(db_);
}

SqlCursor SqlConnection::query(const char* sql) {
    sqlite3_stmt* statement = compile(sql);
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) return SqlCursor(this, statement, true, true);
    if (rc == SQLITE_ROW) return SqlCursor(this, statement, false, true);
    sqlite3_finalize(statement);
    sql_throw_engine_error(db_, rc);
}

int SqlConnection::scalar(const char* sql) {
    SqlCursor cursor = query(sql);
    if (cursor.eof() || cursor.columns() < 1) {
        throw CppSQLite3Exception(kCppSqliteError, "Invalid scalar query");
    }
    const char* text = cursor.column_text(0);
    return text != nullptr ? std::atoi(text) : 0;
}

SqlStatement SqlConnection::prepare(const char* sql) {
    return SqlStatement(this, compile(sql));
}

bool SqlConnection::in_transaction() const {
    return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

void SqlConnection::set_busy_timeout(int milliseconds) {
    busy_timeout_ms_ = milliseconds;
    if (db_ != nullptr) sqlite3_busy_timeout(db_, milliseconds);
}

}  // namespace lorvex
