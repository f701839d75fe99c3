// The offset table of an archive with many waves: every entry is filled in,
// in list order, however many there are.

#include "archive_writer.h"

#include "memory_disk.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(OffsetTable, EveryEntryOfAnArchiveWithManyWavesIsFilledInInOrder) {
    memory_disk disk;
    const std::vector<std::string> data = {"a", "", "bc", "def"};
    for (std::size_t i = 0; i < data.size(); ++i)
        disk.add_file("w" + std::to_string(i) + ".swav", wendle_test::Wave(data[i]));
    std::vector<std::string> waves, expected_waves;
    for (std::size_t i = 0; i < 70001; ++i) {
        const std::size_t pick = i * 5 % 7 % data.size();
        waves.push_back("w" + std::to_string(pick) + ".swav");
        expected_waves.push_back(data[pick]);
    }
    const std::unique_ptr<disk_file> out = disk.open_for_writing("out.swar");
    write_wave_archive(disk, *out, waves);
    ASSERT_TRUE(out->close());

    const std::string written = disk.files()["out.swar"];
    const std::string expected = wendle_test::Archive(expected_waves);
    const auto differ =
        std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
    EXPECT_TRUE(written == expected) << "first difference at " << (differ.first - written.begin());
}

} // namespace
