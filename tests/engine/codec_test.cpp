#include "engine/codec.h"

#include <Magick++.h>
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "engine/picture_fixtures.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::encode_picture;
using testing::grey_at;
using testing::two_halves;

struct WritableFormat {
    int32_t format;
    const char* extension;
};

class CodecRoundTrip : public ::testing::TestWithParam<WritableFormat> {};

// Every format the codec writes decodes back to the same size and content,
// from memory with the 63 zero pad bytes a stored blob can carry, and from a
// file named with the format's extension.
TEST_P(CodecRoundTrip, EncodedPictureDecodesToTheSamePicture) {
    const WritableFormat& param = GetParam();
    ASSERT_TRUE(codec_can_encode(param.format));
    const std::string bytes = encode_picture(two_halves(40, 30), param.format);
    ASSERT_FALSE(bytes.empty());

    std::string padded = bytes + std::string(63, '\0');
    CodecImage from_memory;
    ASSERT_TRUE(from_memory.Decode(reinterpret_cast<const uint8_t*>(padded.data()),
                                   static_cast<uint32_t>(padded.size()), param.format))
        << from_memory.GetLastError();
    EXPECT_STREQ(from_memory.GetLastError(), "");

    lorvex::testing::TempDir dir;
    const std::string path = dir.file(std::string("p.") + param.extension);
    ASSERT_TRUE(testing::write_bytes(path, bytes));
    CodecImage from_file;
    ASSERT_TRUE(from_file.Load(path.c_str(), param.format)) << from_file.GetLastError();

    for (const CodecImage* picture : {&from_memory, &from_file}) {
        EXPECT_EQ(picture->GetWidth(), 40);
        EXPECT_EQ(picture->GetHeight(), 30);
        EXPECT_LT(grey_at(*picture, 5, 15), 40);
        EXPECT_GT(grey_at(*picture, 34, 15), 215);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryWritableFormat, CodecRoundTrip,
    ::testing::Values(WritableFormat{kFormatBmp, "bmp"}, WritableFormat{kFormatGif, "gif"},
                      WritableFormat{kFormatJpeg, "jpg"}, WritableFormat{kFormatPng, "png"},
                      WritableFormat{kFormatIco, "ico"}, WritableFormat{kFormatTiff, "tif"},
                      WritableFormat{kFormatTga, "tga"}, WritableFormat{kFormatPcx, "pcx"},
                      WritableFormat{kFormatWbmp, "wbmp"}, WritableFormat{kFormatJp2, "jp2"},
                      WritableFormat{kFormatJpc, "j2c"}, WritableFormat{kFormatPgx, "pgx"},
                      WritableFormat{kFormatPnm, "ppm"}, WritableFormat{kFormatRas, "ras"},
                      WritableFormat{kFormatMng, "mng"}),
    [](const ::testing::TestParamInfo<WritableFormat>& info) {
        return std::string(info.param.extension);
    });

TEST(Codec, FormatsThatCannotBeWrittenAreRefused) {
    for (int32_t format : {0, 10, 16, 18, -1}) {
        EXPECT_FALSE(codec_can_encode(format)) << format;
        CodecImage picture;
        picture.SetImage(two_halves(4, 4));
        uint8_t* buffer = reinterpret_cast<uint8_t*>(&picture);
        int32_t size = 7;
        EXPECT_FALSE(picture.Encode(buffer, size, format)) << format;
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(size, 0);
    }
    CodecImage empty;
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    EXPECT_FALSE(empty.Encode(buffer, size, kFormatPng));
}

// The PNM format number reads all three kinds of file by their content.
TEST(Codec, PnmNumberReadsGreyAndBitmapFiles) {
    const std::string pgm = std::string("P5 2 1 255\n") + '\x00' + '\xff';
    const std::string pbm = std::string("P4 8 1\n") + '\xf0';
    for (const std::string& bytes : {pgm, pbm}) {
        CodecImage picture;
        ASSERT_TRUE(picture.Decode(reinterpret_cast<const uint8_t*>(bytes.data()),
                                   static_cast<uint32_t>(bytes.size()), kFormatPnm))
            << picture.GetLastError();
        EXPECT_LT(grey_at(picture, 0, 0), 10);
        EXPECT_GT(grey_at(picture, picture.GetWidth() - 1, 0), 245);
    }
}

uint32_t crc32_of(const std::string& bytes, size_t from, size_t length) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = from; i < from + length; ++i) {
        crc ^= static_cast<uint8_t>(bytes[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put_be32(std::string* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

// A valid small PNG whose header claims 100000 x 100000 pixels.
std::string png_bomb() {
    std::string png = encode_picture(two_halves(8, 8), kFormatPng);
    // Signature (8), IHDR length (4), "IHDR" (4), width at 16, height at 20,
    // the chunk's CRC over type and data at 29.
    put_be32(&png, 16, 100000);
    put_be32(&png, 20, 100000);
    put_be32(&png, 29, crc32_of(png, 12, 17));
    return png;
}

// Noise, so that the entropy-coded data outweighs the headers.
std::string truncated_jpeg() {
    QImage noise(256, 256, QImage::Format_RGB32);
    uint32_t state = 12345;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            state = state * 1103515245u + 12345u;
            noise.setPixel(x, y, qRgb(state >> 24, state >> 16, state >> 8));
        }
    }
    std::string jpeg = encode_picture(noise, kFormatJpeg);
    return jpeg.substr(0, jpeg.size() * 2 / 3);
}

std::string emf_header() {
    std::string emf(88, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    return emf;
}

struct BadInput {
    const char* reason;
    std::string bytes;
    int32_t format;
};

// Nothing here decodes; each gives an empty picture and a reason, and none
// throws or crashes.
TEST(Codec, BadInputFailsCleanly) {
    const BadInput cases[] = {
        {"text named like a picture", "just some notes\n", kFormatJpeg},
        {"empty file", "", kFormatPng},
        {"truncated JPEG header", truncated_jpeg().substr(0, 20), kFormatJpeg},
        {"PNG declaring 100000 x 100000", png_bomb(), kFormatPng},
        {"PNG bytes under the JPEG number", encode_picture(two_halves(8, 8), kFormatPng),
         kFormatJpeg},
        {"enhanced metafile", emf_header(), kFormatWmf},
        {"three bytes of TGA", "abc", kFormatTga},
        {"garbage JPEG 2000", "\xff\x4f\xff\x51garbage", kFormatJpc},
        {"garbage MNG", "\x8aMNG\r\n\x1a\nxx", kFormatMng},
        {"format 0", encode_picture(two_halves(8, 8), kFormatPng), kFormatUnknown},
        {"format 16", encode_picture(two_halves(8, 8), kFormatPng), 16},
    };
    for (const BadInput& c : cases) {
        CodecImage picture;
        EXPECT_FALSE(picture.Decode(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                    static_cast<uint32_t>(c.bytes.size()), c.format))
            << c.reason;
        EXPECT_FALSE(picture.IsValid()) << c.reason;
        EXPECT_STRNE(picture.GetLastError(), "") << c.reason;
        EXPECT_EQ(picture.GetWidth(), 0) << c.reason;
    }
}

TEST(Codec, EmfIsReportedAsUnsupported) {
    const std::string emf = emf_header();
    CodecImage picture;
    EXPECT_FALSE(picture.Decode(reinterpret_cast<const uint8_t*>(emf.data()),
                                static_cast<uint32_t>(emf.size()), kFormatWmf));
    EXPECT_STREQ(picture.GetLastError(), "EMF pictures are not supported");
}

TEST(Codec, MetafilesDecode) {
    const std::string wmf = testing::wmf_two_halves();
    CodecImage picture;
    ASSERT_TRUE(picture.Decode(reinterpret_cast<const uint8_t*>(wmf.data()),
                               static_cast<uint32_t>(wmf.size()), kFormatWmf))
        << picture.GetLastError();
    ASSERT_GT(picture.GetWidth(), 10);
    const QRgb left = picture.GetImage().pixel(picture.GetWidth() / 4, picture.GetHeight() / 2);
    EXPECT_EQ(qAlpha(left), 255);
    EXPECT_LT(qGray(left), 40);
    EXPECT_GT(grey_at(picture, picture.GetWidth() * 7 / 8, picture.GetHeight() / 2), 215);
}

TEST(Codec, MissingFileFailsWithReason) {
    lorvex::testing::TempDir dir;
    CodecImage picture;
    EXPECT_FALSE(picture.Load(dir.file("gone.png").c_str(), kFormatPng));
    EXPECT_STREQ(picture.GetLastError(), "cannot open the file");
    EXPECT_FALSE(picture.Load(dir.path().c_str(), kFormatPng));
    EXPECT_FALSE(picture.Load(nullptr, kFormatPng));
}

// A JPEG that ends early still shows what was decoded (the rest grey), as
// the decoder reports the damage as a warning.
TEST(Codec, TruncatedJpegBodyStillDecodes) {
    const std::string jpeg = truncated_jpeg();
    CodecImage picture;
    EXPECT_TRUE(picture.Decode(reinterpret_cast<const uint8_t*>(jpeg.data()),
                               static_cast<uint32_t>(jpeg.size()), kFormatJpeg))
        << picture.GetLastError();
    EXPECT_EQ(picture.GetWidth(), 256);
}

struct MultiFrame {
    int32_t format;
    const char* coder;
};

// Multi-frame files give their first frame.
TEST(Codec, MultiFrameFilesGiveTheFirstFrame) {
    for (const MultiFrame& c : {MultiFrame{kFormatGif, "GIF"}, MultiFrame{kFormatTiff, "TIFF"},
                                MultiFrame{kFormatMng, "MNG"}}) {
        std::list<Magick::Image> frames;
        frames.emplace_back(Magick::Geometry(6, 4), Magick::Color("black"));
        frames.emplace_back(Magick::Geometry(6, 4), Magick::Color("white"));
        for (Magick::Image& frame : frames) frame.magick(c.coder);
        Magick::Blob blob;
        Magick::writeImages(frames.begin(), frames.end(), &blob, true);
        CodecImage picture;
        ASSERT_TRUE(picture.Decode(static_cast<const uint8_t*>(blob.data()),
                                   static_cast<uint32_t>(blob.length()), c.format))
            << c.coder << ": " << picture.GetLastError();
        EXPECT_EQ(picture.GetWidth(), 6) << c.coder;
        EXPECT_LT(grey_at(picture, 3, 2), 10) << c.coder;
    }
}

TEST(Codec, ResampleNearestCopiesPixels) {
    QImage four(2, 2, QImage::Format_RGB32);
    four.setPixel(0, 0, qRgb(255, 0, 0));
    four.setPixel(1, 0, qRgb(0, 255, 0));
    four.setPixel(0, 1, qRgb(0, 0, 255));
    four.setPixel(1, 1, qRgb(255, 255, 255));
    CodecImage source;
    source.SetImage(four);
    CodecImage dest(kFormatPng);
    ASSERT_TRUE(source.Resample(4, 6, kResampleNearest, &dest));
    ASSERT_EQ(dest.GetWidth(), 4);
    ASSERT_EQ(dest.GetHeight(), 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(dest.GetImage().pixel(x, y) & 0xffffff, four.pixel(x / 2, y / 3) & 0xffffff)
                << x << "," << y;
        }
    }
    EXPECT_FALSE(source.Resample(4, 4, 2, &dest)) << "only mode 1 is nearest";
    EXPECT_FALSE(source.Resample(0, 4, kResampleNearest, &dest));
    EXPECT_FALSE(source.Resample(4, 4, kResampleNearest, nullptr));
}

TEST(Codec, Resample2InterpolatesAndRepeatsEdges) {
    QImage pair(2, 1, QImage::Format_RGB32);
    pair.setPixel(0, 0, qRgb(0, 0, 0));
    pair.setPixel(1, 0, qRgb(200, 200, 200));
    CodecImage picture;
    picture.SetImage(pair);
    ASSERT_TRUE(picture.Resample2(8, 1));
    ASSERT_EQ(picture.GetWidth(), 8);
    // Past the centre of the edge pixels the edge colour repeats; between
    // the centres the values rise steadily.
    EXPECT_EQ(grey_at(picture, 0, 0), 0);
    EXPECT_EQ(grey_at(picture, 7, 0), 200);
    int previous = -1;
    for (int x = 0; x < 8; ++x) {
        EXPECT_GE(grey_at(picture, x, 0), previous) << x;
        previous = grey_at(picture, x, 0);
    }
    EXPECT_GT(grey_at(picture, 3, 0), 20);
    EXPECT_LT(grey_at(picture, 3, 0), 180);
}

TEST(Codec, Resample2AveragesWhenShrinking) {
    CodecImage picture;
    picture.SetImage(two_halves(64, 64));
    CodecImage dest;
    ASSERT_TRUE(picture.Resample2(1, 1, kInterpolationBilinear, kOverflowRepeat, &dest));
    EXPECT_EQ(picture.GetWidth(), 64) << "with a destination the source stays";
    EXPECT_NEAR(grey_at(dest, 0, 0), 128, 8);
    EXPECT_FALSE(picture.Resample2(10, 10, 1, kOverflowRepeat));
    EXPECT_FALSE(picture.Resample2(10, 10, kInterpolationBilinear, 1));
    EXPECT_FALSE(picture.Resample2(10, 0));
}

// A reduced load gives W / 4 x H / 4 once both sides reach the threshold and
// the picture as it is below it, for the JPEG decoder's own scaling and for
// the nearest-pixel path alike.
TEST(Codec, ReducedLoadQuartersLargePictures) {
    struct Case {
        int width, height, expect_width, expect_height;
        int32_t format;
    };
    const Case cases[] = {
        {404, 404, 101, 101, kFormatJpeg},  {403, 1000, 403, 1000, kFormatJpeg},
        {1001, 807, 250, 201, kFormatJpeg}, {404, 404, 101, 101, kFormatPng},
        {1000, 403, 1000, 403, kFormatPng}, {810, 405, 202, 101, kFormatTga},
    };
    for (const Case& c : cases) {
        const std::string bytes = encode_picture(two_halves(c.width, c.height), c.format);
        CodecImage picture;
        ASSERT_TRUE(picture.DecodeReduced(reinterpret_cast<const uint8_t*>(bytes.data()),
                                          static_cast<uint32_t>(bytes.size()), c.format, 404))
            << picture.GetLastError();
        EXPECT_EQ(picture.GetWidth(), c.expect_width) << c.width << "x" << c.height;
        EXPECT_EQ(picture.GetHeight(), c.expect_height) << c.width << "x" << c.height;
        EXPECT_EQ(picture.GetSourceWidth(), c.width);
        EXPECT_EQ(picture.GetSourceHeight(), c.height);
        EXPECT_LT(grey_at(picture, picture.GetWidth() / 8, 0), 40);
        EXPECT_GT(grey_at(picture, picture.GetWidth() * 7 / 8, 0), 215);
    }
}

}  // namespace
}  // namespace lorvex
