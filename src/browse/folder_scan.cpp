// The scan reads the folder once: every entry except "." and ".." whose name
// gives a picture type is checked with its own status (links followed), and
// only regular files are kept, so folders named like pictures, dangling
// links, FIFOs and devices never reach the list. The names are held anyway
// for the byte-order sort below, so a second enumeration would only repeat
// every status call; the record's arrays are still allocated once, at their
// exact size, after the count is known. Collection stops at the first
// picture beyond the limit.
//
// The names are sorted by their on-disk bytes before the record is filled:
// the folder list's quicksorts order equal keys by their input order, and a
// byte order makes that input independent of how the file system happens to
// return its entries.
#include "browse/folder_scan.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "browse/file_time.h"
#include "browse/picture_types.h"
#include "hub/message_hub.h"

namespace lorvex {
namespace {

// The process-wide record and the arrays it points into.
struct ListingStore {
    FolderListing record;
    std::unique_ptr<NameField[]> names;
    std::unique_ptr<NameField[]> disk_names;
    std::unique_ptr<int32_t[]> formats;
};

ListingStore& listing_store() {
    static ListingStore store;
    return store;
}

ScanOutcome g_last_outcome = ScanOutcome::kListed;

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Collected { kDone, kUnreadable, kTooMany };

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The picture files of path, unsorted. May throw std::bad_alloc.
Collected collect_pictures(const char* path, std::vector<std::string>* names) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(path));
    if (!dir) return Collected::kUnreadable;
    const int dir_fd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (image_type_of(name) == kTypeNone) continue;
        FileStatus status;
        if (file_status_at(dir_fd, name, &status) != 0 || !status.regular) continue;
        if (names->size() == static_cast<size_t>(kMaxFolderPictures)) return Collected::kTooMany;
        names->emplace_back(name);
    }
    return Collected::kDone;
}

ScanOutcome scan(const char* path, MessageHub* hub) {
    if (path == nullptr || strnlen(path, kMaxPath) >= kMaxPath) return ScanOutcome::kPathTooLong;

    std::vector<std::string> found;
    Collected collected;
    try {
        collected = collect_pictures(path, &found);
    } catch (const std::bad_alloc&) {
        return ScanOutcome::kNoMemory;
    }
    if (collected == Collected::kTooMany) return ScanOutcome::kTooManyPictures;
    std::sort(found.begin(), found.end());

    ListingStore& store = listing_store();
    store.names.reset();
    store.disk_names.reset();
    store.formats.reset();
    store.record = FolderListing{};
    const size_t count = found.size();
    store.names.reset(new (std::nothrow) NameField[count]());
    store.disk_names.reset(new (std::nothrow) NameField[count]());
    store.formats.reset(new (std::nothrow) int32_t[count]());
    if (!store.names || !store.disk_names || !store.formats) return ScanOutcome::kNoMemory;
    std::memcpy(store.record.folder, path, std::strlen(path));

    for (size_t i = 0; i < count; ++i) {
        const std::string& name = found[i];  // at most NAME_MAX (255) bytes
        std::memcpy(store.disk_names[i], name.data(), name.size());
        for (size_t k = 0; k < name.size(); ++k) store.names[i][k] = ascii_lower(name[k]);
        store.formats[i] = format_id_of_type(image_type_of(name.c_str()));
    }
    store.record.names = store.names.get();
    store.record.disk_names = store.disk_names.get();
    store.record.formats = store.formats.get();
    store.record.count = static_cast<int32_t>(count);

    MessageHub* target = hub != nullptr ? hub : app_hub();
    if (target != nullptr) target->Send(MSG_FOLDER_LISTED, &store.record);
    return collected == Collected::kUnreadable ? ScanOutcome::kUnreadable : ScanOutcome::kListed;
}

}  // namespace

ScanOutcome ScanFolder(const char* path, MessageHub* hub) {
    g_last_outcome = scan(path, hub);
    return g_last_outcome;
}

ScanOutcome last_scan_outcome() {
    return g_last_outcome;
}

const char* scan_outcome_text(ScanOutcome outcome) {
    return outcome == ScanOutcome::kTooManyPictures ? kTooManyPicturesText : "";
}

}  // namespace lorvex
