#include "archive_writer.h"

#include "wave_format.h"
#include "wave_reader.h"

#include "util/stream.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr std::size_t copy_buffer_size = 0x10000;

// Appends one wave's data to the archive and resolves its offset field to
// where the data starts.
void copy_wave(disk& disk, disk_file& out, const std::string& path, strm::writeback_field& offset,
               std::vector<unsigned char>& buffer) {
    wave_reader wave(disk, path);
    strm::resolve(offset, out, 0);
    // The archive's sizes are 32-bit: stop before it reaches 4 GiB rather
    // than after copying the whole of an oversized wave.
    strm::position end = strm::tell(out);
    while (const std::size_t count = wave.read_data(buffer.data(), buffer.size())) {
        if (count > wave_archive::max_length - end)
            throw strm::write_failure{};
        strm::write_bytes(out, buffer.data(), count);
        end += count;
    }
}

} // namespace

// The file header, then one "DATA" block with the reserved words, the wave
// count, the offset of each wave's data and the data back to back; the end
// is padded. The header and block writers fill in the sizes last.
void write_wave_archive(disk& disk, disk_file& out, const std::vector<std::string>& waves) {
    // The offset table alone must fit below 4 GiB.
    if (waves.size() > (wave_archive::max_length - wave_archive::offset_table_offset)
            / wave_archive::offset_entry_size)
        throw strm::write_failure{};
    std::vector<strm::writeback_field> offsets(waves.size());
    std::vector<unsigned char> buffer(copy_buffer_size);

    strm::file_header_writer header(out, wave_archive::magic, wave_archive::version,
                                    wave_archive::block_count);
    strm::block_writer data(out, wave_archive::data_kind);
    for (std::size_t i = 0; i < wave_archive::reserved_length; i += 4)
        strm::write_u32(out, 0);
    strm::write_u32(out, static_cast<std::uint32_t>(waves.size()));
    for (strm::writeback_field& offset : offsets)
        strm::write(out, offset);
    for (std::size_t i = 0; i < waves.size(); ++i)
        copy_wave(disk, out, waves[i], offsets[i], buffer);
    strm::write(out, strm::align(wave_archive::alignment));
    data.finish();
    header.finish();
}
