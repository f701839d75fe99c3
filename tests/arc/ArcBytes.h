#pragma once

// Archive bytes built field by field, in either byte order, for the tests
// of the saver and the loader. The numbers that are the same in every
// archive come from ArcFormat.h; the tests write the others out.

#include "arc/ArcFormat.h"

#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace arcbytes {

namespace format = XALArc::ArcFormat;

// Block kinds as 32-bit values: stored little-endian they read "BTAF",
// "BTNF" and "GMIF".
constexpr std::uint32_t kFat = format::kKindFat;
constexpr std::uint32_t kNames = format::kKindNames;
constexpr std::uint32_t kImage = format::kKindImage;

// The byte order of every field of an archive except the magic.
struct Order {
    bool big;
    std::string U16(std::uint32_t v) const {
        return big ? testsupport::Bytes({static_cast<int>(v >> 8), static_cast<int>(v)})
                   : testsupport::U16LE(v);
    }
    std::string U32(std::uint32_t v) const {
        return big ? U16(v >> 16) + U16(v & 0xFFFF) : testsupport::U32LE(v);
    }
};
inline const Order kLE{false};
inline const Order kBE{true};

// Magic, byte-order mark, version 1.0, file size (the loader does not check
// it), header size, block count.
inline std::string Header(const Order& o, std::uint16_t blocks, std::uint32_t fileSize = 0,
                          std::uint16_t headerSize = format::kHeaderSize) {
    return "KPAK" + o.U16(format::kByteOrderMark) + o.U16(format::kVersion) + o.U32(fileSize)
        + o.U16(headerSize) + o.U16(blocks);
}

// Kind, and the size of the block with this header.
inline std::string BlockHeader(const Order& o, std::uint32_t kind, std::uint32_t size) {
    return o.U32(kind) + o.U32(size);
}

inline std::string Block(const Order& o, std::uint32_t kind, const std::string& contents) {
    const auto size = static_cast<std::uint32_t>(format::kBlockHeaderSize + contents.size());
    return BlockHeader(o, kind, size) + contents;
}

// BTAF after its block header: file count, reserved 0, then one {start, end}
// record per file.
using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
inline std::string Fat(const Order& o, const Ranges& ranges) {
    std::string bytes = o.U16(static_cast<std::uint32_t>(ranges.size())) + o.U16(0);
    for (const auto& [start, end] : ranges)
        bytes += o.U32(start) + o.U32(end);
    return bytes;
}

// A directory entry of BTNF: sub-table offset, first file ID, parent's ID
// or, for the root, the number of directories.
inline std::string Dir(const Order& o, std::uint32_t subTable, std::uint16_t firstFile,
                       std::uint16_t third) {
    return o.U32(subTable) + o.U16(firstFile) + o.U16(third);
}

inline std::string Pad(std::size_t n) {
    return std::string(n, static_cast<char>(format::kPadding));
}

} // namespace arcbytes
