// The engine keeps one engine_slot per database slot. Item records are
// copies of the store's rows; every edit goes to the store first and to the
// copy only when the store took it, so the copy never claims what the file
// does not hold. Class and album tables are kept byte for byte as stored and
// are replaced in the store as a whole, in one transaction with the item
// rows the same edit changes.
//
// Locking: mutex_ guards the slots, the order and the sort state. The
// user-interface thread holds it while it changes an index or reads the
// store for an edit; the thumbnail loader and the preloader take it only to
// look into or fill a cache, and read the store without it. The lock is
// never held across a hub Send: notices are built as copies under the lock
// and sent after it is released.

#include "engine/engine.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/internal/engine_store.h"
#include "engine/labels.h"
#include "engine/transfer.h"

namespace lorvex {

namespace {

label_table& table_of(engine_slot& slot, label_kind kind) {
    return kind == label_kind::klass ? slot.class_table : slot.album_table;
}

uint32_t* bits_of(item_record& item, label_kind kind) {
    return kind == label_kind::klass ? item.classes : item.albums;
}

int32_t key_of(label_kind kind) {
    return kind == label_kind::klass ? kKeyClassTable : kKeyAlbumTable;
}

int write_bits(int32_t slot, label_kind kind, const uint32_t words[4], int32_t item_id) {
    return kind == label_kind::klass ? engine_store::set_classes(slot, words, item_id)
                                     : engine_store::set_albums(slot, words, item_id);
}

// Reads a class or album table record into table; false when it is missing,
// not exactly one table long, or its counts are out of range.
bool read_label_table(int32_t slot, int32_t key, label_table* table) {
    std::vector<uint8_t> bytes;
    if (!engine_store::read_record(slot, key, &bytes)) return false;
    if (bytes.size() != sizeof(label_table)) return false;
    label_table loaded;
    std::memcpy(&loaded, bytes.data(), sizeof(label_table));
    if (!label_table_usable(loaded)) return false;
    *table = loaded;
    return true;
}

}  // namespace

db_engine::db_engine(MessageHub* hub)
    : hub_(hub),
      slots_(std::make_unique<std::array<engine_slot, kEngineSlots>>()),
      filter_(std::make_unique<engine_filter_state>()) {
    receiver_ = std::make_unique<ForwardingReceiver<db_engine>>(this, &db_engine::OnMessage);
    if (hub_ != nullptr) (void)hub_->Register(receiver_.get());
}

db_engine::~db_engine() {
    if (hub_ != nullptr) (void)hub_->Unregister(receiver_.get());
    receiver_.reset();
}

void db_engine::send(uint32_t code, void* record) {
    if (hub_ != nullptr) hub_->Send(code, record);
}

void db_engine::OnMessage(uint32_t code, void* record) {
    if (record == nullptr) return;
    switch (code) {
        case MSG_DB_OPEN:
            (void)engine_load_slot(static_cast<const slot_request*>(record)->slot);
            break;
        case MSG_DB_CLOSE:
            (void)engine_unload_slot(static_cast<const slot_request*>(record)->slot);
            break;
        case MSG_FILTER: {
            const auto* request = static_cast<const filter_request*>(record);
            if (request->magic == kFilterRequestMagic) (void)engine_filter(request);
            break;
        }
        case MSG_TAG_NAMES_QUERY: {
            auto* request = static_cast<label_names_request*>(record);
            if (request->magic == kLabelNamesMagic) (void)engine_label_names(request);
            break;
        }
        case MSG_MEMBERSHIP_SET:
            (void)engine_set_membership(static_cast<const membership_request*>(record));
            break;
        case MSG_ITEM_ADD:
            (void)engine_handle_add(this, static_cast<const add_request*>(record));
            break;
        case MSG_ITEM_DELETE:
            (void)engine_handle_delete(this, static_cast<const delete_request*>(record));
            break;
        case MSG_ITEM_EXPORT:
            (void)engine_handle_export(static_cast<const export_request*>(record));
            break;
        default:
            break;
    }
}

// ---- Loading and unloading ------------------------------------------------

int db_engine::engine_load_slot(int32_t slot) {
    if (!slot_ok(slot)) return -1;
    int32_t next_id = 0;
    std::vector<notice_name> classes(kMaxLabels), albums(kMaxLabels);
    label_notice notice;
    notice.kind = kLabelsAdded;
    {
        std::lock_guard lock(mutex_);
        slot_state_[slot] = kSlotOpen;
        engine_slot& s = (*slots_)[slot];
        ++s.generation;
        next_id = engine_store::next_item_id(slot);
        s.items.create(next_id);
        s.thumbnails.create(next_id);
        s.names.create(next_id);
        s.class_table = label_table{};
        s.album_table = label_table{};
        label_table class_table{}, album_table{};
        if (!read_label_table(slot, kKeyClassTable, &class_table)) return -1;
        if (!read_label_table(slot, kKeyAlbumTable, &album_table)) return -1;
        s.class_table = class_table;
        s.album_table = album_table;
        notice.class_count = label_collect_notice(s.class_table, classes.data());
        notice.album_count = label_collect_notice(s.album_table, albums.data());
    }
    notice.classes = classes.data();
    notice.albums = albums.data();
    send(MSG_TAGS_CHANGED, &notice);

    std::vector<item_record> rows;
    const int32_t high = next_id >= std::numeric_limits<int32_t>::max() - 1
                             ? std::numeric_limits<int32_t>::max()
                             : std::max(next_id, 0) + 1;
    if (engine_store::query_range(slot, 0, high, kItemsPerLoad, &rows)) index_rows(slot, rows);
    engine_refresh();
    return 0;
}

int db_engine::engine_unload_slot(int32_t slot) {
    if (!slot_ok(slot)) return -1;
    std::vector<notice_name> classes(kMaxLabels), albums(kMaxLabels);
    label_notice notice;
    notice.kind = kLabelsRemoved;
    {
        std::lock_guard lock(mutex_);
        const engine_slot& s = (*slots_)[slot];
        notice.class_count = label_collect_notice(s.class_table, classes.data());
        notice.album_count = label_collect_notice(s.album_table, albums.data());
    }
    notice.classes = classes.data();
    notice.albums = albums.data();
    send(MSG_TAGS_CHANGED, &notice);
    {
        std::lock_guard lock(mutex_);
        engine_slot& s = (*slots_)[slot];
        s.class_table = label_table{};
        s.album_table = label_table{};
        s.items.destroy();
        s.thumbnails.destroy();
        s.names.destroy();
        ++s.generation;
    }
    engine_refresh();
    std::lock_guard lock(mutex_);
    slot_state_[slot] = kSlotClosed;
    return 0;
}

// ---- Names and item information ---------------------------------------------

int db_engine::engine_label_names(label_names_request* request) {
    if (request == nullptr || request->magic != kLabelNamesMagic) return -1;
    if (!slot_ok(request->slot)) return -1;
    std::lock_guard lock(mutex_);
    const engine_slot& s = (*slots_)[request->slot];
    if (request->kind == kLabelsOfClasses) {
        if (request->classes == nullptr) return -1;
        request->class_count =
            label_copy_names(s.class_table, request->classes, request->class_room);
        return 0;
    }
    if (request->kind == kLabelsOfAlbums) {
        if (request->albums == nullptr) return -1;
        request->album_count =
            label_copy_names(s.album_table, request->albums, request->album_room);
        return 0;
    }
    return -1;
}

int db_engine::engine_publish_item_info(int32_t slot, int32_t item_id) {
    if (!slot_ok(slot)) return -1;
    auto notice = std::make_unique<item_info_notice>();
    {
        std::lock_guard lock(mutex_);
        engine_slot& s = (*slots_)[slot];
        const item_record* item = s.items.look_up(item_id);
        if (item == nullptr) return -1;
        notice->class_count = label_fill_info(s.class_table, item->classes, notice->classes);
        notice->album_count = label_fill_info(s.album_table, item->albums, notice->albums);
        notice->valid = 1;
        notice->size = item->size;
        notice->date = item->date;
        notice->star = item->star;
        notice->hits = item->hits;
    }
    send(MSG_ITEM_INFO, notice.get());
    return 0;
}

// ---- Thumbnails, names, data --------------------------------------------------

// Puts rows read from the store into the slot's item index. A row whose id
// cannot be indexed (damaged file) is passed over.
void db_engine::index_rows(int32_t slot, const std::vector<item_record>& rows) {
    std::lock_guard lock(mutex_);
    engine_slot& s = (*slots_)[slot];
    for (const item_record& row : rows) {
        (void)s.items.store(row.id, std::make_unique<item_record>(row));
    }
}

// Reads through one of a slot's caches: a hit is copied under the lock; a
// miss reads the store without it and is cached only if the slot was not
// reloaded meanwhile.
int db_engine::read_through_cache(int32_t slot, int32_t item_id,
                                  paged_index<blob_bytes> engine_slot::*cache,
                                  bool (*read)(int32_t, int32_t, std::vector<uint8_t>*),
                                  blob_bytes* out) {
    if (!slot_ok(slot) || out == nullptr || item_id <= 0) return -1;
    uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (slot_state_[slot] != kSlotOpen) return -1;
        engine_slot& s = (*slots_)[slot];
        if (const blob_bytes* cached = (s.*cache).look_up(item_id)) {
            *out = *cached;
            return static_cast<int>(out->size());
        }
        generation = s.generation;
    }
    blob_bytes blob;
    if (!read(slot, item_id, &blob)) return -1;
    {
        std::lock_guard lock(mutex_);
        engine_slot& s = (*slots_)[slot];
        if (slot_state_[slot] == kSlotOpen && s.generation == generation &&
            (s.*cache).look_up(item_id) == nullptr) {
            (void)(s.*cache).store(item_id, std::make_unique<blob_bytes>(blob));
        }
    }
    *out = std::move(blob);
    return static_cast<int>(out->size());
}

