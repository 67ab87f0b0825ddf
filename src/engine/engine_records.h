// Records of the engine's hub codes (0x3xxxx): requests the panes and views
// send to the engine and notices it broadcasts. Records live with their
// sender and are valid only while Send runs; pointers inside them are owned
// by the sender. Plain data, usable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hub/messages.h"
#include "store/store.h"

namespace lorvex {

// Number of database slots; a slot is the db id the store registered.
constexpr int kEngineSlots = 32;
// Classes and albums per database; names are at most kLabelNameSize (64)
// bytes, and a 64-byte name fills its field without a terminator.
constexpr int kMaxLabels = kLabelCapacity;
// Items loaded per database by an open or a filter.
constexpr int kItemsPerLoad = 5000;
// Name records (kNameRecordSize, 260 bytes) and the class and album tables
// (kKeyClassTable, kKeyAlbumTable) are keyed records of the store.

// Slot state values.
constexpr int32_t kSlotClosed = 0;
constexpr int32_t kSlotOpen = 17;

// MSG_DB_OPEN, MSG_DB_CLOSE. No magic: the record is the slot number.
struct slot_request {
    int32_t slot = 0;
};
static_assert(sizeof(slot_request) == 4);

// MSG_ITEM_ADD.
constexpr uint32_t kAddRequestMagic = 0x11221d39;
constexpr int32_t kAddFile = 1;
constexpr int32_t kAddCopy = 2;
struct add_request {
    uint32_t magic = kAddRequestMagic;
    int32_t kind = 0;            // kAddFile or kAddCopy
    char path[kMaxPath] = {};    // kAddFile: full path, NUL-terminated
    int32_t source_slot = 0;     // kAddCopy
    int32_t source_item_id = 0;  // kAddCopy
    int32_t target_slot = 0;
};
static_assert(sizeof(add_request) == 280);
static_assert(offsetof(add_request, source_slot) == 268);
static_assert(offsetof(add_request, target_slot) == 276);

// MSG_ITEM_DELETE.
constexpr uint32_t kDeleteRequestMagic = 0x8931c23a;
struct delete_request {
    uint32_t magic = kDeleteRequestMagic;
    int32_t slot = 0;
    int32_t item_id = 0;
};
static_assert(sizeof(delete_request) == 12);

// MSG_ITEM_EXPORT. The engine checks the kind only; senders still write the
// magic.
constexpr uint32_t kExportRequestMagic = 0x8931c23a;
constexpr int32_t kExportToFile = 1;
constexpr size_t kExportPathSize = 1040;
struct export_request {
    uint32_t magic = kExportRequestMagic;
    int32_t kind = kExportToFile;
    char reserved[kMaxPath] = {};
    int32_t slot = 0;
    int32_t item_id = 0;
    char path[kExportPathSize] = {};  // destination file, NUL-terminated
};
static_assert(sizeof(export_request) == 1316);
static_assert(offsetof(export_request, slot) == 268);
static_assert(offsetof(export_request, path) == 276);

// MSG_TAGS_CHANGED.
constexpr uint32_t kLabelNoticeMagic = 0xd1209a31;
constexpr int32_t kLabelsAdded = 0x11;
constexpr int32_t kLabelsRemoved = 0x22;
struct notice_name {
    int32_t checksum = 0;            // 0 when a single created or removed name is announced
    char name[kLabelNameSize] = {};  // NUL-padded; a 64-byte name has no terminator
};
static_assert(sizeof(notice_name) == 68);
struct label_notice {
    uint32_t magic = kLabelNoticeMagic;
    int32_t kind = 0;  // kLabelsAdded or kLabelsRemoved
    int32_t class_count = 0;
    notice_name* classes = nullptr;
    int32_t album_count = 0;
    notice_name* albums = nullptr;
};

// MSG_FILTER.
constexpr uint32_t kFilterRequestMagic = 0xd2a079a1;
constexpr int32_t kFilterClass = 0x11;
constexpr int32_t kFilterAlbum = 0x22;
constexpr int32_t kFilterMisc = 0x33;
struct filter_entry {
    int32_t checksum = 0;
    char name[kLabelNameSize] = {};
    int32_t name_length = 0;
    int32_t selected = 0;  // non-zero when the user ticked the name
};
static_assert(sizeof(filter_entry) == 76);

// One inclusive range criterion; it takes part when enabled is not 0.
struct filter_criterion {
    int32_t low = 0;
    int32_t high = 0;
    int32_t enabled = 0;
};
static_assert(sizeof(filter_criterion) == 12);

struct misc_filter {
    filter_criterion size;
    filter_criterion date;
    filter_criterion star;  // a request with this enabled is refused
    filter_criterion hits;  // likewise
    int32_t unused[2] = {};
};
static_assert(sizeof(misc_filter) == 56);

struct filter_request {
    uint32_t magic = kFilterRequestMagic;
    int32_t kind = 0;   // kFilterClass, kFilterAlbum or kFilterMisc
    int32_t count = 0;  // entries (class and album kinds); 1 for kFilterMisc
    filter_entry* classes = nullptr;
    filter_entry* albums = nullptr;
    misc_filter* misc = nullptr;
};

// MSG_TAG_NAMES_QUERY: the engine writes the names of one table into the
// sender's array.
constexpr uint32_t kLabelNamesMagic = 0x83121230;
constexpr int32_t kLabelsOfClasses = 0x11;
constexpr int32_t kLabelsOfAlbums = 0x22;
struct label_name {
    int32_t checksum = 0;
    char name[kLabelNameSize] = {};  // no terminator, zero-filled field
    int32_t length = 0;
};
static_assert(sizeof(label_name) == 72);
struct label_names_request {
    uint32_t magic = kLabelNamesMagic;
    int32_t slot = 0;
    int32_t kind = 0;         // kLabelsOfClasses or kLabelsOfAlbums
    int32_t class_count = 0;  // out
    int32_t class_room = 0;   // in
    label_name* classes = nullptr;
    int32_t album_count = 0;  // out
    int32_t album_room = 0;   // in
    label_name* albums = nullptr;
};

// MSG_ITEM_INFO. Byte-exact; a notice with date 0 stands for "no item".
constexpr uint32_t kItemInfoMagic = 0x832daf1;
struct info_entry {
    int32_t checksum = 0;
    char name[kLabelNameSize] = {};
    int32_t length = 0;
    int32_t member = 0;  // 1 when the item belongs to the class or album
};
static_assert(sizeof(info_entry) == 76);
struct item_info_notice {
    uint32_t magic = kItemInfoMagic;
    int32_t class_count = 0;
    info_entry classes[kMaxLabels] = {};
    int32_t album_count = 0;
    info_entry albums[kMaxLabels] = {};
    int32_t valid = 0;
    int32_t size = 0;
    int32_t date = 0;
    int32_t star = 0;
    int32_t hits = 0;
};
static_assert(sizeof(item_info_notice) == 19488);
static_assert(offsetof(item_info_notice, album_count) == 9736);
static_assert(offsetof(item_info_notice, valid) == 19468);
static_assert(offsetof(item_info_notice, hits) == 19484);

// MSG_MEMBERSHIP_SET: put the selected grid items into, or take them out
// of, the class or album named. The engine checks the kind, not the magic.
constexpr uint32_t kMembershipMagic = 0x3813ac0;
constexpr int32_t kMembershipClass = 17;
constexpr int32_t kMembershipAlbum = 18;
constexpr int32_t kMembershipNone = 19;
struct membership_request {
    uint32_t magic = kMembershipMagic;
    int32_t kind = 0;
    int32_t checksum = 0;
    char name[kLabelNameSize] = {};
    int32_t name_length = 0;
    int32_t set = 0;  // 1 make members, 0 remove membership
    int32_t unused[2] = {};
};
static_assert(sizeof(membership_request) == 92);

// Star and hit-frequency update of one item.
constexpr int32_t kHitAddOne = 1;
constexpr int32_t kHitReset = 2;
struct star_hit_request {
    int32_t set_star = 0;
    int32_t star = 0;
    int32_t hit = 0;
    int32_t hit_operation = 0;  // kHitAddOne or kHitReset
};
static_assert(sizeof(star_hit_request) == 16);

}  // namespace lorvex
