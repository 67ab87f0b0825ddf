// Records of the private database store: the persisted layouts (item row,
// item filter, class/album table, name record) and the in-memory results the
// store hands out. Results are owned by the caller and released with the
// store's matching release call; the layouts are plain data, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lorvex {

// ---- Keys of a private database ----------------------------------------------

// Table r.
inline constexpr int32_t kKeyFormatVersion = 0x10000;
inline constexpr int32_t kKeyNextItemId = 0x10002;
inline constexpr int32_t kKeyCipherCount = 0x20100;
inline constexpr int32_t kKeyCipherBase = 0x20200;  // + stage number
inline constexpr int32_t kFormatVersion = 0x20001000;
inline constexpr int32_t kMaxStoredCipherCount = 10000;
// Table m_t; item ids (1, 2, ...) key the name records.
inline constexpr int32_t kKeyCheckPlain = 0x10000001;
inline constexpr int32_t kKeyCheckSealed = 0x10000002;
inline constexpr int32_t kKeyClassTable = 0x10000003;
inline constexpr int32_t kKeyAlbumTable = 0x10000004;

// Keys of the workspace list "proj.pdb".
inline constexpr int32_t kKeyWorkspacePathBase = 0x10000;  // + database index
inline constexpr int32_t kKeyWorkspaceVersion = 0x1ffff1;
inline constexpr int32_t kKeyWorkspaceCurrent = 0x20000;
inline constexpr int32_t kWorkspaceVersion = 0x10001000;

// Value a NULL key column reads as in a key/blob lookup.
inline constexpr int32_t kNullKeyValue = 21930;

// ---- Item row ---------------------------------------------------------------

inline constexpr int kItemColumns = 24;

// One row of table i, word for word in column order (i1 ... if).
struct item_record {
    int32_t id;           // i1
    uint32_t kept[4];     // i2_1..i2_4: carried unchanged by copies
    int32_t size;         // i3: file size in bytes, never 0
    int32_t date;         // i4: creation time, seconds since 1970 UTC
    int32_t star;         // i5: 0..5
    int32_t hits;         // i6
    uint32_t classes[4];  // i7_1..i7_4: bit n = class at position n
    uint32_t albums[4];   // i8_1..i8_4
    int32_t type;         // i9: 0 in every row this program writes
    int32_t reserved[6];  // ia..if: 0
};
static_assert(sizeof(item_record) == 96);
static_assert(offsetof(item_record, kept) == 4);
static_assert(offsetof(item_record, size) == 20);
static_assert(offsetof(item_record, date) == 24);
static_assert(offsetof(item_record, star) == 28);
static_assert(offsetof(item_record, hits) == 32);
static_assert(offsetof(item_record, classes) == 36);
static_assert(offsetof(item_record, albums) == 52);
static_assert(offsetof(item_record, type) == 68);
static_assert(offsetof(item_record, reserved) == 72);

// Word w (0..23) of a row, as stored in column w + 1.
inline int32_t item_word(const item_record& r, int w) {
    int32_t v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(&r) + 4 * w, 4);
    return v;
}
inline void set_item_word(item_record& r, int w, int32_t v) {
    std::memcpy(reinterpret_cast<unsigned char*>(&r) + 4 * w, &v, 4);
}

// Bit n (0..127) of a 128-bit membership set.
inline bool membership_has(const uint32_t words[4], int n) {
    return (words[n / 32] >> (n % 32)) & 1u;
}
inline void membership_set(uint32_t words[4], int n, bool on) {
    uint32_t bit = 1u << (n % 32);
    words[n / 32] = on ? (words[n / 32] | bit) : (words[n / 32] & ~bit);
}

// ---- Item filter ------------------------------------------------------------

struct item_range_criterion {
    int32_t low;      // inclusive
    int32_t high;     // inclusive
    int32_t enabled;  // takes part when not 0
};

// Criteria of store_query_filter. A caller may pass a longer record that
// begins with these 88 bytes.
struct item_filter {
    item_range_criterion size;  // i3
    item_range_criterion date;  // i4
    item_range_criterion star;  // i5
    item_range_criterion hits;  // i6
    uint32_t class_mask[4];     // an item matches when it has every bit set
    int32_t class_enabled;
    uint32_t album_mask[4];
    int32_t album_enabled;
};
static_assert(sizeof(item_filter) == 88);
static_assert(offsetof(item_filter, date) == 12);
static_assert(offsetof(item_filter, star) == 24);
static_assert(offsetof(item_filter, hits) == 36);
static_assert(offsetof(item_filter, class_mask) == 48);
static_assert(offsetof(item_filter, class_enabled) == 64);
static_assert(offsetof(item_filter, album_mask) == 68);
static_assert(offsetof(item_filter, album_enabled) == 84);

