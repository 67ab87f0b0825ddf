// Message codes of the hub and the records that no single component owns.
// Records live on the sender's stack and are valid only while Send runs; a
// receiver that needs the data later copies it. Every record begins with a
// magic number that a receiver checks before reading anything else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lorvex {

// The high half groups the codes: 1 browse lists, 3 engine, 4 user-interface
// modes, 5 questions to the thumbnail view, 6 side panel.
enum MessageCode : uint32_t {
    MSG_FOLDER_LISTED = 0x10002,
    MSG_LIST_READY = 0x10010,
    MSG_DB_OPEN = 0x30001,
    MSG_DB_CLOSE = 0x30002,
    MSG_ITEM_ADD = 0x30101,
    MSG_ITEM_DELETE = 0x30102,
    MSG_ITEM_EXPORT = 0x30103,
    MSG_TAGS_CHANGED = 0x30201,
    MSG_FILTER = 0x30202,
    MSG_TAG_NAMES_QUERY = 0x30203,
    MSG_ITEM_INFO = 0x30301,
    MSG_MEMBERSHIP_SET = 0x30302,
    MSG_EDIT_MODE = 0x40001,
    MSG_VIEW_SWITCHED = 0x40002,
    MSG_SELECTION_TAGS_QUERY = 0x50001,
    MSG_SELECTION_QUERY = 0x50002,
    MSG_PANEL_PAGE = 0x60001,
};

// Two-way selector values carried by many records; 0x33 stands for both.
constexpr int32_t kSelectA = 0x11;
constexpr int32_t kSelectB = 0x22;
constexpr int32_t kSelectBoth = 0x33;

// Kinds of ListReadyNote.
constexpr int32_t kListFolder = 0x11;
constexpr int32_t kListDatabase = 0x22;
// Modes of EditModeNote.
constexpr int32_t kModeFilter = 0x11;
constexpr int32_t kModeSetting = 0x22;
// Targets of ViewSwitchNote.
constexpr int32_t kTargetThumbnails = 0x11;
constexpr int32_t kTargetPicture = 0x22;

// Sort keys shared by the folder list and the database item order.
constexpr int32_t SORT_NAME = 1;
constexpr int32_t SORT_SIZE = 2;
constexpr int32_t SORT_TYPE = 4;
constexpr int32_t SORT_DATE = 8;
constexpr int32_t SORT_STAR = 16;
constexpr int32_t SORT_HITS = 32;
constexpr int32_t kSortForward = 1;
constexpr int32_t kSortReverse = 0;

// Paths and names travel in fixed, NUL-padded fields; a full path must fit
// in kMaxPath - 1 characters.
constexpr size_t kMaxPath = 260;

constexpr uint32_t kListReadyMagic = 0x13a87001;
struct ListReadyNote {
    uint32_t magic = kListReadyMagic;
    int32_t kind = 0;  // kListFolder or kListDatabase
};

constexpr uint32_t kEditModeMagic = 0xd212ac21;
struct EditModeNote {
    uint32_t magic = kEditModeMagic;
    int32_t mode = 0;  // kModeFilter or kModeSetting
};

constexpr uint32_t kViewSwitchMagic = 0x984a3df;
struct ViewSwitchNote {
    uint32_t magic = kViewSwitchMagic;
    int32_t target = 0;  // kTargetThumbnails or kTargetPicture
};

constexpr uint32_t kPanelPageMagic = 0x38982087;
struct PanelPageNote {
    uint32_t magic = kPanelPageMagic;
    char reserved1[kMaxPath] = {};
    int32_t reserved2 = 0;
    char title[kMaxPath] = {};  // "Dir", "DB", "Class", "Album" or "Search"
};
static_assert(sizeof(PanelPageNote) == 4 + 260 + 4 + 260);
static_assert(offsetof(PanelPageNote, title) == 268);

constexpr uint32_t kSelectionQueryMagic = 0x32ac3d90;
// Answered by the thumbnail view only while positions is still null; the
// array it allocates (with new[]) belongs to the sender afterwards.
struct SelectionQuery {
    uint32_t magic = kSelectionQueryMagic;
    int32_t count = 0;
    int32_t* positions = nullptr;
};

}  // namespace lorvex
