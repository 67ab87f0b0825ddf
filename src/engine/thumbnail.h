// Thumbnails: the 100 x 100 fit, the two-step resample, the folder thumbnail
// cache key, and the steps that make, store and read back thumbnails of
// folder files and database items. Pictures handed out belong to the
// caller. Any thread may call the pure functions; the store-backed ones run
// on whichever thread the store's own locking allows (the loader thread and
// the user-interface thread).
#pragma once

#include <cstdint>

#include "engine/codec.h"

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

}  // namespace lorvex
