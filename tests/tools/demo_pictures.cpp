#include "demo_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/codec.h"

namespace lorvex::tools {
namespace {

std::string lower_ending(const std::string& path) {
    size_t dot = path.rfind('.');
    std::string ending = dot == std::string::npos ? "" : path.substr(dot + 1);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending;
}

// The codec's format number for a file ending, 0 when it writes no such file.
int32_t format_of(const std::string& ending) {
    struct Ending {
        const char* ending;
        int32_t format;
    };
    static const Ending endings[] = {
        {"bmp", kFormatBmp}, {"gif", kFormatGif}, {"jpg", kFormatJpeg}, {"jpeg", kFormatJpeg},
        {"png", kFormatPng}, {"ico", kFormatIco}, {"tif", kFormatTiff}, {"tiff", kFormatTiff},
        {"ppm", kFormatPnm}, {"pnm", kFormatPnm}, {"tga", kFormatTga},  {"pcx", kFormatPcx},
    };
    for (const Ending& e : endings) {
        if (ending == e.ending) return e.format;
    }
    return kFormatUnknown;
}

}  // namespace

const std::vector<DemoPicture>& demo_picture_list() {
    static const std::vector<DemoPicture> list = {
        {"comet.gif", 160, 160, 1},    {"dunes.bmp", 200, 150, 2},     {"ember.ppm", 180, 180, 3},
        {"fern.tif", 300, 200, 4},     {"glacier.tiff", 220, 330, 5},  {"harbour.jpg", 400, 300, 6},
        {"lantern.png", 200, 260, 7},  {"meadow.png", 300, 300, 8},    {"orbit.ico", 64, 64, 9},
        {"pebbles.gif", 240, 180, 10}, {"sunrise.jpeg", 320, 240, 11}, {"tiles.bmp", 256, 192, 12},
    };
    return list;
}

QImage draw_demo_picture(int width, int height, int seed, bool alpha) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const double cx = width * (0.3 + 0.05 * (seed % 7));
    const double cy = height * (0.35 + 0.04 * (seed % 5));
    const double ring = 6.0 + seed % 9;
    const int stripe = 8 + 3 * (seed % 4);
    for (int y = 0; y < height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double d = std::hypot(x - cx, y - cy);
            int r = (x * 255 / std::max(1, width - 1) + seed * 37) % 256;
            int g = (y * 255 / std::max(1, height - 1) + seed * 61) % 256;
            int b = static_cast<int>(128 + 127 * std::sin(d / ring));
            if (((x + y * (seed % 3)) / stripe) % 5 == 0) std::swap(r, b);
            int a = 255;
            if (alpha && x + y < (width + height) / 4) a = (x + y) * 255 / ((width + height) / 4);
            row[x] = qRgba(r, g, b, a);
        }
    }
    return image;
}

int write_picture(const QImage& image, const std::string& path, std::string* error) {
    const int32_t format = format_of(lower_ending(path));
    if (format == kFormatUnknown || !codec_can_encode(format)) {
        *error = "no encoder for the ending of " + path;
        return -1;
    }
    CodecImage picture;
    picture.SetImage(image);
    uint8_t* bytes = nullptr;
    int32_t size = 0;
    if (!picture.Encode(bytes, size, format)) {
        *error = "the codec cannot encode " + path;
        return -1;
    }
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr &&
              std::fwrite(bytes, 1, static_cast<size_t>(size), out) == static_cast<size_t>(size);
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    CodecImage::FreeMemory(bytes);
    if (!ok) {
        *error = "cannot write " + path;
        return -1;
    }
    return 0;
}

int write_demo_pictures(const std::string& dir, std::string* error) {
    for (const DemoPicture& p : demo_picture_list()) {
        const bool alpha = lower_ending(p.name) == "png" && p.seed % 2 == 1;
        QImage image = draw_demo_picture(p.width, p.height, p.seed, alpha);
        if (write_picture(image, dir + "/" + p.name, error) != 0) return -1;
    }
    return 0;
}

}  // namespace lorvex::tools
