// Private database store: the registry of open databases (db id 0..31),
// create/open/close with the password check, item records, picture data and
// thumbnails (padded to 64 bytes, enciphered with the database's chain),
// keyed records, the workspace list "proj.pdb" and the folder thumbnail cache
// "dir_thumb.pdb".
// Ownership: every buffer, result and record handed out belongs to the
// caller and goes back through the matching store_free_* / thumbcache_free.
// Threads: every call may come from any thread (user interface, thumbnail
// loader, preloader). Each database has one recursive lock, held for a whole
// operation and its transaction; the registry has its own. No call throws.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "store/records.h"
#include "store/sql.h"

namespace lorvex {

inline constexpr uint32_t kStoreHandleTag = 0x190795aa;
inline constexpr int32_t kStorePlaces = 32;
inline constexpr int32_t kWorkspaceCapacity = 32;
inline constexpr int32_t kWorkspaceLastIndex = 32;  // paths may be kept for 0..32
inline constexpr int32_t kWorkspacePathMax = 260;

// Kinds of store_create.
inline constexpr int32_t kStorePlain = 1;
inline constexpr int32_t kStoreEnciphered = 2;

// Results of store_open.
inline constexpr int32_t kStoreFailed = -1;
inline constexpr int32_t kStoreCannotOpen = -2;
inline constexpr int32_t kStoreWrongPassword = -3;

// Data and thumbnail blobs hold at most this much content.
inline constexpr uint32_t kStoreMaxBlob = 67108864;
inline constexpr uint32_t kStoreBlobAlign = 64;
inline constexpr int32_t kCheckValueSize = 64;

// ---- Registry of open databases ------------------------------------------------

// Clears the registry and initialises the ciphers on the first call; later
// calls do nothing.
void store_init();

// Makes a new database file and keeps it open under db_id. kind 1: plain
// (no password, 0 ciphers); kind 2: enciphered with 1 to 6 cipher ids and a
// password of 1 to 32 bytes. A file already at path fails unless overwrite
// is non-zero (the old file is then replaced). 0 or -1; on -1 no file is
// left behind by this call.
[[nodiscard]] int store_create(const char* path, int32_t db_id, int32_t kind, const char* password,
                               int32_t password_length, const uint32_t* cipher_ids,
                               int32_t cipher_count, int32_t overwrite);

// Opens an existing database read-write under db_id (an id that is already
// open gets a second place; lookups use the lower one). 0; -1 bad
// arguments, no free place, unreadable settings or records, no chain;
// -2 file missing or not openable read-write; -3 wrong password.
[[nodiscard]] int store_open(const char* path, int32_t db_id, const char* password,
                             int32_t password_length);

// Closes the lowest place with db_id. 0, or -1 when none has it or the
// file cannot be closed.
[[nodiscard]] int store_close(int32_t db_id);

// True while some place holds db_id open.
[[nodiscard]] bool store_is_open(int32_t db_id);

// Runs several store operations on one database as one transaction, holding
// the database's lock (other threads wait) from construction to commit or
// destruction. Operations inside on the same thread nest: their own batches
// become savepoints. Destroying it without commit() rolls everything back.
//     StoreTransaction txn(db_id);
//     if (!txn.active()) return -1;
//     ... store_put_data / store_insert_item / store_put_record ...
//     return txn.commit();
struct store_handle;
class StoreTransaction {
  public:
    explicit StoreTransaction(int32_t db_id);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;

    bool active() const { return kind_ != 0; }
    // 0, or -1 (everything rolled back) when the commit fails or the
    // transaction was not active.
    [[nodiscard]] int commit();
    void rollback();

