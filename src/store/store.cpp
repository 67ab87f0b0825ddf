// Registry and item operations of the private database store.
//
// Locking: the registry mutex guards the 32 places and is only ever held
// briefly, never while waiting for a database lock. Each open database has
// one recursive mutex (its connection's); an operation looks its handle up
// (registry mutex), then holds the database mutex for the whole operation.
// Handles are shared: closing a database takes its place away and closes
// the connection under the database mutex, so a thread that looked the
// handle up just before finds it closed and fails cleanly.
//
// Password check: a new database stores 64 random bytes under 0x10000001
// and the same bytes enciphered with the chain under 0x10000002 (a copy for
// a plain database). Opening deciphers the second and compares.

#include "store/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <vector>

#include "endec_subsys/endec.h"
#include "store/tables.h"

namespace lorvex {

struct store_handle {
    uint32_t tag = 0;
    SqlConnection connection;
    endec_chain* chain = nullptr;  // guarded by connection.mutex()
    bool ready = false;            // guarded by connection.mutex(); open and verified
};

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;
using HandlePtr = std::shared_ptr<store_handle>;

struct db_place {
    int32_t db_id = 0;
    bool used = false;
    HandlePtr handle;
};

struct Registry {
    std::mutex mutex;
    db_place places[kStorePlaces];  // guarded by mutex
    int32_t used_count = 0;         // guarded by mutex
    bool initialised = false;       // guarded by mutex
};

Registry& registry() {
    static Registry r;
    return r;
}

bool registry_initialised() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.initialised;
}

HandlePtr find_handle(int32_t db_id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const db_place& p : r.places) {
        if (p.used && p.db_id == db_id) return p.handle;
    }
    return nullptr;
}

// Takes the lowest free place for db_id with a new handle whose lock the
// caller already holds (nobody else can see it before). -1 when the
// registry is not initialised, no place is free, or (unique) the id is in
// use.
int take_place(int32_t db_id, bool unique, HandlePtr* out) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.initialised) return -1;
    int free_place = -1;
    for (int i = 0; i < kStorePlaces; ++i) {
        if (r.places[i].used) {
            if (unique && r.places[i].db_id == db_id) return -1;
        } else if (free_place < 0) {
            free_place = i;
        }
    }
    if (free_place < 0) return -1;
    auto handle = std::make_shared<store_handle>();
    handle->tag = kStoreHandleTag;
    r.places[free_place].db_id = db_id;
    r.places[free_place].used = true;
    r.places[free_place].handle = handle;
    ++r.used_count;
    *out = handle;
    return free_place;
}

void release_place(int place, const HandlePtr& handle) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    db_place& p = r.places[place];
    if (p.used && p.handle == handle) {
        p = db_place{};
        --r.used_count;
    }
}

