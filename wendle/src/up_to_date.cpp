#include "up_to_date.h"

#include "wave_format.h"

#include "util/stream.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

// True when `file`, of `length` bytes, starts with the headers of a finished
// wave archive: the file header and the "DATA" block header with the values
// the writer leaves. The file size is the writer's last write, so an archive
// whose writing was cut short records a size that is not the file's length.
bool holds_finished_archive(disk_file& file, std::uint64_t length) {
    try {
        const strm::block_tag magic = strm::read_tag(file);
        const std::uint16_t byte_order = strm::read_u16(file);
        const std::uint16_t version = strm::read_u16(file);
        const std::uint32_t file_size = strm::read_u32(file);
        const std::uint16_t header_size = strm::read_u16(file);
        const std::uint16_t block_count = strm::read_u16(file);
        const strm::block_tag kind = strm::read_tag(file);
        const std::uint32_t block_size = strm::read_u32(file);
        return magic == wave_archive::magic && byte_order == strm::byte_order_mark
            && version == wave_archive::version && file_size == length
            && header_size == wave_archive::header_size && block_count == wave_archive::block_count
            && kind == wave_archive::data_kind
            && block_size == file_size - wave_archive::data_block_offset;
    } catch (const strm::failure&) {
        return false;
    } catch (const strm::read_failure&) {
        return false;
    }
}

// The last-write time of the archive at `path`; false unless it is a regular
// file holding a finished archive.
bool finished_archive_time(disk& disk, const std::string& path, file_time& time) {
    const std::unique_ptr<disk_file> file = disk.open_for_reading(path);
    file_status status;
    if (!file || !file->status(status) || !holds_finished_archive(*file, status.length))
        return false;
    time = status.last_write;
    return true;
}

// True when the last-write time of `input` can be read and is strictly
// earlier than `output_time`. The time is taken from the file opened for
// reading, so only a regular file has one.
bool written_before(disk& disk, const std::string& input, const file_time& output_time) {
    const std::unique_ptr<disk_file> file = disk.open_for_reading(input);
    file_status status;
    return file && file->status(status) && status.last_write < output_time;
}

} // namespace

bool archive_is_current(disk& disk, const std::string& list, const std::vector<std::string>& waves,
                        const std::string& output) {
    file_time output_time;
    if (!finished_archive_time(disk, output, output_time)
        || !written_before(disk, list, output_time))
        return false;
    return std::all_of(waves.begin(), waves.end(), [&](const std::string& wave) {
        return written_before(disk, wave, output_time);
    });
}
