#include "engine/thumbnail.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <chrono>
#include <string>
#include <thread>

#include "browse/file_time.h"
#include "engine/picture_fixtures.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::encode_picture;
using testing::grey_at;
using testing::two_halves;

struct FitCase {
    int32_t width, height;
    ThumbFit expect;
    const char* reason;
};

TEST(ThumbFit, MatchesTheWorkedExamples) {
    const FitCase cases[] = {
        {1, 1, {100, 100, 0, 0}, "square pictures are enlarged to the cell"},
        {400, 300, {100, 75, 0, 12}, "wide"},
        {1024, 768, {100, 75, 0, 12}, "wide, same ratio"},
        {300, 400, {74, 100, 13, 0}, "the single-precision ratio loses a pixel"},
        {768, 1024, {74, 100, 13, 0}, "tall, same ratio"},
        {3, 2, {100, 66, 0, 17}, "truncated, not rounded"},
        {1000, 10, {100, 1, 0, 50}, "a side of 0 is raised to 1"},
        {10, 1000, {1, 100, 49, 0}, "a 100-fold tall picture is one pixel wide"},
        {74, 100, {73, 100, 13, 0}, "fitting a stored thumbnail again loses one more"},
        {0, 10, {0, 0, 0, 0}, "no picture"},
    };
    for (const FitCase& c : cases) {
        const ThumbFit fit = thumb_fit(c.width, c.height);
        EXPECT_EQ(fit.w, c.expect.w) << c.reason;
        EXPECT_EQ(fit.h, c.expect.h) << c.reason;
        EXPECT_EQ(fit.x, c.expect.x) << c.reason;
        EXPECT_EQ(fit.y, c.expect.y) << c.reason;
    }
}

TEST(ThumbResample, PreShrinksOnlyWhenBothSidesReach404) {
    struct Case {
        int32_t width, height, expect_width, expect_height;
    };
    for (const Case& c : {Case{403, 1000, 403, 1000}, Case{1000, 403, 1000, 403},
                          Case{404, 404, 101, 101}, Case{4000, 3000, 1000, 750}}) {
        int32_t w = 0;
        int32_t h = 0;
        thumb_preshrink_size(c.width, c.height, &w, &h);
        EXPECT_EQ(w, c.expect_width) << c.width << "x" << c.height;
        EXPECT_EQ(h, c.expect_height) << c.width << "x" << c.height;
    }
}

TEST(ThumbResample, GivesTheRequestedSizeWithTheContentKept) {
    for (const auto& [width, height] :
         {std::pair{403, 1000}, std::pair{404, 404}, std::pair{1200, 900}, std::pair{2, 2}}) {
        CodecImage source;
        source.SetImage(two_halves(width, height));
        const ThumbFit fit = thumb_fit(width, height);
        CodecImage out;
        ASSERT_TRUE(thumb_resample(source, fit.w, fit.h, &out));
        EXPECT_EQ(out.GetWidth(), fit.w);
        EXPECT_EQ(out.GetHeight(), fit.h);
        EXPECT_LT(grey_at(out, 0, fit.h / 2), 40);
        EXPECT_GT(grey_at(out, fit.w - 1, fit.h / 2), 215);
        EXPECT_EQ(source.GetWidth(), width) << "the source stays as it was";
    }
    CodecImage empty;
    CodecImage out;
    EXPECT_FALSE(thumb_resample(empty, 10, 10, &out));
}

struct MakeCase {
    int32_t width, height, format;
    const char* name;
};

