// The image codec: decodes, rescales and encodes pictures for the thumbnail
// maker, the loaders and the picture view. A CodecImage belongs to whoever
// made it; buffers from Encode belong to the caller and go back through
// FreeMemory. Any thread may use the codec; one CodecImage is never shared
// between threads.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>

namespace lorvex {

// Format numbers. They are the picture type codes, so the type of a file
// name selects its format directly; there is no 16.
enum CodecFormat : int32_t {
    kFormatUnknown = 0,
    kFormatBmp = 1,
    kFormatGif = 2,
    kFormatJpeg = 3,
    kFormatPng = 4,
    kFormatIco = 5,
    kFormatTiff = 6,
    kFormatTga = 7,
    kFormatPcx = 8,
    kFormatWbmp = 9,
    kFormatWmf = 10,  // WMF read only; EMF is refused with a clear error
    kFormatJp2 = 11,
    kFormatJpc = 12,
    kFormatPgx = 13,
    kFormatPnm = 14,
    kFormatRas = 15,
    kFormatMng = 17,
};

// Refused before any pixel is allocated: a picture declaring more pixels, or
// a side longer, fails to load like any undecodable file.
constexpr int64_t kCodecMaxPixels = int64_t{128} * 1024 * 1024;
constexpr int32_t kCodecMaxSide = 32768;

// Resample modes and Resample2 arguments as callers name them.
constexpr int32_t kResampleNearest = 1;
constexpr int32_t kInterpolationBilinear = 2;
constexpr int32_t kOverflowRepeat = 5;

// True when the codec can encode pictures of that format (every format but
// WMF and 0).
[[nodiscard]] bool codec_can_encode(int32_t format);

class CodecImage {
  public:
    // An empty picture (IsValid false) of the given format, ready to receive
    // a Resample or a Load.
    explicit CodecImage(int32_t format = kFormatUnknown);

    CodecImage(const CodecImage&) = default;
    CodecImage& operator=(const CodecImage&) = default;
    CodecImage(CodecImage&&) = default;
    CodecImage& operator=(CodecImage&&) = default;

    // Decode the first frame of a file, or of bytes in memory, as the given
    // format. The bytes may be followed by pad bytes. Returns IsValid(); on
    // failure the picture is empty and GetLastError says why.
    bool Load(const char* path, int32_t format);
    bool Decode(const uint8_t* data, uint32_t length, int32_t format);

    // As Load and Decode, but when both sides are at least min_side the
    // picture comes back reduced to (W / 4) x (H / 4): JPEG through the
    // decoder's own scaled decoding, other formats by a nearest-pixel
    // resample. GetSourceWidth/GetSourceHeight keep W and H.
    bool LoadReduced(const char* path, int32_t format, int32_t min_side);
    bool DecodeReduced(const uint8_t* data, uint32_t length, int32_t format, int32_t min_side);

    bool IsValid() const { return !image_.isNull(); }
    // Empty after a successful load.
    const char* GetLastError() const { return error_.c_str(); }
    int32_t GetWidth() const { return image_.width(); }
    int32_t GetHeight() const { return image_.height(); }
    // Size of the picture as stored, before a reduced load; equal to
    // GetWidth/GetHeight otherwise.
    int32_t GetSourceWidth() const { return source_width_; }
    int32_t GetSourceHeight() const { return source_height_; }
    int32_t GetFormat() const { return format_; }

    // Nearest-pixel copy at the new size into dest (mode must be 1).
    bool Resample(int32_t width, int32_t height, int32_t mode, CodecImage* dest) const;
    // Rescale with bilinear interpolation (interpolation 2); samples beyond
    // the border repeat the edge pixels (overflow 5); shrinking averages the
    // source pixels a target pixel covers. In place when dest is null. Other
    // interpolation or overflow values are refused.
    bool Resample2(int32_t width, int32_t height, int32_t interpolation = kInterpolationBilinear,
                   int32_t overflow = kOverflowRepeat, CodecImage* dest = nullptr);

    // Encode with the format's default settings into a new buffer that the
    // caller releases with FreeMemory. False (buffer null, size 0) when the
    // picture is empty, the format cannot be written, or the encoder failed.
    bool Encode(uint8_t*& buffer, int32_t& size, int32_t format);
    static void FreeMemory(void* buffer);

    // The decoded pixels for drawing with QPainter (Draw and Stretch).
    const QImage& GetImage() const { return image_; }
    // Adopt pixels drawn elsewhere (tests, generated pictures).
    void SetImage(QImage image);

  private:
    bool DecodeWith(const uint8_t* data, uint32_t length, int32_t format, int32_t min_side);

    QImage image_;
    std::string error_;
    int32_t format_ = kFormatUnknown;
    int32_t source_width_ = 0;
    int32_t source_height_ = 0;
};

}  // namespace lorvex
