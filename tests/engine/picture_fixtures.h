// Pictures for the engine tests, drawn in memory and encoded with the codec
// into a test's temporary folder. Header-only; test threads only.
#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "engine/codec.h"

namespace lorvex::testing {

// Left half black, right half white: survives every format, including the
// one-bit and grey-only ones.
inline QImage two_halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = x < width / 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
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

// A placeable metafile of 100 x 100 units at 96 units per inch with the
// left half black and the right half white (the codec reads metafiles but cannot write them).
inline std::string wmf_two_halves() {
    std::string body;
    auto put16 = [](std::string* out, int value) {
        out->push_back(static_cast<char>(value & 0xff));
        out->push_back(static_cast<char>((value >> 8) & 0xff));
    };
    auto put32 = [&](std::string* out, uint32_t value) {
        put16(out, static_cast<int>(value & 0xffff));
        put16(out, static_cast<int>(value >> 16));
    };
    auto record = [&](int function, std::initializer_list<int> params) {
        put32(&body, static_cast<uint32_t>(3 + params.size()));
        put16(&body, function);
        for (int p : params) put16(&body, p);
    };
    record(0x020B, {0, 0});              // window origin
    record(0x020C, {100, 100});          // window extent
    record(0x02FC, {0, 0, 0, 0});        // solid black brush
    record(0x012D, {0});                 // select it
    record(0x041B, {100, 50, 0, 0});     // rectangle: bottom, right, top, left
    record(0x02FC, {0, -1, 0x00ff, 0});  // solid white brush
    record(0x012D, {1});
    record(0x041B, {100, 100, 0, 50});
    record(0x0000, {});  // end of file
    std::string header;
    put16(&header, 1);  // in memory
    put16(&header, 9);  // header words
    put16(&header, 0x0300);
    put32(&header, static_cast<uint32_t>((18 + body.size()) / 2));
    put16(&header, 2);  // objects
    put32(&header, 7);  // largest record in words
    put16(&header, 0);
    std::string placeable;
    put32(&placeable, 0x9AC6CDD7u);
    for (int word : {0, 0, 0, 100, 100, 96, 0, 0}) put16(&placeable, word);
    int checksum = 0;
    for (size_t i = 0; i < placeable.size(); i += 2) {
        checksum ^=
            static_cast<uint8_t>(placeable[i]) | (static_cast<uint8_t>(placeable[i + 1]) << 8);
    }
    put16(&placeable, checksum);
    return placeable + header + body;
}

inline int grey_at(const CodecImage& picture, int x, int y) {
    return qGray(picture.GetImage().pixel(x, y));
}

}  // namespace lorvex::testing