// From a file and from bytes alike, the thumbnail has the fit of the
// picture's size on file, whether the decoder reduced it or not.
TEST(ThumbMake, FitsPicturesOfEverySize) {
    const MakeCase cases[] = {
        {1600, 1200, kFormatJpeg, "big.jpg"}, {403, 1000, kFormatJpeg, "tall.jpg"},
        {1600, 1200, kFormatPng, "big.png"},  {300, 400, kFormatBmp, "tall.bmp"},
        {1000, 10, kFormatGif, "strip.gif"},  {640, 480, kFormatTga, "wide.tga"},
    };
    lorvex::testing::TempDir dir;
    for (const MakeCase& c : cases) {
        const std::string bytes = encode_picture(two_halves(c.width, c.height), c.format);
        ASSERT_TRUE(testing::write_bytes(dir.file(c.name), bytes)) << c.name;
        const ThumbFit expect = thumb_fit(c.width, c.height);

        CodecImage from_file;
        ThumbFit fit;
        ASSERT_TRUE(thumb_make_from_file(dir.file(c.name).c_str(), c.format, &from_file, &fit))
            << c.name << ": " << from_file.GetLastError();
        EXPECT_EQ(fit.w, expect.w) << c.name;
        EXPECT_EQ(fit.h, expect.h) << c.name;
        EXPECT_EQ(from_file.GetWidth(), expect.w) << c.name;
        EXPECT_EQ(from_file.GetHeight(), expect.h) << c.name;

        CodecImage from_bytes;
        ASSERT_TRUE(thumb_make_from_bytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                          static_cast<uint32_t>(bytes.size()), c.format,
                                          &from_bytes, &fit))
            << c.name;
        EXPECT_EQ(from_bytes.GetWidth(), expect.w) << c.name;
        EXPECT_LT(grey_at(from_bytes, 0, 0), 60) << c.name;
        EXPECT_GT(grey_at(from_bytes, expect.w - 1, 0), 195) << c.name;
    }
}

TEST(ThumbMake, RefusesUntypedAndUndecodablePictures) {
    lorvex::testing::TempDir dir;
    dir.write("notes.jpg", "not a picture at all");
    dir.write("empty.png", "");
    CodecImage out;
    ThumbFit fit;
    EXPECT_FALSE(thumb_make_from_file(dir.file("notes.jpg").c_str(), kFormatJpeg, &out, &fit));
    EXPECT_FALSE(thumb_make_from_file(dir.file("empty.png").c_str(), kFormatPng, &out, &fit));
    EXPECT_FALSE(thumb_make_from_file(dir.file("gone.png").c_str(), kFormatPng, &out, &fit));
    const std::string png = encode_picture(two_halves(8, 8), kFormatPng);
    EXPECT_FALSE(thumb_make_from_bytes(reinterpret_cast<const uint8_t*>(png.data()),
                                       static_cast<uint32_t>(png.size()), kFormatUnknown, &out,
                                       &fit));
}

TEST(ThumbEncode, UsesThePicturesOwnFormatOrPngWhenItCannotBeWritten) {
    EXPECT_EQ(thumb_format_of(kFormatJpeg), kFormatJpeg);
    EXPECT_EQ(thumb_format_of(kFormatTga), kFormatTga);
    EXPECT_EQ(thumb_format_of(kFormatWmf), kFormatPng);
    EXPECT_EQ(thumb_format_of(kFormatUnknown), kFormatUnknown);

    CodecImage thumbnail;
    thumbnail.SetImage(two_halves(74, 100));
    uint8_t* buffer = nullptr;
    int32_t length = 0;
    ASSERT_TRUE(thumb_encode(&thumbnail, kFormatWmf, &buffer, &length));
    ASSERT_GT(length, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 1, 3), "PNG");
    // A stored thumbnail is fitted again when it is read back.
    CodecImage back;
    ThumbFit fit;
    ASSERT_TRUE(thumb_from_blob(buffer, static_cast<uint32_t>(length), kFormatWmf, &back, &fit));
    CodecImage::FreeMemory(buffer);
    EXPECT_EQ(fit.w, 73);
    EXPECT_EQ(fit.h, 100);
    EXPECT_EQ(fit.x, 13);
    EXPECT_EQ(back.GetWidth(), 73);
    EXPECT_FALSE(
        thumb_from_blob(reinterpret_cast<const uint8_t*>("junk"), 4, kFormatPng, &back, &fit));
}

std::string expected_key_bytes(const std::string& path, uint32_t created, uint32_t size) {
    std::string buffer = path;
    for (uint32_t word : {created, size}) {
        for (int b = 0; b < 4; ++b) buffer.push_back(static_cast<char>(word >> (8 * b)));
    }
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(buffer.data(), static_cast<qsizetype>(buffer.size())), QCryptographicHash::Md5);
    return std::string(digest.constData(), 16);
}

