#pragma once

// Wave files and wave archives for wendle's tests, built field by field from
// the layout constants. One test pins an archive's bytes written out by hand,
// which keeps the constants themselves honest.

#include "wave_format.h"

#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wendle_test {

inline std::uint32_t Size(const std::string& s) {
    return static_cast<std::uint32_t>(s.size());
}

inline std::string Tag(strm::block_tag tag) {
    const std::uint32_t v = tag.value();
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// `count` bytes of a pattern that repeats only every 251 bytes.
inline std::string Pattern(std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes.push_back(static_cast<char>(i * 7 % 251));
    return bytes;
}

// A wave file: the generic header with magic "SWAV", then a "DATA" block
// holding `data`.
inline std::string Wave(const std::string& data) {
    using testsupport::U16LE;
    using testsupport::U32LE;
    const std::string header = Tag(wave_file::magic) + U16LE(strm::byte_order_mark) + U16LE(0x0100)
        + U32LE(wave_file::header_length + Size(data)) + U16LE(strm::file_header_size) + U16LE(1)
        + "DATA" + U32LE(8 + Size(data));
    return header + data;
}

// The wave archive of waves with the given data.
inline std::string Archive(const std::vector<std::string>& waves) {
    using testsupport::U16LE;
    using testsupport::U32LE;
    const std::uint32_t count = static_cast<std::uint32_t>(waves.size());
    std::uint32_t at = wave_archive::offset_table_offset + wave_archive::offset_entry_size * count;
    std::string offsets, data;
    for (const std::string& w : waves) {
        offsets += U32LE(at);
        data += w;
        at += Size(w);
    }
    const std::string padding(
        (wave_archive::alignment - at % wave_archive::alignment) % wave_archive::alignment, '\0');
    const std::uint32_t size = at + Size(padding);
    return Tag(wave_archive::magic) + U16LE(strm::byte_order_mark) + U16LE(wave_archive::version)
        + U32LE(size) + U16LE(wave_archive::header_size) + U16LE(wave_archive::block_count)
        + Tag(wave_archive::data_kind) + U32LE(size - wave_archive::data_block_offset)
        + std::string(wave_archive::reserved_length, '\0') + U32LE(count) + offsets + data
        + padding;
}

} // namespace wendle_test
