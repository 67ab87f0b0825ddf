// Each format number maps to the library that handles it best: Qt's image
// I/O for JPEG, PNG, BMP, ICO, TIFF, WBMP, PNM and for reading GIF; Magick++
// for TGA, PCX, WMF, JPEG 2000, PGX, RAS, MNG/JNG and for writing GIF. The
// format given always wins over the content, except that JPEG 2000 and
// MNG/JNG pick the container from the signature, as one type code covers
// both kinds of file.
//
// Decoded pixels are kept as RGB32 or ARGB32 (Magick++ results converted
// once), so drawing needs no conversion. Limits (kCodecMaxPixels,
// kCodecMaxSide) are checked against the declared size before decoding.
#include "engine/codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>
#include <QLoggingCategory>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engine/internal/magick_backend.h"

namespace lorvex {
namespace {

// Files above this are not read into memory for decoding.
constexpr int64_t kMaxFileBytes = int64_t{1} << 30;
constexpr int kQtAllocationLimitMb = 1024;

struct FormatRoute {
    const char* qt_read;       // Qt format name, or null
    const char* qt_write;      // Qt format name, or null
    const char* magick_read;   // Magick coder, or null
    const char* magick_write;  // Magick coder, or null
};

const FormatRoute* route_of(int32_t format) {
    static const FormatRoute kRoutes[] = {
        {nullptr, nullptr, nullptr, nullptr},  // 0 not a picture
        {"bmp", "bmp", nullptr, nullptr},      // 1
        {"gif", nullptr, nullptr, "GIF"},      // 2
        {"jpeg", "jpeg", nullptr, nullptr},    // 3
        {"png", "png", nullptr, nullptr},      // 4
        {"ico", "ico", nullptr, nullptr},      // 5
        {"tiff", "tiff", nullptr, nullptr},    // 6
        {nullptr, nullptr, "TGA", "TGA"},      // 7
        {nullptr, nullptr, "PCX", "PCX"},      // 8
        {"wbmp", "wbmp", nullptr, nullptr},    // 9
        {nullptr, nullptr, "WMF", nullptr},    // 10
        {nullptr, nullptr, "JP2", "JP2"},      // 11
        {nullptr, nullptr, "J2K", "J2K"},      // 12
        {nullptr, nullptr, "PGX", "PGX"},      // 13
        {"ppm", "ppm", nullptr, nullptr},      // 14
        {nullptr, nullptr, "SUN", "SUN"},      // 15
        {nullptr, nullptr, nullptr, nullptr},  // 16 unused
        {nullptr, nullptr, "MNG", "MNG"},      // 17
    };
    if (format < 0 || format >= static_cast<int32_t>(std::size(kRoutes))) return nullptr;
    const FormatRoute* route = &kRoutes[format];
    if (!route->qt_read && !route->magick_read) return nullptr;
    return route;
}

bool starts_with(const uint8_t* data, uint32_t length, const char* sig, uint32_t sig_length) {
    return length >= sig_length && std::memcmp(data, sig, sig_length) == 0;
}

// The Magick coder for these bytes under the given route.
const char* magick_coder_for(int32_t format, const uint8_t* data, uint32_t length) {
    switch (format) {
        case kFormatJp2:
        case kFormatJpc:
            if (starts_with(data, length, "\x00\x00\x00\x0cjP  ", 8)) return "JP2";
            if (starts_with(data, length, "\xff\x4f\xff\x51", 4)) return "J2K";
            break;
        case kFormatMng:
            if (starts_with(data, length, "\x8bJNG", 4)) return "JNG";
            break;
        default:
            break;
    }
    return route_of(format)->magick_read;
}

bool is_emf(const uint8_t* data, uint32_t length) {
    // An enhanced metafile opens with record type 1 and carries " EMF" at
    // offset 40 of that header.
    return length >= 44 && data[0] == 1 && data[1] == 0 && data[2] == 0 && data[3] == 0 &&
           std::memcmp(data + 40, " EMF", 4) == 0;
}

void ensure_qt_limits() {
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kQtAllocationLimitMb);
        // Decoder complaints about damaged files reach the caller through
        // GetLastError; the program logs nothing.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    });
}

bool size_allowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kCodecMaxSide && height <= kCodecMaxSide &&
           width * height <= kCodecMaxPixels;
}

// Pixels in one of the three layouts drawing and scaling handle directly.
QImage normalised(QImage image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return image;
        default:
            return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                 : QImage::Format_RGB32);
    }
}

bool read_whole_file(const char* path, QByteArray* bytes, std::string* error) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open the file";
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) {
        *error = "not a regular file";
    } else if (st.st_size > kMaxFileBytes) {
        *error = "file too large";
        ok = false;
    } else {
        bytes->resize(static_cast<qsizetype>(st.st_size));
        qsizetype done = 0;
        while (done < bytes->size()) {
            const ssize_t n =
                ::read(fd, bytes->data() + done, static_cast<size_t>(bytes->size() - done));
            if (n <= 0) break;
            done += n;
        }
        if (done != bytes->size()) {
            *error = "cannot read the file";
            ok = false;
        }
    }
    ::close(fd);
    return ok;
}

}  // namespace

bool codec_can_encode(int32_t format) {
    const FormatRoute* route = route_of(format);
    return route && (route->qt_write || route->magick_write);
}

CodecImage::CodecImage(int32_t format) : format_(format) {}

void CodecImage::SetImage(QImage image) {
    image_ = image.isNull() ? QImage() : normalised(std::move(image));
    source_width_ = image_.width();
    source_height_ = image_.height();
    error_.clear();
}

bool CodecImage::Load(const char* path, int32_t format) {
    return LoadReduced(path, format, 0);
}

