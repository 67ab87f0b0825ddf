#include "browse/picture_types.h"

#include <gtest/gtest.h>

namespace lorvex {
namespace {

struct TypeCase {
    const char* name;
    int32_t type;
    const char* reason;
};

constexpr TypeCase kTypeCases[] = {
    {"Photo.JPG", kTypeJpeg, "case of the ending is ignored"},
    {"photo.jpeg", kTypeJpeg, "four-letter JPEG ending"},
    {"photoJPG", kTypeJpeg, "no dot needed before the ending"},
    {"/home/u/pics/holiday.jpg", kTypeJpeg, "a full path is typed by its end"},
    {"jpg", kTypeJpeg, "a name that is only the ending"},
    {"a.wbmp", kTypeWbmp, "wbmp is tested before bmp"},
    {"a.bmp", kTypeBmp, "plain bmp"},
    {"a.GIF", kTypeGif, "gif"},
    {"a.png", kTypePng, "png"},
    {"a.ico", kTypeIco, "ico"},
    {"a.tif", kTypeTiff, "three-letter TIFF ending"},
    {"a.TIFF", kTypeTiff, "four-letter TIFF ending in capitals"},
    {"a.tga", kTypeTga, "tga"},
    {"a.pcx", kTypePcx, "pcx"},
    {"a.wmf", kTypeWmf, "wmf"},
    {"a.emf", kTypeWmf, "emf shares the WMF code"},
    {"a.j2k", kTypeJp2, "JPEG 2000 file, j2k"},
    {"a.jp2", kTypeJp2, "JPEG 2000 file, jp2"},
    {"a.j2c", kTypeJpc, "JPEG 2000 code stream, j2c"},
    {"a.jpc", kTypeJpc, "JPEG 2000 code stream, jpc"},
    {"a.pgx", kTypePgx, "pgx"},
    {"a.pnm", kTypePnm, "pnm"},
    {"a.pgm", kTypePnm, "pgm"},
    {"a.PPM", kTypePnm, "ppm"},
    {"a.ras", kTypeRas, "ras"},
    {"a.mng", kTypeMng, "mng"},
    {"a.jng", kTypeMng, "jng shares the MNG code"},
    {"a.txt", kTypeNone, "not a picture ending"},
    {"gf", kTypeNone, "two characters match no ending"},
    {"", kTypeNone, "empty name"},
    {"a.jpg.txt", kTypeNone, "only the very end counts"},
    {"a.peg", kTypeNone, "peg is not jpeg"},
    {"a.bmpx", kTypeNone, "a trailing character breaks the ending"},
};

TEST(ImageTypeOf, NamesGiveTheirTypeCodes) {
    for (const TypeCase& c : kTypeCases) {
        EXPECT_EQ(image_type_of(c.name), c.type) << c.name << ": " << c.reason;
    }
}

TEST(ImageTypeOf, NullNameIsNoPicture) {
    EXPECT_EQ(image_type_of(nullptr), kTypeNone);
}

TEST(FormatIdOfType, MapsEveryTypeCode) {
    struct Case {
        int32_t type;
        int32_t format;
    };
    constexpr Case kCases[] = {
        {kTypeBmp, 1},  {kTypeGif, 2},  {kTypeJpeg, 3},  {kTypePng, 4},   {kTypeIco, 6},
        {kTypeTiff, 7}, {kTypeTga, 8},  {kTypePcx, 9},   {kTypeWbmp, 10}, {kTypeWmf, 11},
        {kTypeJp2, 14}, {kTypeJpc, 15}, {kTypePgx, 16},  {kTypePnm, 17},  {kTypeRas, 18},
        {kTypeMng, -1}, {16, -1},       {kTypeNone, -1},
    };
    for (const Case& c : kCases) EXPECT_EQ(format_id_of_type(c.type), c.format) << c.type;
}

}  // namespace
}  // namespace lorvex
