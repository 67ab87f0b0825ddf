// Pictures for the engine tests, drawn in memory and encoded with the codec
// into a test's temporary folder. Header-only; test threads only.
#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/codec.h"

namespace lorvex::testing {

// Left half black, right half white: survives every format, including the
// one-bit and grey-only ones.
inline QImage two_halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, x < width / 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image;
}

inline QImage filled(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The encoded bytes of image in format; empty when the codec refused.
inline std::string encode_picture(const QImage& image, int32_t format) {
    CodecImage picture;
    picture.SetImage(image);
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    if (!picture.Encode(buffer, size, format)) return {};
    std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
    CodecImage::FreeMemory(buffer);
    return bytes;
}

inline bool write_bytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

inline std::string read_bytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
    return bytes;
}

// Encodes image in format and writes it to path; false when either fails.
inline bool write_picture(const std::string& path, const QImage& image, int32_t format) {
    const std::string bytes = encode_picture(image, format);
    return !bytes.empty() && write_bytes(path, bytes);
}

inline int grey_at(const CodecImage& picture, int x, int y) {
    return qGray(picture.GetImage().pixel(x, y));
}

}  // namespace lorvex::testing
