// A walk asks for no status where the directory listing already tells the
// kind: it must then see the very kinds that a status query gives.

#include "fcl/FileFinder.h"
#include "fcl/MemoryDisk.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

using XALFcl::CDisk;
using XALFcl::CFileFinder;
using XALFcl::CMemoryDisk;
using XALFcl::FileKind;

namespace {

std::map<std::string, FileKind> Kinds(CDisk& disk, const std::string& directory, bool withTimes) {
    std::map<std::string, FileKind> kinds;
    CFileFinder finder(disk, directory, withTimes);
    while (finder.Next())
        kinds[finder.entryName] = finder.entryKind;
    return kinds;
}

const std::map<std::string, FileKind> kExpected{
    {".", FileKind::Directory},    {"..", FileKind::Directory},    {"file", FileKind::Regular},
    {"dir", FileKind::Directory},  {"to-file", FileKind::Regular}, {"to-dir", FileKind::Directory},
    {"dangling", FileKind::Other},
};

TEST(ListingKinds, WalkWithoutTimesSeesTheKindsOfStatusQueriesOnBothDisks) {
    CMemoryDisk memory;
    memory.AddFile("/d/file", "x");
    memory.AddDirectory("/d/dir");
    memory.AddLink("file", "/d/to-file");
    memory.AddLink("dir", "/d/to-dir");
    memory.AddLink("nothing", "/d/dangling");
    const std::uint64_t before = memory.Calls(CMemoryDisk::Op::Status);
    EXPECT_EQ(Kinds(memory, "/d", false), kExpected);
    // Only the three links needed a status query.
    EXPECT_EQ(memory.Calls(CMemoryDisk::Op::Status) - before, 3u);
    EXPECT_EQ(Kinds(memory, "/d", true), kExpected);

    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "file", "x");
    testsupport::MakeDirs(dir / "dir");
    std::filesystem::create_symlink("file", dir / "to-file");
    std::filesystem::create_symlink("dir", dir / "to-dir");
    std::filesystem::create_symlink("nothing", dir / "dangling");
    EXPECT_EQ(Kinds(XALFcl::SystemDisk(), dir.path(), false), kExpected);
    EXPECT_EQ(Kinds(XALFcl::SystemDisk(), dir.path(), true), kExpected);
}

} // namespace
