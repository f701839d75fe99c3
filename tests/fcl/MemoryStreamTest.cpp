#include "fcl/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

using XALFcl::CIosBase;
using XALFcl::CMemoryInputStream;
using XALFcl::CMemoryOutputStream;

namespace {

const std::uint8_t kData[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE};

TEST(MemoryInputStreamTest, ReadsValuesInTheStreamsByteOrder) {
    CMemoryInputStream in(kData, sizeof kData);
    EXPECT_EQ(in.littleEndian, 0);
    EXPECT_EQ(in.ReadU16(), 0x1234u);
    in.littleEndian = 1;
    EXPECT_EQ(in.ReadU32(), 0xBC9A7856u);
    EXPECT_EQ(in.ReadU8(), 0xDEu);
    EXPECT_EQ(in.state, 0);
}

TEST(MemoryInputStreamTest, ShortValueReadSetsEndOfDataWithoutMoving) {
    CMemoryInputStream in(kData, sizeof kData);
    in.Seek(4, SEEK_SET);
    EXPECT_EQ(in.ReadU32(), 0u);
    EXPECT_EQ(in.state, CIosBase::kEndOfData);
    EXPECT_EQ(in.Tell(), 4);
    EXPECT_EQ(in.ReadU16(), 0x9ABCu);
    EXPECT_EQ(in.ReadU16(), 0u);
    EXPECT_EQ(in.ReadU8(), 0xDEu);
    EXPECT_EQ(in.ReadU8(), 0u);
    EXPECT_EQ(in.Tell(), 7);
}

TEST(MemoryInputStreamTest, BlockReadPastTheEndCopiesWhatIsLeft) {
    CMemoryInputStream in(kData, sizeof kData);
    in.Seek(5, SEEK_SET);
    std::uint8_t out[4] = {0, 0, 0, 0};
    in.Read(out, sizeof out);
    EXPECT_EQ(out[0], 0xBC);
    EXPECT_EQ(out[1], 0xDE);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(in.state, CIosBase::kEndOfData);
    EXPECT_EQ(in.Tell(), 7);
    in.Read(out, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(in.Tell(), 7);
}

TEST(MemoryInputStreamTest, SeekClampsAndReturnsTheDistanceMoved) {
    CMemoryInputStream in(kData, sizeof kData);
    in.Seek(3, SEEK_SET);
    EXPECT_EQ(in.Seek(-5, SEEK_SET), -3);
    EXPECT_EQ(in.Tell(), 0);
    EXPECT_EQ(in.Seek(7 + 10, SEEK_SET), 7);
    EXPECT_EQ(in.Seek(-2, SEEK_END), -2);
    EXPECT_EQ(in.Tell(), 5);
    EXPECT_EQ(in.Seek(1, 7), 0);
    EXPECT_EQ(in.Seek(std::numeric_limits<std::int64_t>::max(), SEEK_CUR), 2);
    EXPECT_EQ(in.Seek(std::numeric_limits<std::int64_t>::min(), SEEK_CUR), -7);
    EXPECT_EQ(in.Seek(std::numeric_limits<std::int64_t>::min(), SEEK_END), 0);
    EXPECT_EQ(in.state, 0);
}

TEST(MemoryInputStreamTest, NullBufferIsAnEmptyFailedStream) {
    CMemoryInputStream in;
    in.Init(nullptr, 100);
    EXPECT_EQ(in.state, CIosBase::kFailure);
    EXPECT_EQ(in.GetSize(), 0);
    std::uint8_t out[4];
    in.Read(out, sizeof out);
    EXPECT_EQ(in.ReadU32(), 0u);
    EXPECT_EQ(in.state, CIosBase::kFailure | CIosBase::kEndOfData);
    in.Init(kData, sizeof kData);
    EXPECT_EQ(in.state, 0);
    EXPECT_EQ(in.ReadU8(), 0x12u);
}

TEST(MemoryInputStreamTest, ResetRewindsAndClearsState) {
    CMemoryInputStream in(kData, 2);
    EXPECT_EQ(in.ReadU32(), 0u);
    in.ReadU16();
    in.Reset();
    EXPECT_EQ(in.state, 0);
    EXPECT_EQ(in.Tell(), 0);
}

TEST(MemoryOutputStreamTest, WritesValuesInTheStreamsByteOrder) {
    std::vector<std::uint8_t> buffer(10, 0);
    CMemoryOutputStream out(buffer.data(), 10);
    out.WriteU32(0x12345678);
    out.littleEndian = 1;
    out.WriteU32(0x12345678);
    out.WriteU16(0xFFFE);
    EXPECT_EQ(
        buffer,
        (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF}));
    EXPECT_EQ(out.state, 0);
}

TEST(MemoryOutputStreamTest, ValueThatDoesNotFitIsNotWritten) {
    std::uint8_t buffer[3] = {0, 0, 0};
    CMemoryOutputStream out(buffer, 3);
    out.Seek(2, SEEK_SET);
    out.WriteU16(0xAAAA);
    EXPECT_EQ(out.state, CIosBase::kFailure);
    EXPECT_EQ(out.Tell(), 2);
    out.WriteU8(0x55);
    EXPECT_EQ(buffer[2], 0x55);
    out.WriteU8(0x66);
    EXPECT_EQ(out.Tell(), 3);
    EXPECT_EQ(out.GetSize(), 3);
}

TEST(MemoryOutputStreamTest, BlockWriteIsShortenedToTheCapacity) {
    std::uint8_t buffer[4] = {0, 0, 0, 0};
    CMemoryOutputStream out(buffer, 3);
    out.Seek(1, SEEK_SET);
    out.Write(kData, 3);
    EXPECT_EQ(out.state, CIosBase::kFailure);
    EXPECT_EQ(out.Tell(), 3);
    EXPECT_EQ(buffer[1], 0x12);
    EXPECT_EQ(buffer[2], 0x34);
    EXPECT_EQ(buffer[3], 0);
}

} // namespace
