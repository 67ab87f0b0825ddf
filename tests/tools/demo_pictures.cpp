#include "demo_pictures.h"

#include <Magick++.h>

#include <QImageWriter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace lorvex::tools {
namespace {

std::string lower_ending(const std::string& path) {
    size_t dot = path.rfind('.');
    std::string ending = dot == std::string::npos ? "" : path.substr(dot + 1);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending;
}

// Qt has no GIF writer; the picture library that the codec uses for GIF
// output writes it.
int write_gif(const QImage& image, const std::string& path, std::string* error) {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    try {
        Magick::Image out(static_cast<size_t>(rgba.width()), static_cast<size_t>(rgba.height()),
                          "RGBA", Magick::CharPixel, rgba.constBits());
        out.magick("GIF");
        out.write(path);
    } catch (const Magick::Exception& e) {
        *error = "cannot write " + path + ": " + e.what();
        return -1;
    }
    return 0;
}

}  // namespace

const std::vector<DemoPicture>& demo_picture_list() {
    static const std::vector<DemoPicture> list = {
        {"comet.gif", 160, 160, 1},   {"dunes.bmp", 200, 150, 2},
        {"ember.ppm", 180, 180, 3},   {"fern.tif", 300, 200, 4},
        {"glacier.tiff", 220, 330, 5}, {"harbour.jpg", 400, 300, 6},
        {"lantern.png", 200, 260, 7}, {"meadow.png", 300, 300, 8},
        {"orbit.ico", 64, 64, 9},     {"pebbles.gif", 240, 180, 10},
        {"sunrise.jpeg", 320, 240, 11}, {"tiles.bmp", 256, 192, 12},
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
    const std::string ending = lower_ending(path);
    if (ending == "gif") return write_gif(image, path, error);
    QByteArray format;
    if (ending == "jpg" || ending == "jpeg") {
        format = "jpeg";
    } else if (ending == "tif" || ending == "tiff") {
        format = "tiff";
    } else if (ending == "png" || ending == "bmp" || ending == "ppm" || ending == "ico") {
        format = QByteArray::fromStdString(ending);
    } else {
        *error = "no writer for the ending '." + ending + "' of " + path;
        return -1;
    }
    QImageWriter writer(QString::fromStdString(path), format);
    if (!writer.write(image)) {
        *error = "cannot write " + path + ": " + writer.errorString().toStdString();
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