// Closes connection and chain; the caller holds the handle's lock. 0 or -1.
int close_handle(store_handle* h) {
    h->ready = false;
    try {
        h->connection.close();
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
    if (h->chain != nullptr) {
        (void)endec_chain_destroy(h->chain);
        h->chain = nullptr;
    }
    return 0;
}

// Runs op(handle) under the database lock; fail when no open database has
// the id.
template <typename R, typename Op>
R with_db(int32_t db_id, R fail, Op&& op) {
    HandlePtr h = find_handle(db_id);
    if (!h || h->tag != kStoreHandleTag) return fail;
    Lock lock(h->connection.mutex());
    if (!h->ready) return fail;
    return op(*h);
}

bool file_exists(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0;
}

bool openable_read_write(const char* path) {
    int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

void remove_database_file(const char* path) {
    ::unlink(path);
    std::string journal = std::string(path) + "-journal";
    ::unlink(journal.c_str());
}

// Writes the tables, settings and first records of a new database in one
// transaction. 0 or -1.
int build_new_database(store_handle* h, const uint32_t* ids, int32_t cipher_count) {
    SqlConnection* c = &h->connection;
    return table_atomically(c, [&]() {
        if (table_blob_create(c, kDataTable) != 0 || table_item_create(c) != 0 ||
            table_blob_create(c, kRecordTable) != 0 || table_blob_create(c, kPathTable) != 0 ||
            table_setting_create(c) != 0 || table_blob_create(c, kSpareTable) != 0 ||
            table_blob_create(c, kThumbTable) != 0) {
            return -1;
        }
        int32_t version = 0;
        int found = table_setting_read(c, kKeyFormatVersion, &version);
        if (found < 0) return -1;
        if (found == 0 && table_setting_insert(c, kKeyFormatVersion, kFormatVersion) != 0) {
            return -1;
        }
        if (table_setting_write(c, kKeyNextItemId, 1) != 0 ||
            table_setting_write(c, kKeyCipherCount, cipher_count) != 0) {
            return -1;
        }
        for (int32_t n = 0; n < cipher_count; ++n) {
            if (table_setting_write(c, kKeyCipherBase + n, static_cast<int32_t>(ids[n])) != 0) {
                return -1;
            }
        }
        // The check value and the empty label tables.
        uint8_t plain[kCheckValueSize];
        uint8_t sealed[kCheckValueSize];
        if (endec_make_check_value(plain, sizeof plain) != 0) return -1;
        if (h->chain != nullptr) {
            if (endec_chain_encrypt(h->chain, plain, sizeof plain, sealed) != 0) return -1;
        } else {
            std::memcpy(sealed, plain, sizeof plain);
        }
        auto labels = std::make_unique<label_table>();
        label_table_init(labels.get());
        blob_record records[] = {
            {kKeyCheckPlain, plain, kCheckValueSize},
            {kKeyCheckSealed, sealed, kCheckValueSize},
            {kKeyClassTable, reinterpret_cast<uint8_t*>(labels.get()), sizeof(label_table)},
            {kKeyAlbumTable, reinterpret_cast<uint8_t*>(labels.get()), sizeof(label_table)},
        };
        return table_blob_insert(c, kRecordTable, records, 4);
    });
}

// Verifies a freshly connected handle against the password; 0, -1 or -3.
int verify_open(store_handle* h, const char* password, int32_t password_length) {
    SqlConnection* c = &h->connection;
    int32_t cipher_count = 0;
    if (table_setting_read(c, kKeyCipherCount, &cipher_count) != 1) return -1;
    if (cipher_count < 0 || cipher_count > kMaxStoredCipherCount) return -1;
    if (cipher_count > 0) {
        // Chains are at most six stages long; a longer list cannot be keyed.
        if (cipher_count > kEndecMaxStages) return -1;
        uint32_t ids[kEndecMaxStages];
        for (int32_t n = 0; n < cipher_count; ++n) {
            int32_t id = 0;
            if (table_setting_read(c, kKeyCipherBase + n, &id) != 1) return -1;
            ids[n] = static_cast<uint32_t>(id);
        }
        if (password_length <= 0 || endec_chain_create(reinterpret_cast<const uint8_t*>(password),
                                                       static_cast<size_t>(password_length), ids,
                                                       cipher_count, &h->chain) != 0) {
            h->chain = nullptr;
            return -1;
        }
    }
    std::unique_ptr<blob_record, void (*)(blob_record*)> plain(
        table_blob_read(c, kRecordTable, kKeyCheckPlain), table_blob_free);
    std::unique_ptr<blob_record, void (*)(blob_record*)> sealed(
        table_blob_read(c, kRecordTable, kKeyCheckSealed), table_blob_free);
    if (!plain || !sealed) return -1;
    if (plain->length != kCheckValueSize || sealed->length != kCheckValueSize) return -1;
    uint8_t opened[kCheckValueSize];
    if (h->chain != nullptr) {
        if (endec_chain_decrypt(h->chain, sealed->data, kCheckValueSize, opened) != 0) return -1;
    } else {
        std::memcpy(opened, sealed->data, kCheckValueSize);
    }
    return std::memcmp(opened, plain->data, kCheckValueSize) == 0 ? 0 : kStoreWrongPassword;
}

// ---- Blobs ----------------------------------------------------------------------

int put_blobs(int32_t db_id, const BlobTableDef& table, const blob_record* records, int32_t count) {
    if (records == nullptr || count <= 0) return -1;
    for (int32_t i = 0; i < count; ++i) {
        if (records[i].length > kStoreMaxBlob) return -1;
        if (records[i].length > 0 && records[i].data == nullptr) return -1;
    }
    return with_db(db_id, -1, [&](store_handle& h) {
        for (int32_t i = 0; i < count; ++i) {
            const blob_record& in = records[i];
            int64_t stored = endec_blob_stored_length(in.length);
            if (stored < 0) return -1;
            std::unique_ptr<uint8_t[]> buffer(
                new (std::nothrow) uint8_t[stored > 0 ? static_cast<size_t>(stored) : 1]);
            if (!buffer) return -1;
            if (stored > 0 && endec_blob_seal(h.chain, in.data, in.length, buffer.get(),
                                              static_cast<size_t>(stored)) != stored) {
                return -1;
            }
            blob_record row{in.key, buffer.get(), static_cast<uint32_t>(stored)};
            if (table_blob_insert(&h.connection, table, &row, 1) != 0) return -1;
        }
        return 0;
    });
}

int get_blob(int32_t db_id, const BlobTableDef& table, int32_t item_id, uint8_t** buffer,
             uint32_t* length) {
    if (buffer == nullptr || length == nullptr) return -1;
    return with_db(db_id, -1, [&](store_handle& h) {
        blob_record* row = table_blob_read(&h.connection, table, item_id);
        if (row == nullptr) return -1;
        if (row->length == 0 ||
            (h.chain != nullptr &&
             endec_blob_unseal(h.chain, row->data, row->length, row->data) != 0)) {
            table_blob_free(row);
            return -1;
        }
        // The lookup's private copy becomes the caller's buffer.
        *buffer = row->data;
        *length = row->length;
        row->data = nullptr;
        table_blob_free(row);
        return 0;
    });
}

int delete_blob(int32_t db_id, const BlobTableDef& table, int32_t key) {
    return with_db(db_id, -1,
                   [&](store_handle& h) { return table_blob_delete(&h.connection, table, key); });
}

}  // namespace

// ---- Registry -------------------------------------------------------------------

void store_init() {
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.initialised) return;
        for (db_place& p : r.places) p = db_place{};
        r.used_count = 0;
        r.initialised = true;
    }
    (void)endec_init();
    (void)sql_header_vfs();
}

