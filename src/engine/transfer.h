// Moving pictures in and out of private databases: adding a file, copying
// an item between open databases, deleting an item and writing an item back
// out to a folder. Each entry is one plain call with a result of its own, so
// the progress dialogs, the engine's message handlers and lorvex-db share
// them. Every change to a database is one store transaction: an item is
// stored or removed whole, or not at all. User-interface thread (or the
// command-line tool's only thread); the engine, when given, is kept in step.
#pragma once

#include <cstdint>
#include <string>

namespace lorvex {

class db_engine;
struct add_request;
struct delete_request;
struct export_request;

// Outcome of one entry.
enum transfer_status : int32_t {
    kTransferDone = 0,
    kTransferBadRequest,    // missing argument, slot not open
    kTransferNoItemId,      // the database's id counter cannot be read or advanced
    kTransferUnreadable,    // the file cannot be opened, examined or read
    kTransferTooLarge,      // above the store's 64 MiB per picture
    kTransferNotAPicture,   // the name gives type 0
    kTransferUndecodable,   // the codec cannot decode it (0-byte, damaged, too many pixels)
    kTransferStoreFailed,   // a store step failed; the transaction was rolled back
    kTransferMissingItem,   // no such item row in the database
    kTransferMissingPiece,  // the item's data, thumbnail or name record is missing or damaged
    kTransferUnsafeName,    // a stored name with no usable last component ("", ".", "..")
    kTransferSkipped,       // the name exists and the policy says skip
    kTransferNoFreeName,    // every "_0000" to "_9998" candidate exists
    kTransferCannotWrite,   // the target cannot be created or written
};

// A short English text for a status, for the dialogs' end-of-run report.
const char* transfer_status_text(int32_t status);

struct transfer_result {
    int32_t status = kTransferBadRequest;
    // Add and copy: the id taken from the target database (used up even on
    // failure, -1 when none was taken). Delete and export: the item.
    int32_t item_id = -1;
    // Export: the file written (or reserved and removed again on failure).
    std::string path;
};

// Existing-name policies of a copy-out run.
constexpr int32_t kExportPassOver = 0;
constexpr int32_t kExportRename = 1;
constexpr int32_t kExportSkip = 2;
// Suffixes "_0000" .. "_9998" are tried.
constexpr int32_t kExportMaxSuffix = 9998;

// Adds the file at path to the database in slot: its bytes, a thumbnail in
// its own format, the item row (size, creation time) and the name record
// (the part after the last "/", 260 bytes NUL-padded). The next item id is
// taken and advanced first, so it is used up whatever happens after.
// engine may be null (no in-memory update); otherwise the item enters the
// slot's index and the order is rebuilt.
transfer_result engine_add_file(db_engine* engine, int32_t slot, const char* path);

// Copies item source_item of source_slot into target_slot under a new id:
// row with the kept words, size, date and membership bits as they are,
// star and hits reset; thumbnail, name record and data (cut to the row's
// size). Both databases must be open in the store.
transfer_result engine_copy_item(db_engine* engine, int32_t source_slot, int32_t source_item,
                                 int32_t target_slot);

// Removes an item's data, thumbnail, row and name record together, then
// drops it from the engine's indexes and rebuilds the order.
transfer_result engine_delete_item(db_engine* engine, int32_t slot, int32_t item_id);

// Writes an item's picture into folder under its stored name (only the
// part after the last "/"). A name already taken is handled by policy:
// kExportRename tries "_%04d" before the last dot of the name (or at its
// end), others pass the entry over. The target is created exclusively and
// never through a symbolic link; exactly the recorded size is written.
// Reads from the store only (engine unused), so it also serves lorvex-db.
transfer_result engine_export_item(int32_t slot, int32_t item_id, const char* folder,
                                   int32_t policy);

// The name part of engine_export_item for callers that send MSG_ITEM_EXPORT
// themselves: reserves a free target for name in folder as an empty file
// created exclusively, and puts its path in result.path.
transfer_result engine_export_reserve(const char* folder, const char* stored_name, int32_t policy);

// Writes an item's data (its recorded size) to destination, replacing an
// existing regular file but never following a symbolic link.
transfer_result engine_export_to(int32_t slot, int32_t item_id, const char* destination);

// Handlers behind MSG_ITEM_ADD, MSG_ITEM_DELETE and MSG_ITEM_EXPORT: check
// the record (magic, kind) and run the entry. 0, or -1 when the record is
// refused or the entry did not complete.
[[nodiscard]] int engine_handle_add(db_engine* engine, const add_request* request);
[[nodiscard]] int engine_handle_delete(db_engine* engine, const delete_request* request);
[[nodiscard]] int engine_handle_export(const export_request* request);

}  // namespace lorvex
