#include "archive_writer.h"

#include "wave_format.h"
#include "wave_reader.h"

#include "util/stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// Offsets are written out in pieces of this many entries.
constexpr std::size_t table_piece = 0x4000;

// Appends one wave's data to the archive; returns where the data starts.
strm::position copy_wave(disk& disk, disk_file& out, const std::string& path) {
    wave_reader wave(disk, path);
    const strm::position start = strm::tell(out);
    if (start > wave_archive::max_length)
        throw strm::write_failure{};
    // The archive's sizes are 32-bit: stop before it reaches 4 GiB rather
    // than after copying the whole of an oversized wave.
    strm::position end = start;
    while (end < wave_archive::max_length) {
        const strm::position room = wave_archive::max_length - end;
        const std::size_t count =
            wave.copy_data(out, static_cast<std::size_t>(std::min<strm::position>(room, SIZE_MAX)));
        if (count == 0)
            return start;
        end += count;
    }
    unsigned char more;
    if (wave.read_data(&more, 1) != 0)
        throw strm::write_failure{};
    return start;
}

// Fills in the offset table at `table` and returns to the end.
// Where the waves' data starts: after the offset table.
strm::position data_start(std::size_t wave_count) {
    return wave_archive::offset_table_offset
        + static_cast<strm::position>(wave_count) * wave_archive::offset_entry_size;
}

// Whether the waves, as long as the disk says they are now, carry the archive
// past its largest length. A wave whose status cannot be had counts as empty
// here; it meets its own error when it is copied.
bool may_outgrow(disk& disk, const std::vector<std::string>& waves) {
    strm::position length = data_start(waves.size());
    for (const std::string& wave : waves) {
        path_status status;
        if (disk.status_of(wave, status) && status.regular
            && status.length > wave_file::header_length)
            length += std::min<std::uint64_t>(status.length - wave_file::header_length,
                                              wave_archive::max_length);
        if (length > wave_archive::max_length)
            return true;
    }
    return false;
}

// Refuses, before a byte is written, waves that would carry the archive past
// its largest length. They are opened in order as the copy would open them,
// so a wave that cannot be opened, or is no wave file, ahead of the one that
// overflows is reported as it would be.
void refuse_overgrowth(disk& disk, const std::vector<std::string>& waves) {
    if (!may_outgrow(disk, waves))
        return;
    strm::position length = data_start(waves.size());
    for (const std::string& wave : waves) {
        const std::uint64_t data = wave_reader(disk, wave).data_length();
        if (data > static_cast<std::uint64_t>(wave_archive::max_length - length))
            throw strm::write_failure{};
        length += data;
    }
}

void write_offsets(disk_file& out, strm::position table,
                   const std::vector<std::uint32_t>& offsets) {
    const strm::position end = strm::tell(out);
    strm::seek(out, table);
    std::vector<unsigned char> bytes;
    for (std::size_t first = 0; first < offsets.size(); first += table_piece) {
        const std::size_t last = std::min(offsets.size(), first + table_piece);
        bytes.clear();
        for (std::size_t i = first; i < last; ++i) {
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(static_cast<unsigned char>(offsets[i] >> shift));
        }
        strm::write_bytes(out, bytes.data(), bytes.size());
    }
    strm::seek(out, end);
}

} // namespace

// The file header, then one "DATA" block with the reserved words, the wave
// count, the offset of each wave's data and the data back to back; the end
// is padded. The offset table is reserved with zeros and filled in once all
// the data is in; the header and block writers fill in the sizes last.
void write_wave_archive(disk& disk, disk_file& out, const std::vector<std::string>& waves) {
    // The offset table alone must fit below 4 GiB.
    if (waves.size() > (wave_archive::max_length - wave_archive::offset_table_offset)
            / wave_archive::offset_entry_size)
        throw strm::write_failure{};
    refuse_overgrowth(disk, waves);
    std::vector<std::uint32_t> offsets;
    offsets.reserve(waves.size());

    strm::file_header_writer header(out, wave_archive::magic, wave_archive::version,
                                    wave_archive::block_count);
    strm::block_writer data(out, wave_archive::data_kind);
    for (std::size_t i = 0; i < wave_archive::reserved_length; i += 4)
        strm::write_u32(out, 0);
    strm::write_u32(out, static_cast<std::uint32_t>(waves.size()));
    const strm::position table = strm::tell(out);
    for (std::size_t i = 0; i < waves.size(); ++i)
        strm::write_u32(out, 0);
    for (const std::string& wave : waves)
        offsets.push_back(static_cast<std::uint32_t>(copy_wave(disk, out, wave)));
    if (!waves.empty())
        write_offsets(out, table, offsets);
    strm::write(out, strm::align(wave_archive::alignment));
    data.finish();
    header.finish();
}