int store_create(const char* path, int32_t db_id, int32_t kind, const char* password,
                 int32_t password_length, const uint32_t* cipher_ids, int32_t cipher_count,
                 int32_t overwrite) {
    if (!registry_initialised() || path == nullptr) return -1;
    if (kind != kStorePlain && kind != kStoreEnciphered) return -1;
    if (kind == kStoreEnciphered) {
        if (password == nullptr || password_length <= 0 || cipher_ids == nullptr ||
            cipher_count <= 0 || cipher_count > kEndecMaxStages) {
            return -1;
        }
    }
    HandlePtr h;
    int place = take_place(db_id, true, &h);
    if (place < 0) return -1;
    Lock lock(h->connection.mutex());
    auto fail = [&]() {
        (void)close_handle(h.get());
        release_place(place, h);
        return -1;
    };
    // The chain first: a password that cannot key it leaves the disk alone.
    if (kind == kStoreEnciphered && endec_chain_create(reinterpret_cast<const uint8_t*>(password),
                                                       static_cast<size_t>(password_length),
                                                       cipher_ids, cipher_count, &h->chain) != 0) {
        h->chain = nullptr;
        return fail();
    }
    if (file_exists(path)) {
        if (overwrite == 0) return fail();
        remove_database_file(path);
        if (file_exists(path)) return fail();
    }
    try {
        h->connection.open(path);
    } catch (const CppSQLite3Exception&) {
        remove_database_file(path);
        return fail();
    }
    int32_t stored_count = kind == kStoreEnciphered ? cipher_count : 0;
    if (build_new_database(h.get(), cipher_ids, stored_count) != 0) {
        (void)close_handle(h.get());
        remove_database_file(path);
        return fail();
    }
    h->ready = true;
    return 0;
}

int store_open(const char* path, int32_t db_id, const char* password, int32_t password_length) {
    if (!registry_initialised() || path == nullptr || password == nullptr) return -1;
    HandlePtr h;
    int place = take_place(db_id, false, &h);
    if (place < 0) return -1;
    Lock lock(h->connection.mutex());
    auto fail = [&](int code) {
        (void)close_handle(h.get());
        release_place(place, h);
        return code;
    };
    if (!openable_read_write(path)) return fail(kStoreCannotOpen);
    try {
        h->connection.open(path);
    } catch (const CppSQLite3Exception&) {
        return fail(kStoreCannotOpen);
    }
    int result = verify_open(h.get(), password, password_length);
    if (result != 0) return fail(result);
    // Older files lack the key indexes; a file that cannot take them still
    // works, only slower. Only a verified database is written to.
    (void)table_ensure_indexes(&h->connection, DbKind::Private);
    h->ready = true;
    return 0;
}

