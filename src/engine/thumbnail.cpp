// Thumbnail making. A picture is reduced in two steps: a nearest-pixel
// shrink by four when both sides reach 404 (done inside the JPEG decoder
// where it can be), then a bilinear resample to the fit. Thumbnails are
// encoded in the picture's own format so that one decoder serves both,
// except for formats the codec cannot write (WMF), whose thumbnails are PNG.
#include "engine/thumbnail.h"

#include <gcrypt.h>

#include <cstring>

#include "endec_subsys/endec.h"

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

}  // namespace lorvex
