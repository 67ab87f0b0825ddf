// Building: every MSG_FOLDER_LISTED with the right magic replaces the
// entries. Each file's status is read through its on-disk name; the first
// file whose path does not fit in kMaxPath - 1 characters, whose status
// cannot be read or that is no longer a regular file ends the build, and the
// entries built before it are kept (count shrinks to them), so the view
// never reaches an entry that was not filled in.
//
// Sorting: both quicksorts below give exactly the order of their steps, as the
// order of equal keys is part of the list's behaviour (a library sort, or a
// stable one, orders ties differently). Each recurses into its smaller part
// and loops on the larger one; the two parts are disjoint and no step reads
// across the part boundary it may touch (the name scan stops at the previous
// pivot, which is not smaller than anything before it), so the result is the
// same as sorting the left part first while the stack stays shallow even
// for the already ordered names the scan delivers.
//
// The name quicksort takes the first name of a range as its pivot, which
// goes quadratic on the runs of ordered names a real folder gives (several
// name patterns, each in order). Only equal names make its steps matter: a
// range of distinct names has exactly one sorted order, whatever the
// algorithm, and the steps never move anything outside their range. So
// names with a twin (the same lower-case name, from spellings such as A.JPG
// and a.jpg) are marked once, and a range that holds no marked name is
// sorted with the library sort; ranges with twins take the steps.
//
// Invariant: the sorted count is the length of the sorted view, and current
// is 0 whenever the view is empty.
#include "browse/folder_list.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <utility>

#include "browse/file_time.h"
#include "browse/folder_scan.h"

