// The engine: the in-memory picture of every open private database (class
// and album tables, loaded item records, thumbnail and name caches), the
// hub receiver for the engine codes, and the database item order. One
// db_engine per document. Handlers, edits and the order run on the
// user-interface thread; engine_get_thumbnail, engine_get_name,
// engine_get_data and the order reads may also be called from the thumbnail
// loader and the preloader. Everything handed out is a copy owned by the
// caller; no engine lock is held while a message is sent.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/engine_records.h"
#include "engine/order.h"
#include "hub/message_hub.h"
#include "store/store.h"

namespace lorvex {

// A two-level array addressed by item id: pages of 256 entries, found by
// id / 256, so lookup, store and take are constant-time. The page table is
// sized when the index is created and grows when an id lies beyond it, so
// items added later and ids past 65,536 still enter. Pages are allocated
// when the first entry on them is stored. The index owns its values.
template <typename T>
class paged_index {
  public:
    static constexpr int32_t kPageSize = 256;
    // Ids above this are refused: a damaged database cannot make the page
    // table huge.
    static constexpr int32_t kMaxId = (1 << 24) - 1;

    // Sizes the page table for ids below capacity (capacity / 256 + 1
    // pages) and makes the index valid. A negative capacity is taken as 0.
    void create(int32_t capacity) {
        destroy();
        const int32_t pages = (capacity > 0 ? capacity : 0) / kPageSize + 1;
        pages_.resize(static_cast<size_t>(pages));
        valid_ = true;
    }

    // Takes value under id. -1 when the index is invalid, the id is not in
    // 0..kMaxId or value is null. An entry already held is replaced.
    [[nodiscard]] int store(int32_t id, std::unique_ptr<T> value) {
        if (!valid_ || id < 0 || id > kMaxId || value == nullptr) return -1;
        const size_t page = static_cast<size_t>(id / kPageSize);
        if (page >= pages_.size()) pages_.resize(page + 1);
        if (pages_[page] == nullptr) pages_[page] = std::make_unique<Page>();
        std::unique_ptr<T>& slot = (*pages_[page])[static_cast<size_t>(id % kPageSize)];
        if (slot == nullptr) ++occupied_;
        slot = std::move(value);
        return 0;
    }

    [[nodiscard]] T* look_up(int32_t id) const {
        if (!valid_ || id < 0 || id > kMaxId) return nullptr;
        const size_t page = static_cast<size_t>(id / kPageSize);
        if (page >= pages_.size() || pages_[page] == nullptr) return nullptr;
        return (*pages_[page])[static_cast<size_t>(id % kPageSize)].get();
    }

    // Empties the entry and hands its value to the caller.
    [[nodiscard]] std::unique_ptr<T> take(int32_t id) {
        if (look_up(id) == nullptr) return nullptr;
        --occupied_;
        return std::move((*pages_[static_cast<size_t>(id / kPageSize)])[id % kPageSize]);
    }

    // Frees every value; the page table stays.
    void clear() {
        for (auto& page : pages_) page.reset();
        occupied_ = 0;
    }

    // Frees everything and makes the index invalid.
    void destroy() {
        pages_.clear();
        pages_.shrink_to_fit();
        occupied_ = 0;
        valid_ = false;
    }

    [[nodiscard]] bool valid() const { return valid_; }
    [[nodiscard]] int32_t occupied() const { return occupied_; }
    [[nodiscard]] int32_t page_count() const { return static_cast<int32_t>(pages_.size()); }

    // Calls f(id, value) for every entry held, in ascending id order.
    template <typename F>
    void for_each(F f) const {
        int32_t seen = 0;
        for (size_t p = 0; p < pages_.size() && seen < occupied_; ++p) {
            if (pages_[p] == nullptr) continue;
            for (int32_t j = 0; j < kPageSize; ++j) {
                T* value = (*pages_[p])[static_cast<size_t>(j)].get();
                if (value == nullptr) continue;
                f(static_cast<int32_t>(p) * kPageSize + j, *value);
                ++seen;
            }
        }
    }

