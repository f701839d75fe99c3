#include "arc/Extracter.h"

#include "arc/ArcException.h"
#include "arc/Archive.h"
#include "fcl/Exception.h"

#include "ArchiveMembers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

using namespace XALArc;
using namespace testsupport;

namespace {

// Whether CheckExtractableNames refuses `archive`, naming `path`.
::testing::AssertionResult Refuses(CArchive& archive, const std::string& path) {
    return Throws<CArcException>([&] { CheckExtractableNames(archive); },
                                 CArcException::kInvalidFileName, path);
}

} // namespace

TEST(ExtracterTest, WritesEveryDirectoryAndFileIncludingEmptyOnes) {
    CArchive archive(false);
    AddFile(archive, "/a.bin", "AAA");
    AddFile(archive, "/s/x.bin", "");
    AddFile(archive, "/s/t/y.bin", std::string("Y\0Y", 3));
    archive.CreateDirectory("/empty");
    TempDir dir;
    std::filesystem::create_directory(dir / "out");

    CExtracter extracter(XALFcl::SystemDisk(), dir / "out");
    archive.Walk(extracter);

    EXPECT_EQ(ReadFile(dir / "out/a.bin"), "AAA");
    EXPECT_EQ(ReadFile(dir / "out/s/x.bin"), "");
    EXPECT_EQ(ReadFile(dir / "out/s/t/y.bin"), std::string("Y\0Y", 3));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "out/empty"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out/empty"));
    std::size_t count = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(dir / "out");
         it != std::filesystem::recursive_directory_iterator(); ++it)
        ++count;
    EXPECT_EQ(count, 6u);
}

TEST(ExtracterTest, NeverOverwritesOrFollowsWhatIsAlreadyThere) {
    CArchive archive(false);
    AddFile(archive, "/a.bin", "new");
    TempDir dir;
    std::filesystem::create_directory(dir / "out");
    WriteFile(dir / "victim", "old");

    for (const bool asLink : {false, true}) {
        std::filesystem::remove(dir / "out/a.bin");
        if (asLink)
            std::filesystem::create_symlink(dir / "victim", dir / "out/a.bin");
        else
            WriteFile(dir / "out/a.bin", "old");
        CExtracter extracter(XALFcl::SystemDisk(), dir / "out");
        EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { archive.Walk(extracter); },
                                                   XALFcl::CFileException::kCannotOpen,
                                                   dir / "out/a.bin"));
        EXPECT_EQ(ReadFile(dir / "out/a.bin"), "old");
    }
    EXPECT_EQ(ReadFile(dir / "victim"), "old");
}

TEST(ExtracterTest, ExistingSubdirectoryFailsWithItsPath) {
    CArchive archive(false);
    archive.CreateDirectory("/s");
    TempDir dir;
    MakeDirs(dir / "out/s");
    CExtracter extracter(XALFcl::SystemDisk(), dir / "out");
    EXPECT_TRUE(Throws<XALFcl::CFileException>([&] { archive.Walk(extracter); },
                                               XALFcl::CFileException::kCannotCreateDirectory,
                                               dir / "out/s"));
}

// The tests run on POSIX hosts: only what POSIX refuses, and "\\", which no
// host may get (FileNameTest has the Windows rules).
TEST(ExtracterTest, UnsafeNamesAreRefused) {
    for (const char* name :
         {"a.bin", "console.txt", "COM10", "c:x", "a<b", "a|b", "a?b", "a*b", "tab\there", "dot.",
          "space ", "CON", "nul", "Aux.txt", "com1", "LPT9.bin", "prn .h"})
        EXPECT_TRUE(IsExtractableName(name)) << name;
    for (const std::string& name :
         std::initializer_list<std::string>{"a\\b", "a/b", "..", ".", "", std::string("a\0b", 3)})
        EXPECT_FALSE(IsExtractableName(name)) << name;
}

TEST(ExtracterTest, CheckNamesTheFirstUnsafeEntryInWalkOrder) {
    CArchive archive(false);
    AddFile(archive, "/z.bin", "z");
    AddFile(archive, "/d/a\\b", "x");
    AddFile(archive, "/e\\f", "y");
    // The root's own children are visited before /d is entered.
    EXPECT_TRUE(Refuses(archive, "/e\\f"));

    CArchive nested(false);
    AddFile(nested, "/ok.bin", "");
    AddFile(nested, "/d/sub/x\\y", "x");
    EXPECT_TRUE(Refuses(nested, "/d/sub/x\\y"));

    CArchive clean(false);
    AddFile(clean, "/d/sub/x.bin", "x");
    EXPECT_NO_THROW(CheckExtractableNames(clean));
}
