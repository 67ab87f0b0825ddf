// Thumbnail making. A picture is reduced in two steps: a nearest-pixel
// shrink by four when both sides reach 404 (done inside the JPEG decoder
// where it can be), then a bilinear resample to the fit. Thumbnails are
// encoded in the picture's own format so that one decoder serves both,
// except for formats the codec cannot write (WMF), whose thumbnails are PNG.
#include "engine/thumbnail.h"

#include <gcrypt.h>

#include <cstring>
#include <string>

#include "browse/file_time.h"
#include "browse/picture_types.h"
#include "endec_subsys/endec.h"
#include "store/store.h"

namespace lorvex {
namespace {

// Room for the path and the two words the key covers.
constexpr size_t kKeyBufferSize = 272;

bool finish_thumbnail(CodecImage* picture, ThumbFit* fit) {
    *fit = thumb_fit(picture->GetSourceWidth(), picture->GetSourceHeight());
    if (fit->w <= 0 || fit->h <= 0) return false;
    return picture->Resample2(fit->w, fit->h, kInterpolationBilinear, kOverflowRepeat);
}

}  // namespace

ThumbFit thumb_fit(int32_t width, int32_t height) {
    ThumbFit fit;
    if (width <= 0 || height <= 0) return fit;
    const float r = static_cast<float>(static_cast<double>(height) / static_cast<double>(width));
    if (r > 1.0f) {
        fit.h = kThumbSide;
        fit.w = static_cast<int32_t>(static_cast<double>(kThumbSide) / static_cast<double>(r));
        fit.x = (kThumbSide - fit.w) / 2;
    } else {
        fit.w = kThumbSide;
        fit.h = static_cast<int32_t>(static_cast<double>(kThumbSide) * static_cast<double>(r));
        fit.y = (kThumbSide - fit.h) / 2;
    }
    if (fit.w < 1) fit.w = 1;
    if (fit.h < 1) fit.h = 1;
    return fit;
}

void thumb_preshrink_size(int32_t width, int32_t height, int32_t* out_width, int32_t* out_height) {
    const bool shrink = width >= kPreShrinkSide && height >= kPreShrinkSide;
    *out_width = shrink ? width / 4 : width;
    *out_height = shrink ? height / 4 : height;
}

bool thumb_resample(const CodecImage& source, int32_t w, int32_t h, CodecImage* out) {
    if (!out || !source.IsValid() || w <= 0 || h <= 0) return false;
    int32_t first_w = 0;
    int32_t first_h = 0;
    thumb_preshrink_size(source.GetWidth(), source.GetHeight(), &first_w, &first_h);
    CodecImage step(source.GetFormat());
    if (!source.Resample(first_w, first_h, kResampleNearest, &step)) return false;
    if (!step.Resample2(w, h, kInterpolationBilinear, kOverflowRepeat)) return false;
    *out = std::move(step);
    return true;
}

int32_t thumb_format_of(int32_t type) {
    if (type == kFormatUnknown) return kFormatUnknown;
    return codec_can_encode(type) ? type : kFormatPng;
}

bool thumb_make_from_bytes(const uint8_t* data, uint32_t length, int32_t type, CodecImage* out,
                           ThumbFit* fit) {
    if (!out || !fit || type == kFormatUnknown) return false;
    return out->DecodeReduced(data, length, type, kPreShrinkSide) && finish_thumbnail(out, fit);
}

bool thumb_make_from_file(const char* path, int32_t type, CodecImage* out, ThumbFit* fit) {
    if (!out || !fit || type == kFormatUnknown) return false;
    return out->LoadReduced(path, type, kPreShrinkSide) && finish_thumbnail(out, fit);
}

bool thumb_encode(CodecImage* thumbnail, int32_t type, uint8_t** buffer, int32_t* length) {
    if (!thumbnail || !buffer || !length) return false;
    return thumbnail->Encode(*buffer, *length, thumb_format_of(type));
}

bool thumb_from_blob(const uint8_t* blob, uint32_t length, int32_t type, CodecImage* out,
                     ThumbFit* fit) {
    if (!out || !fit || type == kFormatUnknown) return false;
    CodecImage stored;
    if (!stored.Decode(blob, length, thumb_format_of(type))) return false;
    *fit = thumb_fit(stored.GetWidth(), stored.GetHeight());
    return thumb_resample(stored, fit->w, fit->h, out);
}

void thumb_cache_key(const char* path, int64_t created, int64_t size, uint32_t key[4]) {
    std::memset(key, 0, 16);
    if (!path) return;
    const size_t path_length = std::strlen(path);
    if (path_length + 8 >= kKeyBufferSize || endec_init() != 0) return;
    uint8_t buffer[kKeyBufferSize] = {};
    std::memcpy(buffer, path, path_length);
    const uint32_t words[2] = {static_cast<uint32_t>(created), static_cast<uint32_t>(size)};
    for (int w = 0; w < 2; ++w) {
        for (int b = 0; b < 4; ++b) {
            buffer[path_length + 4 * w + b] = static_cast<uint8_t>(words[w] >> (8 * b));
        }
    }
    uint8_t digest[16];
    gcry_md_hash_buffer(GCRY_MD_MD5, digest, buffer, path_length + 8);
    std::memcpy(key, digest, 16);
}

int thumb_store_db(int32_t slot, int32_t item_id, const uint8_t* blob, uint32_t blob_length,
                   int32_t size, int32_t date, item_record* out) {
    if (!blob || blob_length == 0 || !out || size <= 0) return -1;
    const blob_record record{item_id, const_cast<uint8_t*>(blob), blob_length};
    if (store_put_thumbnail(slot, &record, 1) != 0) return -1;
    const uint32_t zero[4] = {0, 0, 0, 0};
    if (store_insert_item(slot, item_id, zero, 4, size, date, 0, 0, zero, 4, zero, 4) != 0) {
        return -1;
    }
    std::memset(out, 0, sizeof(*out));
    out->id = item_id;
    out->size = size;
    out->date = date;
    return 0;
}

int make_db_thumbnail(int32_t slot, int32_t item_id, const char* path, int32_t size, int32_t date,
                      item_record* out) {
    if (!path || !out) return -1;
    const int32_t type = image_type_of(path);
    if (type == kFormatUnknown) return -1;
    CodecImage thumbnail;
    ThumbFit fit;
    if (!thumb_make_from_file(path, type, &thumbnail, &fit)) return -1;
    uint8_t* blob = nullptr;
    int32_t blob_length = 0;
    if (!thumb_encode(&thumbnail, type, &blob, &blob_length)) return -1;
    StoreTransaction transaction(slot);
    int result = -1;
    if (transaction.active() &&
        thumb_store_db(slot, item_id, blob, static_cast<uint32_t>(blob_length), size, date, out) ==
            0) {
        result = transaction.commit();
    }
    CodecImage::FreeMemory(blob);
    return result;
}

bool thumb_db_item(const uint8_t* blob, uint32_t blob_length, const uint8_t* name_record,
                   uint32_t name_length, CodecImage* out, ThumbFit* fit) {
    if (!blob || !name_record || name_length == 0) return false;
    // The name ends at its first NUL, or at the end of the record.
    const std::string name(reinterpret_cast<const char*>(name_record),
                           strnlen(reinterpret_cast<const char*>(name_record), name_length));
    return thumb_from_blob(blob, blob_length, image_type_of(name.c_str()), out, fit);
}

thumb_entry thumb_cache_entry(const uint32_t key[4], int64_t created, const char* path,
                              size_t path_length, uint8_t* blob, int32_t blob_length) {
    thumb_entry entry{};
    std::memcpy(entry.key, key, sizeof entry.key);
    entry.thumb_length = blob_length;
    entry.file_time = static_cast<int32_t>(created);
    entry.path_length = static_cast<int32_t>(path_length);
    std::memcpy(entry.path, path, path_length);
    entry.thumb = blob;
    return entry;
}

int thumb_folder_file(SqlConnection* cache, const char* folder, const char* name, CodecImage* out,
                      ThumbFit* fit) {
    if (!folder || !name || !out || !fit) return kThumbPassedOver;
    const std::string path = std::string(folder) + "/" + name;
    if (path.size() >= kThumbPathSize) return kThumbPassedOver;
    FileStatus status;
    if (file_status(path.c_str(), &status) != 0) status = FileStatus{};
    uint32_t key[4];
    thumb_cache_key(path.c_str(), status.created, status.size, key);

    thumb_lookup* found = thumbcache_lookup(cache, key);
    if (!found) return kThumbRunEnds;
    const int32_t rows = found->count;
    const int32_t type = image_type_of(name);
    if (rows == 1) {
        const bool ok = thumb_from_blob(
            found->entry.thumb, static_cast<uint32_t>(found->entry.thumb_length), type, out, fit);
        thumbcache_free(found);
        return ok ? kThumbReady : kThumbPassedOver;
    }
    thumbcache_free(found);
    if (rows != 0) return kThumbRunEnds;

    if (!thumb_make_from_file(path.c_str(), type, out, fit)) return kThumbPassedOver;
    uint8_t* blob = nullptr;
    int32_t blob_length = 0;
    if (thumb_encode(out, type, &blob, &blob_length)) {
        thumb_entry entry =
            thumb_cache_entry(key, status.created, path.data(), path.size(), blob, blob_length);
        (void)thumbcache_insert(cache, &entry, 1);
        CodecImage::FreeMemory(blob);
    }
    return kThumbReady;
}

}  // namespace lorvex
