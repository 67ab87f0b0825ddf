// One private database as lorvex-db works on it: opened in the store under
// slot 0, loaded into a db_engine of its own, and changed only through the
// engine's and the store's own item steps. The object owns the open
// database and closes it when it goes. Main thread only; one per process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "engine/engine.h"
#include "hub/message_hub.h"

namespace lorvex {

// A class or album in use: its position (the membership bit) and name.
struct CliLabel {
    int32_t position = 0;
    std::string name;
};

[[nodiscard]] bool cli_is_member(const item_record& item, label_kind kind, int32_t position);

// True when the file name gives a picture type (the folder scan's test).
[[nodiscard]] bool cli_is_picture_name(const std::string& path);

// Cipher names to registry ids, in the order given. -1 and *error naming
// the unknown name and the choices.
[[nodiscard]] int cli_cipher_ids(const std::vector<std::string>& names, std::vector<uint32_t>* ids,
                                 std::string* error);

// Makes a new database (plain when ids is empty) and closes it again. -1
// and *error when it cannot be made; a file the attempt left is removed.
[[nodiscard]] int cli_create_database(const std::string& path, const std::string& password,
                                      const std::vector<uint32_t>& ids, std::string* error);

class CliDatabase {
  public:
    CliDatabase();
    ~CliDatabase();
    CliDatabase(const CliDatabase&) = delete;
    CliDatabase& operator=(const CliDatabase&) = delete;

    // Checks the header, opens the file (asking io for the password only
    // when the database is encrypted) and loads it. kExitOk, or the exit
    // status (kExitWrongPassword, kExitNotDatabase) with *error set.
    [[nodiscard]] int open(const std::string& path, const CliIo& io, std::string* error);
    const std::string& path() const { return path_; }

    // Reads of the stored database, not limited to what the engine loads.
    [[nodiscard]] bool has_item(int32_t id);
    // Every item row in id order. 0 or -1.
    [[nodiscard]] int all_items(std::vector<item_record>* items);
    [[nodiscard]] int32_t next_item_id();
    // The stages' cipher names in chain order; empty for a plain database.
    [[nodiscard]] std::vector<std::string> cipher_names();
    [[nodiscard]] std::vector<CliLabel> labels(label_kind kind);
    // The item's file name as recorded, "" when there is none.
    [[nodiscard]] std::string item_name(int32_t id);

    // One entry of an add, copy-out or delete run, as the program's dialogs
    // do it. 0 (with the new id, or the file written), or -1 with *reason.
    [[nodiscard]] int add_file(const std::string& file, int32_t* id, std::string* reason);
    // 0 written under *written, 1 passed over (the name exists and policy
    // is skip), -1 failed.
    [[nodiscard]] int export_item(int32_t id, const std::string& dir, CliPolicy policy,
                                  std::string* written, std::string* reason);
    [[nodiscard]] int delete_item(int32_t id, std::string* reason);

    // Item edits through the engine; the item need not be among those the
    // engine loaded at open. 0 or -1.
    [[nodiscard]] int set_stars(int32_t id, int32_t stars);
    // 1 the label was created, 0 the item joined it, -1 refused.
    [[nodiscard]] int add_to_label(label_kind kind, const std::string& name, int32_t id);
    // Deletes the label and clears it on every item; -1 when no label has
    // the name.
    [[nodiscard]] int remove_label(label_kind kind, const std::string& name);

    // Checks every item id below the counter; each problem becomes one line
    // of *problems. progress(done, total, id) is called before each item
    // with a row. 0, or -1 when the rows cannot be read.
    using VerifyProgress = std::function<void(size_t done, size_t total, int32_t id)>;
    [[nodiscard]] int verify(const VerifyProgress& progress, std::vector<std::string>* problems,
                             size_t* checked);

  private:
    // Makes sure the engine holds the item's record, loading it from the
    // store when it lies beyond what the engine loaded. 0 or -1.
    int ensure_indexed(int32_t id);

    MessageHub hub_;
    std::unique_ptr<db_engine> engine_;
    std::string path_;
    bool open_ = false;
    bool loaded_ = false;
};

}  // namespace lorvex
