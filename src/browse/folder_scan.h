// The folder scan: lists the picture files of one folder by name and
// broadcasts them as MSG_FOLDER_LISTED. The FolderListing it sends is one
// process-wide record owned by the scan, valid until the next scan (a
// receiver copies what it keeps). User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hub/messages.h"

namespace lorvex {

class MessageHub;

constexpr uint32_t kFolderListingMagic = 0xd1209a02;
// The most picture files a folder may hold and still be listed.
constexpr int32_t kMaxFolderPictures = 5000;

// What the status bar shows when a folder held too many pictures to list.
inline constexpr char kTooManyPicturesText[] = "More than 5000 pictures: folder not listed";

using NameField = char[kMaxPath];

// Record of MSG_FOLDER_LISTED.
struct FolderListing {
    uint32_t magic = kFolderListingMagic;
    int32_t count = 0;
    char folder[kMaxPath] = {};  // the scanned path, NUL-padded
    // count names, NUL-padded, ASCII lower case; the labels and the sort
    // key of the folder list.
    NameField* names = nullptr;
    // count format identifiers (format_id_of_type), one per name.
    int32_t* formats = nullptr;
    // count names exactly as the file system spells them (same lengths as
    // names); every file access goes through these. A sender may leave this
    // null, and the names are then used as they are.
    NameField* disk_names = nullptr;
};

// How the last scan ended.
enum class ScanOutcome : int32_t {
    kListed = 0,           // MSG_FOLDER_LISTED was sent
    kUnreadable = 1,       // the folder could not be read; an empty listing was sent
    kPathTooLong = 2,      // path of kMaxPath or more characters (or null); nothing sent
    kTooManyPictures = 3,  // more than kMaxFolderPictures pictures; nothing sent
    kNoMemory = 4,         // an allocation failed; nothing sent
};

// Lists the regular files of path whose names give a picture type, names
// in byte order of their on-disk spelling, and sends MSG_FOLDER_LISTED to
// hub, or to app_hub() when hub is null (nothing is sent when both are
// null). The outcome is also kept for last_scan_outcome(). When nothing is
// sent, the previous record stays valid and the folder list keeps its list.
ScanOutcome ScanFolder(const char* path, MessageHub* hub = nullptr);

// The outcome of the latest ScanFolder call (kListed before any).
[[nodiscard]] ScanOutcome last_scan_outcome();

// The status-bar text for an outcome: kTooManyPicturesText for
// kTooManyPictures, an empty string for the others.
[[nodiscard]] const char* scan_outcome_text(ScanOutcome outcome);

}  // namespace lorvex
