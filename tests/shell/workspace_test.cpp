#include "shell/workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "store/sql.h"
#include "store/store.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TEST(ProgramDirectory, IsTheFolderOfTheRunningExecutable) {
    char exe[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof(exe) - 1), 0);
    const std::string expected = std::string(exe).substr(0, std::string(exe).rfind('/'));
    EXPECT_EQ(ProgramDirectory(), expected);
    EXPECT_EQ(ConfigFolder("/opt/lorvex"), "/opt/lorvex/_cfg");
}

TEST(DirectoryOf, CutsAtTheLastSeparator) {
    struct Case {
        const char* path;
        const char* directory;
        const char* why;
    };
    const Case cases[] = {
        {"/usr/bin/lorvex", "/usr/bin", "the slash is not part of the directory"},
        {"C:\\Tools\\lorvex.exe", "C:\\Tools", "nor is a backslash"},
        {"C:lorvex.exe", "C:", "a colon stays with the directory"},
        {"/lorvex", "", "a program at the root"},
        {"lorvex", "", "no separator at all"},
        {"/a:b/c", "/a:b", "the last separator wins"},
    };
    for (const Case& c : cases) EXPECT_EQ(DirectoryOf(c.path), c.directory) << c.why;
}

TEST(Workspace, StartsWithTheThumbnailsShownAndNoClientRectangle) {
    Workspace workspace("/nowhere");
    EXPECT_FALSE(workspace.pictureShown());
    EXPECT_FALSE(workspace.thumbnailsStale());
    const PictureRect& rect = workspace.picture_client_rect();
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 0);
    workspace.set_thumbnailsStale(true);
    EXPECT_TRUE(workspace.thumbnailsStale());
    workspace.set_picture_client_rect({0, 0, 800, 600});
    EXPECT_EQ(workspace.picture_client_rect().width(), 800);
    EXPECT_EQ(workspace.picture_client_rect().height(), 600);
}

TEST(Workspace, AFirstStartWithAnEmptyConfigFolderCreatesBothDatabases) {
    testing::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("_cfg").c_str(), 0700), 0);
    {
        Workspace workspace(dir.path());
        workspace.OpenConfigDatabases();
        EXPECT_TRUE(exists(dir.file("_cfg/proj.pdb")));
        EXPECT_TRUE(exists(dir.file("_cfg/dir_thumb.pdb")));
        EXPECT_EQ(workspace_get_current(), 0);
        EXPECT_NE(thumbcache_handle(), nullptr);
        workspace.OpenConfigDatabases();  // once only
        EXPECT_EQ(workspace_get_current(), 0);
        workspace.CloseConfigDatabases();
        EXPECT_EQ(workspace_get_current(), -1);
        EXPECT_EQ(thumbcache_handle(), nullptr);
    }
    // The next start opens what the first one made.
    Workspace again(dir.path());
    again.OpenConfigDatabases();
    EXPECT_EQ(workspace_get_current(), 0);
    EXPECT_EQ(workspace_free_index(), 0);
}

TEST(Workspace, WithoutAConfigFolderNothingIsCreatedAndTheProgramRuns) {
    testing::TempDir dir;
    Workspace workspace(dir.path());
    workspace.OpenConfigDatabases();
    EXPECT_FALSE(exists(dir.file("_cfg")));
    EXPECT_FALSE(exists(dir.file("_cfg/proj.pdb")));
    EXPECT_EQ(workspace_get_current(), -1);
    EXPECT_EQ(workspace_free_index(), -1);
    EXPECT_EQ(thumbcache_handle(), nullptr);
    workspace.CloseConfigDatabases();
}

TEST(Workspace, AWorkspaceListOfAnotherVersionIsNotOpened) {
    testing::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("_cfg").c_str(), 0700), 0);
    {
        Workspace first(dir.path());
        first.OpenConfigDatabases();
        ASSERT_EQ(workspace_get_current(), 0);
    }
    {
        SqlConnection connection;
        connection.open(dir.file("_cfg/proj.pdb").c_str());
        (void)connection.execute("update r set r2 = 268439553 where r1 = 2097137");
    }
    Workspace workspace(dir.path());
    workspace.OpenConfigDatabases();
    EXPECT_EQ(workspace_get_current(), -1);
    EXPECT_EQ(workspace_free_index(), -1);
    EXPECT_EQ(workspace_add_path(0, "/x.db", 5), -1);
    // The thumbnail cache beside it opens all the same.
    EXPECT_NE(thumbcache_handle(), nullptr);
}

}  // namespace
}  // namespace lorvex