int db_engine::engine_get_thumbnail(int32_t slot, int32_t item_id, blob_bytes* out) {
    return read_through_cache(slot, item_id, &engine_slot::thumbnails,
                              &engine_store::read_thumbnail, out);
}

int db_engine::engine_get_name(int32_t slot, int32_t item_id, blob_bytes* out) {
    return read_through_cache(slot, item_id, &engine_slot::names, &engine_store::read_record, out);
}

const blob_bytes* db_engine::cached_name_locked(int32_t slot, int32_t item_id) {
    engine_slot& s = (*slots_)[slot];
    if (const blob_bytes* cached = s.names.look_up(item_id)) return cached;
    blob_bytes name;
    if (!engine_store::read_record(slot, item_id, &name)) return nullptr;
    if (s.names.store(item_id, std::make_unique<blob_bytes>(std::move(name))) != 0) {
        return nullptr;
    }
    return s.names.look_up(item_id);
}

int db_engine::engine_get_data(int32_t slot, int32_t item_id, uint8_t** data, uint32_t* length) {
    if (!slot_ok(slot) || data == nullptr || length == nullptr || item_id <= 0) return -1;
    {
        std::lock_guard lock(mutex_);
        if (slot_state_[slot] != kSlotOpen) return -1;
    }
    *data = nullptr;
    *length = 0;
    if (engine_store::read_data(slot, item_id, data, length) != 0 || *data == nullptr) {
        engine_store::free_buffer(*data);
        *data = nullptr;
        *length = 0;
        return -1;
    }
    return 0;
}

