// The database item order under the sort commands, the filter requests and
// the membership request, driven through the hub.
#include <gtest/gtest.h>

#include "engine_test_db.h"

namespace lorvex {
namespace {

using testing::EngineTest;
using testing::order_ids;
using testing::order_pairs;
using testing::TestDbs;
using testing::TestItem;

filter_entry entry_for(const std::string& name, bool selected) {
    filter_entry e;
    e.checksum = name_checksum(name.c_str());
    std::memcpy(e.name, name.data(), name.size());
    e.name_length = static_cast<int32_t>(name.size());
    e.selected = selected ? 1 : 0;
    return e;
}

void send_label_filter(MessageHub& hub, int32_t kind, std::vector<filter_entry> entries) {
    filter_request request;
    request.kind = kind;
    request.count = static_cast<int32_t>(entries.size());
    (kind == kFilterClass ? request.classes : request.albums) = entries.data();
    hub.Send(MSG_FILTER, &request);
}

TEST_F(EngineTest, FreshEngineListsLargestFirstAndForwardSmallestFirst) {
    dbs.create(0, {{.id = 1, .size = 20}, {.id = 2, .size = 50}, {.id = 3, .size = 10}});
    open(0);
    EXPECT_EQ(engine->engine_sort_key(), SORT_SIZE);
    EXPECT_EQ(engine->engine_direction(), kSortReverse);
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{2, 1, 3}));
    recorder.seen.clear();
    engine->engine_set_sort_key(SORT_SIZE);
    engine->engine_set_forward();
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{3, 1, 2}));
    const auto ready = recorder.of(MSG_LIST_READY);
    ASSERT_EQ(ready.size(), 2u) << "each sort command refreshes";
    EXPECT_EQ(ready[1].kind, kListDatabase);
}

TEST_F(EngineTest, EqualKeysFollowTheQuicksortNotInsertionOrder) {
    // Sizes 2, 1, 2, 1: the partitioning puts ids 4, 2, 1, 3 ascending.
    dbs.create(
        0,
        {{.id = 1, .size = 2}, {.id = 2, .size = 1}, {.id = 3, .size = 2}, {.id = 4, .size = 1}});
    open(0);
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{3, 1, 2, 4}));
    engine->engine_set_forward();
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{4, 2, 1, 3}));
}

TEST_F(EngineTest, EachSortKeyOrdersByItsAttributeAcrossDatabases) {
    dbs.create(0, {{.id = 1, .size = 5, .date = 300, .star = 1, .hits = 9},
                   {.id = 2, .size = 6, .date = 100, .star = 5, .hits = 0}});
    dbs.create(1, {{.id = 1, .size = 7, .date = 200, .star = 3, .hits = 4}});
    open(0);
    open(1);
    engine->engine_set_forward();
    struct Case {
        int32_t key;
        std::vector<std::pair<int32_t, int32_t>> order;
    };
    const Case cases[] = {
        {SORT_SIZE, {{0, 1}, {0, 2}, {1, 1}}},
        {SORT_DATE, {{0, 2}, {1, 1}, {0, 1}}},
        {SORT_STAR, {{0, 1}, {1, 1}, {0, 2}}},
        {SORT_HITS, {{0, 2}, {1, 1}, {0, 1}}},
    };
    for (const Case& c : cases) {
        engine->engine_set_sort_key(c.key);
        EXPECT_EQ(order_pairs(*engine), c.order) << c.key;
    }
}

TEST_F(EngineTest, ByNameOrdersByTheNameRecordInEitherDirection) {
    dbs.create(0, {{.id = 1, .size = 3, .name = "c.jpg"},
                   {.id = 2, .size = 1, .name = "a.jpg"},
                   {.id = 3, .size = 2, .name = "b.png"}});
    dbs.create(1, {{.id = 1, .size = 9, .name = "ab.jpg"}});
    open(0);
    open(1);
    engine->engine_set_sort_key(SORT_NAME);
    using P = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(order_pairs(*engine), (P{{0, 1}, {0, 3}, {1, 1}, {0, 2}})) << "reverse";
    engine->engine_set_forward();
    EXPECT_EQ(order_pairs(*engine), (P{{0, 2}, {1, 1}, {0, 3}, {0, 1}}));
    // The order follows later changes instead of going stale.
    close(1);
    EXPECT_EQ(order_pairs(*engine), (P{{0, 2}, {0, 3}, {0, 1}}));
}