int store_close(int32_t db_id) {
    Registry& r = registry();
    HandlePtr h;
    int place = -1;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        for (int i = 0; i < kStorePlaces; ++i) {
            if (r.places[i].used && r.places[i].db_id == db_id) {
                h = r.places[i].handle;
                place = i;
                break;
            }
        }
    }
    if (!h) return -1;
    {
        Lock lock(h->connection.mutex());
        if (close_handle(h.get()) != 0) return -1;
    }
    release_place(place, h);
    return 0;
}

bool store_is_open(int32_t db_id) {
    return with_db(db_id, false, [](store_handle&) { return true; });
}

StoreTransaction::StoreTransaction(int32_t db_id) {
    HandlePtr h = find_handle(db_id);
    if (!h) return;
    std::unique_lock<std::recursive_mutex> lock(h->connection.mutex());
    if (!h->ready) return;
    int kind = internal::scope_begin(&h->connection);
    if (kind == 0) return;
    handle_ = std::move(h);
    lock_ = std::move(lock);
    kind_ = kind;
}

StoreTransaction::~StoreTransaction() {
    rollback();
}

int StoreTransaction::commit() {
    if (kind_ == 0) return -1;
    int result = internal::scope_commit(&handle_->connection, kind_);
    kind_ = 0;
    lock_ = {};
    handle_.reset();
    return result;
}

void StoreTransaction::rollback() {
    if (kind_ == 0) return;
    internal::scope_rollback(&handle_->connection, kind_);
    kind_ = 0;
    lock_ = {};
    handle_.reset();
}

// ---- Counter --------------------------------------------------------------------

int32_t store_next_item_id(int32_t db_id) {
    return with_db(db_id, int32_t{-1}, [](store_handle& h) {
        int32_t value = 0;
        // Item ids are positive; a counter that cannot give one is unusable.
        return table_setting_read(&h.connection, kKeyNextItemId, &value) == 1 && value > 0 ? value
                                                                                           : -1;
    });
}

int store_advance_item_id(int32_t db_id) {
    return with_db(db_id, -1, [](store_handle& h) {
        int32_t value = 0;
        if (table_setting_read(&h.connection, kKeyNextItemId, &value) != 1) return -1;
        if (value <= 0 || value == INT32_MAX) return -1;
        return table_setting_update(&h.connection, kKeyNextItemId, value + 1);
    });
}

// ---- Data and thumbnails --------------------------------------------------------------

int store_put_data(int32_t db_id, const blob_record* records, int32_t count) {
    return put_blobs(db_id, kDataTable, records, count);
}
int store_get_data(int32_t db_id, int32_t item_id, uint8_t** buffer, uint32_t* length) {
    return get_blob(db_id, kDataTable, item_id, buffer, length);
}
int store_delete_data(int32_t db_id, int32_t item_id) {
    return delete_blob(db_id, kDataTable, item_id);
}
int store_put_thumbnail(int32_t db_id, const blob_record* records, int32_t count) {
    return put_blobs(db_id, kThumbTable, records, count);
}
int store_get_thumbnail(int32_t db_id, int32_t item_id, uint8_t** buffer, uint32_t* length) {
    return get_blob(db_id, kThumbTable, item_id, buffer, length);
}
int store_delete_thumbnail(int32_t db_id, int32_t item_id) {
    return delete_blob(db_id, kThumbTable, item_id);
}
void store_free_buffer(uint8_t* buffer) {
    delete[] buffer;
}

// ---- Item rows --------------------------------------------------------------------

int store_insert_item(int32_t db_id, int32_t item_id, const uint32_t kept[4], int32_t kept_count,
                      int32_t size, int32_t date, int32_t star, int32_t hits,
                      const uint32_t classes[4], int32_t class_count, const uint32_t albums[4],
                      int32_t album_count) {
    if (kept == nullptr || classes == nullptr || albums == nullptr) return -1;
    if (kept_count != 4 || class_count != 4 || album_count != 4 || size == 0) return -1;
    item_record row{};
    row.id = item_id;
    std::memcpy(row.kept, kept, sizeof row.kept);
    row.size = size;
    row.date = date;
    row.star = star;
    row.hits = hits;
    std::memcpy(row.classes, classes, sizeof row.classes);
    std::memcpy(row.albums, albums, sizeof row.albums);
    return with_db(db_id, -1,
                   [&](store_handle& h) { return table_item_insert(&h.connection, &row); });
}

int store_delete_item(int32_t db_id, int32_t item_id) {
    return with_db(db_id, -1,
                   [&](store_handle& h) { return table_item_delete(&h.connection, item_id); });
}

