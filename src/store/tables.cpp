// Statements are composed with snprintf into fixed buffers; integers go into
// the text in decimal (32-bit words with the top bit set as negative
// numbers), blobs always as bound parameters. A text that would not fit its
// buffer fails before anything runs.

#include "store/tables.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

namespace lorvex {

const char* const kItemColumnNames[kItemColumns] = {
    "i1",   "i2_1", "i2_2", "i2_3", "i2_4", "i3", "i4", "i5", "i6", "i7_1", "i7_2", "i7_3",
    "i7_4", "i8_1", "i8_2", "i8_3", "i8_4", "i9", "ia", "ib", "ic", "id",   "ie",   "if"};

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr const char* kItemTable = "i";
constexpr const char* kItemIndex = "i_i1";
constexpr const char* kSettingTable = "r";
constexpr const char* kSettingKey = "r1";
constexpr const char* kSettingValue = "r2";
constexpr const char* kSettingIndex = "r_r1";
constexpr const char* kThumbCacheTable = "t";
constexpr const char* kThumbCacheIndex = "t_key";
constexpr const char* kSavepoint = "lorvex_batch";

// snprintf into buf; false when the text does not fit.
template <size_t N>
bool compose(char (&buf)[N], const char* format, ...) __attribute__((format(printf, 2, 3)));
template <size_t N>
bool compose(char (&buf)[N], const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buf, N, format, args);
    va_end(args);
    return n >= 0 && static_cast<size_t>(n) < N;
}

bool append(char* buf, size_t size, const char* piece) {
    size_t used = std::strlen(buf);
    size_t len = std::strlen(piece);
    if (used + len >= size) return false;
    std::memcpy(buf + used, piece, len + 1);
    return true;
}

// Runs one statement without results; 0 or -1.
int run(SqlConnection* c, const char* sql) {
    if (c == nullptr) return -1;
    try {
        Lock lock(c->mutex());
        c->execute(sql);
        return 0;
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
}

int create_index(SqlConnection* c, const char* index, const char* table, const char* columns) {
    char sql[kSqlSmall];
    if (!compose(sql, "create index if not exists %s on %s(%s);", index, table, columns)) {
        return -1;
    }
    return run(c, sql);
}

bool table_exists(SqlConnection* c, const char* table) {
    char sql[kSqlSmall];
    if (!compose(sql, "select count(*) from sqlite_master where type = 'table' and name = '%s';",
                 table)) {
        return false;
    }
    try {
        return c->scalar(sql) > 0;
    } catch (const CppSQLite3Exception&) {
        return false;
    }
}

void fill_item(const SqlCursor& cursor, item_record* row) {
    for (int w = 0; w < kItemColumns; ++w) set_item_word(*row, w, cursor.int_field(w, 0));
}

// Both item queries: the statement runs once to count and once to fill.
query_result* run_item_query(SqlConnection* c, const char* sql) {
    auto* result = new (std::nothrow) query_result{kQueryResultTag, 0, nullptr};
    if (result == nullptr) return nullptr;
    try {
        Lock lock(c->mutex());
        int32_t rows = 0;
        for (SqlCursor cursor = c->query(sql); !cursor.eof(); cursor.next_row()) ++rows;
        if (rows > 0) {
            result->items = new item_record[rows]();
            SqlCursor cursor = c->query(sql);
            int32_t filled = 0;
            for (; filled < rows && !cursor.eof(); cursor.next_row()) {
                if (cursor.columns() < kItemColumns) {
                    throw CppSQLite3Exception(kCppSqliteError, "Invalid field index requested");
                }
                fill_item(cursor, &result->items[filled++]);
            }
            rows = filled;
        }
        result->count = rows;
        return result;
    } catch (...) {
        table_free_result(result);
        return nullptr;
    }
}

}  // namespace

// ---- Scopes -----------------------------------------------------------------

namespace internal {

int scope_begin(SqlConnection* c) {
    try {
        if (c->in_transaction()) {
            char sql[kSqlSmall];
            if (!compose(sql, "savepoint %s;", kSavepoint)) return 0;
            c->execute(sql);
            return 2;
        }
        c->execute("begin transaction;");
        return 1;
    } catch (const CppSQLite3Exception&) {
        return 0;
    }
}

int scope_commit(SqlConnection* c, int kind) {
    try {
        if (kind == 1) {
            c->execute("commit transaction;");
        } else {
            char sql[kSqlSmall];
            if (!compose(sql, "release savepoint %s;", kSavepoint)) throw std::bad_alloc();
            c->execute(sql);
        }
        return 0;
    } catch (...) {
        scope_rollback(c, kind);
        return -1;
    }
}

void scope_rollback(SqlConnection* c, int kind) {
    // An engine error may already have ended the transaction; then there is
    // nothing left to undo.
    try {
        if (!c->in_transaction()) return;
        if (kind == 1) {
            c->execute("rollback transaction;");
        } else {
            char sql[kSqlSmall];
            if (!compose(sql, "rollback transaction to savepoint %s; release savepoint %s;",
                         kSavepoint, kSavepoint)) {
                return;
            }
            c->execute(sql);
        }
    } catch (const CppSQLite3Exception&) {
    }
}

}  // namespace internal

