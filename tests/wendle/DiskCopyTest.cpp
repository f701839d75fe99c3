// The files of both disks, the host's and the in-memory one, moving bytes in
// every size: many small writes, writes larger than any buffer, copies from
// one file into another, and seeks back to patch what was written.

#include "memory_disk.h"
#include "platform.h"

#include "TestSupport.h"
#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

// Copies all of `from` into `to` in pieces of at most `piece` bytes; the
// bytes moved.
std::size_t copy_all(disk_file& to, disk_file& from, std::size_t piece) {
    std::size_t moved = 0;
    for (;;) {
        const copy_result result = to.copy_from(from, piece);
        EXPECT_EQ(result.write, io_status::done);
        EXPECT_NE(result.read, io_status::failed);
        moved += result.count;
        if (result.read == io_status::done && result.count == 0)
            return moved;
    }
}

// Writes the file `at` + "out" through `disk` in a mix of transfers, copying
// from `at` + "in" made by `add`, and checks the bytes `read_back` finds.
void write_mix(disk& disk, const std::string& at,
               const std::function<void(const std::string&, const std::string&)>& add,
               const std::function<std::string(const std::string&)>& read_back) {
    const std::string big = wendle_test::Pattern(3 * 1024 * 1024 + 5);
    const std::string source = wendle_test::Pattern(1024 * 1024 + 3).substr(1);
    add(at + "in", source);
    std::string expected;
    {
        const std::unique_ptr<disk_file> out = disk.open_for_writing(at + "out");
        ASSERT_TRUE(out);
        const auto put = [&](const std::string& bytes) {
            strm::write_bytes(*out, bytes.data(), bytes.size());
            expected += bytes;
        };
        put("abc");
        for (int i = 0; i < 20000; ++i)
            put(std::string(1, static_cast<char>(i)));
        put(big);
        put("d");
        for (const std::size_t piece : {std::size_t{1000}, std::size_t{1} << 30}) {
            const std::unique_ptr<disk_file> in = disk.open_for_reading(at + "in");
            ASSERT_TRUE(in);
            unsigned char first[7];
            strm::read_bytes(*in, first, sizeof first);
            EXPECT_EQ(copy_all(*out, *in, piece), source.size() - sizeof first);
            expected += source.substr(sizeof first);
        }
        EXPECT_EQ(strm::tell(*out), expected.size());
        put(big.substr(0, 70001));
        const strm::position end = strm::tell(*out);
        strm::seek(*out, 1);
        strm::write_u32(*out, 0x04030201);
        expected.replace(1, 4, testsupport::Bytes({1, 2, 3, 4}));
        strm::seek(*out, end);
        put("e");
        EXPECT_EQ(strm::tell(*out), expected.size());
        EXPECT_TRUE(out->close());
    }
    const std::string written = read_back(at + "out");
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

TEST(DiskFiles, KeepEveryByteOfSmallAndLargeWritesCopiesAndPatchesOnTheHost) {
    testsupport::TempDir dir;
    write_mix(
        platform::host_disk(), dir / "",
        [&](const std::string& path, const std::string& bytes) {
            testsupport::WriteFile(path, bytes);
        },
        [&](const std::string& path) { return testsupport::ReadFile(path); });
}

TEST(DiskFiles, KeepEveryByteOfSmallAndLargeWritesCopiesAndPatchesInMemory) {
    memory_disk disk;
    write_mix(
        disk, "",
        [&](const std::string& path, const std::string& bytes) { disk.add_file(path, bytes); },
        [&](const std::string& path) { return disk.files()[path]; });
}

TEST(DiskFiles, CopyingIntoAFileOpenedForReadingOrFromOneOpenedForWritingFails) {
    testsupport::TempDir dir;
    memory_disk memory;
    memory.add_file(dir / "a", "bytes");
    memory.add_file(dir / "b", "bytes");
    testsupport::WriteFile(dir / "a", "bytes");
    testsupport::WriteFile(dir / "b", "bytes");
    for (disk* const d : {&platform::host_disk(), static_cast<disk*>(&memory)}) {
        const std::unique_ptr<disk_file> reader = d->open_for_reading(dir / "a");
        const std::unique_ptr<disk_file> other_reader = d->open_for_reading(dir / "b");
        ASSERT_TRUE(reader && other_reader);
        EXPECT_EQ(reader->copy_from(*other_reader, 5).write, io_status::failed);

        const std::unique_ptr<disk_file> writer = d->open_for_writing(dir / "b");
        const std::unique_ptr<disk_file> other_writer = d->open_for_writing(dir / "c");
        ASSERT_TRUE(writer && other_writer);
        const copy_result result = writer->copy_from(*other_writer, 5);
        EXPECT_EQ(result.read, io_status::failed);
        EXPECT_EQ(result.count, 0u);
    }
}

} // namespace
