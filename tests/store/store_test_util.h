// Helpers for the store tests: raw file bytes and plain SQLite access that
// bypasses the header VFS.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace lorvex::testing {

// The bytes of a regular file; empty for anything else.
inline std::string read_bytes(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Overwrites bytes at offset in place.
inline void patch_bytes(const std::string& path, size_t offset, const std::string& bytes) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline const std::string kSqliteMagic("SQLite format 3\0", 16);
inline const std::string kPrivateMagic("QVDB_1116_Ver01\0", 16);

// A connection of the plain engine (standard header), closed on scope exit.
class PlainDb {
  public:
    explicit PlainDb(const std::string& path) {
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                  nullptr),
                  SQLITE_OK);
    }
    ~PlainDb() { sqlite3_close_v2(db_); }
    PlainDb(const PlainDb&) = delete;
    PlainDb& operator=(const PlainDb&) = delete;

    int exec(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    int64_t scalar(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        int64_t v = -999;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            v = sqlite3_column_int64(st, 0);
        }
        sqlite3_finalize(st);
        return v;
    }
    std::string blob(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        std::string v;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            const char* p = static_cast<const char*>(sqlite3_column_blob(st, 0));
            v.assign(p != nullptr ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, 0)));
        }
        sqlite3_finalize(st);
        return v;
    }
    int insert_blob(const std::string& sql, int32_t key, const std::string& bytes) {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        if (rc != SQLITE_OK) return rc;
        sqlite3_bind_int(st, 1, key);
        sqlite3_bind_blob(st, 2, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
        sqlite3_finalize(st);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3* raw() { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace lorvex::testing
