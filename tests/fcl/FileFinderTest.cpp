#include "fcl/FileFinder.h"

#include "TestSupport.h"
#include "fcl/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using testsupport::MakeDirs;
using testsupport::SetModTime;
using testsupport::TempDir;
using testsupport::Throws;
using testsupport::WriteFile;
using XALFcl::CFileException;
using XALFcl::CFileFinder;
using XALFcl::CompareNames;
using XALFcl::FileKind;
using XALFcl::SystemDisk;

namespace {

std::vector<std::string> Names(const std::string& directory) {
    std::vector<std::string> names;
    CFileFinder finder(SystemDisk(), directory);
    while (finder.Next())
        names.push_back(finder.entryName);
    return names;
}

TEST(FileFinderTest, EnumeratesDotsFirstThenNamesIgnoringCaseThenByRawBytes) {
    TempDir dir;
    for (const char* name :
         {"b.bin", "_x.bin", "A.bin", "a_.bin", "Z.bin", "a.bin", "!bang", "\xC3\xA9t\xC3\xA9", "a",
          "longname_B", "LONGNAME_a", "longname", "longname_a"})
        WriteFile(dir / name, "");
    EXPECT_EQ(Names(dir.path()),
              (std::vector<std::string>{".", "..", "!bang", "a", "A.bin", "a.bin", "a_.bin",
                                        "b.bin", "longname", "LONGNAME_a", "longname_a",
                                        "longname_B", "Z.bin", "_x.bin", "\xC3\xA9t\xC3\xA9"}));
}

TEST(FileFinderTest, EmptyDirectoryYieldsOnlyTheDotsAndStaysExhausted) {
    TempDir dir;
    CFileFinder finder(SystemDisk(), dir.path() + "/");
    ASSERT_TRUE(finder.Next());
    EXPECT_EQ(finder.entryName, ".");
    EXPECT_TRUE(finder.entryIsDirectory);
    ASSERT_TRUE(finder.Next());
    EXPECT_EQ(finder.entryName, "..");
    EXPECT_FALSE(finder.Next());
    EXPECT_FALSE(finder.Next());
}

TEST(FileFinderTest, ReportsKindAndTimeFollowingLinks) {
    TempDir dir;
    MakeDirs(dir / "d/sub");
    WriteFile(dir / "d/file", "x");
    SetModTime(dir / "d/file", 4102444800); // 2100-01-01, past 32 bits
    std::filesystem::create_symlink("sub", dir / "d/linkdir");
    std::filesystem::create_symlink("nowhere", dir / "d/dangling");

    for (const std::string& path : {dir / "d", dir / "d/"}) {
        CFileFinder finder(SystemDisk(), path);
        std::vector<std::string> seen;
        while (finder.Next()) {
            seen.push_back(finder.entryName);
            if (finder.entryName == "file") {
                EXPECT_EQ(finder.entryKind, FileKind::Regular);
                EXPECT_EQ(finder.entryTime, 4102444800);
                EXPECT_FALSE(finder.entryIsDirectory);
            } else if (finder.entryName == "dangling") {
                EXPECT_EQ(finder.entryKind, FileKind::Other);
            } else if (finder.entryName == "linkdir" || finder.entryName == "sub") {
                EXPECT_EQ(finder.entryKind, FileKind::Directory);
                EXPECT_TRUE(finder.entryIsDirectory);
            }
        }
        EXPECT_EQ(seen,
                  (std::vector<std::string>{".", "..", "dangling", "file", "linkdir", "sub"}));
    }
}

TEST(FileFinderTest, UnreadableDirectoryThrowsCannotOpenDirectory) {
    TempDir dir;
    WriteFile(dir / "file", "");
    for (const std::string& path : {dir / "missing", dir / "file"})
        EXPECT_TRUE(Throws<CFileException>([&] { CFileFinder finder(SystemDisk(), path); },
                                           CFileException::kCannotOpenDirectory, path));
}

TEST(FileFinderTest, LongPathsAndManyEntriesWork) {
    TempDir dir;
    std::string deep = dir.path();
    for (int i = 0; i < 6; ++i)
        deep += "/" + std::string(60, static_cast<char>('a' + i));
    MakeDirs(deep);
    for (int i = 0; i < 3000; ++i)
        WriteFile(deep + "/f" + std::to_string(i), "");
    const std::vector<std::string> names = Names(deep);
    ASSERT_EQ(names.size(), 3002u);
    EXPECT_EQ(names[2], "f0");
    EXPECT_EQ(names[3], "f1");
    EXPECT_EQ(names[4], "f10");
    EXPECT_EQ(names.back(), "f999");
}

TEST(CompareNamesTest, OrdersCaseInsensitivelyThenByRawBytes) {
    EXPECT_LT(CompareNames("A.bin", "a_.bin"), 0);
    EXPECT_LT(CompareNames("Z.bin", "_x.bin"), 0);
    EXPECT_LT(CompareNames("ABC", "abc"), 0);
    EXPECT_GT(CompareNames("abc", "ABC"), 0);
    EXPECT_LT(CompareNames("ab", "ABC"), 0);
    EXPECT_GT(CompareNames("\x80", "z"), 0);
    EXPECT_EQ(CompareNames("same", "same"), 0);
}

} // namespace