  private:
    using Page = std::array<std::unique_ptr<T>, kPageSize>;
    std::vector<std::unique_ptr<Page>> pages_;
    int32_t occupied_ = 0;
    bool valid_ = false;
};

using blob_bytes = std::vector<uint8_t>;

// What the engine keeps for one slot; all zero and invalid while closed.
struct engine_slot {
    label_table class_table{};
    label_table album_table{};
    paged_index<item_record> items;
    paged_index<blob_bytes> thumbnails;  // as the store returned them
    paged_index<blob_bytes> names;       // name records, 260 bytes
    // Changes at every load and unload, so a cache fill that read the store
    // while the slot was reloaded is dropped.
    uint64_t generation = 0;
};

// Filter state kept between filter requests. Only the size and date
// criteria are ever set; the class and album filters become active with
// their first request and stay active.
struct engine_filter_state {
    filter_criterion size, date, star, hits;
    int32_t class_count = 0;
    filter_entry class_entries[kMaxLabels] = {};
    int32_t class_active = 0;
    int32_t album_count = 0;
    filter_entry album_entries[kMaxLabels] = {};
    int32_t album_active = 0;
    int32_t further[2] = {};
};

// Kinds of label table for the shared class and album code paths.
enum class label_kind { klass, album };

class db_engine {
  public:
    // Registers with hub (which may be null: then nothing is sent or
    // received). All slots closed, sort key "By Size", direction reverse.
    explicit db_engine(MessageHub* hub);
    ~db_engine();
    db_engine(const db_engine&) = delete;
    db_engine& operator=(const db_engine&) = delete;

    // Hub entry: MSG_DB_OPEN, MSG_DB_CLOSE, MSG_FILTER, MSG_TAG_NAMES_QUERY,
    // MSG_MEMBERSHIP_SET (plus the item add, delete and export codes).
    void OnMessage(uint32_t code, void* record);

    // Handlers behind the codes; 0 or -1. A slot above 31 is refused.
    // Loading announces every class and album name (kind 17) and lists the
    // 5,000 lowest item ids; a table record that is missing, not 9,248 bytes
    // or with a capacity above 128 leaves the slot open and empty.
    [[nodiscard]] int engine_load_slot(int32_t slot);
    // Withdraws the names (kind 34), then the items.
    [[nodiscard]] int engine_unload_slot(int32_t slot);
    [[nodiscard]] int engine_label_names(label_names_request* request);
    [[nodiscard]] int engine_filter(const filter_request* request);
    [[nodiscard]] int engine_set_membership(const membership_request* request);

    // Copies of an item's thumbnail blob (as stored, padded) and name record
    // (260 bytes), read from the store once and then from the caches. The
    // length, or -1 when the slot is closed or there is none. Any thread.
    [[nodiscard]] int engine_get_thumbnail(int32_t slot, int32_t item_id, blob_bytes* out);
    [[nodiscard]] int engine_get_name(int32_t slot, int32_t item_id, blob_bytes* out);
    // A new buffer with the item's deciphered data and its stored (padded)
    // length; the item's size word gives the content length. Not cached.
    // Release with engine_free_data. Any thread.
    [[nodiscard]] int engine_get_data(int32_t slot, int32_t item_id, uint8_t** data,
                                      uint32_t* length);
    static void engine_free_data(uint8_t* data);

    // Broadcasts MSG_ITEM_INFO for a loaded item; -1 when it is not loaded.
    [[nodiscard]] int engine_publish_item_info(int32_t slot, int32_t item_id);

    // Class and album edits by name, each written to the store at once.
    // Add: 1 when the name was created, 0 when the item joined an existing
    // one, -1 when refused (name empty or over 64 bytes, table full, item not
    // loaded, store failure). Remove: the freed position, or -1 when no
    // entry has the name; items loaded lose the membership bit.
    [[nodiscard]] int engine_add_to_class(int32_t slot, int32_t item_id, const char* name);
    [[nodiscard]] int engine_add_to_album(int32_t slot, int32_t item_id, const char* name);
    [[nodiscard]] int engine_remove_class(int32_t slot, const char* name);
    [[nodiscard]] int engine_remove_album(int32_t slot, const char* name);
    // Hit flag: operation 1 adds one, 2 resets; else the set-star flag sets
    // the star value. 0, or -1 when the item is not loaded or the store fails.
    [[nodiscard]] int engine_set_star_hit(int32_t slot, int32_t item_id,
                                          const star_hit_request& request);

