#pragma once

// Reading one wave file: its headers checked, then its data.

#include "util/disk.h"

#include <cstddef>
#include <memory>
#include <string>

// Opens the wave file at `path` and reads its headers when constructed; then
// hands out the wave data, every byte after the headers. Raises my_exception
// with the wave's message when the file cannot be opened or read, is too
// short to hold the headers, or is not a wave file.
class wave_reader {
public:
    wave_reader(disk& disk, const std::string& path);

    // Reads the next bytes of the wave data into `buffer`, filling it unless
    // the data ends first; 0 at the end.
    std::size_t read_data(void* buffer, std::size_t size);
    // Moves the next bytes of the wave data, up to `count`, to the end of
    // `out`; how many, 0 at the end. A failed write raises
    // strm::write_failure.
    std::size_t copy_data(disk_file& out, std::size_t count);
    // How many bytes of wave data the file holds now.
    std::uint64_t data_length();

private:
    std::string path_;
    std::unique_ptr<disk_file> file_;
};
