// Picture cache invariants:
// - A slot is either empty (all zero, no picture) or valid with exactly the
//   identity of one picture and an age stamp taken from age_counter_.
// - At most one slot is current (state 1) after any public call; the
//   picture view draws it while holding the lock (acquire_current ..
//   release), so no slot changes during a paint.
// - Allocation never empties the current slot: with one current slot at
//   most, two candidates always remain.
// - A slot is filled and given its state in the same hold of the lock that
//   chose it, so a half-filled slot is never seen by the other thread.
#include "shell/picture_cache.h"

#include <cstring>

namespace lorvex {

int RequestMailbox::post(const PreloadRequest* request) {
    if (request == nullptr) return -1;
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = *request;
    ++pending_count_;
    return 0;
}

int RequestMailbox::take(PreloadRequest* buffer) {
    if (buffer == nullptr) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    int taken = 0;
    if (pending_count_ != 0) {
        current_ = pending_;
        *buffer = pending_;
        taken = 1;
    } else {
        *buffer = PreloadRequest{};
    }
    pending_count_ = 0;
    return taken;
}

void AutoResetEvent::signal() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    cv_.notify_one();
}

void AutoResetEvent::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

namespace {

bool same_picture(const CacheSlot& slot, const PictureRef& ref) {
    if (slot.valid == 0 || slot.kind != ref.kind) return false;
    if (ref.kind == kRefDatabase) return slot.db_slot == ref.db_slot && slot.item_id == ref.item_id;
    if (ref.kind == kRefFile) {
        if (ref.path_length < 0 || static_cast<size_t>(ref.path_length) > kRefPathBytes) {
            return false;
        }
        return slot.path_length == ref.path_length &&
               std::memcmp(slot.path, ref.path, static_cast<size_t>(ref.path_length)) == 0;
    }
    return false;
}

}  // namespace

void PictureCache::clear_current_marks() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (CacheSlot& slot : slots_) {
        if (slot.state == kSlotCurrent) slot.state = kSlotUnused;
    }
}

int PictureCache::set_state(int slot, int32_t state) {
    if (slot < 0 || slot >= kSlots) return -1;
    if (state != kSlotUnused && state != kSlotCurrent && state != kSlotNeighbour) return -1;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    slots_[slot].state = state;
    return 0;
}

int PictureCache::find(const PictureRef& ref) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (int i = 0; i < kSlots; ++i) {
        if (same_picture(slots_[i], ref)) return i;
    }
    return -1;
}

int PictureCache::make_current_if_cached(const PictureRef& ref) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const int found = find(ref);
    if (found < 0) return 0;
    clear_current_marks();
    slots_[found].state = kSlotCurrent;
    return 1;
}

void PictureCache::empty_slot(int slot) {
    slots_[slot] = CacheSlot{};  // drops the picture
}

int PictureCache::allocate() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int chosen = -1;
    for (int i = 1; i < kSlots; ++i) {
        if (slots_[i].state == kSlotUnused) chosen = i;
    }
    if (chosen < 0) {
        for (int i = 0; i < kSlots; ++i) {
            if (slots_[i].state == kSlotCurrent) continue;
            if (chosen < 0 || slots_[i].age < slots_[chosen].age) chosen = i;
        }
    }
    if (chosen < 0) chosen = 0;  // unreachable while at most one slot is current
    empty_slot(chosen);
    return chosen;
}

int PictureCache::store(const PictureRef& ref, const QImage& picture, int32_t state) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const int index = allocate();
    CacheSlot& slot = slots_[index];
    slot.kind = ref.kind;
    if (ref.kind == kRefFile) {
        size_t length = ref.path_length < 0 ? 0 : static_cast<size_t>(ref.path_length);
        if (length > kRefPathBytes - 5) length = kRefPathBytes - 5;  // at most 259 characters
        std::memcpy(slot.path, ref.path, length);
        slot.path_length = static_cast<int32_t>(length);
        slot.db_slot = -1;
        slot.item_id = -1;
    } else {
        slot.db_slot = ref.db_slot;
        slot.item_id = ref.item_id;
        slot.path_length = 0;
    }
    slot.picture = picture;
    slot.in_use = 0;
    slot.valid = 1;
    slot.age = age_counter_++;
    if (state == kSlotCurrent) clear_current_marks();
    slot.state = state == kSlotCurrent ? kSlotCurrent : kSlotNeighbour;
    return index;
}

void PictureCache::drop_database_pictures() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (int i = 0; i < kSlots; ++i) {
        if (slots_[i].valid != 0 && slots_[i].kind == kRefDatabase) empty_slot(i);
    }
}

CacheSlot* PictureCache::acquire_current() {
    mutex_.lock();
    CacheSlot* current = nullptr;
    for (CacheSlot& slot : slots_) {
        if (slot.state == kSlotCurrent) current = &slot;
    }
    if (current == nullptr || current->in_use != 0) {
        mutex_.unlock();
        return nullptr;
    }
    current->in_use = 1;
    return current;  // still locked until release
}

void PictureCache::release(CacheSlot* slot) {
    if (slot == nullptr || slot < slots_ || slot >= slots_ + kSlots) return;
    mutex_.lock();  // re-entrant for the thread that acquired the slot
    if (slot->in_use == 0) {
        mutex_.unlock();
        return;
    }
    slot->in_use = 0;
    mutex_.unlock();
    mutex_.unlock();  // the hold taken by acquire_current
}

CacheSlot PictureCache::snapshot(int slot) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (slot < 0 || slot >= kSlots) return CacheSlot{};
    return slots_[slot];
}

uint32_t PictureCache::age_counter() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return age_counter_;
}

}  // namespace lorvex
