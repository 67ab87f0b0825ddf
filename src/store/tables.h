// Table layer: the only code that writes SQL. It knows the fixed tables of
// private databases, of "proj.pdb" and of "dir_thumb.pdb", composes their
// statements and turns rows into records. Every operation locks the
// connection's mutex for its duration and contains every SQL exception: the
// result is then its failure value (-1 or null) and no transaction it began
// is left open. Results belong to the caller until released here.
#pragma once

#include <cstdint>

#include "store/records.h"
#include "store/sql.h"

namespace lorvex {

// A key/blob table with its column names and the index on its key.
struct BlobTableDef {
    const char* name;
    const char* key;
    const char* blob;
    const char* index;
};

inline constexpr BlobTableDef kDataTable{"d_table", "d1", "d2", "d_table_d1"};
inline constexpr BlobTableDef kRecordTable{"m_t", "m1", "m2", "m_t_m1"};
inline constexpr BlobTableDef kPathTable{"p_c", "pc1", "pc2", "p_c_pc1"};
inline constexpr BlobTableDef kSpareTable{"si_t", "t1", "t2", "si_t_t1"};
inline constexpr BlobTableDef kThumbTable{"t_t", "t1", "t2", "t_t_t1"};

// Which files a table set belongs to (for the key indexes).
enum class DbKind { Private, Workspace, ThumbCache };

// Statement buffers and the 512-byte pieces of filter criteria.
inline constexpr size_t kSqlSmall = 1024;
inline constexpr size_t kSqlLarge = 4096;
inline constexpr size_t kSqlPiece = 512;

// Columns of table i in order (i1 ... if).
extern const char* const kItemColumnNames[kItemColumns];

// ---- Key/blob tables (d_table, m_t, p_c, si_t, t_t) -----------------------

// Creates the table and the index on its key.
[[nodiscard]] int table_blob_create(SqlConnection* c, const BlobTableDef& t);
// Inserts every record in one transaction (a savepoint when the connection
// is already inside one); all or nothing.
[[nodiscard]] int table_blob_insert(SqlConnection* c, const BlobTableDef& t,
                                    const blob_record* records, int32_t count);
[[nodiscard]] int table_blob_delete(SqlConnection* c, const BlobTableDef& t, int32_t key);
// The row with the key, bytes copied; of two rows the second, three or more
// fail. Null when absent or on failure.
[[nodiscard]] blob_record* table_blob_read(SqlConnection* c, const BlobTableDef& t, int32_t key);
void table_blob_free(blob_record* record);
// Rows in the table, or -1.
[[nodiscard]] int table_blob_count(SqlConnection* c, const BlobTableDef& t);

// ---- Setting table r ----------------------------------------------------------

[[nodiscard]] int table_setting_create(SqlConnection* c);
[[nodiscard]] int table_setting_insert(SqlConnection* c, int32_t key, int32_t value);
[[nodiscard]] int table_setting_update(SqlConnection* c, int32_t key, int32_t value);
[[nodiscard]] int table_setting_delete(SqlConnection* c, int32_t key);
// 1 with *value when exactly one row has the key, 0 when none, -1 when
// several or on failure.
[[nodiscard]] int table_setting_read(SqlConnection* c, int32_t key, int32_t* value);
// Inserts when absent, updates when present; 0 or -1.
[[nodiscard]] int table_setting_write(SqlConnection* c, int32_t key, int32_t value);

// ---- Item table i -----------------------------------------------------------

[[nodiscard]] int table_item_create(SqlConnection* c);
[[nodiscard]] int table_item_insert(SqlConnection* c, const item_record* row);
[[nodiscard]] int table_item_delete(SqlConnection* c, int32_t id);
[[nodiscard]] int table_item_set_star(SqlConnection* c, int32_t id, int32_t star);
[[nodiscard]] int table_item_set_hits(SqlConnection* c, int32_t id, int32_t hits);
[[nodiscard]] int table_item_set_classes(SqlConnection* c, int32_t id, const uint32_t words[4]);
[[nodiscard]] int table_item_set_albums(SqlConnection* c, int32_t id, const uint32_t words[4]);
[[nodiscard]] int table_item_count(SqlConnection* c);
// Rows with low <= column <= high; column is one of i1, i3, i4, i5, i6.
// order_column below 24, limit below 10,000. Null on failure.
[[nodiscard]] query_result* table_item_range(SqlConnection* c, const char* column, int32_t low,
                                             int32_t high, int32_t order_column, int32_t limit);
[[nodiscard]] query_result* table_item_filter(SqlConnection* c, const item_filter* filter,
                                              int32_t order_column, int32_t limit);
void table_free_result(query_result* result);

// ---- Thumbnail cache table t ------------------------------------------------

[[nodiscard]] int table_thumb_create(SqlConnection* c);
[[nodiscard]] int table_thumb_insert(SqlConnection* c, const thumb_entry* entries, int32_t count);
// Up to 10 rows with the key, by file time; a second row replaces the
// first, a third, or a row whose blob lengths disagree with t3/t5, fails.
[[nodiscard]] thumb_lookup* table_thumb_lookup(SqlConnection* c, const uint32_t key[4]);
void table_thumb_free(thumb_lookup* result);

// ---- Indexes and transactions -----------------------------------------------

// `create index if not exists` for every key column of the kind's tables.
// Tables the file lacks are passed over. 0, or -1 when an index could not
// be made (the file still works, only slower).
[[nodiscard]] int table_ensure_indexes(SqlConnection* c, DbKind kind);

// Runs body inside a transaction of its own, or inside a savepoint when the
// connection already has one open. On failure (body returning non-zero or
// throwing) everything done inside is rolled back. 0 or -1.
template <typename Body>
[[nodiscard]] int table_atomically(SqlConnection* c, Body&& body);

namespace internal {
// Opens the scope; returns 1 for a transaction, 2 for a savepoint, 0 on
// failure.
int scope_begin(SqlConnection* c);
int scope_commit(SqlConnection* c, int kind);
void scope_rollback(SqlConnection* c, int kind);
}  // namespace internal

template <typename Body>
int table_atomically(SqlConnection* c, Body&& body) {
    if (c == nullptr) return -1;
    std::lock_guard<std::recursive_mutex> lock(c->mutex());
    int kind = internal::scope_begin(c);
    if (kind == 0) return -1;
    bool ok = false;
    try {
        ok = body() == 0;
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        internal::scope_rollback(c, kind);
        return -1;
    }
    return internal::scope_commit(c, kind);
}

}  // namespace lorvex
