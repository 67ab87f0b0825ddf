// The thumbnail loader and the preloader read thumbnails, names, data and
// the order while the user-interface thread reloads, filters and edits.
// Every copy handed out must be whole and belong to the item asked for.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "../engine_test_db.h"

namespace lorvex {
namespace {

using testing::EngineTest;
using testing::TestItem;

constexpr int32_t kItems = 60;

bool starts_with(const blob_bytes& bytes, const std::string& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

TEST_F(EngineTest, WorkersReadCopiesWhileTheInterfaceThreadReloads) {
    std::vector<TestItem> items;
    for (int32_t id = 1; id <= kItems; ++id) {
        items.push_back({.id = id, .size = id * 10, .name = "pic" + std::to_string(id) + ".jpg"});
    }
    dbs.create(0, items, {"Red"});
    dbs.create(1, items);
    open(0);
    open(1);

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::atomic<int> served{0};
    auto reader = [&](int32_t slot) {
        while (!stop.load()) {
            for (int32_t id = 1; id <= kItems && !stop.load(); ++id) {
                blob_bytes thumb, name;
                if (engine->engine_get_thumbnail(slot, id, &thumb) > 0) {
                    if (!starts_with(thumb, "thumb-" + std::to_string(id))) ++wrong;
                    ++served;
                }
                if (engine->engine_get_name(slot, id, &name) > 0) {
                    if (!starts_with(name, "pic" + std::to_string(id) + ".jpg")) ++wrong;
                }
                uint8_t* data = nullptr;
                uint32_t length = 0;
                if (engine->engine_get_data(slot, id, &data, &length) == 0) {
                    const std::string expected = "data-" + std::to_string(id);
                    if (length < expected.size() ||
                        std::memcmp(data, expected.data(), expected.size()) != 0) {
                        ++wrong;
                    }
                    db_engine::engine_free_data(data);
                }
                order_triple t;
                if (engine->engine_order_at(id, &t) == 0 && (t.slot < 0 || t.slot > 1)) ++wrong;
            }
        }
    };
    std::thread loader(reader, 0);
    std::thread preloader(reader, 1);

    for (int round = 0; round < 15; ++round) {
        close(0);
        open(0);
        engine->engine_set_sort_key(round % 2 == 0 ? SORT_NAME : SORT_SIZE);
        misc_filter misc;
        misc.size = {0, 1000000, 1};
        filter_request request;
        request.kind = kFilterMisc;
        request.count = 1;
        request.misc = &misc;
        hub.Send(MSG_FILTER, &request);
        EXPECT_GE(engine->engine_add_to_class(0, 1 + round, "Red"), 0);
        EXPECT_EQ(engine->engine_set_star_hit(1, 1 + round, {0, 0, 1, kHitAddOne}), 0);
    }
    stop.store(true);
    loader.join();
    preloader.join();

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(served.load(), 0);
    EXPECT_EQ(engine->engine_order_count(), 2 * kItems);
}

}  // namespace
}  // namespace lorvex
