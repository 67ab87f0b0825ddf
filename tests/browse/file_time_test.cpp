#include "browse/file_time.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::TempDir;

TEST(FileTime, CreationTimeIsWhenTheFileWasMadeNotItsModificationTime) {
    TempDir dir;
    const int64_t before = std::time(nullptr);
    dir.write("a.jpg", "12345");
    const int64_t after = std::time(nullptr);
    // Back-date the modification time: the creation time must not follow it.
    const timespec times[2] = {{631152000, 0}, {631152000, 0}};  // 1990-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("a.jpg").c_str(), times, 0), 0);

    int64_t created = 0;
    ASSERT_EQ(file_creation_time(dir.file("a.jpg").c_str(), &created), 0);
    EXPECT_GE(created, before - 1);
    EXPECT_LE(created, after + 1);

    FileStatus status;
    ASSERT_EQ(file_status(dir.file("a.jpg").c_str(), &status), 0);
    EXPECT_EQ(status.size, 5);
    EXPECT_TRUE(status.regular);
    EXPECT_EQ(status.created, created);
}

TEST(FileTime, DescriptorAndFolderFormsAgreeWithThePathForm) {
    TempDir dir;
    dir.write("b.png", "xyz");
    FileStatus by_path, by_fd, by_dir;
    ASSERT_EQ(file_status(dir.file("b.png").c_str(), &by_path), 0);
    const int fd = open(dir.file("b.png").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(file_status_fd(fd, &by_fd), 0);
    close(fd);
    const int dir_fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir_fd, 0);
    EXPECT_EQ(file_status_at(dir_fd, "b.png", &by_dir), 0);
    close(dir_fd);
    for (const FileStatus* s : {&by_fd, &by_dir}) {
        EXPECT_EQ(s->size, by_path.size);
        EXPECT_EQ(s->created, by_path.created);
        EXPECT_TRUE(s->regular);
    }
}

TEST(FileTime, UnreadableStatusFails) {
    TempDir dir;
    ASSERT_EQ(symlink("nowhere.jpg", dir.file("dangling.jpg").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("sub.jpg").c_str(), 0755), 0);
    int64_t created = 7;
    FileStatus status;
    EXPECT_EQ(file_creation_time(dir.file("missing.jpg").c_str(), &created), -1);
    EXPECT_EQ(file_creation_time(dir.file("dangling.jpg").c_str(), &created), -1);
    EXPECT_EQ(created, 7);
    EXPECT_EQ(file_creation_time(nullptr, &created), -1);
    EXPECT_EQ(file_status_fd(-1, &status), -1);
    ASSERT_EQ(file_status(dir.file("sub.jpg").c_str(), &status), 0);
    EXPECT_FALSE(status.regular);
}

}  // namespace
}  // namespace lorvex
