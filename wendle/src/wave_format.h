#pragma once

// The layout of the two formats wendle handles: the wave file it reads and
// the wave archive it writes. All integers are little-endian; tags are four
// characters in reading order.

#include "util/stream.h"

#include <cstddef>
#include <cstdint>

// A wave file: the generic file header (magic, byte-order mark, version, file
// size, header size, block count), then the kind and size of its first block.
// Only the magic is checked; everything after these headers, to the physical
// end of the file, is the wave's data.
namespace wave_file {

constexpr strm::block_tag magic("SWAV");

// The length of both headers together: where the wave data starts.
constexpr std::size_t header_length = 24;

} // namespace wave_file

// A wave archive: the generic file header, then one "DATA" block that holds
// reserved words, the wave count, one offset per wave (from the start of the
// file) and the waves' data back to back. Only the end of the file is padded.
namespace wave_archive {

constexpr strm::block_tag magic("SWAR");
constexpr std::uint16_t version = 0x0100;
constexpr std::uint16_t header_size = 16;
constexpr std::uint16_t block_count = 1;

// The one block and its fixed part.
constexpr strm::block_tag data_kind("DATA");
constexpr strm::position data_block_offset = 0x10;
constexpr std::size_t reserved_length = 32;
constexpr strm::position wave_count_offset = 0x38;
constexpr strm::position offset_table_offset = 0x3C;
constexpr std::size_t offset_entry_size = 4;

// The file is padded with zero bytes to a multiple of this.
constexpr unsigned alignment = 4;

// The largest length that the 32-bit size and offset fields can record: an
// archive must stay below 4 GiB.
constexpr strm::position max_length = strm::max_field_value;

static_assert(header_size == strm::file_header_size, "the generic file header");
static_assert(data_block_offset == header_size, "the block follows the file header");
static_assert(data_block_offset + 8 + reserved_length == wave_count_offset,
              "the wave count follows the block header and the reserved bytes");
static_assert(wave_count_offset + 4 == offset_table_offset,
              "the offset table follows the wave count");

} // namespace wave_archive
