#pragma once

#include <cstdint>

// The layout of an archive file: every field size, value and limit that the
// saver, the loader and the tests share. An archive is a file header and
// three blocks, BTAF (allocation table), BTNF (name table) and GMIF (file
// image), each starting with a block header.
namespace XALArc::ArcFormat {

// File header: magic, byte-order mark, version, file size, header size and
// block count. The magic is read and written big-endian, so the file holds
// "KPAK"; every other field is in the file's byte order.
constexpr std::uint32_t kMagic = 0x4B50414B;     // "KPAK"
constexpr std::uint16_t kByteOrderMark = 0xFFFE; // read big-endian: FF FE means big-endian
constexpr std::uint16_t kVersion = 0x0100;
constexpr std::uint16_t kHeaderSize = 16;
constexpr std::uint16_t kBlockCount = 3;
// Where the version and the header size field lie in the header.
constexpr std::uint32_t kVersionOffset = 6;
constexpr std::uint32_t kHeaderSizeOffset = 12;

// Block header: kind and block size (the header included). Kinds are values
// in the file's byte order, so a little-endian file holds "BTAF", "BTNF" and
// "GMIF".
constexpr std::uint32_t kBlockHeaderSize = 8;
constexpr std::uint32_t kKindFat = 0x46415442;   // "BTAF"
constexpr std::uint32_t kKindNames = 0x464E5442; // "BTNF"
constexpr std::uint32_t kKindImage = 0x46494D47; // "GMIF"

// BTAF: the block header, the 16-bit file count and a reserved 16-bit 0,
// then one record per file: start and end of its contents, relative to the
// image (the bytes after the GMIF block header).
constexpr std::uint32_t kFatHeaderSize = 12;
constexpr std::uint32_t kFatRecordSize = 8;

// BTNF: after the block header, one entry per directory in ID order (the
// offset of its sub-table from the name-table data, its first file ID, and
// its parent's ID or, for the root, the number of directories), then the
// sub-tables, then padding.
constexpr std::uint32_t kDirectoryEntrySize = 8;
// A sub-table entry is a length byte, the name and, for a subdirectory
// (flagged in the length byte), the subdirectory's 16-bit ID. A byte 0 ends
// the sub-table.
constexpr std::uint32_t kLengthByteSize = 1;
constexpr std::uint8_t kSubdirectoryFlag = 0x80;
constexpr std::uint8_t kNameLengthMask = 0x7F;
constexpr std::uint32_t kSubdirectoryIdSize = 2;
constexpr std::uint8_t kSubTableEnd = 0;
constexpr std::uint32_t kSubTableEndSize = 1;
// Without names the root's entry stands alone: its sub-table offset points
// at its own first-file-ID field, whose first byte 0 reads as an empty
// sub-table.
constexpr std::uint32_t kNamelessRootSubTable = 4;
constexpr std::uint16_t kNamelessRootFirstFile = 0;
constexpr std::uint16_t kNamelessRootCount = 1;

// Directory IDs run from the root's on; file IDs from 0.
constexpr std::uint32_t kRootDirectoryId = 0xF000;

// Fills the name table up to the aligned start of the contents, and every
// file's contents up to the alignment.
constexpr std::uint8_t kPadding = 0xFF;

// What the fields can hold: names of 1 to 127 bytes, directory IDs up to
// 0xFFFF, a 16-bit file count, 32-bit offsets and sizes.
constexpr std::uint32_t kMaxNameLength = 127;
constexpr std::uint32_t kMaxDirectories = 4096;
constexpr std::uint32_t kMaxFiles = 65535;
constexpr std::uint64_t kMaxArchiveSize = 0xFFFFFFFF;

} // namespace XALArc::ArcFormat
