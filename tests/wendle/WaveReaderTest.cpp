#include "wave_reader.h"

#include "memory_disk.h"
#include "my_exception.h"

#include "WendleTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using wendle_test::Wave;

namespace {

// The data of the wave file at `path` read in pieces of 5 bytes, or the
// message that reading fails with; w.swav holds `bytes` and dev.swav is a
// device. Call `failing_call` fails; `calls` is set to the calls made.
std::string read_wave(const std::string& bytes, const std::string& path = "w.swav",
                      std::size_t failing_call = 0, std::size_t* calls = nullptr) {
    memory_disk disk;
    disk.add_file("w.swav", bytes);
    disk.add_device("dev.swav");
    disk.inject(memory_disk::fault::fail, failing_call);
    std::string result;
    try {
        wave_reader wave(disk, path);
        std::string data;
        char piece[5];
        while (const std::size_t count = wave.read_data(piece, sizeof piece))
            data.append(piece, count);
        result = "data:" + data;
    } catch (const my_exception& e) {
        result = e.message();
    }
    if (calls != nullptr)
        *calls = disk.calls();
    return result;
}

TEST(WaveReader, ChecksTheHeadersAndHandsOutEveryByteAfterThem) {
    const std::string long_data(23, 'x');
    const std::string cases[][3] = {
        {Wave("abc"), "w.swav", "data:abc"},
        {Wave(""), "w.swav", "data:"},
        {Wave(long_data), "w.swav", "data:" + long_data},
        // Neither the file size nor the block size limits the data.
        {Wave("abc").replace(8, 4, std::string(4, '\0')) + "def", "w.swav", "data:abcdef"},
        {Wave("").substr(0, 23), "w.swav", "Not VELKO binary format w.swav"},
        {"SWAR" + Wave("abc").substr(4), "w.swav", "Not SWAV file w.swav"},
        {Wave("abc"), "dev.swav", "Cannot open dev.swav for reading."},
        {Wave("abc"), "missing.swav", "Cannot open missing.swav for reading."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_wave(c[0], c[1]), c[2]) << c[2];
}

TEST(WaveReader, AFailedOpenOrReadIsReportedWhereverItHappens) {
    const std::string wave = Wave(std::string(12, 'x'));
    std::size_t calls = 0;
    ASSERT_EQ(read_wave(wave, "w.swav", 0, &calls), "data:" + std::string(12, 'x'));
    EXPECT_EQ(read_wave(wave, "w.swav", 1), "Cannot open w.swav for reading.");
    // Every later call reads: the headers, then the data piece by piece.
    for (std::size_t call = 2; call <= calls; ++call)
        EXPECT_EQ(read_wave(wave, "w.swav", call), "Cannot read w.swav.") << call;
}

} // namespace
