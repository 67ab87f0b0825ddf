#include "browse/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "hub/message_hub.h"
#include "recorder.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::Recorder;
using testing::TempDir;
using Names = std::vector<std::string>;

TEST(ScanFolder, ListsPicturesByNameInByteOrderOfTheirDiskSpelling) {
    TempDir dir;
    for (const char* name : {"b.png", "A.JPG", "photoJPG", "notes.txt", "c.mng", "IMG_0001.JPG"}) {
        dir.write(name, "x");
    }
    MessageHub hub;
    Recorder rec(&hub);
    EXPECT_EQ(ScanFolder(dir.path().c_str(), &hub), ScanOutcome::kListed);
    ASSERT_EQ(rec.listed.size(), 1u);
    const auto& l = rec.listed[0];
    EXPECT_EQ(l.count, 5);
    EXPECT_EQ(l.folder, dir.path());
    EXPECT_EQ(l.disk_names, (Names{"A.JPG", "IMG_0001.JPG", "b.png", "c.mng", "photoJPG"}));
    EXPECT_EQ(l.names, (Names{"a.jpg", "img_0001.jpg", "b.png", "c.mng", "photojpg"}));
    EXPECT_EQ(l.formats, (std::vector<int32_t>{3, 3, 4, -1, 3}));
    // The scan itself does not build the list; nobody answered here.
    EXPECT_TRUE(rec.ready.empty());
}

TEST(ScanFolder, ListsOnlyRegularFilesJudgedByTheirOwnStatus) {
    TempDir dir;
    dir.write("real.jpg", "x");
    dir.write("target.dat", "x");
    ASSERT_EQ(mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe.png").c_str(), 0644), 0);
    ASSERT_EQ(symlink("gone.jpg", dir.file("dangling.jpg").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", dir.file("device.gif").c_str()), 0);
    ASSERT_EQ(symlink("target.dat", dir.file("link.bmp").c_str()), 0);
    MessageHub hub;
    Recorder rec(&hub);
    EXPECT_EQ(ScanFolder(dir.path().c_str(), &hub), ScanOutcome::kListed);
    ASSERT_EQ(rec.listed.size(), 1u);
    // A link to a regular file is a regular file; everything else is passed over.
    EXPECT_EQ(rec.listed[0].disk_names, (Names{"link.bmp", "real.jpg"}));
}

TEST(ScanFolder, EmptyAndUnreadableFoldersSendAnEmptyListing) {
    TempDir dir;
    dir.write("readme.txt", "x");
    MessageHub hub;
    Recorder rec(&hub);
    EXPECT_EQ(ScanFolder(dir.path().c_str(), &hub), ScanOutcome::kListed);
    EXPECT_EQ(ScanFolder(dir.file("missing").c_str(), &hub), ScanOutcome::kUnreadable);
    EXPECT_EQ(ScanFolder(dir.file("readme.txt").c_str(), &hub), ScanOutcome::kUnreadable);
    ASSERT_EQ(rec.listed.size(), 3u);
    for (const auto& l : rec.listed) EXPECT_EQ(l.count, 0);
    EXPECT_EQ(rec.listed[1].folder, dir.file("missing"));
}

TEST(ScanFolder, RefusesPathsOfTwoHundredSixtyCharactersOrMore) {
    TempDir dir;
    MessageHub hub;
    Recorder rec(&hub);
    const std::string at_limit = dir.path() + "/" + std::string(259 - dir.path().size() - 1, 'd');
    ASSERT_EQ(at_limit.size(), 259u);
    ASSERT_EQ(mkdir(at_limit.c_str(), 0755), 0);
    EXPECT_EQ(ScanFolder(at_limit.c_str(), &hub), ScanOutcome::kListed);
    const std::string too_long = at_limit + "/";
    EXPECT_EQ(ScanFolder(too_long.c_str(), &hub), ScanOutcome::kPathTooLong);
    EXPECT_EQ(ScanFolder(nullptr, &hub), ScanOutcome::kPathTooLong);
    EXPECT_EQ(last_scan_outcome(), ScanOutcome::kPathTooLong);
    EXPECT_EQ(rec.listed.size(), 1u);
}

TEST(ScanFolder, WithoutAHubSendsThroughTheApplicationHub) {
    TempDir dir;
    dir.write("a.jpg", "x");
    MessageHub hub;
    Recorder rec(&hub);
    set_app_hub(&hub);
    EXPECT_EQ(ScanFolder(dir.path().c_str()), ScanOutcome::kListed);
    set_app_hub(nullptr);
    EXPECT_EQ(ScanFolder(dir.path().c_str()), ScanOutcome::kListed);  // no hub at all: no one hears
    ASSERT_EQ(rec.listed.size(), 1u);
    EXPECT_EQ(rec.listed[0].names, (Names{"a.jpg"}));
}

}  // namespace
}  // namespace lorvex
