#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

using XALFcl::CMemoryDisk;
using XALFcl::FileStatus;
using XALFcl::OpenMode;
using Op = CMemoryDisk::Op;
using Fault = CMemoryDisk::Fault;

namespace {

TEST(MemoryDiskTest, FailAtFailsTheNthCallOfItsKindOnce) {
    CMemoryDisk disk;
    disk.AddFile("/a", "abc");
    FileStatus status;
    EXPECT_TRUE(disk.GetStatus("/a", status));
    const auto file = disk.Open("/a", OpenMode::Read);
    ASSERT_TRUE(file);
    char c = 0;
    EXPECT_EQ(file->Read(&c, 1), 1);
    EXPECT_EQ(disk.Calls(), 3u);
    EXPECT_EQ(disk.Calls(Op::Status), 1u);
    EXPECT_EQ(disk.Calls(Op::Read), 1u);

    disk.FailAt(2, Op::Read);
    EXPECT_FALSE(disk.Failed());
    EXPECT_EQ(file->Read(&c, 1), -1);
    EXPECT_TRUE(disk.Failed());
    EXPECT_EQ(file->Read(&c, 1), 1);
    EXPECT_EQ(c, 'b');

    disk.FailAt(disk.Calls() + 1);
    EXPECT_FALSE(disk.GetStatus("/a", status));
    EXPECT_TRUE(disk.GetStatus("/a", status));
    disk.FailAt(disk.Calls(Op::Read) + 1, Op::Read, Fault::EndOfFile);
    EXPECT_EQ(file->Read(&c, 1), 0);
    EXPECT_EQ(file->Read(&c, 1), 1);
    EXPECT_EQ(c, 'c');

    disk.Refuse(Op::Link);
    EXPECT_FALSE(disk.HardLink("/a", "/b"));
    EXPECT_FALSE(disk.HardLink("/a", "/b"));
    EXPECT_FALSE(disk.Exists("/b"));
    EXPECT_TRUE(disk.GetStatus("/a", status));
    disk.Refuse(Op::Any);
    EXPECT_FALSE(disk.GetStatus("/a", status));
}

TEST(MemoryDiskTest, InterruptedCallsMovePartOfTheirBytesOrJustSucceed) {
    CMemoryDisk disk;
    const auto out = disk.Open("/f", OpenMode::WriteTruncate);
    ASSERT_TRUE(out);
    disk.FailAt(1, Op::Write, Fault::Interrupted);
    EXPECT_EQ(out->Write("abcde", 5), 3);
    EXPECT_EQ(out->Write("de", 2), 2);
    const auto in = disk.Open("/f", OpenMode::Read);
    ASSERT_TRUE(in);
    char bytes[5] = {};
    disk.FailAt(1, Op::Read, Fault::Interrupted);
    EXPECT_EQ(in->Read(bytes, 5), 3);
    EXPECT_EQ(in->Read(bytes + 3, 5), 2);
    EXPECT_EQ(std::string(bytes, 5), "abcde");
    disk.FailAt(disk.Calls() + 1, Op::Any, Fault::Interrupted);
    EXPECT_TRUE(disk.RemoveFile("/f"));
}

// Names that share a file count it once; a file whose last name went counts
// while it is open.
TEST(MemoryDiskTest, SpaceLimitWritesWhatFitsThenFails) {
    CMemoryDisk disk;
    disk.SpaceLimit(10);
    const auto a = disk.Open("/a", OpenMode::WriteTruncate);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Write("12345678", 8), 8);
    ASSERT_TRUE(disk.HardLink("/a", "/b"));
    auto c = disk.Open("/c", OpenMode::WriteTruncate);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Write("xyz", 3), 2);
    EXPECT_EQ(c->Write("z", 1), -1);
    EXPECT_EQ(a->Seek(0, SEEK_SET), 0);
    EXPECT_EQ(a->Write("AB", 2), 2);
    ASSERT_TRUE(disk.RemoveFile("/c"));
    EXPECT_EQ(a->Seek(0, SEEK_END), 8);
    EXPECT_EQ(a->Write("9", 1), -1);
    c.reset();
    EXPECT_EQ(a->Write("9", 1), 1);
    EXPECT_EQ(disk.Contents("/b"), "AB3456789");
    ASSERT_TRUE(disk.Open("/b", OpenMode::WriteTruncate));
    EXPECT_EQ(a->Seek(0, SEEK_SET), 0);
    EXPECT_EQ(a->Write("0123456789", 10), 10);
}

TEST(MemoryDiskTest, SetUpAndInspectionAreNeitherCountedNorFailed) {
    CMemoryDisk disk;
    disk.FailAt(1);
    disk.SetClock(1000);
    disk.AddFile("d/e/f", "old");
    disk.AddFile("/d/e/f", "new");
    disk.AddDirectory("/d/empty");
    disk.AddLink("e/f", "/d/link");
    disk.SetTime("/d/link", 7);
    EXPECT_EQ(disk.Calls(), 0u);
    EXPECT_EQ(disk.Contents("/d/./e/../link"), "new");
    EXPECT_EQ(disk.Contents("/d/e"), "");
    EXPECT_TRUE(disk.Exists("d/link"));
    EXPECT_FALSE(disk.Exists("/d/f"));
    EXPECT_EQ(disk.Paths(),
              (std::vector<std::string>{"/d/", "/d/e/", "/d/e/f", "/d/empty/", "/d/link -> e/f"}));
    FileStatus status;
    EXPECT_FALSE(disk.GetStatus("/d/e/f", status));
    EXPECT_EQ(disk.Calls(), 1u);
    ASSERT_TRUE(disk.GetStatus("/d/e/f", status));
    EXPECT_EQ(status.modTime, 7);
    ASSERT_TRUE(disk.GetStatus("/d/empty", status));
    EXPECT_EQ(status.modTime, 1000);
}

} // namespace