// ---- Key/blob tables --------------------------------------------------------

int table_blob_create(SqlConnection* c, const BlobTableDef& t) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "create table %s(%s int ,%s blob);", t.name, t.key, t.blob)) {
        return -1;
    }
    if (run(c, sql) != 0) return -1;
    return create_index(c, t.index, t.name, t.key);
}

int table_blob_insert(SqlConnection* c, const BlobTableDef& t, const blob_record* records,
                      int32_t count) {
    if (c == nullptr || records == nullptr || count <= 0) return -1;
    for (int32_t i = 0; i < count; ++i) {
        if (records[i].length > 0 && records[i].data == nullptr) return -1;
        if (records[i].length > static_cast<uint32_t>(INT32_MAX)) return -1;
    }
    char sql[kSqlSmall];
    if (!compose(sql, "insert into %s values(?,?);", t.name)) return -1;
    return table_atomically(c, [&]() {
        for (int32_t i = 0; i < count; ++i) {
            SqlStatement statement = c->prepare(sql);
            statement.bind(1, records[i].key);
            // A zero-length blob is stored as an empty blob, not NULL.
            static const uint8_t kEmpty = 0;
            statement.bind(2, records[i].data != nullptr ? records[i].data : &kEmpty,
                           static_cast<int>(records[i].length));
            statement.execute();
            statement.finalize();
        }
        return 0;
    });
}

int table_blob_delete(SqlConnection* c, const BlobTableDef& t, int32_t key) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "delete from %s where %s = %d;", t.name, t.key, key)) {
        return -1;
    }
    return run(c, sql);
}

blob_record* table_blob_read(SqlConnection* c, const BlobTableDef& t, int32_t key) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "select * from %s where %s = %d ;", t.name, t.key, key)) {
        return nullptr;
    }
    blob_record* result = nullptr;
    try {
        Lock lock(c->mutex());
        int rows = 0;
        for (SqlCursor cursor = c->query(sql); !cursor.eof(); cursor.next_row()) {
            if (++rows > 2) throw CppSQLite3Exception(kCppSqliteError, "Duplicate key rows");
            int length = 0;
            const uint8_t* bytes = cursor.blob_field(1, length);
            auto* record = new blob_record{cursor.int_field(0, kNullKeyValue), nullptr,
                                           static_cast<uint32_t>(length)};
            record->data = new (std::nothrow) uint8_t[length > 0 ? length : 1];
            if (record->data == nullptr) {
                delete record;
                throw std::bad_alloc();
            }
            if (length > 0) std::memcpy(record->data, bytes, static_cast<size_t>(length));
            table_blob_free(result);
            result = record;
        }
        return result;
    } catch (...) {
        table_blob_free(result);
        return nullptr;
    }
}

void table_blob_free(blob_record* record) {
    if (record == nullptr) return;
    delete[] record->data;
    delete record;
}

int table_blob_count(SqlConnection* c, const BlobTableDef& t) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "select count(*) from %s;", t.name)) return -1;
    try {
        Lock lock(c->mutex());
        return c->scalar(sql);
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
}

// ---- Settings ---------------------------------------------------------------

int table_setting_create(SqlConnection* c) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "create table %s(%s int ,%s int );", kSettingTable,
                                 kSettingKey, kSettingValue)) {
        return -1;
    }
    if (run(c, sql) != 0) return -1;
    return create_index(c, kSettingIndex, kSettingTable, kSettingKey);
}

int table_setting_insert(SqlConnection* c, int32_t key, int32_t value) {
    char sql[kSqlSmall];
    if (c == nullptr ||
        !compose(sql, "insert into %s values (%d ,%d );", kSettingTable, key, value)) {
        return -1;
    }
    return run(c, sql);
}

int table_setting_update(SqlConnection* c, int32_t key, int32_t value) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "update %s set %s = %d where %s = %d;", kSettingTable,
                                 kSettingValue, value, kSettingKey, key)) {
        return -1;
    }
    return run(c, sql);
}

