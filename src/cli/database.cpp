#include "cli/database.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "browse/picture_types.h"
#include "endec_subsys/endec.h"
#include "engine/codec.h"
#include "engine/transfer.h"
#include "store/records.h"
#include "store/sql.h"
#include "store/store.h"
#include "store/tables.h"

namespace lorvex {
namespace {

// The tool keeps its one database in this slot of the store and engine.
constexpr int32_t kSlot = 0;
// Rows read per store query; the store takes limits below 10,000.
constexpr int32_t kRowsPerQuery = 5000;
// Opens a database to learn whether it is encrypted: a plain one opens with
// any password, an encrypted one answers that the password is wrong.
constexpr char kProbePassword[1] = {0};
// Ids without a row are looked at only up to here: a damaged counter must
// not turn a check into billions of lookups.
constexpr int32_t kOrphanScanLimit = 1000000;

std::string record_name(const uint8_t* bytes, size_t length) {
    size_t n = 0;
    while (n < length && bytes[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

}  // namespace

bool cli_is_member(const item_record& item, label_kind kind, int32_t position) {
    if (position < 0 || position >= kMaxLabels) return false;
    const uint32_t* words = kind == label_kind::klass ? item.classes : item.albums;
    return (words[position / 32] >> (position % 32) & 1u) != 0;
}

bool cli_is_picture_name(const std::string& path) {
    return image_type_of(path.c_str()) != 0;
}

int cli_cipher_ids(const std::vector<std::string>& names, std::vector<uint32_t>* ids,
                   std::string* error) {
    endec_registry registry{};
    if (endec_init() != 0 || endec_list(&registry) != 0) {
        *error = "the cipher library cannot be started";
        return -1;
    }
    std::string choices;
    for (int32_t k = 0; k < registry.count; ++k) {
        if (k > 0) choices += ", ";
        choices += registry.entries[k].name;
    }
    for (const std::string& name : names) {
        bool found = false;
        for (int32_t k = 0; k < registry.count && !found; ++k) {
            if (name == registry.entries[k].name) {
                ids->push_back(registry.entries[k].id);
                found = true;
            }
        }
        if (!found) {
            *error = "unknown cipher '" + name + "'; choose from " + choices;
            return -1;
        }
    }
    return 0;
}

int cli_create_database(const std::string& path, const std::string& password,
                        const std::vector<uint32_t>& ids, std::string* error) {
    store_init();
    const bool plain = ids.empty();
    int r = store_create(path.c_str(), kSlot, plain ? 1 : 2, plain ? nullptr : password.data(),
                         plain ? 0 : static_cast<int32_t>(password.size()),
                         plain ? nullptr : ids.data(), static_cast<int32_t>(ids.size()), 0);
    if (r != 0) {
        struct stat st {};
        const int saved = errno;
        std::string folder = path.substr(0, path.find_last_of('/') + 1);
        if (folder.empty()) folder = ".";
        if (stat(folder.c_str(), &st) != 0) {
            *error = "cannot create " + path + ": the folder " + folder + " does not exist";
        } else if (access(folder.c_str(), W_OK) != 0) {
            *error = "cannot create " + path + ": the folder " + folder + " is not writable";
        } else {
            *error = "cannot create " + path + " (" + std::strerror(saved) + ")";
        }
        unlink(path.c_str());
        return -1;
    }
    if (store_close(kSlot) != 0) {
        *error = "cannot finish writing " + path + "; the disk may be full";
        unlink(path.c_str());
        return -1;
    }
    return 0;
}

CliDatabase::CliDatabase() = default;

CliDatabase::~CliDatabase() {
    if (loaded_) static_cast<void>(engine_->engine_unload_slot(kSlot));
    engine_.reset();
    if (open_) static_cast<void>(store_close(kSlot));
}

int CliDatabase::open(const std::string& path, const CliIo& io, std::string* error) {
    path_ = path;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        *error = "cannot open " + path + ": " + std::strerror(errno) + "; check the path";
        return kExitNotDatabase;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = path + " is a folder, not a private database";
        return kExitNotDatabase;
    }
    if (!store_is_database_file(path.c_str())) {
        if (access(path.c_str(), R_OK) != 0) {
            *error =
                "cannot read " + path + ": " + std::strerror(errno) + "; check its permissions";
        } else {
            *error = path +
                     " is not a Lorvex private database (its first bytes are not "
                     "QVDB_1116_Ver01)";
        }
        return kExitNotDatabase;
    }
    if (access(path.c_str(), R_OK | W_OK) != 0) {
        *error = "cannot open " + path + " for reading and writing: " + std::strerror(errno) +
                 "; check its permissions";
        return kExitNotDatabase;
    }
    store_init();
    int r = store_open(path.c_str(), kSlot, kProbePassword, sizeof kProbePassword);
    if (r == -3) {
        std::string password;
        if (cli_read_password(io.password_env, io.in, io.err, &password) != 0) {
            *error = path + " is encrypted: set " + kPasswordVariable +
                     " or give the password on the first line of standard input";
            return kExitWrongPassword;
        }
        if (password.empty() || password.size() > kEndecMaxPassword) {
            *error = "wrong password for " + path + ": a password has 1 to 32 characters, " +
                     "this one has " + std::to_string(password.size()) + "; nothing was changed";
            return kExitWrongPassword;
        }
        r = store_open(path.c_str(), kSlot, password.data(), static_cast<int32_t>(password.size()));
        if (r == -3) {
            *error = "wrong password for " + path + "; nothing was changed";
            return kExitWrongPassword;
        }
    }
    if (r == -2) {
        *error = path + " cannot be opened: it is damaged, or not readable and writable";
        return kExitNotDatabase;
    }
    if (r != 0) {
        *error = path +
                 " cannot be opened: it is damaged or uses a cipher this program does "
                 "not know";
        return kExitNotDatabase;
    }
    open_ = true;
    engine_ = std::make_unique<db_engine>(&hub_);
    if (engine_->engine_load_slot(kSlot) != 0) {
        *error = path + " cannot be loaded: its class or album table is damaged";
        return kExitNotDatabase;
    }
    loaded_ = true;
    return kExitOk;
}

bool CliDatabase::has_item(int32_t id) {
    int32_t count = 0;
    query_result* rows = store_query_range(kSlot, id, id, 1, &count);
    const bool found = rows != nullptr && rows->count == 1;
    store_free_result(rows);
    return found;
}

int CliDatabase::all_items(std::vector<item_record>* items) {
    items->clear();
    int32_t low = 0;
    for (;;) {
        int32_t count = 0;
        query_result* rows = store_query_range(kSlot, low, INT32_MAX, kRowsPerQuery, &count);
        if (rows == nullptr) return -1;
        for (int32_t k = 0; k < rows->count; ++k) items->push_back(rows->items[k]);
        const int32_t got = rows->count;
        store_free_result(rows);
        if (got < kRowsPerQuery) return 0;
        if (items->back().id == INT32_MAX) return 0;
        low = items->back().id + 1;
    }
}

int32_t CliDatabase::next_item_id() {
    return store_next_item_id(kSlot);
}

std::vector<std::string> CliDatabase::cipher_names() {
    // The chain's ids are settings of the file; a second connection reads
    // them through the store's own table layer.
    std::vector<std::string> names;
    SqlConnection connection;
    try {
        connection.open(path_.c_str());
    } catch (const CppSQLite3Exception&) {
        return {"(cipher list unreadable)"};
    }
    int32_t count = 0;
    if (table_setting_read(&connection, kKeyCipherCount, &count) != 1 || count < 0 ||
        count > kEndecMaxStages) {
        return {"(cipher list unreadable)"};
    }
    endec_registry registry{};
    static_cast<void>(endec_list(&registry));
    for (int32_t n = 0; n < count; ++n) {
        int32_t id = 0;
        if (table_setting_read(&connection, kKeyCipherBase + n, &id) != 1) {
            names.push_back("(unreadable)");
            continue;
        }
        std::string name = "unknown cipher " + std::to_string(id);
        for (int32_t k = 0; k < registry.count; ++k) {
            if (registry.entries[k].id == static_cast<uint32_t>(id))
                name = registry.entries[k].name;
        }
        names.push_back(name);
    }
    return names;
}

std::vector<CliLabel> CliDatabase::labels(label_kind kind) {
    std::vector<CliLabel> out;
    auto table = std::make_unique<label_table>();
    if (engine_->engine_label_table(kSlot, kind, table.get()) != 0) return out;
    for (int32_t k = 0; k < kMaxLabels; ++k) {
        const label_entry& e = table->entries[k];
        if (e.id == 0) continue;
        out.push_back({k, record_name(reinterpret_cast<const uint8_t*>(e.name), sizeof e.name)});
    }
    return out;
}

std::string CliDatabase::item_name(int32_t id) {
    blob_bytes name;
    if (engine_->engine_get_name(kSlot, id, &name) <= 0) return "";
    return record_name(name.data(), name.size());
}

int CliDatabase::add_file(const std::string& file, int32_t* id, std::string* reason) {
    transfer_result r = engine_add_file(engine_.get(), kSlot, file.c_str());
    *id = r.item_id;
    if (r.status == kTransferDone) return 0;
    *reason = transfer_status_text(r.status);
    return -1;
}

int CliDatabase::export_item(int32_t id, const std::string& dir, CliPolicy policy,
                             std::string* written, std::string* reason) {
    transfer_result r = engine_export_item(
        kSlot, id, dir.c_str(), policy == CliPolicy::kRename ? kExportRename : kExportSkip);
    *written = r.path;
    if (r.status == kTransferDone) return 0;
    if (r.status == kTransferSkipped) return 1;
    *reason = transfer_status_text(r.status);
    return -1;
}

int CliDatabase::delete_item(int32_t id, std::string* reason) {
    transfer_result r = engine_delete_item(engine_.get(), kSlot, id);
    if (r.status == kTransferDone) return 0;
    *reason = transfer_status_text(r.status);
    return -1;
}

int CliDatabase::ensure_indexed(int32_t id) {
    item_record item{};
    if (engine_->engine_find_item(kSlot, id, &item) == 0) return 0;
    int32_t count = 0;
    query_result* rows = store_query_range(kSlot, id, id, 1, &count);
    int r = -1;
    if (rows != nullptr && rows->count == 1) r = engine_->engine_index_item(kSlot, rows->items[0]);
    store_free_result(rows);
    return r;
}

int CliDatabase::set_stars(int32_t id, int32_t stars) {
    if (ensure_indexed(id) != 0) return -1;
    star_hit_request request;
    request.set_star = 1;
    request.star = stars;
    return engine_->engine_set_star_hit(kSlot, id, request);
}

int CliDatabase::add_to_label(label_kind kind, const std::string& name, int32_t id) {
    if (ensure_indexed(id) != 0) return -1;
    return kind == label_kind::klass ? engine_->engine_add_to_class(kSlot, id, name.c_str())
                                     : engine_->engine_add_to_album(kSlot, id, name.c_str());
}

int CliDatabase::remove_label(label_kind kind, const std::string& name) {
    bool known = false;
    for (const CliLabel& l : labels(kind)) known = known || l.name == name;
    if (!known) return -1;
    // The engine clears the membership of the items it holds, so it is
    // given every item first, not only the ones it loaded.
    std::vector<item_record> items;
    if (all_items(&items) != 0) return -1;
    for (const item_record& item : items) {
        if (ensure_indexed(item.id) != 0) return -1;
    }
    int r = kind == label_kind::klass ? engine_->engine_remove_class(kSlot, name.c_str())
                                      : engine_->engine_remove_album(kSlot, name.c_str());
    return r < 0 ? -1 : 0;
}

int CliDatabase::verify(const VerifyProgress& progress, std::vector<std::string>* problems,
                        size_t* checked) {
    std::vector<item_record> items;
    if (all_items(&items) != 0) return -1;
    *checked = items.size();
    const int32_t next = next_item_id();
    if (next < 1) {
        problems->push_back("the next item id cannot be read");
        return 0;
    }
    // Ids below the counter without a row must hold no pieces either; rows
    // at or beyond the counter are damage of their own.
    std::map<int32_t, const item_record*> rows;
    for (const item_record& item : items) rows[item.id] = &item;
    std::set<int32_t> ids;
    if (next - 1 <= kOrphanScanLimit) {
        for (int32_t id = 1; id < next; ++id) ids.insert(id);
    } else {
        problems->push_back("the next item id " + std::to_string(next) +
                            " is implausibly high; ids without a row were not checked");
    }
    for (const item_record& item : items) ids.insert(item.id);
    size_t done = 0;
    for (int32_t id : ids) {
        auto found = rows.find(id);
        const item_record* item = found == rows.end() ? nullptr : found->second;
        const std::string at = "item " + std::to_string(id) + ": ";
        uint8_t* data = nullptr;
        uint32_t data_length = 0;
        const bool has_data = store_get_data(kSlot, id, &data, &data_length) == 0;
        uint8_t* thumb = nullptr;
        uint32_t thumb_length = 0;
        const bool has_thumb = store_get_thumbnail(kSlot, id, &thumb, &thumb_length) == 0;
        store_free_buffer(thumb);
        blob_record* name_record = store_get_record(kSlot, id);
        const bool has_name = name_record != nullptr;
        const std::string name =
            has_name ? record_name(name_record->data, name_record->length) : "";
        store_free_record(name_record);

        if (item == nullptr) {
            if (has_data) problems->push_back(at + "picture data without an item row");
            if (has_thumb) problems->push_back(at + "thumbnail without an item row");
            if (has_name) problems->push_back(at + "name without an item row");
            store_free_buffer(data);
            continue;
        }
        progress(done++, items.size(), id);
        if (id < 1 || id >= next) {
            problems->push_back(at + "its id is not below the next item id " +
                                std::to_string(next));
        }
        if (!has_data) problems->push_back(at + "picture data missing or cannot be deciphered");
        if (!has_thumb) problems->push_back(at + "thumbnail missing or cannot be deciphered");
        if (!has_name || name.empty()) problems->push_back(at + "name missing");
        if (has_data) {
            if (item->size <= 0 || static_cast<uint32_t>(item->size) > data_length) {
                problems->push_back(at + "recorded size " + std::to_string(item->size) +
                                    " does not fit the " + std::to_string(data_length) +
                                    " stored bytes");
            } else if (!name.empty()) {
                CodecImage picture;
                if (!picture.Decode(data, static_cast<uint32_t>(item->size),
                                    image_type_of(name.c_str()))) {
                    problems->push_back(at + "picture data of " + name +
                                        " does not decode: " + picture.GetLastError());
                }
            }
        }
        store_free_buffer(data);
    }
    return 0;
}

}  // namespace lorvex
