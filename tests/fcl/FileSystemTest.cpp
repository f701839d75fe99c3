#include "fcl/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using testsupport::MakeDirs;
using testsupport::SetModTime;
using testsupport::TempDir;
using testsupport::WriteFile;
using namespace XALFcl;

namespace {

TEST(FileSystemTest, ModTimeIsReadOrLeftUnchanged) {
    TempDir dir;
    WriteFile(dir / "f", "");
    SetModTime(dir / "f", 1234567890);
    std::int64_t time = 7;
    EXPECT_FALSE(GetFileModTime(SystemDisk(), dir / "missing", time));
    EXPECT_EQ(time, 7);
    EXPECT_TRUE(GetFileModTime(SystemDisk(), dir / "f", time));
    EXPECT_EQ(time, 1234567890);
}

TEST(FileSystemTest, IsDirectoryTellsDirectoryOtherAndMissing) {
    TempDir dir;
    MakeDirs(dir / "d");
    WriteFile(dir / "f", "");
    std::filesystem::create_symlink("d", dir / "link");
    EXPECT_EQ(IsDirectory(SystemDisk(), dir / "d"), 1);
    EXPECT_EQ(IsDirectory(SystemDisk(), dir / "link"), 1);
    EXPECT_EQ(IsDirectory(SystemDisk(), dir / "f"), 0);
    EXPECT_EQ(IsDirectory(SystemDisk(), dir / "missing"), -1);
}

TEST(FileSystemTest, PathExistsSeesDanglingLinks) {
    TempDir dir;
    std::filesystem::create_symlink("nowhere", dir / "dangling");
    EXPECT_TRUE(PathExists(SystemDisk(), dir / "dangling"));
    EXPECT_TRUE(PathExists(SystemDisk(), dir.path()));
    EXPECT_FALSE(PathExists(SystemDisk(), dir / "nowhere"));
}

TEST(FileSystemTest, SameFileComparesDeviceAndInode) {
    TempDir dir;
    WriteFile(dir / "a", "x");
    WriteFile(dir / "b", "x");
    std::filesystem::create_hard_link(dir / "a", dir / "hard");
    std::filesystem::create_symlink("a", dir / "soft");
    EXPECT_TRUE(SameFile(SystemDisk(), dir / "a", dir / "hard"));
    EXPECT_TRUE(SameFile(SystemDisk(), dir / "soft", dir / "a"));
    EXPECT_TRUE(SameFile(SystemDisk(), dir / "a", dir.path() + "/./a"));
    EXPECT_FALSE(SameFile(SystemDisk(), dir / "a", dir / "b"));
    EXPECT_FALSE(SameFile(SystemDisk(), dir / "missing", dir / "missing"));
}

} // namespace
