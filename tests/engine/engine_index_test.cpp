// The paged item index and the label helpers, without a database.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "engine/labels.h"

namespace lorvex {
namespace {

TEST(PagedIndex, StoresLooksUpAndTakesByIdAndGrowsPastItsCapacity) {
    paged_index<int> index;
    EXPECT_EQ(index.store(1, std::make_unique<int>(1)), -1) << "not created";
    index.create(10);
    EXPECT_EQ(index.page_count(), 1);
    ASSERT_EQ(index.store(5, std::make_unique<int>(50)), 0);
    ASSERT_EQ(index.store(70000, std::make_unique<int>(7)), 0) << "beyond 65,536";
    EXPECT_EQ(index.page_count(), 70000 / 256 + 1);
    EXPECT_EQ(index.occupied(), 2);
    ASSERT_NE(index.look_up(70000), nullptr);
    EXPECT_EQ(*index.look_up(70000), 7);
    EXPECT_EQ(index.look_up(6), nullptr);
    EXPECT_EQ(index.look_up(1 << 30), nullptr);

    ASSERT_EQ(index.store(5, std::make_unique<int>(51)), 0) << "replaces";
    EXPECT_EQ(index.occupied(), 2);
    EXPECT_EQ(*index.look_up(5), 51);

    std::unique_ptr<int> taken = index.take(5);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(*taken, 51);
    EXPECT_EQ(index.look_up(5), nullptr);
    EXPECT_EQ(index.take(5), nullptr);
    EXPECT_EQ(index.occupied(), 1);
}

TEST(PagedIndex, RefusesIdsItCannotHold) {
    paged_index<int> index;
    index.create(256);
    EXPECT_EQ(index.store(-1, std::make_unique<int>(0)), -1);
    EXPECT_EQ(index.store(paged_index<int>::kMaxId + 1, std::make_unique<int>(0)), -1);
    EXPECT_EQ(index.store(3, nullptr), -1);
    EXPECT_EQ(index.occupied(), 0);
}

TEST(PagedIndex, WalksInAscendingIdOrderAndClears) {
    paged_index<int> index;
    index.create(0);
    for (int id : {900, 3, 256, 255, 1}) ASSERT_EQ(index.store(id, std::make_unique<int>(id)), 0);
    std::vector<int> seen;
    index.for_each([&](int32_t id, int& value) {
        EXPECT_EQ(id, value);
        seen.push_back(id);
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 3, 255, 256, 900}));
    index.clear();
    EXPECT_EQ(index.occupied(), 0);
    EXPECT_TRUE(index.valid());
    EXPECT_EQ(index.look_up(3), nullptr);
    index.destroy();
    EXPECT_FALSE(index.valid());
}

TEST(NameChecksum, SumsUnsignedBytesOrLengthShifted) {
    struct Case {
        const char* reason;
        const char* name;
        int32_t checksum;
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"one letter", "a", 97 | (1 << 16)},
        {"three letters", "Fam", (70 + 97 + 109) | (3 << 16)},
        {"bytes above 127 count unsigned", "\xff\x80", (255 + 128) | (2 << 16)},
    };
    for (const Case& c : cases) EXPECT_EQ(name_checksum(c.name), c.checksum) << c.reason;
    EXPECT_EQ(name_checksum(nullptr), -1);
}

label_table table_with(std::initializer_list<std::pair<int, const char*>> names) {
    label_table table{};
    table.capacity = kMaxLabels;
    for (const auto& [position, name] : names) {
        label_entry& e = table.entries[position];
        e.id = position | kLabelIdBase;
        std::memcpy(e.name, name, strnlen(name, kLabelNameSize));
        e.checksum = name_checksum(e.name, label_name_length(e));
        ++table.used;
    }
    return table;
}

TEST(LabelTable, FindsNamesByExactBytes) {
    const std::string full(64, 'x');  // fills the field, no terminator
    const label_table table = table_with({{0, "Family"}, {2, "Fam"}, {5, full.c_str()}});
    EXPECT_EQ(label_find_name(table, "Fam", 3), 2);
    EXPECT_EQ(label_find_name(table, "Family", 6), 0);
    EXPECT_EQ(label_find_name(table, "fam", 3), -1) << "letter case counts";
    EXPECT_EQ(label_find_name(table, full.c_str(), 64), 5);
    EXPECT_EQ(label_find_free(table), 1);
    EXPECT_EQ(label_find_identity(table, name_checksum("Fam"), "Fam", 3), 2);
    EXPECT_EQ(label_find_identity(table, name_checksum("Fam") + 1, "Fam", 3), -1);
    EXPECT_EQ(label_find_identity(table, name_checksum("Fam"), "Fam", 65), -1);

    label_name out[4] = {};
    EXPECT_EQ(label_copy_names(table, out, 2), 2) << "room stops the copy";
    EXPECT_EQ(out[1].length, 3);
    EXPECT_EQ(label_copy_names(table, out, 4), 3) << "used count stops the copy";
    EXPECT_EQ(out[2].length, 64);
    EXPECT_EQ(std::memcmp(out[2].name, full.data(), 64), 0);
}

TEST(LabelTable, UsableOnlyWithCountsInRange) {
    struct Case {
        const char* reason;
        int32_t capacity;
        int32_t used;
        bool usable;
    };
    const Case cases[] = {
        {"as created", 128, 0, true},          {"full", 128, 128, true},
        {"capacity above 128", 129, 0, false}, {"used above capacity", 128, 129, false},
        {"negative used", 128, -1, false},     {"negative capacity", -1, 0, false},
    };
    for (const Case& c : cases) {
        label_table table{};
        table.capacity = c.capacity;
        table.used = c.used;
        EXPECT_EQ(label_table_usable(table), c.usable) << c.reason;
    }
}

}  // namespace
}  // namespace lorvex
