#include "RunTrovel.h"

#include "TestSupport.h"
#include "fcl/MemoryDisk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

// Every option that shapes an archive, on one varied tree (names that sort
// differently by bytes and by case, nested and empty directories, an empty
// file, sizes around the alignments), and the edits that rewrite an archive:
// each result is pinned by a hash of its bytes, so that any change to what
// the saver writes, or to the order the walk and the edits leave, shows.
TEST(ArchiveBytes, EveryOptionWritesTheSameBytesAsBefore) {
    struct Step {
        std::vector<std::string> args;
        const char* archive;
        std::uint64_t hash;
    };
    const std::vector<Step> steps = {
        {{"-c", "plain", "src"}, "/plain.kpak", 13839837953563861778ull},
        {{"-c", "-s", "sorted", "src"}, "/sorted.kpak", 9783593411937115255ull},
        {{"-c", "-a", "-A", "8", "rooted", "src"}, "/rooted.kpak", 14667801823155163372ull},
        {{"-c", "-A", "32", "-n", "bare", "src"}, "/bare.kpak", 6573406151552181882ull},
        {{"-c", "-e", "-A", "16", "-D", "src", "nonempty", "B", "a", "z"},
         "/nonempty.kpak",
         6029511984836474885ull},
        {{"-c", "-S", "list.txt", "scripted"}, "/scripted.kpak", 14426188343043335338ull},
        {{"-r", "-s", "plain", "more"}, "/plain.kpak", 2263086249194617242ull},
        {{"-d", "-e", "sorted", "/src/B/c9.bin", "/src/a"}, "/sorted.kpak", 8365751343180898045ull},
        {{"-r", "-A", "16", "rooted", "src/B/c2.bin"}, "/rooted.kpak", 15681178721345251830ull},
    };
    XALFcl::CMemoryDisk disk;
    for (const char* name : {"a/x.bin", "B/c2.bin", "B/c9.bin", "b_/y", "z/deep/er/q.bin", "_u"}) {
        const std::string text(std::string(name).size() * 5 + 3, name[0]);
        disk.AddFile(std::string("/src/") + name, text);
    }
    disk.AddFile("/src/a/empty", "");
    disk.AddFile("/src/a/sixteen", std::string(16, 's'));
    disk.AddDirectory("/src/a/hollow");
    disk.AddFile("/more/M.bin", "more");
    disk.AddFile("/more/l.bin", "less");
    disk.AddFile("/list.txt", "\"src/B/c9.bin\", \"/one\"\n; a comment\n\"src/_u\"\n");
    for (const Step& step : steps) {
        const testsupport::RunResult r = RunTrovel(disk, step.args);
        ASSERT_EQ(r.status, 0) << step.archive << r.err;
        std::uint64_t hash = 14695981039346656037ull;
        for (const char c : disk.Contents(step.archive))
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        EXPECT_EQ(hash, step.hash) << step.args[0] << " " << step.archive;
    }
}

} // namespace
