#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace XALFcl {
class CFile;
class CFileInputStream;
class COutputStream;
} // namespace XALFcl

namespace XALArc {

// The file image of a loaded archive, left where it is in the archive file.
// Loaded members refer to ranges of it, so their bytes are read only when
// they are written out or compared, and members whose ranges overlap cost
// no memory. The archive file stays open while any member refers to it,
// until a save has written its members and closes it, so that the new
// archive can replace it by a plain rename on every host.
class CArchiveImage {
public:
    // Bytes moved per read; a member of any size needs no more memory.
    static constexpr std::uint64_t kChunkSize = std::uint64_t{1} << 20;

    // Takes over the open archive file; the image starts at the absolute
    // file offset `offset`.
    CArchiveImage(std::unique_ptr<XALFcl::CFileInputStream> file, std::int64_t offset);
    ~CArchiveImage();
    CArchiveImage(const CArchiveImage&) = delete;
    CArchiveImage& operator=(const CArchiveImage&) = delete;

    // Writes the `count` bytes at `start` (relative to the image) to `out`.
    void CopyTo(XALFcl::COutputStream& out, std::uint64_t start, std::uint64_t count);
    // Appends the `count` bytes at `start` to `out`, open for writing.
    void CopyTo(XALFcl::CFile& out, std::uint64_t start, std::uint64_t count);
    // The `count` bytes at `start` where the image holds them in memory,
    // valid until its next use; null for a range too large for that.
    const std::uint8_t* Peek(std::uint64_t start, std::uint64_t count) {
        return FromWindow(start, count);
    }
    // Reads the `count` bytes at `start` into `buffer`.
    void Read(std::uint64_t start, void* buffer, std::uint64_t count);
    // Closes the archive file; reading the image afterwards fails with
    // "Cannot load file" naming it.
    void Close();

private:
    // The open archive file; fails once it is closed.
    XALFcl::CFile& File();

    // The `count` bytes at `start` from the window, which moves there when
    // they are not in it; null for ranges too large for it.
    const std::uint8_t* FromWindow(std::uint64_t start, std::uint64_t count);

    std::unique_ptr<XALFcl::CFileInputStream> file_;
    std::int64_t offset_;
    std::string name_;
    std::vector<std::uint8_t> chunk_;
    // Small members are mostly read in file order (extraction, comparison):
    // they come from one large read of the image ahead of them.
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
    std::uint64_t windowLength_ = 0;
};

} // namespace XALArc
