#include "engine/internal/magick_backend.h"

#include <Magick++.h>

#include <mutex>

#include "engine/codec.h"

namespace lorvex::internal {
namespace {

// Set up the library and its resource limits once per process. The limits
// are hard: a picture beyond them fails to load instead of swapping to disk.
void ensure_magick() {
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        Magick::ResourceLimits::width(kCodecMaxSide);
        Magick::ResourceLimits::height(kCodecMaxSide);
        Magick::ResourceLimits::area(static_cast<MagickCore::MagickSizeType>(kCodecMaxPixels));
        Magick::ResourceLimits::memory(MagickCore::MagickSizeType{1} << 30);
        Magick::ResourceLimits::map(MagickCore::MagickSizeType{1} << 30);
        Magick::ResourceLimits::disk(MagickCore::MagickSizeType{1} << 30);
        Magick::ResourceLimits::listLength(256);
        // The callers already run on their own threads.
        Magick::ResourceLimits::thread(1);
    });
}

QImage to_qimage(Magick::Image& picture) {
    const size_t width = picture.columns();
    const size_t height = picture.rows();
    if (width == 0 || height == 0 || width > static_cast<size_t>(kCodecMaxSide) ||
        height > static_cast<size_t>(kCodecMaxSide) ||
        static_cast<int64_t>(width) * static_cast<int64_t>(height) > kCodecMaxPixels) {
        return {};
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
    if (image.isNull()) return {};
    // Format_ARGB32 is B, G, R, A in memory on a little-endian machine, and
    // its rows are exactly width * 4 bytes.
    picture.write(0, 0, width, height, "BGRA", Magick::CharPixel, image.bits());
    if (!picture.matte()) image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

}  // namespace

QImage magick_decode(const uint8_t* data, size_t length, const char* coder, std::string* error) {
    ensure_magick();
    try {
        Magick::Image picture;
        picture.quiet(true);
        picture.subImage(0);
        picture.subRange(1);
        try {
            picture.read(Magick::Blob(data, length), Magick::Geometry(), std::string(coder));
        } catch (const Magick::Warning&) {
            // Recoverable damage: whatever was decoded counts.
        }
        QImage image = to_qimage(picture);
        if (image.isNull()) *error = "picture is empty or too large";
        return image;
    } catch (const Magick::Exception& e) {
        *error = e.what();
    } catch (const std::exception& e) {
        *error = e.what();
    } catch (...) {
        *error = "decoder failed";
    }
    return {};
}

bool magick_encode(const QImage& image, const char* coder, std::string* out, std::string* error) {
    ensure_magick();
    try {
        const bool alpha = image.hasAlphaChannel();
        const QImage pixels =
            image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        Magick::Image picture(static_cast<size_t>(pixels.width()),
                              static_cast<size_t>(pixels.height()), alpha ? "BGRA" : "BGRP",
                              Magick::CharPixel, pixels.constBits());
        picture.quiet(true);
        Magick::Blob blob;
        try {
            picture.write(&blob, std::string(coder));
        } catch (const Magick::Warning&) {
            // The blob is complete; the warning only reports a lossy choice.
        }
        if (blob.length() == 0) {
            *error = "encoder wrote nothing";
            return false;
        }
        out->assign(static_cast<const char*>(blob.data()), blob.length());
        return true;
    } catch (const Magick::Exception& e) {
        *error = e.what();
    } catch (const std::exception& e) {
        *error = e.what();
    } catch (...) {
        *error = "encoder failed";
    }
    return false;
}

}  // namespace lorvex::internal
