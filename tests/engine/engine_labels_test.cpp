// Class and album edits by name, star and hit frequency: each change is in
// the store at once.
#include <gtest/gtest.h>

#include "engine_test_db.h"

namespace lorvex {
namespace {

using testing::EngineTest;
using testing::TestDbs;

std::string name_at(const label_table& table, int position) {
    return std::string(table.entries[position].name, label_name_length(table.entries[position]));
}

TEST_F(EngineTest, AddToClassCreatesJoinsAndRefuses) {
    dbs.create(0, {{.id = 1}, {.id = 2}}, {"Family"});
    open(0);
    EXPECT_EQ(engine->engine_add_to_class(0, 1, "Trip"), 1) << "created";
    EXPECT_EQ(engine->engine_add_to_class(0, 2, "Trip"), 0) << "joined";
    EXPECT_EQ(engine->engine_add_to_class(0, 2, "Family"), 0) << "joined";
    const label_table stored = dbs.stored_table(0, kKeyClassTable);
    EXPECT_EQ(stored.used, 2);
    EXPECT_EQ(name_at(stored, 1), "Trip");
    EXPECT_EQ(stored.entries[1].id, 1 | kLabelIdBase);
    EXPECT_EQ(stored.entries[1].checksum, name_checksum("Trip"));
    const auto rows = dbs.rows(0);
    EXPECT_EQ(rows[0].classes[0], 2u);
    EXPECT_EQ(rows[1].classes[0], 3u);

    const std::string longest(64, 'n');
    const std::string too_long(65, 'n');
    struct Case {
        const char* reason;
        int32_t slot;
        int32_t item;
        const char* name;
    };
    const Case refused[] = {
        {"name of 65 characters", 0, 1, too_long.c_str()},
        {"empty name", 0, 1, ""},
        {"no name", 0, 1, nullptr},
        {"item not loaded", 0, 9, "New"},
        {"slot 32", 32, 1, "New"},
        {"slot not open", 4, 1, "New"},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(engine->engine_add_to_class(c.slot, c.item, c.name), -1) << c.reason;
    }
    EXPECT_EQ(dbs.stored_table(0, kKeyClassTable).used, 2);
    EXPECT_EQ(engine->engine_add_to_class(0, 1, longest.c_str()), 1) << "64 bytes fit";
    EXPECT_EQ(name_at(dbs.stored_table(0, kKeyClassTable), 2), longest);
}

TEST_F(EngineTest, AddToClassRefusesWhenTheTableIsFull) {
    std::vector<std::string> names;
    for (int k = 0; k < 128; ++k) names.push_back("c" + std::to_string(k));
    dbs.create(0, {{.id = 1}}, names);
    open(0);
    EXPECT_EQ(engine->engine_add_to_class(0, 1, "one more"), -1);
    EXPECT_EQ(dbs.rows(0)[0].classes[0], 0u);
    EXPECT_EQ(engine->engine_add_to_class(0, 1, "c127"), 0) << "existing names still join";
    EXPECT_EQ(dbs.rows(0)[0].classes[3], 1u << 31);
}

TEST_F(EngineTest, AlbumsHaveTheirOwnTable) {
    dbs.create(0, {{.id = 1}}, {"Trip"}, {});
    open(0);
    EXPECT_EQ(engine->engine_add_to_album(0, 1, "Trip"), 1) << "a class name is no album";
    EXPECT_EQ(dbs.rows(0)[0].albums[0], 1u);
    EXPECT_EQ(dbs.rows(0)[0].classes[0], 0u);
    EXPECT_EQ(name_at(dbs.stored_table(0, kKeyAlbumTable), 0), "Trip");
    EXPECT_GE(engine->engine_remove_album(0, "Trip"), 0);
    EXPECT_EQ(dbs.stored_table(0, kKeyAlbumTable).used, 0);
    EXPECT_EQ(dbs.stored_table(0, kKeyClassTable).used, 1);
    EXPECT_EQ(dbs.rows(0)[0].albums[0], 0u);
}

TEST_F(EngineTest, RemovingFamLeavesFamily) {
    dbs.create(0, {{.id = 1, .classes = {0, 1}}, {.id = 2, .classes = {1}}}, {"Family", "Fam"});
    open(0);
    EXPECT_EQ(engine->engine_remove_class(0, "Fam"), 1);
    const label_table stored = dbs.stored_table(0, kKeyClassTable);
    EXPECT_EQ(stored.used, 1);
    EXPECT_EQ(name_at(stored, 0), "Family");
    EXPECT_EQ(stored.entries[1].id, 0);
    EXPECT_EQ(stored.entries[1].checksum, 0);
    const auto rows = dbs.rows(0);
    EXPECT_EQ(rows[0].classes[0], 1u);
    EXPECT_EQ(rows[1].classes[0], 0u);
    EXPECT_EQ(engine->engine_remove_class(0, "Fam"), -1) << "gone already";
    EXPECT_EQ(engine->engine_remove_class(0, "family"), -1) << "letter case counts";
}

TEST_F(EngineTest, ANewClassReusesARemovedPosition) {
    dbs.create(0, {{.id = 1, .size = 1, .classes = {0}}, {.id = 2, .size = 9, .classes = {0}}},
               {"Old", "Keep"});
    open(0);
    // Only item 2 is loaded when Old goes: item 1 keeps its bit in the file.
    misc_filter misc;
    misc.size = {5, 100, 1};
    filter_request request;
    request.kind = kFilterMisc;
    request.count = 1;
    request.misc = &misc;
    hub.Send(MSG_FILTER, &request);
    ASSERT_EQ(engine->engine_order_count(), 1);
    EXPECT_EQ(engine->engine_remove_class(0, "Old"), 0);
    EXPECT_EQ(engine->engine_add_to_class(0, 2, "New"), 1);
    const label_table stored = dbs.stored_table(0, kKeyClassTable);
    EXPECT_EQ(name_at(stored, 0), "New");
    EXPECT_EQ(name_at(stored, 1), "Keep");
    const auto rows = dbs.rows(0);
    EXPECT_EQ(rows[0].classes[0], 1u) << "the unloaded item now counts as a member of New";
    EXPECT_EQ(rows[1].classes[0], 1u);
}

TEST_F(EngineTest, StarAndHitFrequencyGoToTheStoreAndTheCopy) {
    dbs.create(0, {{.id = 1, .hits = 7}});
    open(0);
    struct Step {
        const char* reason;
        star_hit_request request;
        int32_t star;
        int32_t hits;
    };
    const Step steps[] = {
        {"three stars", {1, 3, 0, 0}, 3, 7},
        {"count a hit", {0, 0, 1, kHitAddOne}, 3, 8},
        {"hit flag wins over the star flag", {1, 5, 1, kHitAddOne}, 3, 9},
        {"unknown hit operation", {0, 0, 1, 7}, 3, 9},
        {"clear", {0, 0, 1, kHitReset}, 3, 0},
        {"nothing flagged", {0, 4, 0, 0}, 3, 0},
    };
    for (const Step& s : steps) {
        ASSERT_EQ(engine->engine_set_star_hit(0, 1, s.request), 0) << s.reason;
        const item_record row = dbs.rows(0)[0];
        EXPECT_EQ(row.star, s.star) << s.reason;
        EXPECT_EQ(row.hits, s.hits) << s.reason;
        item_record copy;
        ASSERT_EQ(engine->engine_find_item(0, 1, &copy), 0);
        EXPECT_EQ(copy.star, s.star) << s.reason;
        EXPECT_EQ(copy.hits, s.hits) << s.reason;
    }
    EXPECT_EQ(engine->engine_set_star_hit(0, 2, {1, 3, 0, 0}), -1) << "not loaded";
    EXPECT_EQ(engine->engine_set_star_hit(33, 1, {1, 3, 0, 0}), -1);
}

}  // namespace
}  // namespace lorvex
