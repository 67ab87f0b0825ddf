// The store calls the engine makes, with the store's buffers and results
// turned into owned copies. Thread-safe as far as the store is.
#pragma once

#include <cstdint>
#include <vector>

#include "store/store.h"

namespace lorvex::engine_store {

[[nodiscard]] int32_t next_item_id(int32_t slot);
// false when the record is missing.
[[nodiscard]] bool read_record(int32_t slot, int32_t key, std::vector<uint8_t>* out);
[[nodiscard]] bool read_thumbnail(int32_t slot, int32_t item_id, std::vector<uint8_t>* out);
// The store's own buffer, released with free_buffer.
[[nodiscard]] int read_data(int32_t slot, int32_t item_id, uint8_t** data, uint32_t* length);
void free_buffer(uint8_t* data);

// false when the query failed; rows in ascending id order.
[[nodiscard]] bool query_range(int32_t slot, int32_t low, int32_t high, int32_t limit,
                               std::vector<item_record>* out);
[[nodiscard]] bool query_filter(int32_t slot, const item_filter& filter, int32_t criteria,
                                int32_t limit, std::vector<item_record>* out);

[[nodiscard]] int set_classes(int32_t slot, const uint32_t words[4], int32_t item_id);
[[nodiscard]] int set_albums(int32_t slot, const uint32_t words[4], int32_t item_id);
[[nodiscard]] int set_star(int32_t slot, int32_t star, int32_t item_id);
[[nodiscard]] int set_hit(int32_t slot, int32_t hits, int32_t item_id);
// Deletes the record under key and stores bytes under it.
[[nodiscard]] int replace_record(int32_t slot, int32_t key, const void* bytes, uint32_t length);

// One store transaction on a slot's database; rolled back unless committed.
using transaction = StoreTransaction;

}  // namespace lorvex::engine_store