TEST(ThumbCacheKey, IsTheDigestOfPathTimeAndSize) {
    uint32_t key[4];
    thumb_cache_key("/home/u/pics/a.jpg", 0x01020304, 5000, key);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(key), 16),
              expected_key_bytes("/home/u/pics/a.jpg", 0x01020304, 5000));

    uint32_t other[4];
    thumb_cache_key("/home/u/pics/a.jpg", 0x01020305, 5000, other);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(key), 16),
              std::string(reinterpret_cast<const char*>(other), 16))
        << "a new creation time is a new key";

    const uint32_t zero[4] = {0, 0, 0, 0};
    const std::string longest(263, 'p');
    thumb_cache_key(longest.c_str(), 1, 1, key);
    EXPECT_NE(std::memcmp(key, zero, 16), 0) << "263 + 8 still fits the 272-byte buffer";
    const std::string too_long(264, 'p');
    thumb_cache_key(too_long.c_str(), 1, 1, key);
    EXPECT_EQ(std::memcmp(key, zero, 16), 0);
    thumb_cache_key(nullptr, 1, 1, key);
    EXPECT_EQ(std::memcmp(key, zero, 16), 0);
}

class FolderThumbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_init();
        ASSERT_EQ(thumbcache_open(dir.file("dir_thumb.pdb").c_str()), 0);
        cache = thumbcache_handle();
        ASSERT_NE(cache, nullptr);
        ASSERT_EQ(::mkdir(folder().c_str(), 0755), 0);
    }
    void TearDown() override { (void)thumbcache_close(); }

    std::string folder() const { return dir.file("pics"); }
    std::string path(const std::string& name) const { return folder() + "/" + name; }

    // Rows the cache holds for a file as it is on disk now.
    int32_t cached_rows(const std::string& name) {
        FileStatus status;
        EXPECT_EQ(file_status(path(name).c_str(), &status), 0);
        uint32_t key[4];
        thumb_cache_key(path(name).c_str(), status.created, status.size, key);
        return rows_for(key);
    }
    int32_t rows_for(const uint32_t key[4]) {
        thumb_lookup* found = thumbcache_lookup(cache, key);
        const int32_t count = found ? found->count : -1;
        thumbcache_free(found);
        return count;
    }

    lorvex::testing::TempDir dir;
    SqlConnection* cache = nullptr;
};

TEST_F(FolderThumbTest, MissStoresARowAndTheHitRefitsIt) {
    ASSERT_TRUE(testing::write_picture(path("tall.jpg"), two_halves(300, 400), kFormatJpeg));
    EXPECT_EQ(cached_rows("tall.jpg"), 0);

    CodecImage miss;
    ThumbFit fit;
    ASSERT_EQ(thumb_folder_file(cache, folder().c_str(), "tall.jpg", &miss, &fit), kThumbReady);
    EXPECT_EQ(fit.w, 74);
    EXPECT_EQ(fit.x, 13);
    EXPECT_EQ(miss.GetWidth(), 74);
    EXPECT_EQ(cached_rows("tall.jpg"), 1);

    CodecImage hit;
    ASSERT_EQ(thumb_folder_file(cache, folder().c_str(), "tall.jpg", &hit, &fit), kThumbReady);
    EXPECT_EQ(fit.w, 73) << "the cached 74 x 100 thumbnail is fitted again";
    EXPECT_EQ(fit.h, 100);
    EXPECT_EQ(hit.GetWidth(), 73);
    EXPECT_EQ(cached_rows("tall.jpg"), 1) << "a hit inserts nothing";
}

TEST_F(FolderThumbTest, ChangedCreationTimeGivesANewRowAndKeepsTheOld) {
    const std::string bytes = encode_picture(two_halves(200, 100), kFormatPng);
    ASSERT_TRUE(testing::write_bytes(path("p.png"), bytes));
    FileStatus before;
    ASSERT_EQ(file_status(path("p.png").c_str(), &before), 0);
    uint32_t old_key[4];
    thumb_cache_key(path("p.png").c_str(), before.created, before.size, old_key);
    CodecImage out;
    ThumbFit fit;
    ASSERT_EQ(thumb_folder_file(cache, folder().c_str(), "p.png", &out, &fit), kThumbReady);

    // The same bytes under the same name, made again a second later.
    FileStatus after;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(::unlink(path("p.png").c_str()), 0);
        ASSERT_TRUE(testing::write_bytes(path("p.png"), bytes));
        ASSERT_EQ(file_status(path("p.png").c_str(), &after), 0);
    } while (after.created == before.created);
    ASSERT_EQ(after.size, before.size);
    EXPECT_EQ(cached_rows("p.png"), 0);
    ASSERT_EQ(thumb_folder_file(cache, folder().c_str(), "p.png", &out, &fit), kThumbReady);
    EXPECT_EQ(cached_rows("p.png"), 1);
    EXPECT_EQ(rows_for(old_key), 1);
}