TEST_F(EngineTest, OrderPositionsMoveWithinTheList) {
    dbs.create(0, {{.id = 1, .size = 1}, {.id = 2, .size = 2}, {.id = 3, .size = 3}});
    open(0);
    EXPECT_EQ(engine->engine_order_current(), 0);
    EXPECT_EQ(engine->engine_order_set_current(3), -1);
    EXPECT_EQ(engine->engine_order_set_current(-1), -1);
    ASSERT_EQ(engine->engine_order_set_current(2), 0);
    engine->engine_order_next();
    EXPECT_EQ(engine->engine_order_current(), 2);
    engine->engine_order_previous();
    EXPECT_EQ(engine->engine_order_current(), 1);
    engine->engine_order_first();
    engine->engine_order_previous();
    EXPECT_EQ(engine->engine_order_current(), 0);
    engine->engine_order_last();
    EXPECT_EQ(engine->engine_order_current(), 2);
    order_triple t;
    ASSERT_EQ(engine->engine_order_at(2, &t), 0);
    EXPECT_EQ(t.item_id, 1);
    EXPECT_EQ(t.key, 1);
    EXPECT_EQ(engine->engine_order_at(3, &t), -1);
    engine->engine_refresh();
    EXPECT_EQ(engine->engine_order_current(), 0) << "a rebuild starts over";
}

TEST_F(EngineTest, ClassMissingInOneDatabaseEmptiesOnlyThatOne) {
    dbs.create(0,
               {{.id = 1, .classes = {1}}, {.id = 2, .classes = {0}}, {.id = 3, .classes = {0, 1}}},
               {"Red", "Blue"});
    dbs.create(1, {{.id = 1, .classes = {0}}, {.id = 2}}, {"Red"});
    open(0);
    open(1);
    recorder.seen.clear();

    send_label_filter(hub, kFilterClass, {entry_for("Red", false), entry_for("Blue", true)});
    auto pairs = order_pairs(*engine);
    std::sort(pairs.begin(), pairs.end());
    using P = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(pairs, (P{{0, 1}, {0, 3}})) << "database 1 has no Blue: it lists nothing";
    EXPECT_EQ(recorder.of(MSG_LIST_READY).size(), 1u);

    send_label_filter(hub, kFilterClass, {entry_for("Red", true), entry_for("Blue", false)});
    pairs = order_pairs(*engine);
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (P{{0, 2}, {0, 3}, {1, 1}}));

    send_label_filter(hub, kFilterClass, {entry_for("Red", true), entry_for("Blue", true)});
    pairs = order_pairs(*engine);
    EXPECT_EQ(pairs, (P{{0, 3}})) << "every ticked class must be held";
}

TEST_F(EngineTest, AlbumFilterAfterClassFilterReflectsOnlyTheAlbum) {
    dbs.create(0,
               {{.id = 1, .size = 1, .classes = {0}, .albums = {}},
                {.id = 2, .size = 2, .classes = {}, .albums = {0}},
                {.id = 3, .size = 3, .classes = {0}, .albums = {0}}},
               {"Red"}, {"Trip"});
    open(0);
    send_label_filter(hub, kFilterClass, {entry_for("Red", true)});
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{3, 1}));
    send_label_filter(hub, kFilterAlbum, {entry_for("Trip", true)});
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{3, 2}));
    send_label_filter(hub, kFilterAlbum, {entry_for("Trip", false)});
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{3, 2, 1}));
}

