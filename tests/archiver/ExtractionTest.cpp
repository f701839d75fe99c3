#include "archiver/Extraction.h"

#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "archiver/ArchiverException.h"
#include "fcl/Exception.h"

#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace testsupport;

namespace {

bool IsEmptyDirectory(const std::string& path) {
    return std::filesystem::is_directory(path) && std::filesystem::is_empty(path);
}

} // namespace

TEST(ExtractionTest, ChoosesTheNameWithoutExtensionThenNumberedOnes) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/d/a.bin", "abc");
    TempDir dir;
    for (const char* expected : {"sound", "sound.1", "sound.2"}) {
        ExtractArchive(archive, dir / "sound.kpak");
        EXPECT_EQ(ReadFile(dir / expected + "/d/a.bin"), "abc") << expected;
    }
    EXPECT_FALSE(Exists(dir / "sound.3"));

    ExtractArchive(archive, dir / "out.d");
    EXPECT_EQ(ReadFile(dir / "out/d/a.bin"), "abc");
}

TEST(ExtractionTest, DanglingLinkCountsAsTakenAndEmptyArchiveGivesEmptyDirectory) {
    XALArc::CArchive archive(false);
    TempDir dir;
    std::filesystem::create_symlink(dir / "nowhere", dir / "out");
    ExtractArchive(archive, dir / "out");
    EXPECT_TRUE(IsEmptyDirectory(dir / "out.1"));
    EXPECT_FALSE(Exists(dir / "nowhere"));
}

TEST(ExtractionTest, EachNumberedNameUpToTheNinthIsTakenInTurn) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "a");
    const std::string names[] = {"x",   "x.1", "x.2", "x.3", "x.4",
                                 "x.5", "x.6", "x.7", "x.8", "x.9"};
    for (std::size_t taken = 0; taken < 10; ++taken) {
        TempDir dir;
        for (std::size_t i = 0; i < taken; ++i)
            MakeDirs(dir / names[i]);
        ExtractArchive(archive, dir / "x.kpak");
        EXPECT_EQ(ReadFile(dir / names[taken] + "/a.bin"), "a") << names[taken];
        for (std::size_t i = 0; i < taken; ++i)
            EXPECT_TRUE(IsEmptyDirectory(dir / names[i])) << names[i];
    }
}

TEST(ExtractionTest, NoFreeNameFailsWithTheNameCutAtItsLastDot) {
    XALArc::CArchive archive(false);
    TempDir dir;
    // "x.y" stays after the extension is cut, so the candidates are x.1 to
    // x.9 and the message names x.
    MakeDirs(dir / "x.y");
    for (char digit = '1'; digit <= '9'; ++digit)
        MakeDirs(dir / "x." + digit);
    EXPECT_TRUE(Throws<CArchiverException>([&] { ExtractArchive(archive, dir / "x.y.kpak"); },
                                           CArchiverException::kCannotMakeDirectory, dir / "x"));
    EXPECT_FALSE(Exists(dir / "x"));
    EXPECT_TRUE(IsEmptyDirectory(dir / "x.y"));
    EXPECT_TRUE(IsEmptyDirectory(dir / "x.9"));
}

TEST(ExtractionTest, MissingParentFailsWithoutCreatingAnything) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "a");
    TempDir dir;
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { ExtractArchive(archive, dir / "a/b"); },
                                               XALFcl::CFileException::kCannotCreateDirectory,
                                               dir / "a/b"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ExtractionTest, UnsafeNameIsRefusedBeforeAnythingIsCreated) {
    XALArc::CArchive archive(false);
    AddFile(archive, "/a.bin", "a");
    AddFile(archive, "/d/a\\b", "escape");
    TempDir dir;
    EXPECT_TRUE(Throws<XALArc::CArcException>([&] { ExtractArchive(archive, dir / "out"); },
                                              XALArc::CArcException::kInvalidFileName, "/d/a\\b"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}
