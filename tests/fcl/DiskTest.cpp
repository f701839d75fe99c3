#include "fcl/Disk.h"

#include "TestSupport.h"
#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace XALFcl;

namespace {

// Every case runs on the host's disk (in a fresh directory) and on the
// memory disk, which must behave alike: the memory disk stands in for the
// host's in the tests of everything above the disk.
class DiskTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (OnMemory())
            memory.AddDirectory("/t");
    }

    bool OnMemory() const { return GetParam(); }
    CDisk& Disk() { return OnMemory() ? static_cast<CDisk&>(memory) : SystemDisk(); }
    std::string P(const std::string& relative) const {
        return (OnMemory() ? std::string("/t") : dir.path()) + "/" + relative;
    }
    void Link(const std::string& target, const std::string& relative) {
        if (OnMemory())
            memory.AddLink(target, P(relative));
        else
            std::filesystem::create_symlink(target, P(relative));
    }

    void Put(const std::string& relative, const std::string& bytes) {
        const auto file = Disk().Open(P(relative), OpenMode::WriteTruncate);
        ASSERT_TRUE(file) << relative;
        ASSERT_TRUE(WriteAll(*file, bytes.data(), bytes.size()));
        ASSERT_TRUE(file->Close());
    }
    // The whole file, or "(none)" when it cannot be opened for reading.
    std::string Get(const std::string& relative) {
        const auto file = Disk().Open(P(relative), OpenMode::Read);
        if (!file)
            return "(none)";
        std::string bytes;
        char chunk[3];
        for (std::int64_t n; (n = file->Read(chunk, sizeof chunk)) > 0;)
            bytes.append(chunk, static_cast<std::size_t>(n));
        return bytes;
    }
    bool Status(const std::string& relative, FileStatus& status, bool follow = true) {
        return follow ? Disk().GetStatus(P(relative), status)
                      : Disk().GetLinkStatus(P(relative), status);
    }

    testsupport::TempDir dir;
    CMemoryDisk memory;
};