// ---- Query result -----------------------------------------------------------

inline constexpr uint32_t kQueryResultTag = 0x51a7e301;
// Item queries take a limit below this.
inline constexpr int32_t kQueryLimit = 10000;

// Rows of an item query in ascending id order. Released with
// store_free_result.
struct query_result {
    uint32_t tag;        // kQueryResultTag while alive
    int32_t count;       // rows in items
    item_record* items;  // count records (null when count is 0)
};

// ---- Class and album tables ---------------------------------------------------

inline constexpr uint32_t kLabelTableTag = 0xe2094b31;
inline constexpr int32_t kLabelCapacity = 128;
inline constexpr int32_t kLabelTableSize = 9248;
inline constexpr size_t kLabelNameSize = 64;
// An entry id is its position OR this; 0 marks a free entry.
inline constexpr int32_t kLabelIdBase = 0x1F000000;

struct label_entry {
    int32_t id;                 // position | kLabelIdBase, 0 when free
    int32_t checksum;           // name_checksum of the name
    char name[kLabelNameSize];  // NUL-terminated unless 64 bytes long
};
static_assert(sizeof(label_entry) == 72);
static_assert(offsetof(label_entry, checksum) == 4);
static_assert(offsetof(label_entry, name) == 8);

struct label_table {
    uint32_t tag;        // kLabelTableTag
    int32_t capacity;    // 128
    int32_t used;        // entries whose id is not 0
    int32_t total_size;  // 9248
    uint8_t zero[16];
    label_entry entries[kLabelCapacity];
};
static_assert(sizeof(label_table) == 9248);
static_assert(offsetof(label_table, capacity) == 4);
static_assert(offsetof(label_table, used) == 8);
static_assert(offsetof(label_table, total_size) == 12);
static_assert(offsetof(label_table, zero) == 16);
static_assert(offsetof(label_table, entries) == 32);

// An empty table as a new database stores it.
inline void label_table_init(label_table* t) {
    std::memset(t, 0, sizeof(*t));
    t->tag = kLabelTableTag;
    t->capacity = kLabelCapacity;
    t->used = 0;
    t->total_size = kLabelTableSize;
}

// Sum of the name's bytes (unsigned) OR its length shifted left by 16; -1
// for no name. length counts bytes.
inline int32_t name_checksum(const char* name, size_t length) {
    if (name == nullptr) return -1;
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i) sum += static_cast<unsigned char>(name[i]);
    return static_cast<int32_t>(sum | (static_cast<uint32_t>(length) << 16));
}
inline int32_t name_checksum(const char* name) {
    return name_checksum(name, name != nullptr ? std::strlen(name) : 0);
}

// ---- Name record ------------------------------------------------------------

// The item's file name without its folder, NUL-padded, under the item id in
// table m_t.
inline constexpr size_t kNameRecordSize = 260;

// ---- Key/blob records -------------------------------------------------------

// One row of a key/blob table. As input the bytes belong to the caller; a
// record handed out by a lookup owns a private copy and is released with
// the lookup's release call.
struct blob_record {
    int32_t key;
    uint8_t* data;
    uint32_t length;
};

// ---- Thumbnail cache rows ---------------------------------------------------

inline constexpr size_t kThumbPathSize = 260;
inline constexpr int32_t kThumbLookupRows = 10;
inline constexpr uint32_t kThumbLookupTag = 0x7c0b1e55;

// One row of table t of "dir_thumb.pdb".
struct thumb_entry {
    uint32_t key[4];            // t2_1..t2_4: the cache key in memory order
    int32_t thumb_length;       // t3
    int32_t file_time;          // t4
    int32_t path_length;        // t5, below 260
    char path[kThumbPathSize];  // t6, NUL-padded here, no terminator on disk
    uint8_t* thumb;             // t7, thumb_length bytes
};

// Result of thumbcache_lookup: count is the number of rows read (0 for a
// miss), entry the last of them. Released with thumbcache_free.
struct thumb_lookup {
    uint32_t tag;
    int32_t count;
    thumb_entry entry;
};

}  // namespace lorvex
