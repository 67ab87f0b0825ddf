// The database item order: (key, slot, item id) triples of every loaded item
// of the open databases, sorted by one item attribute. Pure data and
// functions; db_engine owns the one order and guards it.
#pragma once

#include <cstdint>
#include <vector>

#include "store/store.h"

namespace lorvex {

struct order_triple {
    int32_t key = 0;
    int32_t slot = 0;
    int32_t item_id = 0;
};
static_assert(sizeof(order_triple) == 12);

struct db_order {
    std::vector<order_triple> triples;
    int32_t current = 0;  // the document's current position
    [[nodiscard]] int32_t count() const { return static_cast<int32_t>(triples.size()); }
};

// The key of an item under a sort key code: size, type word, date, star or
// hit frequency; 0 for "By Name" and any unknown code.
[[nodiscard]] int32_t order_key_of(const item_record& item, int32_t sort_key_code);

// Sorts triples [first, last] ascending by key (signed) with the engine's
// quicksort: the pivot is a copy of the middle key, i scans up while
// key < pivot and i < last, j down while key > pivot and j > first, a
// crossing swaps and steps both, then [first, j] and [i, last] are sorted.
// Equal keys end up in whatever order this partitioning gives them.
void order_sort_by_key(order_triple* triples, int32_t first, int32_t last);

// The same quicksort over positions, with the name records of the items as
// keys (byte order, 260 bytes each). names[k] belongs to triples[k] on entry;
// both arrays are permuted together.
void order_sort_by_name(order_triple* triples, const uint8_t** names, int32_t first, int32_t last);

// Reverses [0, count): the largest key first.
void order_reverse(order_triple* triples, int32_t count);

}  // namespace lorvex
