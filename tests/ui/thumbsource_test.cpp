// Folder thumbnails for the grid through a real thumbnail cache database and
// real picture files drawn by the test.
#include "ui/thumbsource.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

void savePicture(const std::string& path, int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(30, 160, 90));
    ASSERT_TRUE(image.save(QString::fromStdString(path), format));
}

class FolderThumbnailTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(thumbcache_open(dir.file("dir_thumb.pdb").c_str()), 0); }
    void TearDown() override { (void)thumbcache_close(); }

    struct Made {
        ThumbResult result;
        QSize size;
        QPoint offset;
    };
    Made make(const std::string& name) {
        QImage thumbnail;
        QPoint offset;
        ThumbResult result = folderThumbnail(dir.file(name), &thumbnail, &offset);
        return {result, thumbnail.size(), offset};
    }

    testing::TempDir dir;
};

TEST_F(FolderThumbnailTest, FirstShowingMakesAndCachesLaterOnesReadBack) {
    struct Case {
        const char* reason;
        const char* name;
        int w, h;
        QSize firstSize;
        QPoint firstOffset;
        QSize cachedSize;  // the cached thumbnail fitted once more
        QPoint cachedOffset;
    };
    const Case cases[] = {
        {"wide", "wide.png", 400, 300, {100, 75}, {0, 12}, {100, 75}, {0, 12}},
        {"tall loses one more pixel from the cache",
         "tall.png",
         300,
         400,
         {74, 100},
         {13, 0},
         {73, 100},
         {13, 0}},
        {"capital extension", "IMG_0001.JPG", 640, 480, {100, 75}, {0, 12}, {100, 75}, {0, 12}},
        {"no dot before the type", "photoJPG", 64, 64, {100, 100}, {0, 0}, {100, 100}, {0, 0}},
    };
    for (const Case& c : cases) {
        std::string format = std::string(c.name).find("png") != std::string::npos ? "PNG" : "JPG";
        savePicture(dir.file(c.name), c.w, c.h, format.c_str());
        Made first = make(c.name);
        ASSERT_EQ(first.result, ThumbResult::kMade) << c.reason;
        EXPECT_EQ(first.size, c.firstSize) << c.reason;
        EXPECT_EQ(first.offset, c.firstOffset) << c.reason;
        Made second = make(c.name);
        ASSERT_EQ(second.result, ThumbResult::kMade) << c.reason;
        EXPECT_EQ(second.size, c.cachedSize) << c.reason;
        EXPECT_EQ(second.offset, c.cachedOffset) << c.reason;
    }
}

TEST_F(FolderThumbnailTest, BrokenMissingAndUntypedFilesArePassedOver) {
    dir.write("broken.jpg", "this is not a picture");
    dir.write("truncated.png", std::string("\x89PNG\r\n\x1a\n", 8));
    dir.write("notes.txt", "text");
    for (const char* name : {"broken.jpg", "truncated.png", "notes.txt", "removed.jpg"}) {
        EXPECT_EQ(make(name).result, ThumbResult::kPassedOver) << name;
    }
}

TEST_F(FolderThumbnailTest, BatchedRowsReachTheCacheWhenFlushed) {
    savePicture(dir.file("tall.png"), 300, 400, "PNG");
    QImage thumbnail;
    QPoint offset;
    {
        FolderThumbnailBatch batch;
        ASSERT_EQ(folderThumbnail(dir.file("tall.png"), &thumbnail, &offset, &batch),
                  ThumbResult::kMade);
        EXPECT_EQ(thumbnail.size(), QSize(74, 100));
        EXPECT_EQ(batch.pending(), 1u);
    }
    // The batch went and stored its row; the cached thumbnail is read back.
    EXPECT_EQ(make("tall.png").size, QSize(73, 100));
}

TEST(FolderThumbnailWithoutCache, MakesTheThumbnailWithoutKeepingIt) {
    testing::TempDir dir;
    savePicture(dir.file("a.png"), 200, 100, "PNG");
    QImage thumbnail;
    QPoint offset;
    ASSERT_EQ(thumbcache_handle(), nullptr);
    EXPECT_EQ(folderThumbnail(dir.file("a.png"), &thumbnail, &offset), ThumbResult::kMade);
    EXPECT_EQ(thumbnail.size(), QSize(100, 50));
    EXPECT_EQ(offset, QPoint(0, 25));
}

}  // namespace
}  // namespace lorvex