int store_set_star(int32_t db_id, int32_t star, int32_t item_id) {
    if (item_id == 0) return -1;
    return with_db(db_id, -1, [&](store_handle& h) {
        return table_item_set_star(&h.connection, item_id, star);
    });
}

int store_set_hit(int32_t db_id, int32_t hits, int32_t item_id) {
    if (item_id == 0) return -1;
    return with_db(db_id, -1, [&](store_handle& h) {
        return table_item_set_hits(&h.connection, item_id, hits);
    });
}

int store_set_classes(int32_t db_id, const uint32_t words[4], int32_t count, int32_t item_id) {
    if (words == nullptr || count != 4) return -1;
    return with_db(db_id, -1, [&](store_handle& h) {
        return table_item_set_classes(&h.connection, item_id, words);
    });
}

int store_set_albums(int32_t db_id, const uint32_t words[4], int32_t count, int32_t item_id) {
    if (words == nullptr || count != 4) return -1;
    return with_db(db_id, -1, [&](store_handle& h) {
        return table_item_set_albums(&h.connection, item_id, words);
    });
}

// ---- Queries --------------------------------------------------------------------

query_result* store_query_range(int32_t db_id, int32_t low, int32_t high, int32_t limit,
                                int32_t* count) {
    query_result* result =
        with_db(db_id, static_cast<query_result*>(nullptr), [&](store_handle& h) {
            return table_item_range(&h.connection, "i1", low, high, 1, limit);
        });
    if (count != nullptr) *count = result != nullptr ? result->count : 0;
    return result;
}

query_result* store_query_filter(int32_t db_id, const item_filter* filter, int32_t limit,
                                 int32_t* count) {
    query_result* result = nullptr;
    if (filter != nullptr) {
        result = with_db(db_id, static_cast<query_result*>(nullptr), [&](store_handle& h) {
            return table_item_filter(&h.connection, filter, 1, limit);
        });
    }
    if (count != nullptr) *count = result != nullptr ? result->count : 0;
    return result;
}

void store_free_result(query_result* result) {
    table_free_result(result);
}

// ---- Keyed records ----------------------------------------------------------------

int store_put_record(int32_t db_id, const blob_record* records, int32_t count) {
    if (records == nullptr || count <= 0) return -1;
    return with_db(db_id, -1, [&](store_handle& h) {
        return table_blob_insert(&h.connection, kRecordTable, records, count);
    });
}

int store_delete_record(int32_t db_id, int32_t key) {
    return delete_blob(db_id, kRecordTable, key);
}

blob_record* store_get_record(int32_t db_id, int32_t key) {
    return with_db(db_id, static_cast<blob_record*>(nullptr), [&](store_handle& h) {
        return table_blob_read(&h.connection, kRecordTable, key);
    });
}

void store_free_record(blob_record* record) {
    table_blob_free(record);
}

// ---- Workspace list ---------------------------------------------------------------