INSTANTIATE_TEST_SUITE_P(HostAndMemory, DiskTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Memory" : "Host"; });

TEST_P(DiskTest, OpenModesCreateTruncateAndRefuseAsTheHostDoes) {
    Disk().MakeDirectory(P("d"));
    Link("nowhere", "dangling");
    Put("f", "old contents");
    Put("f", "new");
    EXPECT_EQ(Get("f"), "new");
    EXPECT_EQ(Get("d"), "(none)");
    EXPECT_EQ(Get("missing"), "(none)");
    EXPECT_EQ(Disk().Open(P("d"), OpenMode::WriteTruncate), nullptr);
    EXPECT_EQ(Disk().Open(P("missing/f"), OpenMode::WriteTruncate), nullptr);

    for (const char* taken : {"f", "d", "dangling"})
        EXPECT_EQ(Disk().Open(P(taken), OpenMode::WriteExclusive), nullptr) << taken;
    FileStatus status;
    EXPECT_FALSE(Status("nowhere", status));
    EXPECT_TRUE(Disk().Open(P("new"), OpenMode::WriteExclusive));
    // Without O_EXCL a dangling link is followed and its target created.
    Put("dangling", "x");
    EXPECT_EQ(Get("nowhere"), "x");
}

TEST_P(DiskTest, LockedCreationReplacesLeftoversButNeverALiveWritersFile) {
    Put("leftover", "dead run");
    Put("victim", "keep");
    Link("victim", "link");
    Disk().MakeDirectory(P("d"));
    for (const char* name : {"leftover", "link"}) {
        const auto file = Disk().Open(P(name), OpenMode::CreateLocked);
        ASSERT_TRUE(file) << name;
        FileStatus status;
        ASSERT_TRUE(Status(name, status, false));
        EXPECT_EQ(status.kind, FileKind::Regular);
        EXPECT_EQ(status.size, 0u);
        EXPECT_EQ(status.permissions, 0600u);
    }
    EXPECT_EQ(Get("victim"), "keep");
    EXPECT_EQ(Disk().Open(P("d"), OpenMode::CreateLocked), nullptr);

    // The lock outlives the checked close, and goes with the file object.
    auto live = Disk().Open(P("live"), OpenMode::CreateLocked);
    ASSERT_TRUE(live);
    ASSERT_TRUE(WriteAll(*live, "L", 1));
    ASSERT_TRUE(live->Close());
    EXPECT_TRUE(live->IsAt(P("live")));
    EXPECT_EQ(Disk().Open(P("live"), OpenMode::CreateLocked), nullptr);
    EXPECT_EQ(Get("live"), "L");
    live.reset();
    EXPECT_TRUE(Disk().Open(P("live"), OpenMode::CreateLocked));
}

TEST_P(DiskTest, StatusFollowsLinksOrNotAndNamesShareFiles) {
    Put("f", "12345");
    Disk().MakeDirectory(P("d"));
    Link("f", "soft");
    Link("d", "dirlink");
    Link("loop", "loop");
    ASSERT_TRUE(Disk().HardLink(P("f"), P("hard")));
    FileStatus f, hard, soft, softItself, d, viaLink;
    ASSERT_TRUE(Status("f", f));
    ASSERT_TRUE(Status("hard", hard));
    ASSERT_TRUE(Status("soft", soft));
    ASSERT_TRUE(Status("soft", softItself, false));
    ASSERT_TRUE(Status("d", d));
    ASSERT_TRUE(Status("dirlink", viaLink));
    EXPECT_EQ(f.kind, FileKind::Regular);
    EXPECT_EQ(f.size, 5u);
    EXPECT_EQ(f.permissions, Disk().DefaultPermissions());
    EXPECT_FALSE(f.isLink);
    EXPECT_EQ(d.kind, FileKind::Directory);
    EXPECT_EQ(viaLink.kind, FileKind::Directory);
    EXPECT_EQ(softItself.kind, FileKind::Other);
    EXPECT_TRUE(softItself.isLink);
    for (const FileStatus* same : {&hard, &soft})
        EXPECT_TRUE(same->device == f.device && same->inode == f.inode);
    EXPECT_NE(softItself.inode, f.inode);
    FileStatus loop;
    EXPECT_FALSE(Status("loop", loop));
    EXPECT_TRUE(Status("loop", loop, false));

    Put("hard", "shared");
    EXPECT_EQ(Get("f"), "shared");
    EXPECT_FALSE(Disk().HardLink(P("f"), P("soft")));
    EXPECT_FALSE(Disk().HardLink(P("d"), P("d2")));
}

TEST_P(DiskTest, NamesAreMadeRemovedRenamedAndListed) {
    Put("f", "F");
    Put("g", "G");
    Link("f", "soft");
    EXPECT_TRUE(Disk().MakeDirectory(P("d")));
    EXPECT_FALSE(Disk().MakeDirectory(P("d")));
    EXPECT_FALSE(Disk().MakeDirectory(P("missing/d")));
    EXPECT_TRUE(Disk().MakeDirectory(P("d/e")));

    EXPECT_FALSE(Disk().RemoveFile(P("d/e")));
    EXPECT_FALSE(Disk().RemoveFile(P("missing")));
    EXPECT_TRUE(Disk().RemoveFile(P("soft")));
    EXPECT_EQ(Get("f"), "F");

    EXPECT_TRUE(Disk().RenameReplace(P("g"), P("f")));
    EXPECT_EQ(Get("f"), "G");
    EXPECT_EQ(Get("g"), "(none)");
    EXPECT_FALSE(Disk().RenameReplace(P("f"), P("d")));
    EXPECT_FALSE(Disk().RenameReplace(P("d"), P("d/e/inside")));
    EXPECT_FALSE(Disk().RenameReplace(P("missing"), P("x")));
    EXPECT_TRUE(Disk().RenameReplace(P("d"), P("moved")));
    EXPECT_TRUE(Disk().RenameReplace(P("f"), P("moved/e/f")));

    std::vector<std::string> names;
    ASSERT_TRUE(Disk().ListDirectory(P("moved/e"), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "f"}));
    EXPECT_FALSE(Disk().ListDirectory(P("moved/e/f"), names));
    EXPECT_FALSE(Disk().ListDirectory(P("missing"), names));
}

