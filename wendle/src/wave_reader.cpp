#include "wave_reader.h"

#include "my_exception.h"
#include "wave_format.h"

#include "util/stream.h"

#include <cstdint>

wave_reader::wave_reader(disk& disk, const std::string& path)
    : path_(path), file_(disk.open_for_reading(path)) {
    if (!file_)
        throw my_exception("Cannot open " + path_ + " for reading.");
    // Only the magic is checked: neither sizes nor kinds limit the data,
    // which runs to the physical end of the file.
    unsigned char headers[wave_file::header_length];
    try {
        strm::read_bytes(*file_, headers, sizeof headers);
    } catch (const strm::read_failure&) {
        throw my_exception("Cannot read " + path_ + ".");
    } catch (const strm::failure&) {
        throw my_exception("Not VELKO binary format " + path_);
    }
    const strm::block_tag magic(static_cast<std::uint32_t>(headers[0]) << 24
                                | static_cast<std::uint32_t>(headers[1]) << 16
                                | static_cast<std::uint32_t>(headers[2]) << 8 | headers[3]);
    if (magic != wave_file::magic)
        throw my_exception("Not SWAV file " + path_);
}

std::size_t wave_reader::read_data(void* buffer, std::size_t size) {
    try {
        return strm::read_some(*file_, buffer, size);
    } catch (const strm::read_failure&) {
        throw my_exception("Cannot read " + path_ + ".");
    }
}

std::uint64_t wave_reader::data_length() {
    file_status status;
    if (!file_->status(status))
        throw my_exception("Cannot read " + path_ + ".");
    return status.length > wave_file::header_length ? status.length - wave_file::header_length : 0;
}

std::size_t wave_reader::copy_data(disk_file& out, std::size_t count) {
    for (;;) {
        const copy_result result = out.copy_from(*file_, count);
        if (result.read == io_status::failed)
            throw my_exception("Cannot read " + path_ + ".");
        if (result.write == io_status::failed)
            throw strm::write_failure{};
        if (result.read == io_status::done || result.count > 0)
            return result.count;
    }
}