  private:
    std::shared_ptr<store_handle> handle_;
    std::unique_lock<std::recursive_mutex> lock_;
    int kind_ = 0;
};

// ---- Item id counter ----------------------------------------------------------

// Next item id (1 in a new database), or -1 when it cannot be read.
[[nodiscard]] int32_t store_next_item_id(int32_t db_id);
// Adds one to the counter; 0, or -1 when it is missing. Ids are never
// reused: deleting items does not lower it.
[[nodiscard]] int store_advance_item_id(int32_t db_id);

// ---- Picture data and thumbnails ------------------------------------------------

// Stores each record (key = item id) padded to a multiple of 64 bytes and
// enciphered. Any record longer than 64 MiB refuses the call before
// anything is written. Each record is its own transaction (a savepoint inside
// a StoreTransaction). 0 or -1.
[[nodiscard]] int store_put_data(int32_t db_id, const blob_record* records, int32_t count);
// The deciphered, padded content and its padded length; -1 when there is no
// row, the stored length is 0 or deciphering fails. Release the buffer with
// store_free_buffer.
[[nodiscard]] int store_get_data(int32_t db_id, int32_t item_id, uint8_t** buffer,
                                 uint32_t* length);
[[nodiscard]] int store_delete_data(int32_t db_id, int32_t item_id);
[[nodiscard]] int store_put_thumbnail(int32_t db_id, const blob_record* records, int32_t count);
[[nodiscard]] int store_get_thumbnail(int32_t db_id, int32_t item_id, uint8_t** buffer,
                                      uint32_t* length);
[[nodiscard]] int store_delete_thumbnail(int32_t db_id, int32_t item_id);
void store_free_buffer(uint8_t* buffer);

// ---- Item rows ----------------------------------------------------------------

// Each word group comes with its count, which must be 4; size must not be 0.
// Words 17..23 are written as 0. 0 or -1.
[[nodiscard]] int store_insert_item(int32_t db_id, int32_t item_id, const uint32_t kept[4],
                                    int32_t kept_count, int32_t size, int32_t date, int32_t star,
                                    int32_t hits, const uint32_t classes[4], int32_t class_count,
                                    const uint32_t albums[4], int32_t album_count);
[[nodiscard]] int store_delete_item(int32_t db_id, int32_t item_id);
// A missing row is not an error. item_id must not be 0.
[[nodiscard]] int store_set_star(int32_t db_id, int32_t star, int32_t item_id);
[[nodiscard]] int store_set_hit(int32_t db_id, int32_t hits, int32_t item_id);
// The four words replace the whole membership; count must be 4.
[[nodiscard]] int store_set_classes(int32_t db_id, const uint32_t words[4], int32_t count,
                                    int32_t item_id);
[[nodiscard]] int store_set_albums(int32_t db_id, const uint32_t words[4], int32_t count,
                                   int32_t item_id);

// ---- Item queries ---------------------------------------------------------------

// Rows with low <= id <= high in ascending id order, at most limit (below
// 10,000). *count (when given) receives the number of rows. Null on failure.
[[nodiscard]] query_result* store_query_range(int32_t db_id, int32_t low, int32_t high,
                                              int32_t limit, int32_t* count);
// Rows matching every enabled criterion, ascending id, at most limit.
[[nodiscard]] query_result* store_query_filter(int32_t db_id, const item_filter* filter,
                                               int32_t limit, int32_t* count);
void store_free_result(query_result* result);

// ---- Keyed records of table m_t (name records, class and album tables) -----------

// Stored plain, as given; all records in one transaction. 0 or -1.
[[nodiscard]] int store_put_record(int32_t db_id, const blob_record* records, int32_t count);
[[nodiscard]] int store_delete_record(int32_t db_id, int32_t key);
// The record with its own copy of the bytes, or null.
[[nodiscard]] blob_record* store_get_record(int32_t db_id, int32_t key);
void store_free_record(blob_record* record);

// ---- Workspace list "proj.pdb" -------------------------------------------------

// Opens (or creates) the list unless it is open. A file whose version is not
// 0x10001000 leaves the list closed. 0 when the list is open afterwards.
[[nodiscard]] int workspace_open(const char* path);
[[nodiscard]] int workspace_close();
[[nodiscard]] int32_t workspace_capacity();
// Lowest n in 0..31 with no path, -1 when all have one or the list is closed.
[[nodiscard]] int32_t workspace_free_index();
// Records length (<= 260) bytes for n (0..32) when n has no path yet; -1
// when nothing was recorded.
[[nodiscard]] int workspace_add_path(int32_t n, const char* bytes, int32_t length);
[[nodiscard]] int workspace_remove_path(int32_t n);
// Zero-fills buffer (size >= 260 and >= the stored length) and copies the
// path in. 0, or -1 (no path, bad arguments, list closed).
[[nodiscard]] int workspace_get_path(int32_t n, char* buffer, int32_t size);
// Current database index (0 when none is recorded), -1 when closed.
[[nodiscard]] int32_t workspace_get_current();

// ---- Folder thumbnail cache "dir_thumb.pdb" --------------------------------------

// Opens (or creates with its table) unless open. 0 when open afterwards.
[[nodiscard]] int thumbcache_open(const char* path);
[[nodiscard]] int thumbcache_close();
// The open connection, or null. Valid until thumbcache_close, which runs at
// exit after the loader has been joined.
SqlConnection* thumbcache_handle();
// count > 0; all rows in one transaction. 0 or -1.
[[nodiscard]] int thumbcache_insert(SqlConnection* connection, const thumb_entry* entries,
                                    int32_t count);
// Rows read (0 = miss, 1 = hit, 2 = two rows) with the last one, or null
// when the lookup failed.
[[nodiscard]] thumb_lookup* thumbcache_lookup(SqlConnection* connection, const uint32_t key[4]);
void thumbcache_free(thumb_lookup* result);

}  // namespace lorvex
