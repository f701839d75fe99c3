#include "wave_reader.h"

#include "memory_disk.h"
#include "my_exception.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using wendle_test::Wave;

namespace {

// Reads the wave file w.swav holding `bytes` in pieces of 5 bytes: its data,
// or the message that reading fails with.
std::string read_wave(const std::string& bytes) {
    memory_disk disk;
    disk.add_file("w.swav", bytes);
    try {
        wave_reader wave(disk, "w.swav");
        std::string data;
        char piece[5];
        while (const std::size_t count = wave.read_data(piece, sizeof piece))
            data.append(piece, count);
        return "data:" + data;
    } catch (const my_exception& e) {
        return e.message();
    }
}

TEST(WaveReader, ChecksTheHeadersAndHandsOutEveryByteAfterThem) {
    const std::string long_data(23, 'x');
    const std::string cases[][2] = {
        {Wave(""), "data:"},
        {Wave(long_data), "data:" + long_data},
        // Neither the file size nor the block size limits the data.
        {Wave("abc").replace(8, 4, std::string(4, '\0')) + "def", "data:abcdef"},
        {Wave("").substr(0, 23), "Not VELKO binary format w.swav"},
        {"SWAR" + Wave("abc").substr(4), "Not SWAV file w.swav"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_wave(c[0]), c[1]) << c[1];
}

} // namespace
