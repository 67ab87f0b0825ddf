// Picture type codes: which files are pictures and in which format, decided
// from the name alone. The codes double as the codec's format numbers and,
// through format_id_of_type, as the folder list's type-order key. Pure
// functions over caller-owned strings; any thread may call them.
#pragma once

#include <cstdint>

namespace lorvex {

// Type codes. There is no code 16.
constexpr int32_t kTypeNone = 0;
constexpr int32_t kTypeBmp = 1;
constexpr int32_t kTypeGif = 2;
constexpr int32_t kTypeJpeg = 3;
constexpr int32_t kTypePng = 4;
constexpr int32_t kTypeIco = 5;
constexpr int32_t kTypeTiff = 6;
constexpr int32_t kTypeTga = 7;
constexpr int32_t kTypePcx = 8;
constexpr int32_t kTypeWbmp = 9;
constexpr int32_t kTypeWmf = 10;  // WMF and EMF
constexpr int32_t kTypeJp2 = 11;  // JPEG 2000 file (j2k, jp2)
constexpr int32_t kTypeJpc = 12;  // JPEG 2000 code stream (j2c, jpc)
constexpr int32_t kTypePgx = 13;
constexpr int32_t kTypePnm = 14;  // pnm, pgm, ppm
constexpr int32_t kTypeRas = 15;
constexpr int32_t kTypeMng = 17;  // MNG and JNG

// The type code of a file name or full path, from its last three and four
// characters compared without regard to ASCII case. No dot is needed before
// the ending: "photoJPG" is JPEG. A null name is kTypeNone.
[[nodiscard]] int32_t image_type_of(const char* name);

// The folder list's format identifier of a type code: 1-4 unchanged, 5-10
// become 6-11, 11-15 become 14-18; every other code (MNG/JNG, 0, unknown)
// gives -1.
[[nodiscard]] int32_t format_id_of_type(int32_t type);

}  // namespace lorvex