TEST_F(EngineTest, SizeAndDateFilterNarrowsAndRefusedRequestsChangeNothing) {
    dbs.create(0, {{.id = 1, .size = 100, .date = 10},
                   {.id = 2, .size = 200, .date = 20},
                   {.id = 3, .size = 300, .date = 30}});
    open(0);
    misc_filter misc;
    misc.size = {150, 400, 1};
    misc.date = {0, 25, 1};
    filter_request request;
    request.kind = kFilterMisc;
    request.count = 1;
    request.misc = &misc;
    hub.Send(MSG_FILTER, &request);
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{2}));

    struct Case {
        const char* reason;
        int32_t kind;
        int32_t count;
        filter_criterion star;
        filter_criterion hits;
    };
    const Case cases[] = {
        {"star criterion enabled", kFilterMisc, 1, {1, 5, 1}, {}},
        {"hit criterion enabled", kFilterMisc, 1, {}, {0, 3, 1}},
        {"count not 1", kFilterMisc, 2, {}, {}},
        {"unknown kind", 0x44, 1, {}, {}},
    };
    for (const Case& c : cases) {
        misc_filter all;  // would list everything if taken
        all.star = c.star;
        all.hits = c.hits;
        filter_request bad;
        bad.kind = c.kind;
        bad.count = c.count;
        bad.misc = &all;
        recorder.seen.clear();
        hub.Send(MSG_FILTER, &bad);
        EXPECT_TRUE(recorder.seen.empty()) << c.reason;
        EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{2})) << c.reason;
    }
}

TEST_F(EngineTest, MembershipStopsAtTheItemWhoseDatabaseLacksTheClass) {
    dbs.create(0, {{.id = 1, .size = 30}, {.id = 2, .size = 10}}, {"Other", "Red"});
    dbs.create(1, {{.id = 1, .size = 20}}, {"Blue"});
    open(0);
    open(1);
    // Order by size, largest first: (0,1), (1,1), (0,2).
    recorder.seen.clear();
    recorder.selection = {0, 1, 2};
    membership_request request;
    request.kind = kMembershipClass;
    request.checksum = name_checksum("Red");
    std::memcpy(request.name, "Red", 3);
    request.name_length = 3;
    request.set = 1;
    hub.Send(MSG_MEMBERSHIP_SET, &request);

    const auto rows0 = dbs.rows(0);
    ASSERT_EQ(rows0.size(), 2u);
    EXPECT_EQ(rows0[0].classes[0], 2u) << "first item joined Red (position 1)";
    EXPECT_EQ(rows0[1].classes[0], 0u) << "after the stop nothing changes";
    EXPECT_EQ(dbs.rows(1)[0].classes[0], 0u);
    item_record copy;
    ASSERT_EQ(engine->engine_find_item(0, 1, &copy), 0);
    EXPECT_EQ(copy.classes[0], 2u);

    // Clearing with only database 0's items selected.
    recorder.selection = {2, 0};
    request.set = 0;
    hub.Send(MSG_MEMBERSHIP_SET, &request);
    EXPECT_EQ(dbs.rows(0)[0].classes[0], 0u);
    EXPECT_TRUE(recorder.of(MSG_LIST_READY).empty()) << "membership refreshes nothing";
    EXPECT_TRUE(recorder.of(MSG_TAGS_CHANGED).empty());
}

TEST_F(EngineTest, MembershipSetsAlbumsAndIgnoresOtherKinds) {
    dbs.create(0, {{.id = 1}}, {}, {"Trip"});
    open(0);
    recorder.selection = {0};
    membership_request request;
    request.checksum = name_checksum("Trip");
    std::memcpy(request.name, "Trip", 4);
    request.name_length = 4;
    request.set = 1;
    for (int32_t kind : {kMembershipNone, 20, kMembershipClass}) {
        request.kind = kind;
        hub.Send(MSG_MEMBERSHIP_SET, &request);
        EXPECT_EQ(dbs.rows(0)[0].albums[0], 0u) << kind;
    }
    request.kind = kMembershipAlbum;
    hub.Send(MSG_MEMBERSHIP_SET, &request);
    EXPECT_EQ(dbs.rows(0)[0].albums[0], 1u);
}

}  // namespace
}  // namespace lorvex