void db_engine::engine_free_data(uint8_t* data) {
    engine_store::free_buffer(data);
}

// ---- Class, album, star and hit edits ----------------------------------------

int db_engine::add_to_label(int32_t slot, int32_t item_id, const char* name, label_kind kind) {
    if (!slot_ok(slot) || name == nullptr) return -1;
    const size_t length = strnlen(name, kLabelNameSize + 1);
    if (length == 0 || length > kLabelNameSize) return -1;
    std::lock_guard lock(mutex_);
    engine_slot& s = (*slots_)[slot];
    label_table& table = table_of(s, kind);
    if (table.capacity != kMaxLabels) return -1;
    const int match = label_find_name(table, name, length);
    const int position = match >= 0 ? match : label_find_free(table);
    if (position < 0) return -1;
    item_record* item = s.items.look_up(item_id);
    if (item == nullptr) return -1;

    uint32_t bits[4];
    std::memcpy(bits, bits_of(*item, kind), sizeof(bits));
    label_set_bit(bits, position, true);
    if (match >= 0) {
        if (write_bits(slot, kind, bits, item_id) != 0) return -1;
        std::memcpy(bits_of(*item, kind), bits, sizeof(bits));
        return 0;
    }

    auto created = std::make_unique<label_table>(table);
    label_entry& entry = created->entries[position];
    entry = label_entry{};
    entry.id = position | kLabelIdBase;
    entry.checksum = name_checksum(name, length);
    std::memcpy(entry.name, name, length);
    created->used += 1;
    engine_store::transaction txn(slot);
    if (!txn.active()) return -1;
    if (write_bits(slot, kind, bits, item_id) != 0) return -1;
    if (engine_store::replace_record(slot, key_of(kind), created.get(), sizeof(label_table)) != 0) {
        return -1;
    }
    if (txn.commit() != 0) return -1;
    std::memcpy(bits_of(*item, kind), bits, sizeof(bits));
    table = *created;
    return 1;
}

