// One database used from three threads at once, as the user interface, the
// thumbnail loader and the preloader do: two threads read thumbnails and
// data while a third adds and deletes items in transactions. Run under
// ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "endec_subsys/endec.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

constexpr int32_t kDb = 20;
constexpr int32_t kStable = 16;   // items 1..16 are never touched by the writer
constexpr int32_t kWritten = 40;  // the writer adds this many and deletes every other one
const uint32_t kZero[4] = {};
const uint32_t kIds[] = {ENDEC_RIJNDAEL, ENDEC_TWOFISH};

std::string content_of(int32_t id, bool thumb) {
    std::string s(static_cast<size_t>(200 + id * 7 + (thumb ? 0 : 1000)), '\0');
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((i + id * 31 + thumb) & 0xff);
    return s;
}

// Adds every piece of item id as one transaction.
bool add_item(int32_t id) {
    std::string data = content_of(id, false);
    std::string thumb = content_of(id, true);
    blob_record d{id, reinterpret_cast<uint8_t*>(data.data()), static_cast<uint32_t>(data.size())};
    blob_record t{id, reinterpret_cast<uint8_t*>(thumb.data()),
                  static_cast<uint32_t>(thumb.size())};
    StoreTransaction txn(kDb);
    if (!txn.active()) return false;
    if (store_put_data(kDb, &d, 1) != 0 || store_put_thumbnail(kDb, &t, 1) != 0 ||
        store_insert_item(kDb, id, kZero, 4, static_cast<int32_t>(data.size()), 0, 0, 0, kZero, 4,
                          kZero, 4) != 0 ||
        store_advance_item_id(kDb) != 0) {
        return false;
    }
    return txn.commit() == 0;
}

bool delete_item(int32_t id) {
    StoreTransaction txn(kDb);
    if (!txn.active()) return false;
    if (store_delete_data(kDb, id) != 0 || store_delete_thumbnail(kDb, id) != 0 ||
        store_delete_item(kDb, id) != 0) {
        return false;
    }
    return txn.commit() == 0;
}

// Reads item id; true when both pieces match exactly.
bool read_matches(int32_t id) {
    for (bool thumb : {false, true}) {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        int rc = thumb ? store_get_thumbnail(kDb, id, &buffer, &length)
                       : store_get_data(kDb, id, &buffer, &length);
        if (rc != 0) return false;
        std::string expected = content_of(id, thumb);
        bool same = length == (expected.size() + 63) / 64 * 64 &&
                    std::memcmp(buffer, expected.data(), expected.size()) == 0;
        store_free_buffer(buffer);
        if (!same) return false;
    }
    return true;
}

class StoreThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        store_init();
        path = dir.file("shared.db");
        ASSERT_EQ(store_create(path.c_str(), kDb, kStoreEnciphered, "pw", 2, kIds, 2, 0), 0);
        for (int32_t id = 1; id <= kStable; ++id) ASSERT_TRUE(add_item(id));
    }
    void TearDown() override {
        while (store_close(kDb) == 0) {
        }
    }
    testing::TempDir dir;
    std::string path;
};

