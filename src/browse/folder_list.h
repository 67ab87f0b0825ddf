// The folder list: the picture files of the folder last scanned, with their
// size, format and creation time, and a sorted view over them with a current
// position. It owns its entries and view; pointers it hands out (EntryAt)
// stay valid until the next listing or sort. User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "hub/message_hub.h"
#include "hub/messages.h"

namespace lorvex {

struct FolderListing;

struct FolderEntry {
    char name[kMaxPath] = {};       // ASCII lower case, NUL-padded: label and name key
    int32_t size = 0;               // bytes, saturated at INT32_MAX
    int32_t format = 0;             // format identifier (format_id_of_type)
    int32_t date = 0;               // creation time (file_time.h), seconds since 1970 UTC
    char disk_name[kMaxPath] = {};  // the name as the file system spells it
};

struct OrderPair {
    int32_t key = 0;  // name order: the position; other orders: size, format or date
    FolderEntry* entry = nullptr;
};

// Built from every MSG_FOLDER_LISTED it receives; sends MSG_LIST_READY
// (kind kListFolder) after each build and each re-sort, even when the list
// is empty. Sort key and direction belong to the list and survive a new
// folder; they start as SORT_NAME, reverse. SORT_STAR and SORT_HITS (and any
// other code) have no value for files and show the name order in the chosen
// direction, so the view is always complete.
//
// Positions are 0-based positions in the sorted view; negative positions
// are refused everywhere. Operations return -1 when the list state could not
// be allocated at construction.
class FolderList {
  public:
    // Registers with hub, or with app_hub() when hub is null; with neither,
    // the list hears nothing and sends nothing.
    explicit FolderList(MessageHub* hub);
    ~FolderList();
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;

    // Number of entries while a list is present (mode 1), else -1.
    [[nodiscard]] int Count() const;
    // Copies the 260-byte folder path into buffer when a list is present and
    // size >= kMaxPath: 0; otherwise -1 and the buffer is left alone.
    [[nodiscard]] int FolderPath(char* buffer, size_t size) const;
    // Copies the 260-byte lower-case name at position: 0; -1 (buffer left
    // alone) without a list, for size < kMaxPath or position out of range.
    [[nodiscard]] int NameAt(int position, char* buffer, size_t size) const;
    // The same for the on-disk spelling of the name.
    [[nodiscard]] int DiskNameAt(int position, char* buffer, size_t size) const;
    // The path to open the file at position: folder, "/" (unless the folder
    // ends in one) and the on-disk name, NUL-padded to size. -1 (buffer
    // left alone) as NameAt, or when the path would not fit in
    // kMaxPath - 1 characters or in size.
    [[nodiscard]] int FullPathAt(int position, char* buffer, size_t size) const;
    // The entry at position, or null.
    [[nodiscard]] const FolderEntry* EntryAt(int position) const;

    [[nodiscard]] int Current() const;
    // Sorted count - 1, but not below 0.
    [[nodiscard]] int LastPosition() const;
    // -1 when position is negative or not below the sorted count.
    [[nodiscard]] int SetCurrent(int position);
    // Step back / forward when possible; 0 either way.
    [[nodiscard]] int Previous();
    [[nodiscard]] int Next();
    [[nodiscard]] int First();
    // Sorted count - 1, or 0 when the sorted count is below 2.
    [[nodiscard]] int Last();
    [[nodiscard]] int SortedCount() const;

    // Store the key or direction, re-sort, send MSG_LIST_READY.
    void SetKey(int32_t code);
    void SetForward();
    void SetReverse();

    [[nodiscard]] int32_t Key() const;
    [[nodiscard]] bool IsForward() const;
    // 0 nothing listed (or cleared), 1 a folder list is present.
    [[nodiscard]] int Mode() const;

  private:
    struct State;

    void OnFolderMessage(uint32_t code, void* record);
    void Clear();
    void Build(const FolderListing& listing);
    void Sort();
    void SortByName();
    void SortByKey();
    void SendListReady();
    bool ValidPosition(int position) const;

    MessageHub* hub_;
    std::unique_ptr<State> state_;
    std::unique_ptr<ForwardingReceiver<FolderList>> receiver_;
};

}  // namespace lorvex
