// The database item order's sort: the partition scheme decides where equal
// keys land, so results are compared with the quicksort written out
// literally, not with a library sort.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/order.h"
#include "hub/messages.h"

namespace lorvex {
namespace {

// The order's quicksort in its plain recursive form.
void reference_sort(std::vector<order_triple>& a, int first, int last) {
    const int32_t pivot = a[(first + last) / 2].key;
    int i = first;
    int j = last;
    while (i <= j) {
        while (a[i].key < pivot && i < last) ++i;
        while (a[j].key > pivot && j > first) --j;
        if (i <= j) {
            std::swap(a[i], a[j]);
            ++i;
            --j;
        }
    }
    if (first < j) reference_sort(a, first, j);
    if (i < last) reference_sort(a, i, last);
}

std::vector<int32_t> ids_of(const std::vector<order_triple>& a) {
    std::vector<int32_t> ids;
    for (const order_triple& t : a) ids.push_back(t.item_id);
    return ids;
}

TEST(OrderSort, EqualKeysLandWhereThePartitionPutsThem) {
    // Keys 2, 1, 2, 1 for ids 1 to 4: a stable sort would give 2, 4, 1, 3.
    std::vector<order_triple> a{{2, 0, 1}, {1, 0, 2}, {2, 0, 3}, {1, 0, 4}};
    order_sort_by_key(a.data(), 0, 3);
    EXPECT_EQ(ids_of(a), (std::vector<int32_t>{4, 2, 1, 3}));
    order_reverse(a.data(), 4);
    EXPECT_EQ(ids_of(a), (std::vector<int32_t>{3, 1, 2, 4}));
}

TEST(OrderSort, MatchesTheWrittenQuicksortOnManyInputs) {
    struct Case {
        const char* reason;
        int count;
        int32_t key_range;
    };
    const Case cases[] = {
        {"one element", 1, 10},
        {"two equal", 2, 1},
        {"all keys equal", 500, 1},
        {"few distinct keys, many ties", 3000, 7},
        {"mostly distinct keys", 3000, 1000000},
        {"negative and positive keys", 2000, -1},
    };
    std::mt19937 random(1234);
    for (const Case& c : cases) {
        std::vector<order_triple> input;
        for (int k = 0; k < c.count; ++k) {
            int32_t key = c.key_range > 0
                              ? static_cast<int32_t>(random() % static_cast<uint32_t>(c.key_range))
                              : static_cast<int32_t>(random());
            input.push_back({key, k % 32, k + 1});
        }
        std::vector<order_triple> expected = input;
        reference_sort(expected, 0, c.count - 1);
        std::vector<order_triple> actual = input;
        order_sort_by_key(actual.data(), 0, c.count - 1);
        EXPECT_EQ(ids_of(actual), ids_of(expected)) << c.reason;
        for (size_t k = 1; k < actual.size(); ++k) {
            ASSERT_LE(actual[k - 1].key, actual[k].key) << c.reason;
        }
    }
}

TEST(OrderSort, LongAlternatingRunsMatchTheWrittenQuicksort) {
    // Long runs that would drive a naive recursion deep.
    std::vector<order_triple> a;
    for (int k = 0; k < 200000; ++k) a.push_back({k % 2 == 0 ? k : 200000 - k, 0, k + 1});
    std::vector<order_triple> expected = a;
    reference_sort(expected, 0, static_cast<int>(expected.size()) - 1);
    order_sort_by_key(a.data(), 0, static_cast<int32_t>(a.size()) - 1);
    EXPECT_EQ(ids_of(a), ids_of(expected));
}

TEST(OrderSort, NamesCompareByTheirBytes) {
    uint8_t names[4][260] = {};
    const char* texts[] = {"b.jpg", "a.jpg", "B.jpg", "\xc3\xa9.jpg"};
    for (int k = 0; k < 4; ++k) std::memcpy(names[k], texts[k], std::strlen(texts[k]));
    std::vector<order_triple> a{{0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 0, 4}};
    const uint8_t* keys[] = {names[0], names[1], names[2], names[3]};
    order_sort_by_name(a.data(), keys, 0, 3);
    // "B" (0x42) before "a" (0x61) before "b"; the UTF-8 byte 0xc3 last.
    EXPECT_EQ(ids_of(a), (std::vector<int32_t>{3, 2, 1, 4}));
}

TEST(OrderKey, EachCodeTakesItsWord) {
    item_record item{};
    item.size = 11;
    item.date = 22;
    item.star = 3;
    item.hits = 44;
    item.type = 55;
    struct Case {
        int32_t code;
        int32_t key;
    };
    const Case cases[] = {{SORT_NAME, 0}, {SORT_SIZE, 11}, {SORT_TYPE, 55}, {SORT_DATE, 22},
                          {SORT_STAR, 3}, {SORT_HITS, 44}, {3, 0},          {64, 0}};
    for (const Case& c : cases) EXPECT_EQ(order_key_of(item, c.code), c.key) << c.code;
}

}  // namespace
}  // namespace lorvex
