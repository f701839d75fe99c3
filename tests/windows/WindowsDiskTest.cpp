// The host's disk on Windows, where it differs from a POSIX host's: names
// in UTF-8, one file under names that differ in case, permissions as the
// read-only attribute, locks and replacement of files that are held open.
#include "fcl/Disk.h"
#include "fcl/Platform.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace XALFcl;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class WindowsDiskTest : public ::testing::Test {
protected:
    std::string P(const std::string& name) const { return dir / name; }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        EXPECT_TRUE(disk.ListDirectory(dir.path(), names));
        std::sort(names.begin(), names.end());
        return names;
    }

    CDisk& disk = SystemDisk();
    testsupport::TempDir dir;
};

TEST_F(WindowsDiskTest, HostFactsAreWindowsOnes) {
    EXPECT_EQ(Platform::kNativeSeparator, '\\');
    EXPECT_STREQ(Platform::kTextLineEnd, "\r\n");
    for (const char* name : {"CON", "nul.txt", "a:b", "a?", "dot.", "tab\t"})
        EXPECT_TRUE(Platform::IsReservedFileName(name)) << name;
    EXPECT_FALSE(Platform::IsReservedFileName("console.bin"));
}

TEST_F(WindowsDiskTest, NamesAreUtf8AndCaseInsensitive) {
    const std::string name = "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.bin";
    WriteFile(P(name), "x");
    EXPECT_EQ(Names(), (std::vector<std::string>{".", "..", name}));
    FileStatus a, b;
    ASSERT_TRUE(disk.GetStatus(P(name), a));
    ASSERT_TRUE(disk.GetStatus(P("\xC3\x89T\xC3\x89 \xE2\x82\xAC.BIN"), b));
    EXPECT_EQ(a.inode, b.inode);
    EXPECT_EQ(a.size, 1u);
    // Bytes that are not UTF-8 name nothing.
    EXPECT_FALSE(disk.GetStatus(P("\xC3"), a));
    EXPECT_EQ(disk.Open(P("bad\xFF"), OpenMode::WriteTruncate), nullptr);
    EXPECT_EQ(disk.Open(dir.path() + std::string("/a\0b", 4), OpenMode::WriteTruncate), nullptr);
}

TEST_F(WindowsDiskTest, PermissionsAreTheReadOnlyAttribute) {
    for (const std::uint32_t bits : {0644u, 0444u, 0604u}) {
        SCOPED_TRACE(bits);
        auto file = disk.Open(P("f"), OpenMode::WriteExclusive);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->SetPermissions(bits));
        ASSERT_TRUE(file->Close());
        FileStatus status;
        ASSERT_TRUE(disk.GetStatus(P("f"), status));
        EXPECT_EQ(status.permissions, bits & 0200 ? 0666u : 0444u);
        // Removing and replacing a name do not ask for a writable file, as
        // on POSIX hosts.
        WriteFile(P("g"), "new");
        ASSERT_TRUE(disk.RenameReplace(P("g"), P("f")));
        EXPECT_EQ(ReadFile(P("f")), "new");
        ASSERT_TRUE(disk.RemoveFile(P("f")));
    }
    EXPECT_EQ(disk.DefaultPermissions(), 0666u);
}

// A replacement is one move or nothing. While another handle holds the
// target open, Wine and older Windows refuse it and both files stay as they
// were (a save closes the archive it read before replacing it); a Windows
// that replaces it leaves the reader reading the old bytes.
TEST_F(WindowsDiskTest, ReplacementIsOneMoveOrNothing) {
    WriteFile(P("old"), "old bytes");
    WriteFile(P("new"), "new");
    auto reader = disk.Open(P("old"), OpenMode::Read);
    ASSERT_TRUE(reader);
    if (disk.RenameReplace(P("new"), P("old"))) {
        EXPECT_EQ(ReadFile(P("old")), "new");
        WriteFile(P("new"), "new");
    } else {
        EXPECT_EQ(ReadFile(P("old")), "old bytes");
    }
    char bytes[9] = {};
    EXPECT_EQ(reader->ReadAt(4, bytes, 5), 5);
    EXPECT_EQ(std::string(bytes, 5), "bytes");
    EXPECT_EQ(Names(), (std::vector<std::string>{".", "..", "new", "old"}));
    reader.reset();
    ASSERT_TRUE(disk.RenameReplace(P("new"), P("old")));
    EXPECT_EQ(ReadFile(P("old")), "new");
    EXPECT_EQ(Names(), (std::vector<std::string>{".", "..", "old"}));
    EXPECT_FALSE(disk.RenameReplace(P("missing"), P("old")));
    EXPECT_EQ(ReadFile(P("old")), "new");
}