int db_engine::remove_label(int32_t slot, const char* name, label_kind kind) {
    if (!slot_ok(slot) || name == nullptr) return -1;
    const size_t length = strnlen(name, kLabelNameSize + 1);
    if (length == 0 || length > kLabelNameSize) return -1;
    std::lock_guard lock(mutex_);
    engine_slot& s = (*slots_)[slot];
    label_table& table = table_of(s, kind);
    if (table.capacity != kMaxLabels) return -1;
    const int position = label_find_name(table, name, length);
    if (position < 0) return -1;

    auto reduced = std::make_unique<label_table>(table);
    reduced->entries[position] = label_entry{};
    reduced->used -= 1;
    // The items of the index that hold the bit, with their new words.
    std::vector<std::pair<item_record*, std::array<uint32_t, 4>>> changed;
    s.items.for_each([&](int32_t, item_record& item) {
        uint32_t* bits = bits_of(item, kind);
        if (!label_bit(bits, position)) return;
        std::array<uint32_t, 4> words{bits[0], bits[1], bits[2], bits[3]};
        label_set_bit(words.data(), position, false);
        changed.emplace_back(&item, words);
    });

    engine_store::transaction txn(slot);
    if (!txn.active()) return -1;
    if (engine_store::replace_record(slot, key_of(kind), reduced.get(), sizeof(label_table)) != 0) {
        return -1;
    }
    for (const auto& [item, words] : changed) {
        if (write_bits(slot, kind, words.data(), item->id) != 0) return -1;
    }
    if (txn.commit() != 0) return -1;
    table = *reduced;
    for (const auto& [item, words] : changed) {
        std::memcpy(bits_of(*item, kind), words.data(), sizeof(uint32_t) * 4);
    }
    return position;
}

int db_engine::engine_add_to_class(int32_t slot, int32_t item_id, const char* name) {
    return add_to_label(slot, item_id, name, label_kind::klass);
}
int db_engine::engine_add_to_album(int32_t slot, int32_t item_id, const char* name) {
    return add_to_label(slot, item_id, name, label_kind::album);
}
int db_engine::engine_remove_class(int32_t slot, const char* name) {
    return remove_label(slot, name, label_kind::klass);
}
int db_engine::engine_remove_album(int32_t slot, const char* name) {
    return remove_label(slot, name, label_kind::album);
}

