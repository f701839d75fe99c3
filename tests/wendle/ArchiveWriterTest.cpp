#include "archive_writer.h"

#include "memory_disk.h"

#include "TestSupport.h"
#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using testsupport::Bytes;
using wendle_test::Wave;

namespace {

// Every byte written out by hand but the big wave's data: several waves, an
// empty one (its offset equals the next), one over 64 KiB (copied in several
// pieces), a wave file named twice, and padding at the end only.
TEST(ArchiveWriter, WritesTheArchiveLayoutByteForByte) {
    const std::string big = wendle_test::Pattern(70000);
    memory_disk disk;
    disk.add_file("abc.swav", Wave("abc"));
    disk.add_file("empty.swav", Wave(""));
    disk.add_file("big.swav", Wave(big));
    disk.add_file("xyz.swav", Wave("xyz"));
    const std::unique_ptr<disk_file> out = disk.open_for_writing("out.swar");
    write_wave_archive(disk, *out, {"abc.swav", "empty.swav", "big.swav", "abc.swav", "xyz.swav"});
    ASSERT_TRUE(out->close());

    const std::string expected =
        Bytes({0x53, 0x57, 0x41, 0x52, 0xFF, 0xFE, 0x00, 0x01, 0xCC, 0x11, 0x01, 0x00,
               0x10, 0x00, 0x01, 0x00, 0x44, 0x41, 0x54, 0x41, 0xBC, 0x11, 0x01, 0x00})
        + std::string(32, '\0')
        + Bytes({0x05, 0x00, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x53, 0x00, 0x00, 0x00,
                 0x53, 0x00, 0x00, 0x00, 0xC3, 0x11, 0x01, 0x00, 0xC6, 0x11, 0x01, 0x00})
        + "abc" + big + "abc" + "xyz" + Bytes({0, 0, 0});
    const std::string written = disk.files()["out.swar"];
    EXPECT_EQ(written.size(), 0x111CCu);
    const auto differ =
        std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
    EXPECT_TRUE(written == expected) << "first difference at " << (differ.first - written.begin());
}

} // namespace
