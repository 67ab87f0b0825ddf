// Opening and closing databases through the hub, the names announced, the
// items listed, and the copies the engine hands out.
#include <gtest/gtest.h>

#include "engine_test_db.h"

namespace lorvex {
namespace {

using testing::EngineTest;
using testing::order_ids;
using testing::TestDbs;
using testing::TestItem;

TEST_F(EngineTest, LoadAnnouncesEveryNameThenListsTheItems) {
    const std::string full(64, 'x');  // fills its field without a terminator
    dbs.create(2, {{.id = 1, .size = 10}, {.id = 2, .size = 30}}, {"Family", "Trip", full},
               {"2024"});
    open(2);

    ASSERT_EQ(recorder.seen.size(), 2u);
    const testing::Seen& names = recorder.seen[0];
    EXPECT_EQ(names.code, MSG_TAGS_CHANGED);
    EXPECT_EQ(names.kind, kLabelsAdded);
    EXPECT_EQ(names.classes, (std::vector<std::string>{"Family", "Trip", full}));
    EXPECT_EQ(names.class_checksums,
              (std::vector<int32_t>{name_checksum("Family"), name_checksum("Trip"),
                                    name_checksum(full.c_str())}));
    EXPECT_EQ(names.albums, (std::vector<std::string>{"2024"}));
    EXPECT_EQ(names.order_count, 0) << "names come before the items";
    EXPECT_EQ(recorder.seen[1].code, MSG_LIST_READY);
    EXPECT_EQ(recorder.seen[1].kind, kListDatabase);
    EXPECT_EQ(recorder.seen[1].order_count, 2);
    EXPECT_TRUE(engine->engine_slot_open(2));
}

TEST_F(EngineTest, UnloadWithdrawsTheNamesBeforeTheItemsLeave) {
    dbs.create(0, {{.id = 1}, {.id = 2}, {.id = 3}}, {"Family"}, {"2024", "2025"});
    open(0);
    recorder.seen.clear();
    close(0);

    ASSERT_EQ(recorder.seen.size(), 2u);
    EXPECT_EQ(recorder.seen[0].code, MSG_TAGS_CHANGED);
    EXPECT_EQ(recorder.seen[0].kind, kLabelsRemoved);
    EXPECT_EQ(recorder.seen[0].classes, (std::vector<std::string>{"Family"}));
    EXPECT_EQ(recorder.seen[0].albums, (std::vector<std::string>{"2024", "2025"}));
    EXPECT_EQ(recorder.seen[0].order_count, 3) << "items still listed while names go";
    EXPECT_EQ(recorder.seen[1].code, MSG_LIST_READY);
    EXPECT_EQ(recorder.seen[1].order_count, 0);
    EXPECT_FALSE(engine->engine_slot_open(0));
    blob_bytes out;
    EXPECT_EQ(engine->engine_get_thumbnail(0, 1, &out), -1);
}

TEST_F(EngineTest, DamagedLabelTablesLeaveTheSlotOpenAndEmpty) {
    const label_table good = TestDbs::make_table({"Family"});
    const std::string good_bytes(reinterpret_cast<const char*>(&good), sizeof(good));
    label_table wide = good;
    wide.capacity = 129;
    label_table overused = good;
    overused.used = 129;
    struct Case {
        const char* reason;
        int32_t key;
        std::string bytes;
        bool present;
    };
    const Case cases[] = {
        {"class table missing", kKeyClassTable, "", false},
        {"album table missing", kKeyAlbumTable, "", false},
        {"class table one byte short", kKeyClassTable, good_bytes.substr(1), true},
        {"album table one byte long", kKeyAlbumTable, good_bytes + "x", true},
        {"capacity above 128", kKeyClassTable,
         std::string(reinterpret_cast<const char*>(&wide), sizeof(wide)), true},
        {"used count above capacity", kKeyAlbumTable,
         std::string(reinterpret_cast<const char*>(&overused), sizeof(overused)), true},
    };
    int32_t slot = 0;
    for (const Case& c : cases) {
        dbs.create(slot, {{.id = 1}, {.id = 2}}, {"Family"}, {"Trip"});
        dbs.put_raw_record(slot, c.key, c.bytes, c.present);
        recorder.seen.clear();
        open(slot);
        EXPECT_TRUE(recorder.of(MSG_TAGS_CHANGED).empty()) << c.reason;
        EXPECT_EQ(engine->engine_order_count(), 0) << c.reason;
        EXPECT_TRUE(engine->engine_slot_open(slot)) << c.reason;
        label_name names[4] = {};
        label_names_request query;
        query.slot = slot;
        query.kind = kLabelsOfClasses;
        query.class_room = 4;
        query.classes = names;
        hub.Send(MSG_TAG_NAMES_QUERY, &query);
        EXPECT_EQ(query.class_count, 0) << c.reason;
        ++slot;
    }
}

TEST_F(EngineTest, LoadsTheFiveThousandLowestIds) {
    std::vector<TestItem> items;
    for (int32_t id = 1; id <= 6000; ++id) items.push_back({.id = id, .size = 7000 - id});
    dbs.create(1, items);
    open(1);
    const std::vector<int32_t> ids = order_ids(*engine);
    ASSERT_EQ(ids.size(), 5000u);
    // Largest first: the smallest ids carry the largest sizes here.
    for (int32_t k = 0; k < 5000; ++k) ASSERT_EQ(ids[k], k + 1);
}

TEST_F(EngineTest, BadRequestsDoNothing) {
    dbs.create(0, {{.id = 1}}, {"Family"});
    open(0);
    recorder.seen.clear();
    slot_request above{32};
    hub.Send(MSG_DB_OPEN, &above);
    hub.Send(MSG_DB_CLOSE, &above);
    hub.Send(MSG_DB_OPEN, nullptr);
    hub.Send(MSG_FILTER, nullptr);
    filter_request wrong_magic;
    wrong_magic.magic = 0x1234;
    wrong_magic.kind = kFilterClass;
    hub.Send(MSG_FILTER, &wrong_magic);
    label_name names[2] = {};
    label_names_request query;
    query.magic = 0;
    query.kind = kLabelsOfClasses;
    query.class_room = 2;
    query.classes = names;
    hub.Send(MSG_TAG_NAMES_QUERY, &query);
    EXPECT_EQ(query.class_count, 0);
    query.magic = kLabelNamesMagic;
    query.slot = 40;
    hub.Send(MSG_TAG_NAMES_QUERY, &query);
    EXPECT_EQ(query.class_count, 0);
    EXPECT_TRUE(recorder.seen.empty());
    EXPECT_EQ(engine->engine_order_count(), 1);
    blob_bytes out;
    EXPECT_EQ(engine->engine_get_name(32, 1, &out), -1);
    EXPECT_EQ(engine->engine_publish_item_info(-1, 1), -1);
}

TEST_F(EngineTest, LabelNamesFillTheRoomGiven) {
    dbs.create(3, {{.id = 1}}, {"Red", "Green", "Blue"}, {"Trip"});
    open(3);
    label_name names[2] = {};
    label_names_request query;
    query.slot = 3;
    query.kind = kLabelsOfClasses;
    query.class_room = 2;
    query.classes = names;
    query.album_count = 77;
    hub.Send(MSG_TAG_NAMES_QUERY, &query);
    ASSERT_EQ(query.class_count, 2);
    EXPECT_EQ(std::string(names[0].name, names[0].length), "Red");
    EXPECT_EQ(names[1].checksum, name_checksum("Green"));
    EXPECT_EQ(names[1].length, 5);
    EXPECT_EQ(query.album_count, 77) << "the other kind's fields are left alone";

    label_name albums[4] = {};
    query.kind = kLabelsOfAlbums;
    query.album_room = 4;
    query.albums = albums;
    hub.Send(MSG_TAG_NAMES_QUERY, &query);
    ASSERT_EQ(query.album_count, 1);
    EXPECT_EQ(std::string(albums[0].name, albums[0].length), "Trip");
}

TEST_F(EngineTest, ItemInfoListsMembershipAndAttributes) {
    std::vector<std::string> classes;
    for (int k = 0; k < 41; ++k) classes.push_back("c" + std::to_string(k));
    dbs.create(0,
               {{.id = 4,
                 .size = 1234,
                 .date = 1700000000,
                 .classes = {0, 40},
                 .albums = {1},
                 .star = 4,
                 .hits = 9}},
               classes, {"a0", "a1"});
    open(0);
    recorder.seen.clear();
    ASSERT_EQ(engine->engine_publish_item_info(0, 4), 0);
    const std::vector<testing::Seen> infos = recorder.of(MSG_ITEM_INFO);
    ASSERT_EQ(infos.size(), 1u);
    const item_info_notice& info = *infos[0].info;
    EXPECT_EQ(info.magic, kItemInfoMagic);
    ASSERT_EQ(info.class_count, 41);
    for (int k = 0; k < 41; ++k) {
        EXPECT_EQ(info.classes[k].member, k == 0 || k == 40 ? 1 : 0) << k;
    }
    EXPECT_EQ(std::string(info.classes[40].name, info.classes[40].length), "c40");
    EXPECT_EQ(info.classes[40].checksum, name_checksum("c40"));
    ASSERT_EQ(info.album_count, 2);
    EXPECT_EQ(info.albums[0].member, 0);
    EXPECT_EQ(info.albums[1].member, 1);
    EXPECT_EQ(info.valid, 1);
    EXPECT_EQ(info.size, 1234);
    EXPECT_EQ(info.date, 1700000000);
    EXPECT_EQ(info.star, 4);
    EXPECT_EQ(info.hits, 9);

    EXPECT_EQ(engine->engine_publish_item_info(0, 5), -1) << "not loaded";
    EXPECT_EQ(recorder.of(MSG_ITEM_INFO).size(), 1u);
}

TEST_F(EngineTest, ThumbnailsAndNamesAreCachedCopiesAndDataIsNot) {
    dbs.create(5, {{.id = 1, .name = "one.jpg"}, {.id = 2}});
    open(5);
    blob_bytes thumb, name;
    ASSERT_GT(engine->engine_get_thumbnail(5, 1, &thumb), 0);
    EXPECT_EQ(std::string(thumb.begin(), thumb.begin() + 7), "thumb-1");
    EXPECT_EQ(thumb.size() % 64, 0u) << "as stored, padded";
    ASSERT_EQ(engine->engine_get_name(5, 1, &name), 260);
    EXPECT_STREQ(reinterpret_cast<const char*>(name.data()), "one.jpg");
    EXPECT_EQ(engine->engine_get_name(5, 2, &name), -1) << "no name record";

    // Once read, the caches answer even when the store no longer has it.
    ASSERT_EQ(store_delete_thumbnail(5, 1), 0);
    ASSERT_EQ(store_delete_data(5, 1), 0);
    thumb.clear();
    ASSERT_GT(engine->engine_get_thumbnail(5, 1, &thumb), 0);
    EXPECT_EQ(std::string(thumb.begin(), thumb.begin() + 7), "thumb-1");

    uint8_t* data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(engine->engine_get_data(5, 1, &data, &length), -1) << "data is never cached";
    ASSERT_EQ(engine->engine_get_data(5, 2, &data, &length), 0);
    EXPECT_EQ(length, 64u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 6), "data-2");
    db_engine::engine_free_data(data);

    // A reload starts with empty caches.
    close(5);
    open(5);
    EXPECT_EQ(engine->engine_get_thumbnail(5, 1, &thumb), -1);
}

TEST_F(EngineTest, IndexedItemsAppearAtOnceEvenPastTheOpeningCounter) {
    dbs.create(0, {{.id = 1, .size = 5}});
    open(0);
    item_record added{};
    added.id = 70000;
    added.size = 9;
    ASSERT_EQ(engine->engine_index_item(0, added), 0);
    engine->engine_rebuild_order();
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{70000, 1}));
    ASSERT_EQ(engine->engine_forget_item(0, 70000), 0);
    EXPECT_EQ(engine->engine_forget_item(0, 70000), -1);
    engine->engine_rebuild_order();
    EXPECT_EQ(order_ids(*engine), (std::vector<int32_t>{1}));
    EXPECT_EQ(engine->engine_index_item(9, added), -1) << "slot not open";
}

}  // namespace
}  // namespace lorvex
