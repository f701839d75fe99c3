#include "RunTrovel.h"

#include "TestSupport.h"
#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::Bytes;
using testsupport::U16LE;
using testsupport::U32LE;

namespace {

std::string Padding(std::size_t n) {
    return std::string(n, '\xFF');
}

// The whole road from a disk tree to archive bytes, pinned field by field:
// nested directories (one empty), an empty file, a file exactly as long as
// the alignment, names of 1 to 127 bytes, alignment 16. Entries keep the
// order the walk met them in (d before empty.bin, e before sixteen.bin), but
// a directory's own files come first in the file IDs: a 0, empty.bin 1,
// sixteen.bin 2, the long name 3. Directories are numbered root, src, d, e,
// z (0xF000 to 0xF004).
TEST(ArchiveBytes, VariedTreeIsWrittenByteForByteWithAndWithoutNames) {
    const std::string longName(127, 'n');
    XALFcl::CMemoryDisk disk;
    disk.AddFile("/src/a", "A");
    disk.AddFile("/src/empty.bin", "");
    disk.AddFile("/src/d/sixteen.bin", "0123456789abcdef");
    disk.AddFile("/src/d/e/" + longName, "xyz");
    disk.AddDirectory("/src/z");

    const std::string fat = "BTAF" + U32LE(44) + U16LE(4) + U16LE(0) + U32LE(0) + U32LE(1)
        + U32LE(16) + U32LE(16) + U32LE(16) + U32LE(32) + U32LE(32) + U32LE(35);
    const std::string image =
        "GMIF" + U32LE(56) + "A" + Padding(15) + "0123456789abcdef" + "xyz" + Padding(13);
    const std::string subTables = Bytes({0x83}) + "src" + U16LE(0xF001) + Bytes({0}) + Bytes({0x01})
        + "a" + Bytes({0x81}) + "d" + U16LE(0xF002) + Bytes({0x09}) + "empty.bin" + Bytes({0x81})
        + "z" + U16LE(0xF004) + Bytes({0}) + Bytes({0x81}) + "e" + U16LE(0xF003) + Bytes({0x0B})
        + "sixteen.bin" + Bytes({0}) + Bytes({0x7F}) + longName + Bytes({0}) + Bytes({0});
    ASSERT_EQ(subTables.size(), 175u);
    const std::string names = "BTNF" + U32LE(236) + U32LE(40) + U16LE(0) + U16LE(5) + U32LE(47)
        + U16LE(0) + U16LE(0xF000) + U32LE(68) + U16LE(2) + U16LE(0xF001) + U32LE(85) + U16LE(3)
        + U16LE(0xF002) + U32LE(214) + U16LE(4) + U16LE(0xF001) + subTables + Padding(13);
    // Without names, the root's entry alone points at its own first-file-ID
    // field.
    const std::string noNames = "BTNF" + U32LE(28) + U32LE(4) + U16LE(0) + U16LE(1) + Padding(12);
    const auto header = [](std::uint32_t fileSize) {
        return "KPAK" + Bytes({0xFE, 0xFF, 0x00, 0x01}) + U32LE(fileSize) + U16LE(16) + U16LE(3);
    };

    ASSERT_EQ(RunTrovel(disk, {"-c", "-A", "16", "named", "src"}).status, 0);
    ASSERT_EQ(RunTrovel(disk, {"-c", "-A", "16", "-n", "nameless", "src"}).status, 0);
    EXPECT_EQ(disk.Contents("/named.kpak"), header(352) + fat + names + image);
    EXPECT_EQ(disk.Contents("/nameless.kpak"), header(144) + fat + noNames + image);
}

} // namespace
