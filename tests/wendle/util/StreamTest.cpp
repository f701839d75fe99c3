#include "util/stream.h"

#include "platform.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::Bytes;
using testsupport::U16LE;
using testsupport::U32LE;

namespace {

// A binary file on the host's disk, opened for writing in a directory of
// its own.
class temp_stream {
public:
    temp_stream() : file_(platform::host_disk().open_for_writing(dir_ / "s")) {}
    disk_file& get() const { return *file_; }
    void put(const std::string& bytes) { strm::write_bytes(*file_, bytes.data(), bytes.size()); }
    // Everything written so far; the position is kept.
    std::string contents() const {
        EXPECT_TRUE(file_->flush());
        return testsupport::ReadFile(dir_ / "s");
    }

private:
    testsupport::TempDir dir_;
    std::unique_ptr<disk_file> file_;
};

std::string filler(std::size_t count) {
    return std::string(count, '\xEE');
}

const std::string kSwarHeaderStart = "SWAR" + Bytes({0xFF, 0xFE}) + U16LE(0x0100);

TEST(StreamHelpers, ReadsLittleEndianIntegersAndTagsAndFailsOnShortReads) {
    testsupport::TempDir dir;
    testsupport::WriteFile(
        dir / "in", Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}) + "SWAV" + Bytes({1, 2, 3}));
    const std::unique_ptr<disk_file> in = platform::host_disk().open_for_reading(dir / "in");
    ASSERT_TRUE(in);
    EXPECT_EQ(strm::read_u8(*in), 0x01);
    EXPECT_EQ(strm::read_u16(*in), 0x0302);
    EXPECT_EQ(strm::read_u32(*in), 0x07060504u);
    EXPECT_EQ(strm::read_tag(*in), strm::block_tag(0x53574156));
    EXPECT_THROW(strm::read_u32(*in), strm::failure);
}

TEST(StreamHelpers, WritesIntegersLittleEndianAndTagsInReadingOrder) {
    temp_stream s;
    strm::write_u8(s.get(), 0xAB);
    strm::write_u16(s.get(), 0x1234);
    strm::write_u32(s.get(), 0x89ABCDEF);
    strm::write(s.get(), strm::block_tag("SWAR"));
    EXPECT_EQ(s.contents(), Bytes({0xAB, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}) + "SWAR");
}

TEST(StreamHelpers, AlignPadsWithZeroBytesUpToTheNextMultiple) {
    for (std::size_t start = 16; start < 20; ++start) {
        temp_stream s;
        s.put(filler(start));
        strm::write(s.get(), strm::align(4));
        EXPECT_EQ(s.contents(), filler(start) + std::string((4 - start % 4) % 4, '\0')) << start;
    }
}

TEST(StreamHelpers, BlockWriterPadsTheBlockPatchesItsSizeAndReturnsToTheEnd) {
    temp_stream s;
    s.put(filler(16));
    strm::block_writer block(s.get(), strm::block_tag("DATA"));
    s.put(filler(38));
    block.finish();
    EXPECT_EQ(strm::tell(s.get()), 64u);
    EXPECT_EQ(s.contents(), filler(16) + "DATA" + U32LE(48) + filler(38) + Bytes({0, 0}));
}

TEST(StreamHelpers, WritebackFieldIsPatchedAtEveryPlaceAndWrittenDirectlyOnceResolved) {
    temp_stream s;
    strm::writeback_field field;
    s.put(filler(60));
    strm::write(s.get(), field);
    s.put(filler(4));
    strm::write(s.get(), field);
    strm::resolve(field, s.get(), 0);
    EXPECT_EQ(strm::tell(s.get()), 72u);
    strm::write(s.get(), field);
    EXPECT_EQ(s.contents(), filler(60) + U32LE(72) + filler(4) + U32LE(72) + U32LE(72));

    strm::writeback_field relative;
    strm::write(s.get(), relative);
    strm::resolve(relative, s.get(), 60);
    EXPECT_EQ(relative.value(), 20u);
}

TEST(StreamHelpers, FileHeaderWriterWritesTheGenericHeaderAndFinallyThePaddedLength) {
    temp_stream s;
    strm::file_header_writer header(s.get(), strm::block_tag("SWAR"), 0x0100, 1);
    EXPECT_EQ(s.contents(),
              Bytes({0x53, 0x57, 0x41, 0x52, 0xFF, 0xFE, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10,
                     0x00, 0x01, 0x00}));
    s.put(filler(5));
    header.finish();
    EXPECT_EQ(s.contents(),
              kSwarHeaderStart + U32LE(24) + U16LE(16) + U16LE(1) + filler(5) + Bytes({0, 0, 0}));
}

TEST(StreamHelpers, WritersLeftByTheirScopeCompleteTheirSizes) {
    temp_stream s;
    {
        strm::file_header_writer header(s.get(), strm::block_tag("SWAR"), 0x0100, 1);
        strm::block_writer block(s.get(), strm::block_tag("DATA"));
        s.put(filler(1));
    }
    EXPECT_EQ(s.contents(),
              kSwarHeaderStart + U32LE(28) + U16LE(16) + U16LE(1) + "DATA" + U32LE(12) + filler(1)
                  + Bytes({0, 0, 0}));
}

TEST(StreamHelpers, FailedWritesSeeksAndFieldsOf4GiBRaiseWriteFailure) {
    disk& host = platform::host_disk();
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "in", "");
    const std::unique_ptr<disk_file> read_only = host.open_for_reading(dir / "in");
    ASSERT_TRUE(read_only);
    EXPECT_THROW(strm::write_u32(*read_only, 1), strm::write_failure);

    // A pipe keeps no position.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0666), 0);
    const int reader = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::unique_ptr<disk_file> pipe_out = host.open_for_writing(dir / "fifo");
    ASSERT_TRUE(pipe_out);
    EXPECT_THROW(strm::block_writer(*pipe_out, strm::block_tag("DATA")), strm::write_failure);
    close(reader);

    temp_stream s;
    strm::file_header_writer header(s.get(), strm::block_tag("SWAR"), 0x0100, 1);
    strm::writeback_field last, beyond;
    strm::seek(s.get(), 0xFFFFFFFFu);
    strm::resolve(last, s.get(), 0);
    EXPECT_EQ(last.value(), 0xFFFFFFFFu);
    strm::write(s.get(), beyond);
    EXPECT_THROW(strm::resolve(beyond, s.get(), 0), strm::write_failure);
    EXPECT_THROW(header.finish(), strm::write_failure);
}

TEST(StreamHelpers, OutputFileCloseReportsAFailedFlush) {
    if (!testsupport::Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    strm::output_file file(platform::host_disk().open_for_writing("/dev/full"));
    ASSERT_TRUE(file.is_open());
    strm::write_u32(*file.get(), 1);
    EXPECT_FALSE(file.close());
    EXPECT_TRUE(file.close());
}

} // namespace