int db_engine::engine_set_star_hit(int32_t slot, int32_t item_id, const star_hit_request& request) {
    if (!slot_ok(slot)) return -1;
    std::lock_guard lock(mutex_);
    item_record* item = (*slots_)[slot].items.look_up(item_id);
    if (item == nullptr) return -1;
    if (request.hit != 0) {
        int32_t hits = item->hits;
        if (request.hit_operation == kHitAddOne) {
            hits = hits == std::numeric_limits<int32_t>::max() ? hits : hits + 1;
        } else if (request.hit_operation == kHitReset) {
            hits = 0;
        }
        if (engine_store::set_hit(slot, hits, item_id) != 0) return -1;
        item->hits = hits;
        return 0;
    }
    if (request.set_star != 0) {
        if (engine_store::set_star(slot, request.star, item_id) != 0) return -1;
        item->star = request.star;
    }
    return 0;
}

// ---- Order ------------------------------------------------------------------

void db_engine::load_names_for_order_locked(std::vector<const uint8_t*>* names) {
    static const uint8_t kNoName[kNameRecordSize] = {};
    names->clear();
    names->reserve(order_.triples.size());
    for (const order_triple& t : order_.triples) {
        const blob_bytes* name = cached_name_locked(t.slot, t.item_id);
        // Name records are 260 bytes; a shorter one compares as if padded.
        if (name != nullptr && name->size() < kNameRecordSize) {
            auto padded = std::make_unique<blob_bytes>(*name);
            padded->resize(kNameRecordSize, 0);
            (void)(*slots_)[t.slot].names.store(t.item_id, std::move(padded));
            name = (*slots_)[t.slot].names.look_up(t.item_id);
        }
        names->push_back(name != nullptr ? name->data() : kNoName);
    }
}

void db_engine::rebuild_order_locked() {
    size_t total = 0;
    for (int slot = 0; slot < kEngineSlots; ++slot) {
        if (slot_state_[slot] == kSlotOpen) total += (*slots_)[slot].items.occupied();
    }
    order_.triples.clear();
    order_.triples.reserve(total);
    for (int slot = 0; slot < kEngineSlots; ++slot) {
        if (slot_state_[slot] != kSlotOpen) continue;
        (*slots_)[slot].items.for_each([&](int32_t id, const item_record& item) {
            order_.triples.push_back({order_key_of(item, sort_key_code_), slot, id});
        });
    }
    const int32_t count = order_.count();
    if (sort_key_code_ == SORT_NAME) {
        std::vector<const uint8_t*> names;
        load_names_for_order_locked(&names);
        order_sort_by_name(order_.triples.data(), names.data(), 0, count - 1);
    } else {
        order_sort_by_key(order_.triples.data(), 0, count - 1);
    }
    if (direction_ == kSortReverse) order_reverse(order_.triples.data(), count);
    order_.current = 0;
}

void db_engine::engine_rebuild_order() {
    std::lock_guard lock(mutex_);
    rebuild_order_locked();
}

void db_engine::engine_refresh() {
    engine_rebuild_order();
    ListReadyNote note;
    note.kind = kListDatabase;
    send(MSG_LIST_READY, &note);
}

void db_engine::engine_set_sort_key(int32_t sort_key_code) {
    {
        std::lock_guard lock(mutex_);
        sort_key_code_ = sort_key_code;
    }
    engine_refresh();
}

void db_engine::engine_set_forward() {
    {
        std::lock_guard lock(mutex_);
        direction_ = kSortForward;
    }
    engine_refresh();
}

void db_engine::engine_set_reverse() {
    {
        std::lock_guard lock(mutex_);
        direction_ = kSortReverse;
    }
    engine_refresh();
}

int32_t db_engine::engine_sort_key() const {
    std::lock_guard lock(mutex_);
    return sort_key_code_;
}

int32_t db_engine::engine_direction() const {
    std::lock_guard lock(mutex_);
    return direction_;
}

int32_t db_engine::engine_order_count() const {
    std::lock_guard lock(mutex_);
    return order_.count();
}

int db_engine::engine_order_at(int32_t position, order_triple* out) const {
    if (out == nullptr) return -1;
    std::lock_guard lock(mutex_);
    if (position < 0 || position >= order_.count()) return -1;
    *out = order_.triples[static_cast<size_t>(position)];
    return 0;
}