TEST_P(DiskTest, OpenFilesReadAtSeekCopyAndKnowTheirName) {
    Put("f", "0123456789");
    auto in = Disk().Open(P("f"), OpenMode::Read);
    ASSERT_TRUE(in);
    char bytes[8] = {};
    EXPECT_EQ(in->Seek(3, SEEK_SET), 3);
    EXPECT_EQ(in->ReadAt(8, bytes, 8), 2);
    EXPECT_EQ(std::string(bytes, 2), "89");
    EXPECT_EQ(in->Read(bytes, 2), 2);
    EXPECT_EQ(std::string(bytes, 2), "34");
    EXPECT_EQ(in->Seek(-1, SEEK_END), 9);
    EXPECT_EQ(in->Seek(0, SEEK_CUR), 9);
    EXPECT_EQ(in->Seek(-1, SEEK_SET), -1);
    EXPECT_EQ(in->Write("x", 1), -1);

    auto out = Disk().Open(P("copy"), OpenMode::WriteExclusive);
    ASSERT_TRUE(out);
    ASSERT_TRUE(WriteAll(*out, ">", 1));
    const CopyResult copied = Disk().CopyRange(*in, 4, 100, *out);
    EXPECT_EQ(copied.copied, 6u);
    EXPECT_FALSE(copied.readFailed || copied.writeFailed);
    EXPECT_EQ(in->Read(bytes, 8), 1);
    EXPECT_TRUE(out->SetPermissions(0604));
    EXPECT_TRUE(out->IsAt(P("copy")));
    ASSERT_TRUE(Disk().RenameReplace(P("copy"), P("moved")));
    EXPECT_FALSE(out->IsAt(P("copy")));
    EXPECT_TRUE(out->IsAt(P("moved")));
    // A file whose name went is still there for whoever has it open.
    ASSERT_TRUE(Disk().RemoveFile(P("f")));
    EXPECT_EQ(in->ReadAt(0, bytes, 4), 4);
    EXPECT_TRUE(out->Close());
    EXPECT_FALSE(out->Close());
    EXPECT_EQ(Get("moved"), ">456789");
    FileStatus status;
    ASSERT_TRUE(Status("moved", status));
    EXPECT_EQ(status.permissions, 0604u);
}

} // namespace

namespace {

// A directory held open finds its names from itself: after it was renamed
// too, and through links as a path would.
TEST_P(DiskTest, OpenDirectoryListsOpensAndExaminesItsOwnNames) {
    Disk().MakeDirectory(P("d"));
    Disk().MakeDirectory(P("d/s"));
    Put("d/f", "abc");
    Link("f", "d/l");
    Link("nowhere", "d/x");
    Link("d", "ld");
    EXPECT_EQ(Disk().OpenDirectory(P("d/f")), nullptr);
    EXPECT_EQ(Disk().OpenDirectory(P("missing")), nullptr);
    ASSERT_TRUE(Disk().OpenDirectory(P("ld")));
    const auto open = Disk().OpenDirectory(P("d"));
    ASSERT_TRUE(open);
    FileStatus own, named;
    ASSERT_TRUE(open->GetStatus(own));
    ASSERT_TRUE(Status("d", named));
    EXPECT_EQ(own.inode, named.inode);
    EXPECT_EQ(own.kind, FileKind::Directory);
    ASSERT_TRUE(Disk().RenameReplace(P("d"), P("e")));

    std::vector<DirectoryName> names;
    ASSERT_TRUE(open->List(names));
    std::vector<std::string> listed;
    for (const DirectoryName& name : names) {
        if (name.name != "." && name.name != "..")
            listed.push_back(name.name
                             + (name.kindKnown && name.kind == FileKind::Directory ? "/"
                                    : name.kindKnown                               ? ""
                                                                                   : "?"));
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"f", "l?", "s/", "x?"}));

    struct Case {
        const char* name;
        bool found;
        FileKind kind;
        const char* bytes; // null: no file to open
    };
    for (const Case& c :
         {Case{"f", true, FileKind::Regular, "abc"}, Case{"l", true, FileKind::Regular, "abc"},
          Case{"s", true, FileKind::Directory, nullptr}, Case{"x", false, FileKind::Other, nullptr},
          Case{"missing", false, FileKind::Other, nullptr}}) {
        SCOPED_TRACE(c.name);
        FileStatus status;
        EXPECT_EQ(open->GetStatus(c.name, status), c.found);
        EXPECT_EQ(c.found ? status.kind : FileKind::Other, c.kind);
        const auto file = open->OpenFile(c.name);
        ASSERT_EQ(file != nullptr, c.bytes != nullptr);
        if (file == nullptr)
            continue;
        char bytes[8];
        EXPECT_EQ(file->Read(bytes, sizeof bytes), 3);
        EXPECT_EQ(std::string(bytes, 3), c.bytes);
    }
}

} // namespace