namespace lorvex {

struct FolderList::State {
    int32_t mode = 0;
    bool built = false;  // an entry array exists: a build has happened since the last clear
    std::vector<FolderEntry> entries;
    char folder[kMaxPath] = {};
    int32_t key = SORT_NAME;
    bool forward = false;
    int32_t current = 0;
    std::vector<OrderPair> sorted;
};

namespace {

bool name_less(const FolderEntry* a, const FolderEntry* b) {
    return std::strcmp(a->name, b->name) < 0;
}

// Sorts names[lo..hi] and entries[lo..hi] together; n is the array length.
// twin[e] tells whether entry e (index into base) shares its name.
void name_quicksort(const char** names, FolderEntry** entries, int n, int lo, int hi,
                    const FolderEntry* base, const std::vector<uint8_t>& twin) {
    while (lo < hi) {
        int k = lo;
        while (k <= hi && twin[entries[k] - base] == 0) ++k;
        if (k > hi) {
            std::sort(entries + lo, entries + hi + 1, name_less);
            for (int m = lo; m <= hi; ++m) names[m] = entries[m]->name;
            return;
        }

        char pivot[kMaxPath];
        std::memcpy(pivot, names[lo], kMaxPath);
        int i = lo;
        int j = hi + 1;
        do {
            ++i;
            while (i < n && std::strcmp(names[i], pivot) < 0) ++i;
            --j;
            while (j < n && std::strcmp(names[j], pivot) > 0) --j;
            if (i < j) {
                std::swap(names[i], names[j]);
                std::swap(entries[i], entries[j]);
            }
        } while (i < j);
        std::swap(names[lo], names[j]);
        std::swap(entries[lo], entries[j]);
        if (j - lo < hi - j) {
            name_quicksort(names, entries, n, lo, j - 1, base, twin);
            lo = j + 1;
        } else {
            name_quicksort(names, entries, n, j + 1, hi, base, twin);
            hi = j - 1;
        }
    }
}

// Sorts pairs[lo..hi] by key (signed comparison).
void key_quicksort(OrderPair* pairs, int lo, int hi) {
    for (;;) {
        int i = lo;
        int j = hi;
        const int32_t pivot = pairs[(lo + hi) / 2].key;
        do {
            while (pairs[i].key < pivot && i < hi) ++i;
            while (pairs[j].key > pivot && j > lo) --j;
            if (i <= j) {
                std::swap(pairs[i], pairs[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        const bool left = lo < j;
        const bool right = i < hi;
        if (left && right) {
            if (j - lo < hi - i) {
                key_quicksort(pairs, lo, j);
                lo = i;
            } else {
                key_quicksort(pairs, i, hi);
                hi = j;
            }
        } else if (left) {
            hi = j;
        } else if (right) {
            lo = i;
        } else {
            return;
        }
    }
}

int32_t saturate32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// folder + "/" + name into out (kMaxPath bytes, NUL-padded), without
// doubling a trailing "/". False when the result would exceed
// kMaxPath - 1 characters.
bool compose_path(const char* folder, const char* name, char* out) {
    const size_t folder_len = strnlen(folder, kMaxPath);
    const size_t name_len = strnlen(name, kMaxPath);
    const bool slash = folder_len == 0 || folder[folder_len - 1] != '/';
    const size_t total = folder_len + (slash ? 1 : 0) + name_len;
    if (total > kMaxPath - 1) return false;
    std::memset(out, 0, kMaxPath);
    std::memcpy(out, folder, folder_len);
    if (slash) out[folder_len] = '/';
    std::memcpy(out + folder_len + (slash ? 1 : 0), name, name_len);
    return true;
}

}  // namespace

FolderList::FolderList(MessageHub* hub) : hub_(hub != nullptr ? hub : app_hub()) {
    state_.reset(new (std::nothrow) State());
    receiver_ =
        std::make_unique<ForwardingReceiver<FolderList>>(this, &FolderList::OnFolderMessage);
    receiver_->only(MSG_FOLDER_LISTED);
    // A full hub leaves the list deaf; nothing is reported.
    if (hub_ != nullptr) (void)hub_->Register(receiver_.get());
}

FolderList::~FolderList() {
    if (hub_ != nullptr) (void)hub_->Unregister(receiver_.get());
    receiver_->set_owner(nullptr);
    receiver_.reset();
}

void FolderList::OnFolderMessage(uint32_t code, void* record) {
    if (code != MSG_FOLDER_LISTED || record == nullptr || !state_) return;
    const auto* listing = static_cast<const FolderListing*>(record);
    state_->mode = 1;
    if (listing->magic != kFolderListingMagic) return;
    // A record that cannot be read is ignored like one of another type.
    if (listing->count < 0) return;
    if (listing->count > 0 && (listing->names == nullptr || listing->formats == nullptr)) return;
    Clear();
    Build(*listing);
    Sort();
    SendListReady();
}

void FolderList::Clear() {
    State& s = *state_;
    s.mode = 0;
    std::vector<OrderPair>().swap(s.sorted);
    std::vector<FolderEntry>().swap(s.entries);
    s.built = false;
    std::memset(s.folder, 0, sizeof s.folder);
    s.current = 0;  // the view is gone; see the invariant above
}

void FolderList::Build(const FolderListing& listing) {
    State& s = *state_;
    s.mode = 1;
    try {
        s.entries.resize(static_cast<size_t>(listing.count));
    } catch (const std::bad_alloc&) {
        return;
    }
    s.built = true;
    std::memcpy(s.folder, listing.folder, kMaxPath);
    s.folder[kMaxPath - 1] = '\0';
    const size_t folder_len = std::strlen(s.folder);

    int built = 0;
    for (; built < listing.count; ++built) {
        FolderEntry& e = s.entries[built];
        const char* name = listing.names[built];
        const char* disk = listing.disk_names != nullptr ? listing.disk_names[built] : name;
        const size_t name_len = strnlen(name, kMaxPath);
        const size_t disk_len = strnlen(disk, kMaxPath);
        if (folder_len + std::max(name_len, disk_len) + 2 > kMaxPath) break;
        std::memcpy(e.name, name, name_len);
        std::memcpy(e.disk_name, disk, disk_len);
        char path[kMaxPath];
        if (!compose_path(s.folder, e.disk_name, path)) break;
        FileStatus status;
        if (file_status(path, &status) != 0 || !status.regular) break;
        e.size = saturate32(status.size);
        e.date = saturate32(status.created);
        e.format = listing.formats[built];
    }
    s.entries.resize(static_cast<size_t>(built));  // shrinking never moves the entries
}

void FolderList::Sort() {
    switch (state_->key) {
        case SORT_SIZE:
        case SORT_TYPE:
        case SORT_DATE:
            SortByKey();
            break;
        default:  // SORT_NAME; SORT_STAR, SORT_HITS and unknown codes show the name order
            SortByName();
            break;
    }
}

void FolderList::SortByName() {
    State& s = *state_;
    if (!s.built) {
        // Nothing listed yet, or a build that could not allocate: no view.
        std::vector<OrderPair>().swap(s.sorted);
        s.current = 0;
        return;
    }
    std::vector<OrderPair>().swap(s.sorted);
    const int n = static_cast<int>(s.entries.size());
    std::vector<const char*> names(n);
    std::vector<FolderEntry*> entries(n);
    for (int i = 0; i < n; ++i) {
        names[i] = s.entries[i].name;
        entries[i] = &s.entries[i];
    }
    if (n > 0) {
        std::vector<FolderEntry*> by_name(entries);
        std::sort(by_name.begin(), by_name.end(), name_less);
        std::vector<uint8_t> twin(n, 0);
        const FolderEntry* base = s.entries.data();
        for (int i = 1; i < n; ++i) {
            if (std::strcmp(by_name[i - 1]->name, by_name[i]->name) == 0) {
                twin[by_name[i - 1] - base] = 1;
                twin[by_name[i] - base] = 1;
            }
        }
        if (std::find(twin.begin(), twin.end(), 1) == twin.end()) {
            entries.swap(by_name);  // all names distinct: the one sorted order
        } else {
            name_quicksort(names.data(), entries.data(), n, 0, n - 1, base, twin);
        }
    }
    s.current = 0;
    s.sorted.resize(n);
    for (int i = 0; i < n; ++i) {
        const int from = s.forward ? i : n - 1 - i;
        s.sorted[i] = OrderPair{from, entries[from]};
    }
}

void FolderList::SortByKey() {
    State& s = *state_;
    const int n = static_cast<int>(s.entries.size());
    std::vector<OrderPair>().swap(s.sorted);
    s.current = 0;
    if (n < 1) return;
    std::vector<OrderPair> pairs(n);
    for (int i = 0; i < n; ++i) {
        const FolderEntry& e = s.entries[i];
        const int32_t key = s.key == SORT_SIZE ? e.size : s.key == SORT_TYPE ? e.format : e.date;
        pairs[i] = OrderPair{key, &s.entries[i]};
    }
    key_quicksort(pairs.data(), 0, n - 1);
    if (!s.forward) std::reverse(pairs.begin(), pairs.end());
    s.sorted = std::move(pairs);
}

void FolderList::SendListReady() {
    if (hub_ == nullptr) return;
    ListReadyNote note;
    note.kind = kListFolder;
    hub_->Send(MSG_LIST_READY, &note);
}

bool FolderList::ValidPosition(int position) const {
    return state_ && state_->mode == 1 && position >= 0 &&
           position < static_cast<int>(state_->sorted.size());
}

int FolderList::Count() const {
    if (!state_ || state_->mode != 1) return -1;
    return static_cast<int>(state_->entries.size());
}

int FolderList::FolderPath(char* buffer, size_t size) const {
    if (!state_ || state_->mode != 1 || buffer == nullptr || size < kMaxPath) return -1;
    std::memcpy(buffer, state_->folder, kMaxPath);
    return 0;
}

int FolderList::NameAt(int position, char* buffer, size_t size) const {
    if (!ValidPosition(position) || buffer == nullptr || size < kMaxPath) return -1;
    std::memcpy(buffer, state_->sorted[position].entry->name, kMaxPath);
    return 0;
}

int FolderList::DiskNameAt(int position, char* buffer, size_t size) const {
    if (!ValidPosition(position) || buffer == nullptr || size < kMaxPath) return -1;
    std::memcpy(buffer, state_->sorted[position].entry->disk_name, kMaxPath);
    return 0;
}

int FolderList::FullPathAt(int position, char* buffer, size_t size) const {
    if (!ValidPosition(position) || buffer == nullptr) return -1;
    char path[kMaxPath];
    if (!compose_path(state_->folder, state_->sorted[position].entry->disk_name, path)) return -1;
    const size_t len = std::strlen(path);
    if (size < len + 1) return -1;
    std::memset(buffer, 0, size);
    std::memcpy(buffer, path, len);
    return 0;
}

const FolderEntry* FolderList::EntryAt(int position) const {
    return ValidPosition(position) ? state_->sorted[position].entry : nullptr;
}

int FolderList::Current() const {
    return state_ ? state_->current : -1;
}

int FolderList::LastPosition() const {
    if (!state_) return -1;
    return std::max(static_cast<int>(state_->sorted.size()) - 1, 0);
}

int FolderList::SetCurrent(int position) {
    if (!state_ || position < 0 || position >= static_cast<int>(state_->sorted.size())) return -1;
    state_->current = position;
    return 0;
}

int FolderList::Previous() {
    if (!state_) return -1;
    if (state_->current > 0) --state_->current;
    return 0;
}

int FolderList::Next() {
    if (!state_) return -1;
    if (state_->current + 1 < static_cast<int>(state_->sorted.size())) ++state_->current;
    return 0;
}

int FolderList::First() {
    if (!state_) return -1;
    state_->current = 0;
    return 0;
}

int FolderList::Last() {
    if (!state_) return -1;
    const int n = static_cast<int>(state_->sorted.size());
    state_->current = n < 2 ? 0 : n - 1;
    return 0;
}

int FolderList::SortedCount() const {
    return state_ ? static_cast<int>(state_->sorted.size()) : -1;
}

void FolderList::SetKey(int32_t code) {
    if (!state_) return;
    state_->key = code;
    Sort();
    SendListReady();
}

void FolderList::SetForward() {
    if (!state_) return;
    state_->forward = true;
    Sort();
    SendListReady();
}

void FolderList::SetReverse() {
    if (!state_) return;
    state_->forward = false;
    Sort();
    SendListReady();
}

int32_t FolderList::Key() const {
    return state_ ? state_->key : SORT_NAME;
}
bool FolderList::IsForward() const {
    return state_ && state_->forward;
}
int FolderList::Mode() const {
    return state_ ? state_->mode : 0;
}

}  // namespace lorvex
