#include "shell/picture_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace lorvex {
namespace {

PictureRef file_ref(const std::string& path) {
    PictureRef ref;
    ref.valid = 1;
    ref.kind = kRefFile;
    std::memcpy(ref.path, path.data(), path.size());
    ref.path_length = static_cast<int32_t>(path.size());
    return ref;
}

PictureRef item_ref(int32_t db_slot, int32_t item_id) {
    PictureRef ref;
    ref.valid = 1;
    ref.kind = kRefDatabase;
    ref.db_slot = db_slot;
    ref.item_id = item_id;
    return ref;
}

QImage picture(int width) {
    QImage image(width, 1, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return image;
}

TEST(RequestMailbox, KeepsOnlyTheLatestPost) {
    RequestMailbox mailbox;
    PreloadRequest first;
    first.live = 1;
    first.current = file_ref("/a.jpg");
    PreloadRequest second = first;
    second.current = file_ref("/b.jpg");
    ASSERT_EQ(mailbox.post(&first), 0);
    ASSERT_EQ(mailbox.post(&second), 0);

    PreloadRequest taken;
    ASSERT_EQ(mailbox.take(&taken), 1);
    EXPECT_STREQ(taken.current.path, "/b.jpg");
    // Nothing posted since: a zeroed buffer.
    taken.live = 7;
    EXPECT_EQ(mailbox.take(&taken), 0);
    EXPECT_EQ(taken.live, 0);
    EXPECT_EQ(taken.current.valid, 0);
}

TEST(RequestMailbox, RefusesANullRequest) {
    RequestMailbox mailbox;
    EXPECT_EQ(mailbox.post(nullptr), -1);
    PreloadRequest taken;
    EXPECT_EQ(mailbox.take(&taken), 0);
}

TEST(PictureCache, FindsFilesByPathAndItemsBySlotAndId) {
    PictureCache cache;
    (void)cache.store(file_ref("/pics/a.jpg"), picture(1), kSlotNeighbour);
    (void)cache.store(item_ref(3, 17), picture(2), kSlotNeighbour);

    struct Case {
        PictureRef ref;
        bool cached;
        const char* why;
    };
    const Case cases[] = {
        {file_ref("/pics/a.jpg"), true, "same path"},
        {file_ref("/pics/a.jp"), false, "a prefix of the path is another picture"},
        {file_ref("/pics/a.jpgx"), false, "a longer path is another picture"},
        {item_ref(3, 17), true, "same slot and item"},
        {item_ref(3, 18), false, "other item"},
        {item_ref(4, 17), false, "same item id in another database"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cache.find(c.ref) >= 0, c.cached) << c.why;
    }
}

TEST(PictureCache, AllocatesSlotsTwoAndOneBeforeSlotZero) {
    PictureCache cache;
    EXPECT_EQ(cache.store(file_ref("/1"), picture(1), kSlotNeighbour), 2);
    EXPECT_EQ(cache.store(file_ref("/2"), picture(1), kSlotNeighbour), 1);
    // Slots 1 and 2 busy: the oldest stamp among the rest, here empty slot 0.
    EXPECT_EQ(cache.store(file_ref("/3"), picture(1), kSlotCurrent), 0);
}

TEST(PictureCache, EvictsTheOldestStampEvenSlotZeroButNeverTheCurrent) {
    struct Case {
        int32_t states[3];  // states of slots 0, 1, 2 after filling them
        int evicted;
        const char* why;
    };
    // The fill below gives slot 2 stamp 0 (oldest), slot 1 stamp 1, slot 0
    // stamp 2; each case then marks the slots.
    const Case cases[] = {
        {{kSlotNeighbour, kSlotCurrent, kSlotNeighbour}, 2, "slot 2 holds the oldest stamp"},
        {{kSlotNeighbour, kSlotNeighbour, kSlotCurrent},
         1,
         "the current slot is kept; the older of the others goes"},
    };
    for (const Case& c : cases) {
        PictureCache cache;
        ASSERT_EQ(cache.store(file_ref("/a"), picture(1), kSlotNeighbour), 2);  // stamp 0
        ASSERT_EQ(cache.store(file_ref("/b"), picture(1), kSlotNeighbour), 1);  // stamp 1
        ASSERT_EQ(cache.store(file_ref("/c"), picture(1), kSlotNeighbour), 0);  // stamp 2
        for (int s = 0; s < 3; ++s) ASSERT_EQ(cache.set_state(s, c.states[s]), 0);
        EXPECT_EQ(cache.allocate(), c.evicted) << c.why;
    }

    // Slot 0 holds the oldest stamp while slots 1 and 2 are busy: it goes.
    PictureCache cache;
    ASSERT_EQ(cache.store(file_ref("/a"), picture(1), kSlotNeighbour), 2);  // stamp 0
    ASSERT_EQ(cache.store(file_ref("/b"), picture(1), kSlotNeighbour), 1);  // stamp 1
    ASSERT_EQ(cache.store(file_ref("/c"), picture(1), kSlotNeighbour), 0);  // stamp 2
    ASSERT_EQ(cache.store(file_ref("/d"), picture(1), kSlotCurrent), 2);    // evicts /a, stamp 3
    ASSERT_EQ(cache.store(file_ref("/e"), picture(1), kSlotNeighbour), 1);  // evicts /b, stamp 4
    // Stamps now: slot 0 = 2 (oldest), slot 1 = 4, slot 2 = 3 (current).
    EXPECT_EQ(cache.store(file_ref("/f"), picture(1), kSlotNeighbour), 0);
    EXPECT_LT(cache.find(file_ref("/c")), 0);
    EXPECT_EQ(cache.find(file_ref("/d")), 2);
}

TEST(PictureCache, OneCurrentSlotAtATime) {
    PictureCache cache;
    const int a = cache.store(file_ref("/a"), picture(1), kSlotCurrent);
    const int b = cache.store(file_ref("/b"), picture(2), kSlotNeighbour);
    EXPECT_EQ(cache.snapshot(a).state, kSlotCurrent);
    EXPECT_EQ(cache.snapshot(b).state, kSlotNeighbour);

    // A cached neighbour becomes the current one; the former current goes to 0.
    EXPECT_EQ(cache.make_current_if_cached(file_ref("/b")), 1);
    EXPECT_EQ(cache.snapshot(a).state, kSlotUnused);
    EXPECT_EQ(cache.snapshot(b).state, kSlotCurrent);
    EXPECT_EQ(cache.make_current_if_cached(file_ref("/zzz")), 0);
    EXPECT_EQ(cache.snapshot(b).state, kSlotCurrent);

    const int c = cache.store(file_ref("/c"), picture(3), kSlotCurrent);
    EXPECT_EQ(cache.snapshot(b).state, kSlotUnused);
    EXPECT_EQ(cache.snapshot(c).state, kSlotCurrent);
}

TEST(PictureCache, StoresFilesWithoutItemIdsAndItemsWithoutPaths) {
    PictureCache cache;
    const int f = cache.store(file_ref("/x.png"), picture(5), kSlotNeighbour);
    const int d = cache.store(item_ref(2, 9), picture(6), kSlotNeighbour);
    const CacheSlot file = cache.snapshot(f);
    const CacheSlot item = cache.snapshot(d);
    EXPECT_EQ(file.valid, 1);
    EXPECT_EQ(file.db_slot, -1);
    EXPECT_EQ(file.item_id, -1);
    EXPECT_EQ(file.path_length, 6);
    EXPECT_EQ(file.picture.width(), 5);
    EXPECT_EQ(item.path_length, 0);
    EXPECT_EQ(item.db_slot, 2);
    EXPECT_EQ(item.item_id, 9);
    EXPECT_EQ(file.age + 1, item.age);
    EXPECT_EQ(cache.age_counter(), 2u);
}

TEST(PictureCache, SetStateRefusesOutOfRangeValues) {
    PictureCache cache;
    EXPECT_EQ(cache.set_state(-1, kSlotCurrent), -1);
    EXPECT_EQ(cache.set_state(3, kSlotCurrent), -1);
    EXPECT_EQ(cache.set_state(0, 3), -1);
    EXPECT_EQ(cache.set_state(0, kSlotNeighbour), 0);
}

TEST(PictureCache, AcquireReturnsTheCurrentSlotOnceUntilReleased) {
    PictureCache cache;
    EXPECT_EQ(cache.acquire_current(), nullptr);  // nothing current
    (void)cache.store(file_ref("/a"), picture(4), kSlotCurrent);

    CacheSlot* slot = cache.acquire_current();
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->picture.width(), 4);
    EXPECT_EQ(slot->in_use, 1);
    // The same thread asking again finds the slot in use.
    EXPECT_EQ(cache.acquire_current(), nullptr);
    cache.release(slot);
    EXPECT_EQ(slot->in_use, 0);
    cache.release(slot);  // not in use: nothing happens

    {
        CurrentPicture current(&cache);
        ASSERT_NE(current.picture(), nullptr);
        EXPECT_EQ(current.picture()->width(), 4);
    }
    CurrentPicture again(&cache);
    EXPECT_NE(again.slot(), nullptr);
}

TEST(PictureCache, DropsDatabasePicturesOnly) {
    PictureCache cache;
    (void)cache.store(file_ref("/a"), picture(1), kSlotNeighbour);
    (void)cache.store(item_ref(0, 1), picture(1), kSlotCurrent);
    cache.drop_database_pictures();
    EXPECT_GE(cache.find(file_ref("/a")), 0);
    EXPECT_LT(cache.find(item_ref(0, 1)), 0);
    EXPECT_EQ(cache.acquire_current(), nullptr);
}

}  // namespace
}  // namespace lorvex
