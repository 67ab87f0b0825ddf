// Adding, copying, deleting and exporting items. Every entry runs in the
// same order: check and read everything it needs first (the file, the
// source item's pieces), decode and encode outside any lock, and only then
// open one store transaction for all the writes, so a failure at any step
// leaves the database as it was. The item id is taken and advanced before
// that, in its own step: ids are used up even by entries that fail.
//
// Copy-out never writes outside the target folder: only the last component
// of a stored name is used, and the target file is created with O_EXCL and
// O_NOFOLLOW, so an existing file (readable or not) or a symbolic link is
// never written through. Only the recorded size is written, not the padded
// blob.
#include "engine/transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "browse/file_time.h"
#include "browse/picture_types.h"
#include "engine/engine.h"
#include "engine/engine_records.h"
#include "engine/thumbnail.h"
#include "store/store.h"

namespace lorvex {
namespace {

bool slot_in_range(int32_t slot) {
    return slot >= 0 && slot < kEngineSlots;
}

transfer_result result_of(int32_t status, int32_t item_id, std::string path = {}) {
    transfer_result result;
    result.status = status;
    result.item_id = item_id;
    result.path = std::move(path);
    return result;
}

// Owners of store results, released on every path.
struct StoreBuffer {
    uint8_t* data = nullptr;
    uint32_t length = 0;
    ~StoreBuffer() { store_free_buffer(data); }
};
struct StoreRecord {
    blob_record* record = nullptr;
    ~StoreRecord() { store_free_record(record); }
};
struct StoreRows {
    query_result* rows = nullptr;
    ~StoreRows() { store_free_result(rows); }
};
struct CodecBuffer {
    uint8_t* data = nullptr;
    int32_t length = 0;
    ~CodecBuffer() { CodecImage::FreeMemory(data); }
};
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// The one row of item_id, or false.
bool read_row(int32_t slot, int32_t item_id, item_record* out) {
    int32_t count = 0;
    StoreRows rows;
    rows.rows = store_query_range(slot, item_id, item_id, 1, &count);
    if (!rows.rows || count != 1 || rows.rows->count != 1 || !rows.rows->items) return false;
    *out = rows.rows->items[0];
    return out->id == item_id;
}

// Takes the next item id and advances the counter, as one step of its own;
// -1 when either fails.
int32_t take_item_id(int32_t slot) {
    StoreTransaction transaction(slot);
    if (!transaction.active()) return -1;
    const int32_t id = store_next_item_id(slot);
    if (id <= 0 || store_advance_item_id(slot) != 0) return -1;
    return transaction.commit() == 0 ? id : -1;
}

bool read_all(int fd, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool write_all(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The part of a stored name after its last "/", or empty when that part
// is not a usable file name.
std::string safe_last_component(const char* stored_name, size_t length) {
    const std::string name(stored_name, strnlen(stored_name, length));
    const size_t slash = name.rfind('/');
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last == "." || last == "..") last.clear();
    return last;
}

// name with "_%04d" of n before its last dot, or at its end.
std::string suffixed(const std::string& name, int32_t n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%04d", n);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

int create_exclusive(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

// Reserves a target for name in folder; on kTransferDone *fd is open on the
// new, empty file named in result.path.
transfer_result reserve_target(const char* folder, const std::string& name, int32_t policy,
                               int* fd) {
    *fd = -1;
    if (!folder || !*folder) return result_of(kTransferBadRequest, -1);
    if (name.empty()) return result_of(kTransferUnsafeName, -1);
    std::string base(folder);
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base != "/") base += '/';
    std::string target = base + name;
    *fd = create_exclusive(target);
    if (*fd >= 0) return result_of(kTransferDone, -1, target);
    if (errno != EEXIST) return result_of(kTransferCannotWrite, -1, target);
    if (policy != kExportRename) return result_of(kTransferSkipped, -1, target);
    for (int32_t n = 0; n <= kExportMaxSuffix; ++n) {
        target = base + suffixed(name, n);
        *fd = create_exclusive(target);
        if (*fd >= 0) return result_of(kTransferDone, -1, target);
        if (errno != EEXIST) return result_of(kTransferCannotWrite, -1, target);
    }
    return result_of(kTransferNoFreeName, -1);
}

// The item's data cut to its recorded size.
int32_t read_item_data(int32_t slot, int32_t item_id, item_record* row, StoreBuffer* data) {
    if (!read_row(slot, item_id, row)) return kTransferMissingItem;
    if (store_get_data(slot, item_id, &data->data, &data->length) != 0 || !data->data) {
        return kTransferMissingPiece;
    }
    if (row->size <= 0 || static_cast<uint32_t>(row->size) > data->length) {
        return kTransferMissingPiece;
    }
    return kTransferDone;
}

}  // namespace

const char* transfer_status_text(int32_t status) {
    switch (status) {
        case kTransferDone:
            return "done";
        case kTransferBadRequest:
            return "bad request or database not open";
        case kTransferNoItemId:
            return "no item id available";
        case kTransferUnreadable:
            return "file cannot be read";
        case kTransferTooLarge:
            return "file larger than 64 MiB";
        case kTransferNotAPicture:
            return "not a picture";
        case kTransferUndecodable:
            return "picture cannot be decoded";
        case kTransferStoreFailed:
            return "database write failed";
        case kTransferMissingItem:
            return "no such item";
        case kTransferMissingPiece:
            return "item data missing or damaged";
        case kTransferUnsafeName:
            return "stored name unusable";
        case kTransferSkipped:
            return "name exists, skipped";
        case kTransferNoFreeName:
            return "no free name";
        case kTransferCannotWrite:
            return "target cannot be written";
        default:
            return "unknown";
    }
}

transfer_result engine_add_file(db_engine* engine, int32_t slot, const char* path) {
    if (!path || !*path || !slot_in_range(slot) || !store_is_open(slot)) {
        return result_of(kTransferBadRequest, -1);
    }
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    if (std::strlen(name) >= kNameRecordSize) return result_of(kTransferBadRequest, -1);

    const int32_t id = take_item_id(slot);
    if (id < 0) return result_of(kTransferNoItemId, -1);

    FileDescriptor file;
    file.fd = ::open(path, O_RDONLY | O_CLOEXEC);
    FileStatus status;
    if (file.fd < 0 || file_status_fd(file.fd, &status) != 0 || !status.regular) {
        return result_of(kTransferUnreadable, id);
    }
    if (status.size > static_cast<int64_t>(kStoreMaxBlob)) return result_of(kTransferTooLarge, id);
    const int32_t type = image_type_of(name);
    if (type == kTypeNone) return result_of(kTransferNotAPicture, id);
    if (status.size == 0) return result_of(kTransferUndecodable, id);
    std::vector<uint8_t> bytes(static_cast<size_t>(status.size));
    if (!read_all(file.fd, bytes.data(), bytes.size())) return result_of(kTransferUnreadable, id);

    CodecImage thumbnail;
    ThumbFit fit;
    if (!thumb_make_from_bytes(bytes.data(), static_cast<uint32_t>(bytes.size()), type, &thumbnail,
                               &fit)) {
        return result_of(kTransferUndecodable, id);
    }
    CodecBuffer blob;
    if (!thumb_encode(&thumbnail, type, &blob.data, &blob.length)) {
        return result_of(kTransferUndecodable, id);
    }
    uint8_t name_record[kNameRecordSize] = {};
    std::memcpy(name_record, name, std::strlen(name));

    item_record row{};
    {
        StoreTransaction transaction(slot);
        if (!transaction.active()) return result_of(kTransferStoreFailed, id);
        const blob_record data{id, bytes.data(), static_cast<uint32_t>(bytes.size())};
        const blob_record name_entry{id, name_record, kNameRecordSize};
        if (store_put_data(slot, &data, 1) != 0 ||
            thumb_store_db(slot, id, blob.data, static_cast<uint32_t>(blob.length),
                           static_cast<int32_t>(status.size), static_cast<int32_t>(status.created),
                           &row) != 0 ||
            store_put_record(slot, &name_entry, 1) != 0 || transaction.commit() != 0) {
            return result_of(kTransferStoreFailed, id);
        }
    }
    if (engine) {
        (void)engine->engine_index_item(slot, row);
        engine->engine_rebuild_order();
    }
    return result_of(kTransferDone, id);
}

transfer_result engine_copy_item(db_engine* engine, int32_t source_slot, int32_t source_item,
                                 int32_t target_slot) {
    if (!slot_in_range(source_slot) || !slot_in_range(target_slot) || !store_is_open(source_slot) ||
        !store_is_open(target_slot)) {
        return result_of(kTransferBadRequest, -1);
    }
    const int32_t id = take_item_id(target_slot);
    if (id < 0) return result_of(kTransferNoItemId, -1);

    item_record row{};
    if (!read_row(source_slot, source_item, &row)) return result_of(kTransferMissingItem, id);
    StoreBuffer thumbnail;
    if (store_get_thumbnail(source_slot, source_item, &thumbnail.data, &thumbnail.length) != 0 ||
        !thumbnail.data || thumbnail.length == 0) {
        return result_of(kTransferMissingPiece, id);
    }
    StoreRecord name;
    name.record = store_get_record(source_slot, source_item);
    if (!name.record || !name.record->data || name.record->length == 0 ||
        name.record->length > kNameRecordSize) {
        return result_of(kTransferMissingPiece, id);
    }
    StoreBuffer data;
    if (store_get_data(source_slot, source_item, &data.data, &data.length) != 0 || !data.data ||
        row.size <= 0 || static_cast<uint32_t>(row.size) > data.length) {
        return result_of(kTransferMissingPiece, id);
    }

    item_record copy{};
    copy.id = id;
    std::memcpy(copy.kept, row.kept, sizeof copy.kept);
    copy.size = row.size;
    copy.date = row.date;
    std::memcpy(copy.classes, row.classes, sizeof copy.classes);
    std::memcpy(copy.albums, row.albums, sizeof copy.albums);
    {
        StoreTransaction transaction(target_slot);
        if (!transaction.active()) return result_of(kTransferStoreFailed, id);
        const blob_record thumb_entry{id, thumbnail.data, thumbnail.length};
        const blob_record name_entry{id, name.record->data, name.record->length};
        const blob_record data_entry{id, data.data, static_cast<uint32_t>(row.size)};
        if (store_insert_item(target_slot, id, copy.kept, 4, copy.size, copy.date, 0, 0,
                              copy.classes, 4, copy.albums, 4) != 0 ||
            store_put_thumbnail(target_slot, &thumb_entry, 1) != 0 ||
            store_put_record(target_slot, &name_entry, 1) != 0 ||
            store_put_data(target_slot, &data_entry, 1) != 0 || transaction.commit() != 0) {
            return result_of(kTransferStoreFailed, id);
        }
    }
    if (engine) {
        (void)engine->engine_index_item(target_slot, copy);
        engine->engine_rebuild_order();
    }
    return result_of(kTransferDone, id);
}

transfer_result engine_delete_item(db_engine* engine, int32_t slot, int32_t item_id) {
    if (!slot_in_range(slot) || !store_is_open(slot) || item_id <= 0) {
        return result_of(kTransferBadRequest, item_id);
    }
    item_record row{};
    StoreBuffer data;
    const bool has_row = read_row(slot, item_id, &row);
    const bool has_data = store_get_data(slot, item_id, &data.data, &data.length) == 0;
    if (!has_row && !has_data) return result_of(kTransferMissingItem, item_id);
    {
        StoreTransaction transaction(slot);
        if (!transaction.active() || store_delete_data(slot, item_id) != 0 ||
            store_delete_thumbnail(slot, item_id) != 0 || store_delete_item(slot, item_id) != 0 ||
            store_delete_record(slot, item_id) != 0 || transaction.commit() != 0) {
            return result_of(kTransferStoreFailed, item_id);
        }
    }
    if (engine) {
        (void)engine->engine_forget_item(slot, item_id);
        engine->engine_rebuild_order();
    }
    return result_of(kTransferDone, item_id);
}

transfer_result engine_export_reserve(const char* folder, const char* stored_name, int32_t policy) {
    if (!stored_name) return result_of(kTransferBadRequest, -1);
    int fd = -1;
    transfer_result result = reserve_target(
        folder, safe_last_component(stored_name, std::strlen(stored_name)), policy, &fd);
    if (fd >= 0) ::close(fd);
    return result;
}

transfer_result engine_export_item(int32_t slot, int32_t item_id, const char* folder,
                                   int32_t policy) {
    if (!slot_in_range(slot) || !store_is_open(slot) || !folder) {
        return result_of(kTransferBadRequest, item_id);
    }
    item_record row{};
    StoreBuffer data;
    const int32_t status = read_item_data(slot, item_id, &row, &data);
    if (status != kTransferDone) return result_of(status, item_id);
    StoreRecord name;
    name.record = store_get_record(slot, item_id);
    if (!name.record || !name.record->data) return result_of(kTransferMissingPiece, item_id);

    FileDescriptor target;
    transfer_result result = reserve_target(
        folder,
        safe_last_component(reinterpret_cast<const char*>(name.record->data), name.record->length),
        policy, &target.fd);
    result.item_id = item_id;
    if (result.status != kTransferDone) return result;
    if (!write_all(target.fd, data.data, static_cast<size_t>(row.size)) ||
        ::close(target.fd) != 0) {
        target.fd = -1;
        ::unlink(result.path.c_str());
        result.status = kTransferCannotWrite;
        return result;
    }
    target.fd = -1;
    return result;
}

transfer_result engine_export_to(int32_t slot, int32_t item_id, const char* destination) {
    if (!slot_in_range(slot) || !store_is_open(slot) || !destination || !*destination) {
        return result_of(kTransferBadRequest, item_id);
    }
    item_record row{};
    StoreBuffer data;
    const int32_t status = read_item_data(slot, item_id, &row, &data);
    if (status != kTransferDone) return result_of(status, item_id);
    FileDescriptor target;
    target.fd = ::open(destination, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (target.fd < 0) return result_of(kTransferCannotWrite, item_id, destination);
    const bool written = write_all(target.fd, data.data, static_cast<size_t>(row.size));
    const int closed = ::close(target.fd);
    target.fd = -1;
    if (!written || closed != 0) return result_of(kTransferCannotWrite, item_id, destination);
    return result_of(kTransferDone, item_id, destination);
}

int engine_handle_add(db_engine* engine, const add_request* request) {
    if (!request || request->magic != kAddRequestMagic) return -1;
    transfer_result result;
    if (request->kind == kAddFile) {
        if (strnlen(request->path, sizeof request->path) >= sizeof request->path) return -1;
        result = engine_add_file(engine, request->target_slot, request->path);
    } else if (request->kind == kAddCopy) {
        result = engine_copy_item(engine, request->source_slot, request->source_item_id,
                                  request->target_slot);
    } else {
        return -1;
    }
    return result.status == kTransferDone ? 0 : -1;
}

int engine_handle_delete(db_engine* engine, const delete_request* request) {
    if (!request || request->magic != kDeleteRequestMagic) return -1;
    return engine_delete_item(engine, request->slot, request->item_id).status == kTransferDone ? 0
                                                                                               : -1;
}

int engine_handle_export(const export_request* request) {
    if (!request || request->kind != kExportToFile) return -1;
    if (strnlen(request->path, sizeof request->path) >= sizeof request->path) return -1;
    return engine_export_to(request->slot, request->item_id, request->path).status == kTransferDone
               ? 0
               : -1;
}

}  // namespace lorvex