TEST_F(StoreThreads, ReadersAndAWriterShareOneDatabase) {
    std::atomic<bool> done{false};
    std::atomic<int> bad_reads{0};
    std::atomic<int> reads{0};
    auto reader = [&](int seed) {
        int32_t id = seed;
        while (!done.load()) {
            id = id % kStable + 1;
            if (!read_matches(id)) bad_reads.fetch_add(1);
            int32_t count = 0;
            query_result* r = store_query_range(kDb, 1, kStable, 100, &count);
            if (r == nullptr || count != kStable) bad_reads.fetch_add(1);
            store_free_result(r);
            reads.fetch_add(1);
        }
    };
    std::atomic<int> failed_writes{0};
    std::thread loader(reader, 1);
    std::thread preloader(reader, 7);
    std::thread writer([&] {
        for (int32_t k = 0; k < kWritten; ++k) {
            int32_t id = store_next_item_id(kDb);
            if (id != kStable + 1 + k || !add_item(id)) failed_writes.fetch_add(1);
            if (k % 2 == 1 && !delete_item(id - 1)) failed_writes.fetch_add(1);
        }
        done.store(true);
    });
    writer.join();
    loader.join();
    preloader.join();

    EXPECT_EQ(failed_writes.load(), 0);
    EXPECT_EQ(bad_reads.load(), 0);
    EXPECT_GT(reads.load(), 0);
    // No row lost, none left behind.
    int32_t count = 0;
    query_result* r = store_query_range(kDb, 0, 1000, 1000, &count);
    ASSERT_NE(r, nullptr);
    std::set<int32_t> ids;
    for (int32_t i = 0; i < count; ++i) ids.insert(r->items[i].id);
    store_free_result(r);
    std::set<int32_t> expected;
    for (int32_t id = 1; id <= kStable; ++id) expected.insert(id);
    for (int32_t k = 1; k < kWritten; k += 2) expected.insert(kStable + 1 + k);
    EXPECT_EQ(ids, expected);
    for (int32_t id : expected) EXPECT_TRUE(read_matches(id)) << id;
    for (int32_t k = 0; k < kWritten; k += 2) {
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(store_get_data(kDb, kStable + 1 + k, &buffer, &length), -1);
    }
    EXPECT_EQ(store_next_item_id(kDb), kStable + kWritten + 1);
}

TEST_F(StoreThreads, ClosingWhileOthersReadFailsTheirCallsCleanly) {
    std::atomic<bool> stop{false};
    std::atomic<int> after_close_successes{0};
    std::atomic<bool> closed{false};
    auto reader = [&] {
        while (!stop.load()) {
            bool was_closed = closed.load();
            bool ok = read_matches(3);
            if (was_closed && ok) after_close_successes.fetch_add(1);
        }
    };
    std::thread a(reader), b(reader);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(store_close(kDb), 0);
    closed.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.store(true);
    a.join();
    b.join();
    EXPECT_EQ(after_close_successes.load(), 0);
    EXPECT_FALSE(store_is_open(kDb));
}

TEST(ThumbCacheThreads, LoaderLooksUpWhileTheInterfaceInserts) {
    testing::TempDir dir;
    ASSERT_EQ(thumbcache_open(dir.file("dir_thumb.pdb").c_str()), 0);
    SqlConnection* c = thumbcache_handle();
    ASSERT_NE(c, nullptr);
    constexpr uint32_t kRows = 30;
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::atomic<int> hits{0};
    std::thread loader([&] {
        uint32_t k = 0;
        while (!done.load()) {
            uint32_t key[4] = {k % kRows, 1, 2, 3};
            thumb_lookup* r = thumbcache_lookup(c, key);
            if (r == nullptr || r->count > 1) failures.fetch_add(1);
            if (r != nullptr && r->count == 1) {
                if (r->entry.thumb_length != static_cast<int32_t>(100 + key[0]) ||
                    r->entry.thumb[0] != static_cast<uint8_t>(key[0])) {
                    failures.fetch_add(1);
                }
                hits.fetch_add(1);
            }
            thumbcache_free(r);
            ++k;
        }
    });
    for (uint32_t n = 0; n < kRows; ++n) {
        std::string thumb(100 + n, static_cast<char>(n));
        thumb_entry e{};
        e.key[0] = n;
        e.key[1] = 1;
        e.key[2] = 2;
        e.key[3] = 3;
        e.thumb_length = static_cast<int32_t>(thumb.size());
        e.path_length = 4;
        std::memcpy(e.path, "/p/x", 4);
        e.thumb = reinterpret_cast<uint8_t*>(thumb.data());
        if (thumbcache_insert(c, &e, 1) != 0) failures.fetch_add(1);
    }
    done.store(true);
    loader.join();
    EXPECT_EQ(failures.load(), 0);
    for (uint32_t n = 0; n < kRows; ++n) {
        uint32_t key[4] = {n, 1, 2, 3};
        thumb_lookup* r = thumbcache_lookup(c, key);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->count, 1) << n;
        thumbcache_free(r);
    }
    EXPECT_EQ(thumbcache_close(), 0);
}

}  // namespace
}  // namespace lorvex