TEST_F(FolderThumbTest, CapitalisedExtensionGivesTheSameThumbnail) {
    const std::string bytes = encode_picture(two_halves(640, 480), kFormatJpeg);
    ASSERT_TRUE(testing::write_bytes(path("lower.jpg"), bytes));
    ASSERT_TRUE(testing::write_bytes(path("UPPER.JPG"), bytes));
    CodecImage lower;
    CodecImage upper;
    ThumbFit fit;
    ASSERT_EQ(thumb_folder_file(cache, folder().c_str(), "lower.jpg", &lower, &fit), kThumbReady);
    ASSERT_EQ(thumb_folder_file(cache, folder().c_str(), "UPPER.JPG", &upper, &fit), kThumbReady);
    EXPECT_EQ(lower.GetImage(), upper.GetImage());
}

TEST_F(FolderThumbTest, FilesThatAreNotPicturesArePassedOver) {
    ASSERT_TRUE(testing::write_bytes(path("notes.txt"), "text"));
    ASSERT_TRUE(testing::write_bytes(path("fake.png"), "text"));
    ASSERT_TRUE(testing::write_bytes(path("empty.jpg"), ""));
    CodecImage out;
    ThumbFit fit;
    for (const char* name : {"notes.txt", "fake.png", "empty.jpg", "missing.jpg"}) {
        EXPECT_EQ(thumb_folder_file(cache, folder().c_str(), name, &out, &fit), kThumbPassedOver)
            << name;
    }
    EXPECT_EQ(cached_rows("fake.png"), 0);
    const std::string long_name(300, 'n');
    EXPECT_EQ(thumb_folder_file(cache, folder().c_str(), (long_name + ".jpg").c_str(), &out, &fit),
              kThumbPassedOver);
    EXPECT_EQ(thumb_folder_file(nullptr, folder().c_str(), "fake.png", &out, &fit), kThumbRunEnds)
        << "no cache to look in ends the run";
}

TEST(DbThumb, ItemThumbnailIsTypedByItsNameRecord) {
    const std::string blob =
        encode_picture(two_halves(100, 75), kFormatTga) + std::string(30, '\0');
    std::string name(260, '\0');
    name.replace(0, 7, "pic.TGA");
    CodecImage out;
    ThumbFit fit;
    ASSERT_TRUE(thumb_db_item(reinterpret_cast<const uint8_t*>(blob.data()),
                              static_cast<uint32_t>(blob.size()),
                              reinterpret_cast<const uint8_t*>(name.data()), 260, &out, &fit));
    EXPECT_EQ(fit.w, 100);
    EXPECT_EQ(fit.h, 75);
    name.replace(0, 7, "pic.txt");
    EXPECT_FALSE(thumb_db_item(reinterpret_cast<const uint8_t*>(blob.data()),
                               static_cast<uint32_t>(blob.size()),
                               reinterpret_cast<const uint8_t*>(name.data()), 260, &out, &fit));
}

TEST(DbThumb, MakeStoresThumbnailAndRow) {
    store_init();
    lorvex::testing::TempDir dir;
    ASSERT_EQ(store_create(dir.file("t.db").c_str(), 3, kStorePlain, nullptr, 0, nullptr, 0, 0), 0);
    ASSERT_TRUE(testing::write_picture(dir.file("p.png"), two_halves(400, 300), kFormatPng));
    item_record row{};
    ASSERT_EQ(make_db_thumbnail(3, 1, dir.file("p.png").c_str(), 1234, 99, &row), 0);
    EXPECT_EQ(row.id, 1);
    EXPECT_EQ(row.size, 1234);
    EXPECT_EQ(row.date, 99);
    uint8_t* blob = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(store_get_thumbnail(3, 1, &blob, &length), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(blob) + 1, 3), "PNG");
    store_free_buffer(blob);
    int32_t count = 0;
    store_free_result(store_query_range(3, 1, 1, 1, &count));
    EXPECT_EQ(count, 1);

    ASSERT_TRUE(testing::write_bytes(dir.file("bad.png"), "nope"));
    EXPECT_EQ(make_db_thumbnail(3, 2, dir.file("bad.png").c_str(), 4, 0, &row), -1);
    EXPECT_NE(store_get_thumbnail(3, 2, &blob, &length), 0);
    EXPECT_EQ(store_close(3), 0);
}

}  // namespace
}  // namespace lorvex
