#include "engine/order.h"

#include <cstring>
#include <utility>

#include "engine/engine_records.h"

namespace lorvex {

int32_t order_key_of(const item_record& item, int32_t sort_key_code) {
    switch (sort_key_code) {
        case SORT_SIZE:
            return item.size;
        case SORT_TYPE:
            return item.type;
        case SORT_DATE:
            return item.date;
        case SORT_STAR:
            return item.star;
        case SORT_HITS:
            return item.hits;
        default:
            return 0;
    }
}

namespace {

// One partition step, exactly as the engine's order has always been sorted,
// then the two halves. Both halves are disjoint, so sorting the smaller one
// by recursion and the larger one in the loop gives the same result as
// sorting them in order, with a stack depth bounded by log2 of the count.
template <typename Key, typename KeyAt, typename Less, typename Swap>
void quicksort(int32_t first, int32_t last, KeyAt key_at, Less less, Swap swap) {
    while (first < last) {
        const Key pivot = key_at((first + last) / 2);
        int32_t i = first;
        int32_t j = last;
        do {
            while (less(key_at(i), pivot) && i < last) ++i;
            while (less(pivot, key_at(j)) && j > first) --j;
            if (i <= j) {
                swap(i, j);
                ++i;
                --j;
            }
        } while (i <= j);
        // Now [first, j] and [i, last] remain, each sorted when non-trivial.
        if (j - first < last - i) {
            if (first < j) quicksort<Key>(first, j, key_at, less, swap);
            first = i;
        } else {
            if (i < last) quicksort<Key>(i, last, key_at, less, swap);
            last = j;
        }
    }
}

}  // namespace

void order_sort_by_key(order_triple* triples, int32_t first, int32_t last) {
    if (triples == nullptr) return;
    quicksort<int32_t>(
        first, last, [triples](int32_t k) { return triples[k].key; },
        [](int32_t a, int32_t b) { return a < b; },
        [triples](int32_t a, int32_t b) { std::swap(triples[a], triples[b]); });
}

void order_sort_by_name(order_triple* triples, const uint8_t** names, int32_t first, int32_t last) {
    if (triples == nullptr || names == nullptr) return;
    // The pivot is a copy of the middle name pointer; the names themselves
    // never move, so it stands for a copy of the name.
    quicksort<const uint8_t*>(
        first, last, [names](int32_t k) { return names[k]; },
        [](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, kNameRecordSize) < 0; },
        [triples, names](int32_t a, int32_t b) {
            std::swap(triples[a], triples[b]);
            std::swap(names[a], names[b]);
        });
}

void order_reverse(order_triple* triples, int32_t count) {
    for (int32_t i = 0, j = count - 1; i < j; ++i, --j) std::swap(triples[i], triples[j]);
}

}  // namespace lorvex
