#include "browse/picture_types.h"

#include <cstring>

namespace lorvex {
namespace {

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when tail (the last characters of a name) equals the lower-case
// ending, ignoring ASCII case. Lengths must match, so a name shorter than
// the ending never matches.
bool tail_is(const char* tail, size_t tail_len, const char* ending) {
    if (tail_len != std::strlen(ending)) return false;
    for (size_t i = 0; i < tail_len; ++i) {
        if (ascii_lower(tail[i]) != ending[i]) return false;
    }
    return true;
}

struct Ending {
    const char* text;
    int32_t type;
};

// In the order of comparison: the first that holds decides, so "wbmp" must
// come before "bmp".
constexpr Ending kEndings[] = {
    {"wbmp", kTypeWbmp}, {"bmp", kTypeBmp},  {"gif", kTypeGif},   {"jpg", kTypeJpeg},
    {"jpeg", kTypeJpeg}, {"png", kTypePng},  {"mng", kTypeMng},   {"jng", kTypeMng},
    {"ico", kTypeIco},   {"tif", kTypeTiff}, {"tiff", kTypeTiff}, {"tga", kTypeTga},
    {"pcx", kTypePcx},   {"wmf", kTypeWmf},  {"emf", kTypeWmf},   {"j2k", kTypeJp2},
    {"jp2", kTypeJp2},   {"j2c", kTypeJpc},  {"jpc", kTypeJpc},   {"pgx", kTypePgx},
    {"pnm", kTypePnm},   {"pgm", kTypePnm},  {"ppm", kTypePnm},   {"ras", kTypeRas},
};

}  // namespace

int32_t image_type_of(const char* name) {
    if (name == nullptr) return kTypeNone;
    const size_t len = std::strlen(name);
    const size_t len4 = len < 4 ? len : 4;
    const size_t len3 = len < 3 ? len : 3;
    const char* last4 = name + len - len4;
    const char* last3 = name + len - len3;
    for (const Ending& e : kEndings) {
        const bool four = std::strlen(e.text) == 4;
        if (four ? tail_is(last4, len4, e.text) : tail_is(last3, len3, e.text)) return e.type;
    }
    return kTypeNone;
}

int32_t format_id_of_type(int32_t type) {
    switch (type) {
        case kTypeBmp:
            return 1;
        case kTypeGif:
            return 2;
        case kTypeJpeg:
            return 3;
        case kTypePng:
            return 4;
        case kTypeIco:
            return 6;
        case kTypeTiff:
            return 7;
        case kTypeTga:
            return 8;
        case kTypePcx:
            return 9;
        case kTypeWbmp:
            return 10;
        case kTypeWmf:
            return 11;
        case kTypeJp2:
            return 14;
        case kTypeJpc:
            return 15;
        case kTypePgx:
            return 16;
        case kTypePnm:
            return 17;
        case kTypeRas:
            return 18;
        default:
            return -1;
    }
}

}  // namespace lorvex
