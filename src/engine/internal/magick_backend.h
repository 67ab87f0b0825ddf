// The Magick++ half of the codec: the formats Qt's image I/O does not read or
// write well (TGA, PCX, WMF, JPEG 2000, PGX, RAS, MNG/JNG, GIF writing).
// Results are QImages owned by the caller. Thread-safe: the library is set up
// once, and every call works on objects of its own.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>

namespace lorvex::internal {

// Decodes the first frame of data as the named Magick coder ("TGA", "JP2",
// ...). A recoverable warning still yields the picture. On failure returns a
// null image and sets *error. Never throws.
QImage magick_decode(const uint8_t* data, size_t length, const char* coder, std::string* error);

// Encodes image with the coder's defaults. False, with *error set, when the
// coder fails. Never throws.
bool magick_encode(const QImage& image, const char* coder, std::string* out, std::string* error);

}  // namespace lorvex::internal
