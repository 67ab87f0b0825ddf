// The picture cache and the request mailbox between the document and the
// picture preloader. The document (user-interface thread) posts requests and
// the picture view draws the current slot; the preloader thread takes
// requests and fills slots. The cache owns the decoded pictures of its three
// slots; a slot handed out by acquire_current stays valid, and locked, until
// release. Every member is safe to call from both threads.
#pragma once

#include <QImage>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace lorvex {

constexpr int32_t kRefDatabase = 1;  // a database item: slot and item id
constexpr int32_t kRefFile = 2;      // a file: its full path
constexpr size_t kRefPathBytes = 264;

// One picture as the document names it.
struct PictureRef {
    int32_t valid = 0;
    int32_t kind = 0;  // kRefDatabase or kRefFile
    char path[kRefPathBytes] = {};
    int32_t path_length = 0;  // bytes of path (files only)
    int32_t db_slot = 0;      // database items only
    int32_t item_id = 0;      // database items only
    int32_t done = 0;         // set by the preloader once dealt with
};

// The picture wanted now and up to two neighbours likely wanted next.
// A request whose live word is 0 ends the preloader.
struct PreloadRequest {
    int32_t live = 0;
    PictureRef current;
    int32_t neighbour_count = 0;
    PictureRef neighbours[2];
};

// Keeps only the latest request: posts that arrive before the preloader
// takes one overwrite each other.
class RequestMailbox {
  public:
    // Copies request as the pending one. -1 when request is null.
    [[nodiscard]] int post(const PreloadRequest* request);
    // 1 and a copy of the pending request (also kept as the current one)
    // when something was posted since the last take; else 0 and a zeroed
    // buffer. Either way the pending count drops to 0.
    [[nodiscard]] int take(PreloadRequest* buffer);

  private:
    std::mutex mutex_;
    PreloadRequest current_;     // guarded by mutex_
    PreloadRequest pending_;     // guarded by mutex_
    int32_t pending_count_ = 0;  // guarded by mutex_
};

// An event that releases one wait per signal and then resets itself;
// initially not signalled.
class AutoResetEvent {
  public:
    void signal();
    void wait();

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;  // guarded by mutex_
};

constexpr int32_t kSlotUnused = 0;
constexpr int32_t kSlotCurrent = 1;
constexpr int32_t kSlotNeighbour = 2;

struct CacheSlot {
    int32_t valid = 0;
    int32_t kind = 0;
    char path[kRefPathBytes] = {};
    int32_t path_length = 0;
    int32_t db_slot = 0;  // -1 for files
    int32_t item_id = 0;  // -1 for files
    uint32_t age = 0;
    QImage picture;  // owned by the slot
    int32_t in_use = 0;
    int32_t state = kSlotUnused;  // kSlotUnused, kSlotCurrent or kSlotNeighbour
};

// Three slots under one re-entrant lock. The picture view holds the lock
// from acquire_current to release, so the preloader can neither evict nor
// re-mark a slot while it is drawn.
class PictureCache {
  public:
    static constexpr int kSlots = 3;

    // Every slot in state current goes to state unused.
    void clear_current_marks();
    // -1 when slot or state is out of range.
    [[nodiscard]] int set_state(int slot, int32_t state);

    // The slot index holding ref (same kind and slot/item id, or same path
    // length and path bytes), or -1.
    [[nodiscard]] int find(const PictureRef& ref);

    // Finds ref; when cached, makes that slot the only current one and
    // returns 1; else 0.
    [[nodiscard]] int make_current_if_cached(const PictureRef& ref);

    // Chooses a slot for a new picture: the last of slots 1 and 2 whose
    // state is unused; else, among the slots that are not current (slot 0
    // included), the one with the smallest age stamp, the lower slot on a
    // tie. The chosen slot is emptied. Returns its index.
    [[nodiscard]] int allocate();

    // Stores picture for ref in a newly allocated slot with the next age
    // stamp and state (kSlotCurrent after clearing the other current marks,
    // or kSlotNeighbour), all in one hold of the lock. Returns the slot.
    int store(const PictureRef& ref, const QImage& picture, int32_t state);

    // Empties every slot that holds a database item.
    void drop_database_pictures();

    // Takes the lock and returns the current slot (the last in slot order
    // when several are), marked in use, with the lock still held. Returns
    // null, and holds nothing, when no slot is current or it is in use.
    CacheSlot* acquire_current();
    // Ends an acquire_current: clears in use and releases the lock. Does
    // nothing for a slot that is not in use.
    void release(CacheSlot* slot);

    // A copy of one slot's bookkeeping (picture included) for inspection.
    CacheSlot snapshot(int slot);
    uint32_t age_counter();

  private:
    void empty_slot(int slot);  // caller holds mutex_

    std::recursive_mutex mutex_;
    uint32_t age_counter_ = 0;  // guarded by mutex_
    CacheSlot slots_[kSlots];   // guarded by mutex_
};

// Holds the current slot for one paint: acquire on construction, release on
// destruction. User-interface thread.
class CurrentPicture {
  public:
    explicit CurrentPicture(PictureCache* cache)
        : cache_(cache), slot_(cache ? cache->acquire_current() : nullptr) {}
    ~CurrentPicture() {
        if (slot_ != nullptr) cache_->release(slot_);
    }
    CurrentPicture(const CurrentPicture&) = delete;
    CurrentPicture& operator=(const CurrentPicture&) = delete;

    // Null when nothing is current.
    const CacheSlot* slot() const { return slot_; }
    const QImage* picture() const { return slot_ ? &slot_->picture : nullptr; }

  private:
    PictureCache* cache_;
    CacheSlot* slot_;
};

}  // namespace lorvex