    // Sort commands, each followed by engine_refresh.
    void engine_set_sort_key(int32_t sort_key_code);
    void engine_set_forward();
    void engine_set_reverse();
    [[nodiscard]] int32_t engine_sort_key() const;
    [[nodiscard]] int32_t engine_direction() const;  // kSortForward or kSortReverse

    // Rebuilds the order from the item indexes of the open slots; the
    // current position goes back to 0.
    void engine_rebuild_order();
    // engine_rebuild_order, then MSG_LIST_READY of kind 0x22.
    void engine_refresh();

    // Order access. Any thread.
    [[nodiscard]] int32_t engine_order_count() const;
    // 0 with the triple at position, -1 when position is negative or not
    // below the count.
    [[nodiscard]] int engine_order_at(int32_t position, order_triple* out) const;
    [[nodiscard]] std::vector<order_triple> engine_order_snapshot() const;
    [[nodiscard]] int32_t engine_order_current() const;
    // -1 when position is negative or not below the count.
    [[nodiscard]] int engine_order_set_current(int32_t position);
    void engine_order_previous();
    void engine_order_next();
    void engine_order_first();
    void engine_order_last();

    // State for the item add, delete and export handlers.
    [[nodiscard]] bool engine_slot_open(int32_t slot) const;
    // Stores a copy of item in the slot's item index under its id; 0 or -1
    // (slot closed, id not indexable). Does not rebuild the order.
    [[nodiscard]] int engine_index_item(int32_t slot, const item_record& item);
    // Takes the item out of the slot's item index, thumbnail cache and name
    // cache; 0, or -1 when it was not in the item index.
    [[nodiscard]] int engine_forget_item(int32_t slot, int32_t item_id);
    // Copies a loaded item's record; 0 or -1.
    [[nodiscard]] int engine_find_item(int32_t slot, int32_t item_id, item_record* out) const;
    // Copies the slot's class or album table; 0 or -1 for a bad slot.
    [[nodiscard]] int engine_label_table(int32_t slot, label_kind kind, label_table* out) const;
    [[nodiscard]] MessageHub* engine_hub() const { return hub_; }

  private:
    static bool slot_ok(int32_t slot) { return slot >= 0 && slot < kEngineSlots; }
    void send(uint32_t code, void* record);
    void index_rows(int32_t slot, const std::vector<item_record>& rows);
    int read_through_cache(int32_t slot, int32_t item_id,
                           paged_index<blob_bytes> engine_slot::*cache,
                           bool (*read)(int32_t, int32_t, std::vector<uint8_t>*), blob_bytes* out);
    // Called with mutex_ held.
    void rebuild_order_locked();
    void load_names_for_order_locked(std::vector<const uint8_t*>* names);
    const blob_bytes* cached_name_locked(int32_t slot, int32_t item_id);
    int add_to_label(int32_t slot, int32_t item_id, const char* name, label_kind kind);
    int remove_label(int32_t slot, const char* name, label_kind kind);
    int reload_filtered(int32_t request_kind);

    MessageHub* hub_;
    std::unique_ptr<ForwardingReceiver<db_engine>> receiver_;

    // Guards slot_state_, slots_, order_, sort_key_code_, direction_.
    mutable std::mutex mutex_;
    std::array<int32_t, kEngineSlots> slot_state_{};
    std::unique_ptr<std::array<engine_slot, kEngineSlots>> slots_;
    db_order order_;
    int32_t sort_key_code_ = SORT_SIZE;
    int32_t direction_ = kSortReverse;

    // User-interface thread only.
    std::unique_ptr<engine_filter_state> filter_;
};

}  // namespace lorvex
