// Thumbnails: the 100 x 100 fit, the two-step resample, the folder thumbnail
// cache key, and the steps that make, store and read back thumbnails of
// folder files and database items. Pictures handed out belong to the
// caller. Any thread may call the pure functions; the store-backed ones run
// on whichever thread the store's own locking allows (the loader thread and
// the user-interface thread).
#pragma once

#include <cstdint>

#include "engine/codec.h"
#include "store/records.h"
#include "store/sql.h"

namespace lorvex {

constexpr int32_t kThumbSide = 100;
// Both sides at least this: pre-shrink by four before the bilinear step.
constexpr int32_t kPreShrinkSide = 404;

// Where a thumbnail of w x h sits inside its 100 x 100 cell.
struct ThumbFit {
    int32_t w = 0;
    int32_t h = 0;
    int32_t x = 0;
    int32_t y = 0;
};

// The fit of a W x H picture: r = H / W rounded to single precision; a tall
// picture gets h = 100 and w = trunc(100 / r), any other w = 100 and
// h = trunc(100 * r); the offsets centre it. A side that comes out 0 is
// raised to 1 (the offset keeps the unclamped value's centring). W or H not
// above 0 gives all zeros.
[[nodiscard]] ThumbFit thumb_fit(int32_t width, int32_t height);

// The size of the nearest-pixel first step: (W / 4, H / 4) when both sides
// are at least kPreShrinkSide, else (W, H).
void thumb_preshrink_size(int32_t width, int32_t height, int32_t* out_width, int32_t* out_height);

// A new w x h picture from source: the nearest-pixel first step above, then
// Resample2 (bilinear, edges repeated). False when source is empty or the
// size is not positive.
[[nodiscard]] bool thumb_resample(const CodecImage& source, int32_t w, int32_t h, CodecImage* out);

// The format a thumbnail of a type-t picture is encoded in: t itself, or
// PNG for a type the codec cannot write (WMF). 0 for type 0.
[[nodiscard]] int32_t thumb_format_of(int32_t type);

// Decodes a picture of type t from bytes (pad bytes allowed) or a file and
// makes its thumbnail: *fit from the picture's own size, *out resized to
// fit->w x fit->h. Large JPEGs are reduced by the decoder itself. False when
// the type is 0 or the picture does not decode.
[[nodiscard]] bool thumb_make_from_bytes(const uint8_t* data, uint32_t length, int32_t type,
                                         CodecImage* out, ThumbFit* fit);
[[nodiscard]] bool thumb_make_from_file(const char* path, int32_t type, CodecImage* out,
                                        ThumbFit* fit);

// Encodes a thumbnail for storage in thumb_format_of(type). The buffer goes
// back through CodecImage::FreeMemory. False when encoding fails.
[[nodiscard]] bool thumb_encode(CodecImage* thumbnail, int32_t type, uint8_t** buffer,
                                int32_t* length);

// Reads back a stored thumbnail blob (a cache row or a database item's
// thumbnail, pad bytes allowed) of a picture of type t, refitted to the
// cell: *fit from the blob's own size, *out resized to it. False when t is 0
// or the blob does not decode.
[[nodiscard]] bool thumb_from_blob(const uint8_t* blob, uint32_t length, int32_t type,
                                   CodecImage* out, ThumbFit* fit);

// Cache key of a folder file: MD5 over its full path's bytes, then the
// creation time and the size as 32-bit little-endian values, read as four
// 32-bit words in digest byte order. All zero when the path is null or
// its length + 8 reaches 272.
void thumb_cache_key(const char* path, int64_t created, int64_t size, uint32_t key[4]);

// The cache row for a folder file's new thumbnail. The row points at blob
// (it does not copy it); path_length must be below kThumbPathSize.
thumb_entry thumb_cache_entry(const uint32_t key[4], int64_t created, const char* path,
                              size_t path_length, uint8_t* blob, int32_t blob_length);

// ---- Database items -----------------------------------------------------------

// Stores blob as item_id's thumbnail in database slot and inserts the item's
// row (four zero words, size, date, star 0, hits 0, no class, no album);
// *out receives the row (every other byte zero). Run it inside a
// StoreTransaction when the caller stores the other pieces too. 0 or -1.
[[nodiscard]] int thumb_store_db(int32_t slot, int32_t item_id, const uint8_t* blob,
                                 uint32_t blob_length, int32_t size, int32_t date,
                                 item_record* out);

// Makes the thumbnail of the file at path (typed by its name), stores it and
// the item's row as thumb_store_db does, both in one transaction. -1 when
// the type is 0, the file does not decode, or a store step fails; nothing is
// stored then.
[[nodiscard]] int make_db_thumbnail(int32_t slot, int32_t item_id, const char* path, int32_t size,
                                    int32_t date, item_record* out);

// A database item's thumbnail for its grid cell: the stored blob (as
// engine_get_thumbnail hands it out) typed by the item's name record.
// False when the name gives type 0 or the blob does not decode.
[[nodiscard]] bool thumb_db_item(const uint8_t* blob, uint32_t blob_length,
                                 const uint8_t* name_record, uint32_t name_length, CodecImage* out,
                                 ThumbFit* fit);

// ---- Folder files ---------------------------------------------------------------

// Results of thumb_folder_file.
constexpr int kThumbPassedOver = 0;  // not a picture, does not decode, path too long
constexpr int kThumbReady = 1;       // *out and *fit hold the cell picture
constexpr int kThumbRunEnds = -1;    // the cache lookup failed: end the loader run

// The thumbnail of file name (as on disk) in folder, through the folder
// thumbnail cache: a hit decodes the cached blob and fits it again; a miss
// decodes the file, makes the thumbnail and inserts a cache row (whose
// failure does not matter). The key covers the full path, the creation time
// and the size, so a changed file gets a new row and the old one stays.
[[nodiscard]] int thumb_folder_file(SqlConnection* cache, const char* folder, const char* name,
                                    CodecImage* out, ThumbFit* fit);

}  // namespace lorvex
