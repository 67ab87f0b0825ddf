#include "engine/internal/engine_store.h"

#include <cstring>

namespace lorvex::engine_store {

int32_t next_item_id(int32_t slot) {
    return store_next_item_id(slot);
}

bool read_record(int32_t slot, int32_t key, std::vector<uint8_t>* out) {
    blob_record* record = store_get_record(slot, key);
    if (record == nullptr) return false;
    out->assign(record->data, record->data + record->length);
    store_free_record(record);
    return true;
}

bool read_thumbnail(int32_t slot, int32_t item_id, std::vector<uint8_t>* out) {
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    if (store_get_thumbnail(slot, item_id, &buffer, &length) != 0 || buffer == nullptr) {
        store_free_buffer(buffer);
        return false;
    }
    out->assign(buffer, buffer + length);
    store_free_buffer(buffer);
    return true;
}

int read_data(int32_t slot, int32_t item_id, uint8_t** data, uint32_t* length) {
    return store_get_data(slot, item_id, data, length);
}

void free_buffer(uint8_t* data) {
    store_free_buffer(data);
}

namespace {
bool take_result(query_result* result, std::vector<item_record>* out) {
    if (result == nullptr) return false;
    if (result->count > 0 && result->items != nullptr) {
        out->assign(result->items, result->items + result->count);
    } else {
        out->clear();
    }
    store_free_result(result);
    return true;
}
}  // namespace

bool query_range(int32_t slot, int32_t low, int32_t high, int32_t limit,
                 std::vector<item_record>* out) {
    return take_result(store_query_range(slot, low, high, limit, nullptr), out);
}

bool query_filter(int32_t slot, const item_filter& filter, int32_t criteria, int32_t limit,
                  std::vector<item_record>* out) {
    // The store composes its conditions from the enabled criteria alone; with
    // none counted every criterion is off or matches everything anyway.
    (void)criteria;
    return take_result(store_query_filter(slot, &filter, limit, nullptr), out);
}

int set_classes(int32_t slot, const uint32_t words[4], int32_t item_id) {
    return store_set_classes(slot, words, 4, item_id);
}
int set_albums(int32_t slot, const uint32_t words[4], int32_t item_id) {
    return store_set_albums(slot, words, 4, item_id);
}
int set_star(int32_t slot, int32_t star, int32_t item_id) {
    return store_set_star(slot, star, item_id);
}
int set_hit(int32_t slot, int32_t hits, int32_t item_id) {
    return store_set_hit(slot, hits, item_id);
}

int replace_record(int32_t slot, int32_t key, const void* bytes, uint32_t length) {
    if (store_delete_record(slot, key) != 0) return -1;
    blob_record record{key, const_cast<uint8_t*>(static_cast<const uint8_t*>(bytes)), length};
    return store_put_record(slot, &record, 1);
}

}  // namespace lorvex::engine_store
