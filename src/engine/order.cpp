#include "engine/order.h"

#include <cstring>
#include <utility>
#include <vector>

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

namespace {

// A name with its first eight bytes read big-endian, so most comparisons are
// one integer compare and the byte order is unchanged.
struct name_key {
    uint64_t prefix;
    const uint8_t* name;
};

name_key key_for(const uint8_t* name) {
    uint64_t prefix = 0;
    for (int b = 0; b < 8; ++b) prefix = (prefix << 8) | name[b];
    return {prefix, name};
}

bool name_less(const name_key& a, const name_key& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return std::memcmp(a.name + 8, b.name + 8, kNameRecordSize - 8) < 0;
}

}  // namespace

void order_sort_by_name(order_triple* triples, const uint8_t** names, int32_t first, int32_t last) {
    if (triples == nullptr || names == nullptr || first >= last) return;
    std::vector<name_key> keys(static_cast<size_t>(last - first + 1));
    for (int32_t k = first; k <= last; ++k)
        keys[static_cast<size_t>(k - first)] = key_for(names[k]);
    auto at = [&keys, first](int32_t k) -> name_key& {
        return keys[static_cast<size_t>(k - first)];
    };
    // The pivot is a copy of the middle name's key.
    quicksort<name_key>(
        first, last, [&at](int32_t k) { return at(k); }, name_less,
        [triples, &at](int32_t a, int32_t b) {
            std::swap(triples[a], triples[b]);
            std::swap(at(a), at(b));
        });
    for (int32_t k = first; k <= last; ++k) names[k] = at(k).name;
}

void order_reverse(order_triple* triples, int32_t count) {
    for (int32_t i = 0, j = count - 1; i < j; ++i, --j) std::swap(triples[i], triples[j]);
}

}  // namespace lorvex
