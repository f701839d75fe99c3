#include "wave_reader.h"

#include "my_exception.h"
#include "wave_format.h"

#include "util/stream.h"

wave_reader::wave_reader(disk& disk, const std::string& path)
    : path_(path), file_(disk.open_for_reading(path)) {
    if (!file_)
        throw my_exception("Cannot open " + path_ + " for reading.");
    strm::block_tag magic(0);
    try {
        magic = strm::read_tag(*file_);
        // Nothing else in the headers is checked: neither sizes nor kinds
        // limit the data, which runs to the physical end of the file.
        unsigned char rest_of_headers[wave_file::header_length - 4];
        strm::read_bytes(*file_, rest_of_headers, sizeof rest_of_headers);
    } catch (const strm::read_failure&) {
        throw my_exception("Cannot read " + path_ + ".");
    } catch (const strm::failure&) {
        throw my_exception("Not VELKO binary format " + path_);
    }
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
