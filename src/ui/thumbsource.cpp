// Folder thumbnails through the thumbnail cache database: the key is made from
// the file's path, creation time and size; a hit decodes the cached blob and
// fits it again, a miss decodes the file, stores the encoded thumbnail and
// draws it. Without a cache database the thumbnail is made and not kept.
#include "ui/thumbsource.h"

#include <cstring>

#include "browse/file_time.h"
#include "browse/picture_types.h"
#include "engine/thumbnail.h"
#include "store/store.h"

namespace lorvex {
namespace {

const char* baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

ThumbResult handOver(const CodecImage& picture, const ThumbFit& fit, QImage* thumbnail,
                     QPoint* offset) {
    *thumbnail = picture.GetImage();
    *offset = QPoint(fit.x, fit.y);
    return thumbnail->isNull() ? ThumbResult::kPassedOver : ThumbResult::kMade;
}

}  // namespace

FolderThumbnailBatch::~FolderThumbnailBatch() {
    flush();
}

void FolderThumbnailBatch::add(const thumb_entry& entry) {
    rows_.push_back(entry);
    if (rows_.size() >= kRowsPerFlush) flush();
}

void FolderThumbnailBatch::flush() {
    if (rows_.empty()) return;
    if (SqlConnection* cache = thumbcache_handle()) {
        (void)thumbcache_insert(cache, rows_.data(), static_cast<int32_t>(rows_.size()));
    }
    for (thumb_entry& row : rows_) CodecImage::FreeMemory(row.thumb);
    rows_.clear();
}

ThumbResult folderThumbnail(const std::string& path, QImage* thumbnail, QPoint* offset,
                            FolderThumbnailBatch* batch) {
    const int32_t type = image_type_of(baseName(path));
    FileStatus status;
    if (file_status(path.c_str(), &status) < 0) status = FileStatus{};  // examined as zeros
    uint32_t key[4] = {};
    thumb_cache_key(path.c_str(), status.created, status.size, key);

    SqlConnection* cache = thumbcache_handle();
    CodecImage picture;
    ThumbFit fit;
    if (cache != nullptr) {
        thumb_lookup* found = thumbcache_lookup(cache, key);
        if (found == nullptr) return ThumbResult::kEndRun;
        const int32_t rows = found->count;
        if (rows == 1) {
            bool ok = type != 0 && thumb_from_blob(found->entry.thumb,
                                                   static_cast<uint32_t>(found->entry.thumb_length),
                                                   type, &picture, &fit);
            thumbcache_free(found);
            return ok ? handOver(picture, fit, thumbnail, offset) : ThumbResult::kPassedOver;
        }
        thumbcache_free(found);
        if (rows != 0) return ThumbResult::kEndRun;
    }

    if (type == 0 || !thumb_make_from_file(path.c_str(), type, &picture, &fit)) {
        return ThumbResult::kPassedOver;
    }
    if (cache != nullptr && path.size() < kThumbPathSize) {
        CodecImage encoded = picture;
        uint8_t* buffer = nullptr;
        int32_t length = 0;
        if (thumb_encode(&encoded, type, &buffer, &length)) {
            thumb_entry entry =
                thumb_cache_entry(key, status.created, path.data(), path.size(), buffer, length);
            // The insert's result does not affect the drawing.
            if (batch != nullptr) {
                batch->add(entry);
            } else {
                (void)thumbcache_insert(cache, &entry, 1);
                CodecImage::FreeMemory(buffer);
            }
        }
    }
    return handOver(picture, fit, thumbnail, offset);
}

}  // namespace lorvex