int table_setting_delete(SqlConnection* c, int32_t key) {
    char sql[kSqlSmall];
    if (c == nullptr ||
        !compose(sql, "delete from %s where %s = %d;", kSettingTable, kSettingKey, key)) {
        return -1;
    }
    return run(c, sql);
}

int table_setting_read(SqlConnection* c, int32_t key, int32_t* value) {
    char sql[kSqlSmall];
    if (c == nullptr || value == nullptr ||
        !compose(sql, "select * from %s where %s = %d ;", kSettingTable, kSettingKey, key)) {
        return -1;
    }
    try {
        Lock lock(c->mutex());
        int rows = 0;
        int32_t found = 0;
        for (SqlCursor cursor = c->query(sql); !cursor.eof(); cursor.next_row()) {
            if (++rows > 1) return -1;
            found = cursor.int_field(1, 0);
        }
        if (rows == 1) *value = found;
        return rows;
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
}

int table_setting_write(SqlConnection* c, int32_t key, int32_t value) {
    if (c == nullptr) return -1;
    Lock lock(c->mutex());
    int32_t old = 0;
    int found = table_setting_read(c, key, &old);
    if (found == 0) return table_setting_insert(c, key, value);
    if (found == 1) return table_setting_update(c, key, value);
    return -1;
}

// ---- Items --------------------------------------------------------------------

int table_item_create(SqlConnection* c) {
    if (c == nullptr) return -1;
    char sql[kSqlSmall] = "create table i(";
    for (int w = 0; w < kItemColumns; ++w) {
        char piece[64];
        if (!compose(piece, "%s int %s", kItemColumnNames[w], w + 1 < kItemColumns ? "," : ");")) {
            return -1;
        }
        if (!append(sql, sizeof sql, piece)) return -1;
    }
    if (run(c, sql) != 0) return -1;
    return create_index(c, kItemIndex, kItemTable, "i1");
}

int table_item_insert(SqlConnection* c, const item_record* row) {
    if (c == nullptr || row == nullptr) return -1;
    char sql[kSqlSmall] = "insert into i values(";
    for (int w = 0; w < kItemColumns; ++w) {
        char piece[32];
        if (!compose(piece, "%d%s", item_word(*row, w), w + 1 < kItemColumns ? "," : ");")) {
            return -1;
        }
        if (!append(sql, sizeof sql, piece)) return -1;
    }
    return run(c, sql);
}

int table_item_delete(SqlConnection* c, int32_t id) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "delete from i where i1 = %d;", id)) return -1;
    return run(c, sql);
}

namespace {

int set_one(SqlConnection* c, const char* column, int32_t id, int32_t value) {
    char sql[kSqlSmall];
    if (c == nullptr || !compose(sql, "update i set %s = %d where i1 = %d;", column, value, id)) {
        return -1;
    }
    return run(c, sql);
}

int set_four(SqlConnection* c, const char* prefix, int32_t id, const uint32_t words[4]) {
    char sql[kSqlSmall];
    if (c == nullptr || words == nullptr ||
        !compose(sql, "update i set %s1 = %d, %s2 = %d, %s3 = %d, %s4 = %d where i1 = %d;", prefix,
                 static_cast<int32_t>(words[0]), prefix, static_cast<int32_t>(words[1]), prefix,
                 static_cast<int32_t>(words[2]), prefix, static_cast<int32_t>(words[3]), id)) {
        return -1;
    }
    return run(c, sql);
}

}  // namespace

int table_item_set_star(SqlConnection* c, int32_t id, int32_t star) {
    return set_one(c, "i5", id, star);
}
int table_item_set_hits(SqlConnection* c, int32_t id, int32_t hits) {
    return set_one(c, "i6", id, hits);
}
int table_item_set_classes(SqlConnection* c, int32_t id, const uint32_t words[4]) {
    return set_four(c, "i7_", id, words);
}
int table_item_set_albums(SqlConnection* c, int32_t id, const uint32_t words[4]) {
    return set_four(c, "i8_", id, words);
}

