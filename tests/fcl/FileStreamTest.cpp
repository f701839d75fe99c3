#include "fcl/FileStream.h"

#include "TestSupport.h"
#include "fcl/Exception.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::Throws;
using testsupport::WriteFile;
using XALFcl::CFileException;
using XALFcl::CFileInputStream;
using XALFcl::CFileOutputStream;
using XALFcl::CIosBase;
using XALFcl::SystemDisk;

namespace {

TEST(FileStreamTest, WritesValuesBlocksAndFillsByteForByte) {
    TempDir dir;
    const std::string path = dir / "out.bin";
    {
        CFileOutputStream out(SystemDisk(), path);
        out.WriteU32(0x12345678);
        out.littleEndian = 1;
        out.WriteU32(0x12345678);
        out.WriteU16(0xFFFE);
        out.Write("ab", 2);
        out.Fill(5000, 0xEE);
        out.Align(16, 0xFF);
        EXPECT_EQ(out.Tell(), 5024);
        EXPECT_EQ(out.state, 0);
        out.Close();
    }
    const std::string expected =
        Bytes({0x12, 0x34, 0x56, 0x78, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 'a', 'b'})
        + std::string(5000, '\xEE') + std::string(12, '\xFF');
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(FileStreamTest, ReadsValuesAndSetsEndOfDataAtTheEnd) {
    TempDir dir;
    WriteFile(dir / "in.bin", Bytes({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}));
    CFileInputStream in(SystemDisk(), dir / "in.bin");
    EXPECT_EQ(in.ReadU16(), 0x1234u);
    in.littleEndian = 1;
    EXPECT_EQ(in.ReadU16(), 0x7856u);
    EXPECT_EQ(in.GetSize(), 7);
    EXPECT_EQ(in.Tell(), 4);
    EXPECT_EQ(in.GetRemain(), 3);
    EXPECT_EQ(in.state, 0);
    EXPECT_EQ(in.ReadU32(), 0u);
    EXPECT_EQ(in.state, CIosBase::kEndOfData);

    in.Reset();
    EXPECT_EQ(in.state, 0);
    EXPECT_EQ(in.Seek(-2, SEEK_END), 5);
    std::vector<std::uint8_t> block(4, 0);
    in.Read(block.data(), 4);
    EXPECT_EQ(block, (std::vector<std::uint8_t>{0xBC, 0xDE, 0, 0}));
    EXPECT_EQ(in.state, CIosBase::kEndOfData);
}

TEST(FileStreamTest, SkipStopsAtTheEndOfTheFile) {
    TempDir dir;
    WriteFile(dir / "in.bin", "abcdef");
    CFileInputStream in(SystemDisk(), dir / "in.bin");
    EXPECT_EQ(in.Skip(2), 2u);
    EXPECT_EQ(in.Skip(10), 4u);
    EXPECT_EQ(in.state, CIosBase::kEndOfData);
    EXPECT_EQ(in.Tell(), 6);
}

TEST(FileStreamTest, ReadErrorMarksFailureAndPassesTheException) {
    TempDir dir;
    WriteFile(dir / "in.bin", "abcd");
    CFileInputStream in(SystemDisk(), dir / "in.bin");
    ASSERT_TRUE(in.GetFile().Open(dir / "in.bin", "wb"));
    EXPECT_TRUE(Throws<CFileException>([&] { in.ReadU32(); }, CFileException::kCannotLoad));
    EXPECT_EQ(in.state, CIosBase::kFailure);
}

TEST(FileStreamTest, WriteErrorMarksFailureButSeekErrorDoesNot) {
    TempDir dir;
    CFileOutputStream other(SystemDisk(), dir / "f");
    EXPECT_THROW(other.Seek(-1, SEEK_SET), CFileException);
    EXPECT_EQ(other.state, 0);

    if (!testsupport::Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CFileOutputStream out(SystemDisk(), "/dev/full");
    const std::vector<std::uint8_t> block(1 << 20, 0);
    EXPECT_TRUE(Throws<CFileException>([&] { out.Write(block.data(), block.size()); },
                                       CFileException::kCannotWrite, "/dev/full"));
    EXPECT_EQ(out.state, CIosBase::kFailure);
}

} // namespace