TEST_F(WindowsDiskTest, LockedCreationRefusesALiveWriterAndReplacesLeftovers) {
    auto live = disk.Open(P("t.tmp"), OpenMode::CreateLocked);
    ASSERT_TRUE(live);
    ASSERT_TRUE(WriteAll(*live, "live", 4));
    ASSERT_TRUE(live->SetPermissions(0444));
    ASSERT_TRUE(live->Close());
    // Closed but not gone: the lock holds, yet the file can be read and
    // renamed.
    EXPECT_EQ(disk.Open(P("t.tmp"), OpenMode::CreateLocked), nullptr);
    EXPECT_EQ(ReadFile(P("t.tmp")), "live");
    EXPECT_TRUE(live->IsAt(P("t.tmp")));
    live.reset();
    // The dead writer's leftover goes, read-only too; a directory in the way
    // stays.
    auto next = disk.Open(P("t.tmp"), OpenMode::CreateLocked);
    ASSERT_TRUE(next);
    ASSERT_TRUE(WriteAll(*next, "n", 1));
    ASSERT_TRUE(next->Close());
    EXPECT_EQ(ReadFile(P("t.tmp")), "n");
    ASSERT_TRUE(disk.MakeDirectory(P("d.tmp")));
    EXPECT_EQ(disk.Open(P("d.tmp"), OpenMode::CreateLocked), nullptr);
    ASSERT_TRUE(disk.RenameReplace(P("t.tmp"), P("done")));
    EXPECT_TRUE(next->IsAt(P("done")));
}

TEST_F(WindowsDiskTest, FilesKeepTheirOwnPositionAndDirectoriesTheirNames) {
    WriteFile(P("f"), "0123456789");
    ASSERT_TRUE(disk.MakeDirectory(P("d")));
    WriteFile(P("d/x"), "xyz");
    auto in = disk.Open(P("f"), OpenMode::Read);
    ASSERT_TRUE(in);
    char bytes[4] = {};
    EXPECT_EQ(in->Seek(2, SEEK_SET), 2);
    EXPECT_EQ(in->ReadAt(8, bytes, 4), 2);
    EXPECT_EQ(in->Read(bytes, 2), 2);
    EXPECT_EQ(std::string(bytes, 2), "23");
    EXPECT_EQ(in->Seek(0, SEEK_END), 10);
    EXPECT_EQ(in->Read(bytes, 2), 0);

    auto held = disk.OpenDirectory(P("d"));
    ASSERT_TRUE(held);
    std::vector<DirectoryName> names;
    ASSERT_TRUE(held->List(names));
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2].name, "x");
    EXPECT_TRUE(names[2].kindKnown && names[2].kind == FileKind::Regular);
    FileStatus status;
    ASSERT_TRUE(held->GetStatus("x", status));
    EXPECT_EQ(status.size, 3u);
    ASSERT_TRUE(held->GetStatus(status));
    EXPECT_EQ(status.kind, FileKind::Directory);
    EXPECT_TRUE(held->OpenFile("x"));
    EXPECT_FALSE(held->OpenFile("missing"));
    EXPECT_EQ(disk.OpenDirectory(P("f")), nullptr);
    // Held open, neither the directory nor its name can go.
    EXPECT_FALSE(disk.RenameReplace(P("d"), P("e")));
}

// Every file that a run may hold open does open, however many the run
// holds: under Wine each takes a host descriptor.
TEST_F(WindowsDiskTest, EveryFileHeldOpenOpens) {
    WriteFile(P("x"), "x");
    std::vector<std::unique_ptr<CDiskFile>> held;
    while (disk.HoldOpenFile()) {
        held.push_back(disk.Open(P("x"), OpenMode::Read));
        ASSERT_TRUE(held.back()) << held.size();
    }
    EXPECT_GE(held.size(), 1000u);
    for (std::size_t i = 0; i < held.size(); ++i)
        disk.ReleaseOpenFile();
}

} // namespace