std::vector<order_triple> db_engine::engine_order_snapshot() const {
    std::lock_guard lock(mutex_);
    return order_.triples;
}

int32_t db_engine::engine_order_current() const {
    std::lock_guard lock(mutex_);
    return order_.current;
}

int db_engine::engine_order_set_current(int32_t position) {
    std::lock_guard lock(mutex_);
    if (position < 0 || position >= order_.count()) return -1;
    order_.current = position;
    return 0;
}

void db_engine::engine_order_previous() {
    std::lock_guard lock(mutex_);
    if (order_.current > 0) --order_.current;
}

void db_engine::engine_order_next() {
    std::lock_guard lock(mutex_);
    if (order_.current + 1 < order_.count()) ++order_.current;
}

void db_engine::engine_order_first() {
    std::lock_guard lock(mutex_);
    order_.current = 0;
}

void db_engine::engine_order_last() {
    std::lock_guard lock(mutex_);
    order_.current = order_.count() < 2 ? 0 : order_.count() - 1;
}

// ---- Filter and membership ----------------------------------------------------

int db_engine::engine_filter(const filter_request* request) {
    if (request == nullptr || request->magic != kFilterRequestMagic) return -1;
    engine_filter_state& f = *filter_;
    switch (request->kind) {
        case kFilterClass:
        case kFilterAlbum: {
            const bool klass = request->kind == kFilterClass;
            const filter_entry* entries = klass ? request->classes : request->albums;
            const int32_t copied = std::clamp(request->count, 0, kMaxLabels);
            if (copied > 0 && entries == nullptr) return -1;
            filter_entry* target = klass ? f.class_entries : f.album_entries;
            std::fill(target, target + kMaxLabels, filter_entry{});
            std::copy(entries, entries + copied, target);
            (klass ? f.class_count : f.album_count) = request->count;
            (klass ? f.class_active : f.album_active) = 1;
            break;
        }
        case kFilterMisc: {
            if (request->count != 1 || request->misc == nullptr) return -1;
            const misc_filter& m = *request->misc;
            if (m.star.enabled != 0 || m.hits.enabled != 0) return -1;
            f.size = f.date = f.star = f.hits = filter_criterion{};
            if (m.size.enabled != 0) f.size = m.size;
            if (m.date.enabled != 0) f.date = m.date;
            break;
        }
        default:
            return -1;
    }
    return reload_filtered(request->kind);
}

int db_engine::reload_filtered(int32_t request_kind) {
    const engine_filter_state& f = *filter_;
    const int32_t class_entries = std::clamp(f.class_count, 0, kMaxLabels);
    const int32_t album_entries = std::clamp(f.album_count, 0, kMaxLabels);
    int32_t criteria = 0;
    for (int32_t i = 0; i < class_entries; ++i) criteria += f.class_entries[i].selected != 0;
    for (int32_t i = 0; i < album_entries; ++i) criteria += f.album_entries[i].selected != 0;
    if (f.size.enabled != 0 || f.date.enabled != 0 || f.star.enabled != 0 || f.hits.enabled != 0 ||
        f.further[1] != 0) {
        ++criteria;
    }

    for (int32_t slot = 0; slot < kEngineSlots; ++slot) {
        item_filter query{};
        bool can_match = true;
        {
            std::lock_guard lock(mutex_);
            if (slot_state_[slot] != kSlotOpen) continue;
            engine_slot& s = (*slots_)[slot];
            const bool klass = request_kind == kFilterClass;
            if (klass || request_kind == kFilterAlbum) {
                const label_table& table = klass ? s.class_table : s.album_table;
                const filter_entry* entries = klass ? f.class_entries : f.album_entries;
                const int32_t count = klass ? class_entries : album_entries;
                uint32_t* mask = klass ? query.class_mask : query.album_mask;
                for (int32_t i = 0; i < count && can_match; ++i) {
                    const filter_entry& e = entries[i];
                    if (e.selected == 0) continue;
                    const int position =
                        label_find_identity(table, e.checksum, e.name, e.name_length);
                    if (position < 0) {
                        can_match = false;
                    } else {
                        label_set_bit(mask, position, true);
                    }
                }
            }
            s.items.clear();
        }
        if (!can_match) continue;
        const auto criterion = [](const filter_criterion& c) {
            return item_range_criterion{c.low, c.high, c.enabled};
        };
        query.size = criterion(f.size);
        query.date = criterion(f.date);
        query.star = criterion(f.star);
        query.hits = criterion(f.hits);
        query.class_enabled = f.class_active;
        query.album_enabled = f.album_active;
        std::vector<item_record> rows;
        if (engine_store::query_filter(slot, query, criteria, kItemsPerLoad, &rows)) {
            index_rows(slot, rows);
        }
    }
    engine_refresh();
    return 0;
}

