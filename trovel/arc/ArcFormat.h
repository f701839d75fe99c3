#pragma once

#include <cstdint>

// Constants of the archive file layout.
namespace XALArc::ArcFormat {

// Magic and block kinds as 32-bit values. The magic is read and written
// big-endian, so the file holds "KPAK"; block kinds are values in the file's
// byte order, so a little-endian file holds "BTAF", "BTNF" and "GMIF".
constexpr std::uint32_t kMagic = 0x4B50414B;          // "KPAK"
constexpr std::uint32_t kKindFat = 0x46415442;        // "BTAF"
constexpr std::uint32_t kKindNames = 0x464E5442;      // "BTNF"
constexpr std::uint32_t kKindImage = 0x46494D47;      // "GMIF"

constexpr std::uint16_t kByteOrderMark = 0xFFFE;      // read big-endian: FF FE means big-endian
constexpr std::uint16_t kVersion = 0x0100;
constexpr std::uint16_t kHeaderSize = 16;
constexpr std::uint16_t kBlockCount = 3;
constexpr std::uint32_t kBlockHeaderSize = 8;

constexpr std::uint32_t kRootDirectoryId = 0xF000;
constexpr std::uint32_t kMaxNameLength = 127;
constexpr std::uint32_t kMaxDirectories = 4096;
constexpr std::uint32_t kMaxFiles = 65535;
constexpr std::uint8_t kSubdirectoryFlag = 0x80;
constexpr std::uint8_t kPadding = 0xFF;

} // namespace XALArc::ArcFormat