bool CodecImage::Decode(const uint8_t* data, uint32_t length, int32_t format) {
    return DecodeWith(data, length, format, 0);
}

bool CodecImage::LoadReduced(const char* path, int32_t format, int32_t min_side) {
    image_ = QImage();
    source_width_ = source_height_ = 0;
    format_ = format;
    if (!path) {
        error_ = "no file name";
        return false;
    }
    QByteArray bytes;
    if (!read_whole_file(path, &bytes, &error_)) return false;
    return DecodeWith(reinterpret_cast<const uint8_t*>(bytes.constData()),
                      static_cast<uint32_t>(bytes.size()), format, min_side);
}

bool CodecImage::DecodeReduced(const uint8_t* data, uint32_t length, int32_t format,
                               int32_t min_side) {
    return DecodeWith(data, length, format, min_side);
}

bool CodecImage::DecodeWith(const uint8_t* data, uint32_t length, int32_t format,
                            int32_t min_side) {
    image_ = QImage();
    source_width_ = source_height_ = 0;
    format_ = format;
    error_.clear();
    const FormatRoute* route = route_of(format);
    if (!route) {
        error_ = "unknown picture format";
        return false;
    }
    if (!data || length == 0) {
        error_ = "no picture data";
        return false;
    }
    QImage decoded;
    bool reduced = false;
    if (route->qt_read) {
        ensure_qt_limits();
        QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                   static_cast<qsizetype>(length));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, route->qt_read);
        reader.setDecideFormatFromContent(false);
        const QSize declared = reader.size();
        if (declared.isValid() && !size_allowed(declared.width(), declared.height())) {
            error_ = "picture too large";
            return false;
        }
        if (format == kFormatJpeg && min_side > 0 && declared.isValid() &&
            declared.width() >= min_side && declared.height() >= min_side) {
            reader.setScaledSize(QSize(declared.width() / 4, declared.height() / 4));
            source_width_ = declared.width();
            source_height_ = declared.height();
            reduced = true;
        }
        if (!reader.read(&decoded)) {
            error_ = reader.errorString().toStdString();
            if (error_.empty()) error_ = "cannot decode the picture";
            source_width_ = source_height_ = 0;
            return false;
        }
    } else {
        if (format == kFormatWmf && is_emf(data, length)) {
            error_ = "EMF pictures are not supported";
            return false;
        }
        decoded =
            internal::magick_decode(data, length, magick_coder_for(format, data, length), &error_);
        if (decoded.isNull()) return false;
    }
    if (decoded.isNull() || !size_allowed(decoded.width(), decoded.height())) {
        error_ = decoded.isNull() ? "cannot decode the picture" : "picture too large";
        source_width_ = source_height_ = 0;
        return false;
    }
    if (!reduced) {
        source_width_ = decoded.width();
        source_height_ = decoded.height();
        if (min_side > 0 && source_width_ >= min_side && source_height_ >= min_side) {
            decoded = decoded.scaled(source_width_ / 4, source_height_ / 4, Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
        }
    }
    image_ = normalised(std::move(decoded));
    if (image_.isNull()) {
        error_ = "out of memory";
        source_width_ = source_height_ = 0;
        return false;
    }
    return true;
}

bool CodecImage::Resample(int32_t width, int32_t height, int32_t mode, CodecImage* dest) const {
    if (!dest || mode != kResampleNearest || !IsValid() || !size_allowed(width, height)) {
        return false;
    }
    QImage scaled =
        (width == image_.width() && height == image_.height())
            ? image_.copy()
            : image_.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (scaled.isNull()) return false;
    dest->image_ = normalised(std::move(scaled));
    dest->source_width_ = dest->image_.width();
    dest->source_height_ = dest->image_.height();
    dest->error_.clear();
    return true;
}

bool CodecImage::Resample2(int32_t width, int32_t height, int32_t interpolation, int32_t overflow,
                           CodecImage* dest) {
    // Qt's smooth scaling is this filter: bilinear when enlarging, the
    // covered pixels averaged when shrinking, edge pixels repeated past the
    // border.
    if (interpolation != kInterpolationBilinear || overflow != kOverflowRepeat || !IsValid() ||
        !size_allowed(width, height)) {
        return false;
    }
    QImage scaled = image_.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull()) return false;
    CodecImage* target = dest ? dest : this;
    target->image_ = normalised(std::move(scaled));
    target->source_width_ = target->image_.width();
    target->source_height_ = target->image_.height();
    target->error_.clear();
    if (dest) dest->format_ = format_;
    return true;
}

bool CodecImage::Encode(uint8_t*& buffer, int32_t& size, int32_t format) {
    buffer = nullptr;
    size = 0;
    const FormatRoute* route = route_of(format);
    if (!IsValid() || !route || (!route->qt_write && !route->magick_write)) {
        error_ = IsValid() ? "format cannot be written" : "no picture to encode";
        return false;
    }
    std::string bytes;
    if (route->qt_write) {
        QByteArray out;
        QBuffer device(&out);
        device.open(QIODevice::WriteOnly);
        QImageWriter writer(&device, route->qt_write);
        if (!writer.write(image_)) {
            error_ = writer.errorString().toStdString();
            return false;
        }
        bytes.assign(out.constData(), static_cast<size_t>(out.size()));
    } else if (!internal::magick_encode(image_, route->magick_write, &bytes, &error_)) {
        return false;
    }
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX)) {
        error_ = "encoder wrote nothing";
        return false;
    }
    buffer = static_cast<uint8_t*>(std::malloc(bytes.size()));
    if (!buffer) {
        error_ = "out of memory";
        return false;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    size = static_cast<int32_t>(bytes.size());
    return true;
}

void CodecImage::FreeMemory(void* buffer) {
    std::free(buffer);
}

}  // namespace lorvex