int db_engine::engine_set_membership(const membership_request* request) {
    if (request == nullptr) return -1;
    const int32_t kind = request->kind;
    if (kind != kMembershipClass && kind != kMembershipAlbum && kind != kMembershipNone) {
        return -1;
    }
    SelectionQuery query;
    send(MSG_SELECTION_QUERY, &query);
    std::unique_ptr<int32_t[]> positions(query.positions);
    if (positions == nullptr || query.count <= 0) return 0;
    if (kind == kMembershipNone) return 0;
    const label_kind lk = kind == kMembershipClass ? label_kind::klass : label_kind::album;

    std::lock_guard lock(mutex_);
    for (int32_t k = 0; k < query.count; ++k) {
        const int32_t position = positions[k];
        if (position < 0 || position >= order_.count()) return -1;
        const order_triple t = order_.triples[static_cast<size_t>(position)];
        engine_slot& s = (*slots_)[t.slot];
        item_record* item = s.items.look_up(t.item_id);
        if (item == nullptr) return -1;
        const int label = label_find_identity(table_of(s, lk), request->checksum, request->name,
                                              request->name_length);
        if (label < 0) return -1;
        uint32_t bits[4];
        std::memcpy(bits, bits_of(*item, lk), sizeof(bits));
        label_set_bit(bits, label, request->set == 1);
        if (write_bits(t.slot, lk, bits, t.item_id) != 0) return -1;
        std::memcpy(bits_of(*item, lk), bits, sizeof(bits));
    }
    return 0;
}

// ---- State for the add, delete and export handlers -----------------------------

bool db_engine::engine_slot_open(int32_t slot) const {
    if (!slot_ok(slot)) return false;
    std::lock_guard lock(mutex_);
    return slot_state_[slot] == kSlotOpen;
}

int db_engine::engine_index_item(int32_t slot, const item_record& item) {
    if (!slot_ok(slot)) return -1;
    std::lock_guard lock(mutex_);
    if (slot_state_[slot] != kSlotOpen) return -1;
    return (*slots_)[slot].items.store(item.id, std::make_unique<item_record>(item));
}

int db_engine::engine_forget_item(int32_t slot, int32_t item_id) {
    if (!slot_ok(slot)) return -1;
    std::lock_guard lock(mutex_);
    engine_slot& s = (*slots_)[slot];
    const bool held = s.items.take(item_id) != nullptr;
    (void)s.thumbnails.take(item_id);
    (void)s.names.take(item_id);
    return held ? 0 : -1;
}

int db_engine::engine_find_item(int32_t slot, int32_t item_id, item_record* out) const {
    if (!slot_ok(slot) || out == nullptr) return -1;
    std::lock_guard lock(mutex_);
    const item_record* item = (*slots_)[slot].items.look_up(item_id);
    if (item == nullptr) return -1;
    *out = *item;
    return 0;
}

int db_engine::engine_label_table(int32_t slot, label_kind kind, label_table* out) const {
    if (!slot_ok(slot) || out == nullptr) return -1;
    std::lock_guard lock(mutex_);
    const engine_slot& s = (*slots_)[slot];
    *out = kind == label_kind::klass ? s.class_table : s.album_table;
    return 0;
}

}  // namespace lorvex