int table_item_count(SqlConnection* c) {
    if (c == nullptr) return -1;
    try {
        Lock lock(c->mutex());
        return c->scalar("select count(*) from i;");
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
}

query_result* table_item_range(SqlConnection* c, const char* column, int32_t low, int32_t high,
                               int32_t order_column, int32_t limit) {
    if (c == nullptr || column == nullptr) return nullptr;
    if (limit < 0 || limit >= kQueryLimit || order_column < 0 || order_column >= kItemColumns) {
        return nullptr;
    }
    static const char* const kRangeColumns[] = {"i1", "i3", "i4", "i5", "i6"};
    bool allowed = false;
    for (const char* name : kRangeColumns) allowed = allowed || std::strcmp(name, column) == 0;
    if (!allowed) return nullptr;
    char sql[kSqlSmall];
    if (!compose(sql, "select * from %s where %s >= %d and %s <= %d order by %d limit %d;",
                 kItemTable, column, low, column, high, order_column, limit)) {
        return nullptr;
    }
    return run_item_query(c, sql);
}

query_result* table_item_filter(SqlConnection* c, const item_filter* filter, int32_t order_column,
                                int32_t limit) {
    if (c == nullptr || filter == nullptr) return nullptr;
    if (limit < 0 || limit >= kQueryLimit || order_column < 0 || order_column >= kItemColumns) {
        return nullptr;
    }
    char sql[kSqlLarge];
    if (!compose(sql, "select * from %s where ", kItemTable)) return nullptr;
    bool any = false;
    auto add = [&](const char* piece) {
        if (any && !append(sql, sizeof sql, " and ")) return false;
        any = true;
        return append(sql, sizeof sql, piece);
    };
    const struct {
        const item_range_criterion* criterion;
        const char* column;
    } ranges[] = {
        {&filter->size, "i3"}, {&filter->date, "i4"}, {&filter->star, "i5"}, {&filter->hits, "i6"}};
    for (const auto& r : ranges) {
        if (r.criterion->enabled == 0) continue;
        char piece[kSqlPiece];
        if (!compose(piece, " %s >= %d and %s <= %d ", r.column, r.criterion->low, r.column,
                     r.criterion->high) ||
            !add(piece)) {
            return nullptr;
        }
    }
    const struct {
        const uint32_t* mask;
        int32_t enabled;
        const char* prefix;
    } masks[] = {{filter->class_mask, filter->class_enabled, "i7_"},
                 {filter->album_mask, filter->album_enabled, "i8_"}};
    for (const auto& m : masks) {
        if (m.enabled == 0) continue;
        int32_t w[4];
        for (int k = 0; k < 4; ++k) w[k] = static_cast<int32_t>(m.mask[k]);
        char piece[kSqlPiece];
        if (!compose(piece,
                     " %s1 & %d = %d and  %s2 & %d = %d and  %s3 & %d = %d and  %s4 & %d = %d  ",
                     m.prefix, w[0], w[0], m.prefix, w[1], w[1], m.prefix, w[2], w[2], m.prefix,
                     w[3], w[3]) ||
            !add(piece)) {
            return nullptr;
        }
    }
    if (!any && !compose(sql, "select * from %s ", kItemTable)) return nullptr;
    char tail[kSqlPiece];
    if (!compose(tail, " order by %d limit %d;", order_column, limit) ||
        !append(sql, sizeof sql, tail)) {
        return nullptr;
    }
    return run_item_query(c, sql);
}

void table_free_result(query_result* result) {
    if (result == nullptr || result->tag != kQueryResultTag) return;
    result->tag = 0;
    delete[] result->items;
    delete result;
}

// ---- Thumbnail cache ----------------------------------------------------------

int table_thumb_create(SqlConnection* c) {
    if (c == nullptr) return -1;
    if (run(c,
            "create table t(t2_1 int ,t2_2 int ,t2_3 int ,t2_4 int ,t3 int ,t4 int ,t5 int "
            ",t6 blob ,t7 blob );") != 0) {
        return -1;
    }
    return create_index(c, kThumbCacheIndex, kThumbCacheTable, "t2_1,t2_2,t2_3,t2_4");
}

int table_thumb_insert(SqlConnection* c, const thumb_entry* entries, int32_t count) {
    if (c == nullptr || entries == nullptr || count <= 0) return -1;
    for (int32_t i = 0; i < count; ++i) {
        const thumb_entry& e = entries[i];
        if (e.path_length < 0 || static_cast<size_t>(e.path_length) >= kThumbPathSize) return -1;
        if (e.thumb_length < 0 || (e.thumb_length > 0 && e.thumb == nullptr)) return -1;
    }
    return table_atomically(c, [&]() {
        static const uint8_t kEmpty = 0;
        for (int32_t i = 0; i < count; ++i) {
            const thumb_entry& e = entries[i];
            SqlStatement statement = c->prepare("insert into t values(?,?,?,?,?,?,?,?,?);");
            for (int k = 0; k < 4; ++k) statement.bind(k + 1, static_cast<int32_t>(e.key[k]));
            statement.bind(5, e.thumb_length);
            statement.bind(6, e.file_time);
            statement.bind(7, e.path_length);
            statement.bind(8, reinterpret_cast<const uint8_t*>(e.path), e.path_length);
            statement.bind(9, e.thumb != nullptr ? e.thumb : &kEmpty, e.thumb_length);
            statement.execute();
            statement.finalize();
        }
        return 0;
    });
}

thumb_lookup* table_thumb_lookup(SqlConnection* c, const uint32_t key[4]) {
    if (c == nullptr || key == nullptr) return nullptr;
    char sql[kSqlSmall];
    if (!compose(sql,
                 "select * from t where t2_1 = %d and t2_2 = %d and t2_3 = %d and t2_4 = %d "
                 "order by 6 limit %d;",
                 static_cast<int32_t>(key[0]), static_cast<int32_t>(key[1]),
                 static_cast<int32_t>(key[2]), static_cast<int32_t>(key[3]), kThumbLookupRows)) {
        return nullptr;
    }
    auto* result = new (std::nothrow) thumb_lookup{};
    if (result == nullptr) return nullptr;
    result->tag = kThumbLookupTag;
    try {
        Lock lock(c->mutex());
        for (SqlCursor cursor = c->query(sql); !cursor.eof(); cursor.next_row()) {
            if (result->count >= 2) throw CppSQLite3Exception(kCppSqliteError, "Too many rows");
            thumb_entry e{};
            for (int k = 0; k < 4; ++k) e.key[k] = static_cast<uint32_t>(cursor.int_field(k, 0));
            e.thumb_length = cursor.int_field(4, 0);
            e.file_time = cursor.int_field(5, 0);
            e.path_length = cursor.int_field(6, 0);
            int path_bytes = 0;
            const uint8_t* path = cursor.blob_field(7, path_bytes);
            int thumb_bytes = 0;
            const uint8_t* thumb = cursor.blob_field(8, thumb_bytes);
            if (path_bytes != e.path_length || static_cast<size_t>(path_bytes) >= kThumbPathSize ||
                thumb_bytes != e.thumb_length) {
                throw CppSQLite3Exception(kCppSqliteError, "Thumbnail row lengths disagree");
            }
            if (path_bytes > 0) std::memcpy(e.path, path, static_cast<size_t>(path_bytes));
            e.thumb = new uint8_t[thumb_bytes > 0 ? thumb_bytes : 1];
            if (thumb_bytes > 0) std::memcpy(e.thumb, thumb, static_cast<size_t>(thumb_bytes));
            delete[] result->entry.thumb;
            result->entry = e;
            ++result->count;
        }
        return result;
    } catch (...) {
        table_thumb_free(result);
        return nullptr;
    }
}

void table_thumb_free(thumb_lookup* result) {
    if (result == nullptr || result->tag != kThumbLookupTag) return;
    result->tag = 0;
    delete[] result->entry.thumb;
    delete result;
}

// ---- Indexes --------------------------------------------------------------------

int table_ensure_indexes(SqlConnection* c, DbKind kind) {
    if (c == nullptr) return -1;
    struct Want {
        const char* index;
        const char* table;
        const char* columns;
    };
    static const Want kPrivate[] = {
        {kDataTable.index, kDataTable.name, kDataTable.key},
        {kItemIndex, kItemTable, "i1"},
        {kRecordTable.index, kRecordTable.name, kRecordTable.key},
        {kPathTable.index, kPathTable.name, kPathTable.key},
        {kSettingIndex, kSettingTable, kSettingKey},
        {kSpareTable.index, kSpareTable.name, kSpareTable.key},
        {kThumbTable.index, kThumbTable.name, kThumbTable.key},
    };
    static const Want kWorkspace[] = {
        {kPathTable.index, kPathTable.name, kPathTable.key},
        {kSettingIndex, kSettingTable, kSettingKey},
    };
    static const Want kCache[] = {
        {kThumbCacheIndex, kThumbCacheTable, "t2_1,t2_2,t2_3,t2_4"},
    };
    const Want* list = kPrivate;
    size_t n = std::size(kPrivate);
    if (kind == DbKind::Workspace) {
        list = kWorkspace;
        n = std::size(kWorkspace);
    } else if (kind == DbKind::ThumbCache) {
        list = kCache;
        n = std::size(kCache);
    }
    Lock lock(c->mutex());
    int result = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!table_exists(c, list[i].table)) continue;
        if (create_index(c, list[i].index, list[i].table, list[i].columns) != 0) result = -1;
    }
    return result;
}

}  // namespace lorvex