namespace {

struct ConfigDb {
    std::mutex mutex;
    std::unique_ptr<SqlConnection> connection;  // guarded by mutex
};

ConfigDb& workspace_db() {
    static ConfigDb db;
    return db;
}
ConfigDb& thumbcache_db() {
    static ConfigDb db;
    return db;
}

bool readable(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

template <typename R, typename Op>
R with_workspace(R fail, Op&& op) {
    ConfigDb& w = workspace_db();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (!w.connection) return fail;
    return op(w.connection.get());
}

bool workspace_index_ok(int32_t n) {
    return n >= 0 && n <= kWorkspaceLastIndex;
}

}  // namespace

int workspace_open(const char* path) {
    if (path == nullptr) return -1;
    ConfigDb& w = workspace_db();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (w.connection) return 0;
    auto c = std::make_unique<SqlConnection>();
    bool exists = readable(path);
    try {
        c->open(path);
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
    if (exists) {
        int32_t version = 0;
        if (table_setting_read(c.get(), kKeyWorkspaceVersion, &version) != 1 ||
            version != kWorkspaceVersion) {
            return -1;
        }
        // Only a list of the right version is ever written to.
        (void)table_ensure_indexes(c.get(), DbKind::Workspace);
    } else {
        int built = table_atomically(c.get(), [&]() {
            if (table_blob_create(c.get(), kPathTable) != 0 || table_setting_create(c.get()) != 0)
                return -1;
            if (table_setting_write(c.get(), kKeyWorkspaceVersion, kWorkspaceVersion) != 0 ||
                table_setting_write(c.get(), kKeyWorkspaceCurrent, 0) != 0) {
                return -1;
            }
            return 0;
        });
        if (built != 0) return -1;
    }
    w.connection = std::move(c);
    return 0;
}

int workspace_close() {
    ConfigDb& w = workspace_db();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (!w.connection) return -1;
    try {
        w.connection->close();
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
    w.connection.reset();
    return 0;
}

int32_t workspace_capacity() {
    return kWorkspaceCapacity;
}

int32_t workspace_free_index() {
    return with_workspace(int32_t{-1}, [](SqlConnection* c) -> int32_t {
        for (int32_t n = 0; n < kWorkspaceCapacity; ++n) {
            blob_record* row = table_blob_read(c, kPathTable, kKeyWorkspacePathBase + n);
            if (row == nullptr) return n;
            table_blob_free(row);
        }
        return -1;
    });
}

int workspace_add_path(int32_t n, const char* bytes, int32_t length) {
    if (!workspace_index_ok(n) || bytes == nullptr || length < 0 || length > kWorkspacePathMax) {
        return -1;
    }
    return with_workspace(-1, [&](SqlConnection* c) {
        blob_record* row = table_blob_read(c, kPathTable, kKeyWorkspacePathBase + n);
        if (row != nullptr) {
            table_blob_free(row);
            return -1;
        }
        blob_record in{kKeyWorkspacePathBase + n,
                       reinterpret_cast<uint8_t*>(const_cast<char*>(bytes)),
                       static_cast<uint32_t>(length)};
        return table_blob_insert(c, kPathTable, &in, 1);
    });
}

int workspace_remove_path(int32_t n) {
    if (!workspace_index_ok(n)) return -1;
    return with_workspace(-1, [&](SqlConnection* c) {
        return table_blob_delete(c, kPathTable, kKeyWorkspacePathBase + n);
    });
}

int workspace_get_path(int32_t n, char* buffer, int32_t size) {
    if (!workspace_index_ok(n) || buffer == nullptr || size < kWorkspacePathMax) return -1;
    return with_workspace(-1, [&](SqlConnection* c) {
        blob_record* row = table_blob_read(c, kPathTable, kKeyWorkspacePathBase + n);
        if (row == nullptr) return -1;
        int result = -1;
        if (row->length <= static_cast<uint32_t>(size)) {
            std::memset(buffer, 0, static_cast<size_t>(size));
            if (row->length > 0) std::memcpy(buffer, row->data, row->length);
            result = 0;
        }
        table_blob_free(row);
        return result;
    });
}

int32_t workspace_get_current() {
    return with_workspace(int32_t{-1}, [](SqlConnection* c) -> int32_t {
        int32_t value = 0;
        int found = table_setting_read(c, kKeyWorkspaceCurrent, &value);
        return found == 1 ? value : 0;
    });
}

// ---- Folder thumbnail cache -----------------------------------------------------------

int thumbcache_open(const char* path) {
    if (path == nullptr) return -1;
    ConfigDb& t = thumbcache_db();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.connection) return 0;
    bool exists = file_exists(path);
    auto c = std::make_unique<SqlConnection>();
    try {
        c->open(path);
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
    if (exists) {
        (void)table_ensure_indexes(c.get(), DbKind::ThumbCache);
    } else if (table_thumb_create(c.get()) != 0) {
        return -1;
    }
    t.connection = std::move(c);
    return 0;
}

int thumbcache_close() {
    ConfigDb& t = thumbcache_db();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.connection) return -1;
    try {
        std::lock_guard<std::recursive_mutex> busy(t.connection->mutex());
        t.connection->close();
    } catch (const CppSQLite3Exception&) {
        return -1;
    }
    t.connection.reset();
    return 0;
}

SqlConnection* thumbcache_handle() {
    ConfigDb& t = thumbcache_db();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.connection.get();
}

int thumbcache_insert(SqlConnection* connection, const thumb_entry* entries, int32_t count) {
    if (connection == nullptr || entries == nullptr || count <= 0) return -1;
    return table_thumb_insert(connection, entries, count);
}

thumb_lookup* thumbcache_lookup(SqlConnection* connection, const uint32_t key[4]) {
    return table_thumb_lookup(connection, key);
}

void thumbcache_free(thumb_lookup* result) {
    table_thumb_free(result);
}

}  // namespace lorvex
